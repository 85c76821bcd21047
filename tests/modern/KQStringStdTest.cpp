// CKQString beside the standard library: comparison by text, hashing, streams, views, UTF-8
// well-formedness.
#include "KQString.h"

#include <gtest/gtest.h>

#include <compare>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

using namespace std::string_view_literals;

// Two strings with the same text in different buffers: a comparison by address would fail.
TEST(KQStringStd, EqualityComparesTextNotAddress) {
  const CKQString a(u"pear");
  const CKQString b(u"pear");
  ASSERT_NE(a.Data(), b.Data());
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a != b);
  EXPECT_TRUE(a == u"pear");
  EXPECT_TRUE(u"pear" == a);
  EXPECT_TRUE(a != u"Pear"); // exact: case counts
  const unsigned short pear[] = {'p', 'e', 'a', 'r', 0};
  EXPECT_TRUE(a == pear);
  EXPECT_TRUE(pear == a);
  EXPECT_TRUE(CKQString() == static_cast<const char16_t*>(nullptr)); // null is the empty text
  EXPECT_TRUE(CKQString() == static_cast<const unsigned short*>(nullptr));
  EXPECT_FALSE(a == static_cast<const char16_t*>(nullptr));
}

// Orders by code unit as Compare does; a prefix first; an embedded zero is part of a string but
// ends a pointer's text.
TEST(KQStringStd, OrderFollowsCompare) {
  struct Case {
    std::u16string_view left;
    std::u16string_view right;
    std::strong_ordering expected;
  };
  const Case cases[] = {
      {u"", u"", std::strong_ordering::equal},
      {u"", u"a", std::strong_ordering::less},
      {u"ab", u"a", std::strong_ordering::greater},
      {u"B", u"a", std::strong_ordering::less}, // by unit, not by case-insensitive order
      {u"\uFFFF", u"\U00010000", std::strong_ordering::greater}, // unit order: FFFF > D800
      {u"a\0b"sv, u"a\0c"sv, std::strong_ordering::less},
      {u"a\0"sv, u"a", std::strong_ordering::greater},
  };
  for (const Case& c : cases) {
    const CKQString left(c.left);
    const CKQString right(c.right);
    SCOPED_TRACE(::testing::PrintToString(std::u16string(c.left)) + " vs " +
                 ::testing::PrintToString(std::u16string(c.right)));
    EXPECT_EQ(left <=> right, c.expected);
    EXPECT_EQ(std::is_gt(right <=> left), std::is_lt(c.expected));
    EXPECT_EQ(std::is_lt(right <=> left), std::is_gt(c.expected));
    EXPECT_EQ(left == right, std::is_eq(c.expected));
    EXPECT_EQ(left.Compare(right) < 0, std::is_lt(c.expected));
    EXPECT_EQ(left.Compare(right) > 0, std::is_gt(c.expected));
  }
  // Against pointers the text ends at the first zero unit.
  const CKQString embedded(u"a\0b"sv);
  EXPECT_EQ(embedded <=> u"a", std::strong_ordering::greater);
  EXPECT_TRUE(embedded != u"a");
  EXPECT_TRUE(CKQString(u"abc") < u"abd");
  EXPECT_TRUE(u"abd" > CKQString(u"abc"));
}

TEST(KQStringStd, StandardContainersSeeTexts) {
  const std::set<CKQString> ordered = {CKQString(u"x"), CKQString(u"x"), CKQString(u"x"),
                                       CKQString(u"b"), CKQString(u"a")};
  ASSERT_EQ(ordered.size(), 3u);
  EXPECT_EQ(*ordered.begin(), u"a");
  EXPECT_EQ(*ordered.rbegin(), u"x");

  std::unordered_set<CKQString> hashed;
  for (const char16_t* text : {u"x", u"x", u"y", u"", u""}) {
    hashed.insert(CKQString(text));
  }
  EXPECT_EQ(hashed.size(), 3u);
  EXPECT_EQ(hashed.count(CKQString(u"y")), 1u);
  EXPECT_EQ(std::hash<CKQString>{}(CKQString(u"a\0b"sv)),
            std::hash<std::u16string_view>{}(u"a\0b"sv));
}

TEST(KQStringStd, StreamsWriteUtf8) {
  std::ostringstream out;
  out << CKQString(u"caf\u00E9 \U0001F600") << '|' << CKQString() << '|';
  out.width(6);
  out.fill('.');
  out << CKQString(u"ab");
  EXPECT_EQ(out.str(), "caf\xC3\xA9 \xF0\x9F\x98\x80||....ab");
}

TEST(KQStringStd, ViewsInAndOut) {
  const std::u16string_view text = u"a\0\U00010400z"sv;
  const CKQString s(text);
  EXPECT_EQ(s.GetLength(), text.size());
  EXPECT_EQ(s.View(), text);
  EXPECT_EQ(s.View().data(), s.Data());
  EXPECT_TRUE(CKQString(std::u16string_view()).View().empty());
  const std::u16string copy(s.View());
  EXPECT_EQ(copy, text);
}

#if defined(_WIN32)
TEST(KQStringStd, WideLiteralsAreUtf16OnWindows) {
  const CKQString s = L"wide \u00E9";
  EXPECT_EQ(s, u"wide \u00E9");
  EXPECT_TRUE(CKQString(static_cast<const wchar_t*>(nullptr)) == u"");
}
#endif

TEST(KQStringStd, FromUtf8ReportsWhetherInputWasWellFormed) {
  struct Case {
    std::string_view utf8;
    bool wellFormed;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {"", true, u""},
      {"plain", true, u"plain"},
      {"\xEF\xBF\xBD", true, u"\uFFFD"}, // a spelt-out U+FFFD is well-formed
      {"\xF0\x9F\x98\x80", true, u"\U0001F600"},
      {"a\0b"sv, true, u"a\0b"sv},
      {"\x80", false, u"\uFFFD"},                     // stray continuation byte
      {"\xC0\xAF", false, u"\uFFFD\uFFFD"},           // overlong lead
      {"\xE2\x82", false, u"\uFFFD"},                 // truncated at the end
      {"\xED\xA0\x80", false, u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
      {"ok\xF5", false, u"ok\uFFFD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.utf8)));
    bool wellFormed = !c.wellFormed;
    const CKQString s = CKQString::FromUtf8(c.utf8, &wellFormed);
    EXPECT_EQ(wellFormed, c.wellFormed);
    EXPECT_EQ(s.View(), c.expected);
    EXPECT_EQ(CKQString::FromUtf8(c.utf8, nullptr), s);
    EXPECT_EQ(CKQString::FromUtf8(c.utf8), s);
  }
}

} // namespace
