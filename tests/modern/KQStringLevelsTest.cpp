// CKQString's comparison operators as a C++17 client and a C++20 client see them.  This file is
// built twice, at C++17 (where KQString.h supplies !=, <, <=, >, >= and the reversed == as
// inline functions) and at C++20 (where the compiler derives them from == and <=>): at both
// levels every operator, with the string on either side and against a string, a char16_t text
// or an unsigned short text, must give the answer Compare gives, and never compare addresses.
#include "KQString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

// The build names the level it asked for: a usage requirement of the library that raised the
// level would make the C++17 build test C++20 without saying so.
static_assert(__cplusplus / 100 % 100 == KQ_EXPECTED_CXX_LEVEL, "built at another level");

namespace {

using namespace std::string_literals;

int Sign(int value) { return (value > 0) - (value < 0); }

// Every operator on `string` and `other`, both ways round, against the sign Compare gives.
template <typename Other> void ExpectOrder(const CKQString& string, Other other, int sign) {
  EXPECT_EQ(string == other, sign == 0);
  EXPECT_EQ(other == string, sign == 0);
  EXPECT_EQ(string != other, sign != 0);
  EXPECT_EQ(other != string, sign != 0);
  EXPECT_EQ(string < other, sign < 0);
  EXPECT_EQ(other<string, sign> 0);
  EXPECT_EQ(string > other, sign > 0);
  EXPECT_EQ(other > string, sign < 0);
  EXPECT_EQ(string <= other, sign <= 0);
  EXPECT_EQ(other <= string, sign >= 0);
  EXPECT_EQ(string >= other, sign >= 0);
  EXPECT_EQ(other >= string, sign <= 0);
}

TEST(KQStringLevels, EveryOperatorAgreesWithCompare) {
  struct Case {
    std::u16string left;  // the string (zero units inside are part of it)
    std::u16string right; // the other text (a pointer sees it up to its first zero)
  };
  const Case cases[] = {
      {u"", u""},
      {u"a", u""},
      {u"", u"a"},
      {u"pear", u"pear"},
      {u"abc", u"abd"},
      {u"abd", u"abc"},
      {u"ab", u"abc"},            // a prefix first
      {u"B", u"a"},               // by unit, not without regard to case
      {u"\u8000", u"a"},          // units are unsigned
      {u"\uFFFF", u"\U00010000"}, // unit order: FFFF after the high surrogate D800
      {u"a\0b"s, u"a"},           // the string's zero is part of it
      {u"a\0b"s, u"a\0c"s},       // the pointer forms see "a"; the string form all of it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.left) + " vs " + ::testing::PrintToString(c.right));
    const CKQString string(std::u16string_view{c.left});
    const CKQString other(std::u16string_view{c.right});
    // Buffers the operators must read, non-const as a client's often are.
    std::u16string text = c.right;
    std::vector<unsigned short> units(c.right.begin(), c.right.end());
    units.push_back(0);

    ExpectOrder(string, other, Sign(string.Compare(other)));
    const int pointerSign = Sign(string.Compare(units.data()));
    ExpectOrder(string, text.data(), pointerSign);
    ExpectOrder(string, static_cast<const char16_t*>(text.c_str()), pointerSign);
    ExpectOrder(string, units.data(), pointerSign);
    ExpectOrder(string, static_cast<const unsigned short*>(units.data()), pointerSign);
  }
}

TEST(KQStringLevels, NullTextsAreEmpty) {
  for (const CKQString& string : {CKQString(), CKQString(u"a")}) {
    const int sign = string.GetLength() == 0 ? 0 : 1;
    ExpectOrder(string, static_cast<const char16_t*>(nullptr), sign);
    ExpectOrder(string, static_cast<const unsigned short*>(nullptr), sign);
  }
}

// Literals on either side, and the standard algorithms and containers that use < by default.
TEST(KQStringLevels, LiteralsAndStandardOrder) {
  const CKQString pear(u"pear");
  EXPECT_TRUE(u"pear" == pear);
  EXPECT_TRUE(u"peach" != pear);
  EXPECT_TRUE(u"peach" < pear);
  EXPECT_TRUE(pear <= u"pear");
  EXPECT_TRUE(u"q" > pear);
#if defined(_WIN32)
  // Wide literals (UTF-16 on Windows) on either side, converted to strings.
  EXPECT_TRUE(L"pear" == pear);
  EXPECT_TRUE(pear == L"pear");
  EXPECT_TRUE(L"peach" != pear);
  EXPECT_TRUE(L"peach" < pear);
  EXPECT_TRUE(pear > L"peach");
#endif

  std::vector<CKQString> words{CKQString(u"pear"), CKQString(u"Apple"), CKQString(u"apple"),
                               CKQString(u"pear")};
  std::sort(words.begin(), words.end());
  EXPECT_TRUE(std::is_sorted(words.begin(), words.end()));
  EXPECT_TRUE(words.front() == u"Apple");
  EXPECT_TRUE(words.back() == u"pear");
  const std::set<CKQString> distinct(words.begin(), words.end());
  EXPECT_EQ(distinct.size(), 3u);
}

} // namespace
