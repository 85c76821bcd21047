// CKQStringArray::FindString: exact and case-insensitive search, first match wins, and a key
// collision never passes for a match.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>
#include <utility>

#include <zlib.h>

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

// CRC-32 of a text of lowercase ASCII letters as the array keys it (UTF-16LE, already lower).
std::uint32_t KeyOfLowerAscii(const std::string& text) {
  std::string bytes;
  for (char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Two different lowercase texts with the same key, found by a birthday search (fixed seed).
std::pair<std::string, std::string> FindKeyCollision() {
  std::mt19937 random(7);
  std::unordered_map<std::uint32_t, std::string> seen;
  for (;;) {
    std::string text(8, 'a');
    for (char& c : text) {
      c = static_cast<char>('a' + random() % 26);
    }
    const auto [it, fresh] = seen.emplace(KeyOfLowerAscii(text), text);
    if (!fresh && it->second != text) {
      return {it->second, text};
    }
  }
}

} // namespace

TEST(KQStringSearch, ExactAndCaseInsensitiveMatches) {
  CKQStringArray array;
  Fill(array, {"Alpha", "beta", "", "beta"});
  const struct {
    const char* text;
    int noCase;
    unsigned expected;
  } cases[] = {
      {"ALPHA", 1, 0},
      {"ALPHA", 0, KQ_NO_INDEX},
      {"Alpha", 0, 0},
      {"BETA", 1, 1},
      {"beta", 0, 1},
      {"", 0, 2},
      {"", 1, 2},
      {"gamma", 1, KQ_NO_INDEX},
      {"alph", 1, KQ_NO_INDEX},
      {"Alpha ", 0, KQ_NO_INDEX},
  };
  for (const auto& c : cases) {
    array.GetErrorState().SetError(ERROR_INVALID_INDEX);
    EXPECT_EQ(array.FindString(S(c.text), c.noCase), c.expected)
        << '"' << c.text << "\" noCase=" << c.noCase;
    EXPECT_EQ(Code(array), c.expected == KQ_NO_INDEX ? ERROR_NOT_FOUND : ERROR_INVALID_INDEX)
        << "a miss records ERROR_NOT_FOUND; a hit keeps the previous code";
  }
}

TEST(KQStringSearch, SortedArrayFindsTheExactCaseOrTheFirstWithout) {
  CKQStringArray array(1);
  Fill(array, {"abc", "ABC"}); // stored as ABC, abc
  EXPECT_EQ(array.FindString(S("abc"), 1), 0u);
  EXPECT_EQ(array.FindString(S("abc"), 0), 1u);
  EXPECT_EQ(array.FindString(S("ÀBC"), 1), KQ_NO_INDEX);

  CKQStringArray empty;
  EXPECT_EQ(empty.FindString(S(""), 1), KQ_NO_INDEX);
  EXPECT_EQ(Code(empty), ERROR_NOT_FOUND);
}

TEST(KQStringSearch, NonAsciiAndSupplementaryCaseVariantsMatch) {
  CKQStringArray array;
  Fill(array, {"ΣΟΦΊΑ", "Straße", "\xF0\x90\x90\x80x"}); // U+10400 followed by x
  EXPECT_EQ(array.FindString(S("σοφία"), 1), 0u);
  EXPECT_EQ(array.FindString(S("STRAßE"), 1), 1u);
  EXPECT_EQ(array.FindString(S("\xF0\x90\x90\xA8X"), 1), 2u); // U+10428 followed by X
  EXPECT_EQ(array.FindString(S("\xF0\x90\x90\xA8X"), 0), KQ_NO_INDEX);
}

TEST(KQStringSearch, KeyCollisionIsNotAMatch) {
  const auto [first, second] = FindKeyCollision();
  ASSERT_NE(first, second);
  ASSERT_EQ(KeyOfLowerAscii(first), KeyOfLowerAscii(second)) << first << " / " << second;

  CKQStringArray allowList;
  Fill(allowList, {first});
  std::string upper = second;
  for (char& c : upper) {
    c = static_cast<char>(c - 'a' + 'A');
  }
  for (int noCase : {0, 1}) {
    EXPECT_EQ(allowList.FindString(S(second.c_str()), noCase), KQ_NO_INDEX) << "noCase=" << noCase;
    EXPECT_EQ(Code(allowList), ERROR_NOT_FOUND);
  }
  EXPECT_EQ(allowList.FindString(S(upper.c_str()), 1), KQ_NO_INDEX);
  Fill(allowList, {second});
  EXPECT_EQ(allowList.FindString(S(upper.c_str()), 1), 1u) << "the real match after the collision";
}

// A zero unit inside a string is part of it: such strings are found and ordered by their whole
// text, not by the part before the zero.
TEST(KQStringSearch, EmbeddedZeroUnitsAreText) {
  const char16_t withZero[] = {u'a', 0, u'B'};
  const CKQString aZeroB(withZero, 3);
  const char16_t withZeroLower[] = {u'A', 0, u'b'};
  const CKQString aZeroBOtherCase(withZeroLower, 3);
  CKQStringArray sorted(1);
  Fill(sorted, {"a", "ab"});
  unsigned index = KQ_NO_INDEX;
  sorted.Add(aZeroB, &index);
  EXPECT_EQ(index, 1u) << "after its prefix 'a', before 'ab'";
  EXPECT_EQ(sorted.FindString(aZeroB, 0), 1u);
  EXPECT_EQ(sorted.FindString(aZeroBOtherCase, 1), 1u);
  EXPECT_EQ(sorted.FindString(aZeroBOtherCase, 0), KQ_NO_INDEX);
  EXPECT_EQ(sorted.FindString(S("a"), 0), 0u) << "the prefix is another string";
  EXPECT_EQ(aZeroB.Compare(aZeroB), 0);
  EXPECT_EQ(aZeroB.CompareNoCase(aZeroBOtherCase), 0);
  EXPECT_GT(aZeroB.CompareNoCase(static_cast<const unsigned short*>(aZeroB)), 0)
      << "the pointer form sees only the text before the zero";
}
