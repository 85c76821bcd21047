// The case mapping without ICU: known mappings, surrogate handling in LowerUtf16, agreement of the
// UTF-16 and code-point entry points over all of Unicode, and the order CompareNoCase defines.
#include "KQCaseMap.h"
#include "KQString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using kq::casemap::LowerCodePoint;
using kq::casemap::LowerUtf16;

std::u16string Encode(char32_t cp) {
  if (cp < 0x10000) {
    return std::u16string(1, static_cast<char16_t>(cp));
  }
  return {static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
          static_cast<char16_t>(0xDC00 + (cp & 0x3FF))};
}

TEST(KQCaseMapCodePoint, KnownMappings) {
  struct Case {
    char32_t cp;
    char32_t lower;
  };
  const Case cases[] = {
      {U'A', U'a'},         {U'Z', U'z'},         {U'a', U'a'},
      {U'@', U'@'},         {U'[', U'['},         {0xC0, 0xE0},
      {0xD7, 0xD7},         {0xDF, 0xDF},         {0x130, 0x69},
      {0x178, 0xFF},        {0x3A3, 0x3C3},       {0x3C2, 0x3C2},
      {0x1E9E, 0xDF},       {0x212A, 0x6B},       {0x2126, 0x3C9},
      {0x2C62, 0x26B},      {0xA7AE, 0x26A},      {0xFF21, 0xFF41},
      {0xD800, 0xD800},     {0xDFFF, 0xDFFF},     {0xFFFF, 0xFFFF},
      {0x10400, 0x10428},   {0x10428, 0x10428},   {0x104B0, 0x104D8},
      {0x10C80, 0x10CC0},   {0x118A0, 0x118C0},   {0x16E40, 0x16E60},
      {0x1E900, 0x1E922},   {0x1E921, 0x1E943},   {0x1F600, 0x1F600},
      {0x10FFFF, 0x10FFFF}, {0x110000, 0x110000}, {0xFFFFFFFF, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<std::uint32_t>(LowerCodePoint(c.cp)), static_cast<std::uint32_t>(c.lower))
        << std::hex << "U+" << static_cast<std::uint32_t>(c.cp);
  }
}

TEST(KQCaseMapUtf16, PairsAndUnpairedSurrogates) {
  struct Case {
    const char* name;
    std::u16string input;
    std::u16string expected;
  };
  const Case cases[] = {
      {"pair", u"\U00010400", u"\U00010428"},
      {"pairs among BMP", u"A\U00010400\u0100\U0001E900Z", u"a\U00010428\u0101\U0001E922z"},
      {"pair, plane-1 high surrogate changes", u"\U000104B0", u"\U000104D8"},
      {"unpaired high, then letter",
       u"\xD801"
       u"A",
       u"\xD801"
       u"a"},
      {"unpaired high at the end", u"A\xD801", u"a\xD801"},
      {"unpaired low",
       u"\xDC00"
       u"A",
       u"\xDC00"
       u"a"},
      {"reversed pair", u"\xDC00\xD801", u"\xDC00\xD801"},
      {"two highs, then low", u"\xD801\xD801\xDC00", u"\xD801\U00010428"},
      {"empty", u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string out(c.input.size(), u'?');
    LowerUtf16(c.input.data(), c.input.size(), out.data());
    EXPECT_EQ(out, c.expected);
    std::u16string inPlace = c.input;
    LowerUtf16(inPlace.data(), inPlace.size(), inPlace.data());
    EXPECT_EQ(inPlace, c.expected);
  }
}

TEST(KQCaseMapUtf16, PairSplitAtTheEndOfAPieceIsLeftAlone) {
  const std::u16string text = u"\U00010400";
  std::u16string out = text;
  LowerUtf16(text.data(), 1, out.data()); // only the high surrogate: unpaired
  EXPECT_EQ(out, text);
}

// The UTF-16 entry point and the code-point entry point agree for every code point, and no
// mapping changes the number of UTF-16 units.
TEST(KQCaseMapUtf16, AgreesWithLowerCodePointEverywhere) {
  std::size_t mismatches = 0;
  std::size_t mapped = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const char32_t lower = LowerCodePoint(cp);
    mapped += lower != cp;
    const std::u16string units = Encode(cp);
    std::u16string out(units.size(), 0);
    LowerUtf16(units.data(), units.size(), out.data());
    if (lower > 0x10FFFF || out != Encode(lower)) {
      if (++mismatches < 10) {
        ADD_FAILURE() << std::hex << "U+" << static_cast<std::uint32_t>(cp);
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
  EXPECT_GT(mapped, 1400u); // Unicode 15 has about 1,400 simple lowercase mappings
}

// Random texts over a small alphabet full of case variants, so that equal-without-case pairs
// are common.  Fixed seed: failures reproduce.
class KQCaseMapOrder : public ::testing::Test {
protected:
  void SetUp() override {
    const std::vector<std::u16string> alphabet = {
        u"a",          u"A",      u"k",      u"K",      u"\u212A", // Kelvin sign
        u"i",          u"\u0130", u"\u00E9", u"\u00C9", u"\u03C3",     u"\u03A3",     u"\u03C2",
        u"\uFF21",     u"\uFF41", u"\uE000", u"\uFFFD", u"\U00010400", u"\U00010428", u"\U0001E900",
        u"\U0001E922", u"\xD800", u"\xDC00", u"[",      u"z",
    };
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> length(0, 5);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int i = 0; i < 400; ++i) {
      std::u16string text;
      for (std::size_t n = length(random); n > 0; --n) {
        text += alphabet[pick(random)];
      }
      m_texts.emplace_back(text.c_str());
      CKQString lowered(text.c_str());
      lowered.MakeLower();
      m_lowered.push_back(lowered);
    }
  }

  static int Sign(int value) { return (value > 0) - (value < 0); }

  std::vector<CKQString> m_texts;
  std::vector<CKQString> m_lowered;
};

TEST_F(KQCaseMapOrder, EqualExactlyWhenLoweredFormsAreEqualAndAntisymmetric) {
  std::size_t equalPairs = 0;
  for (std::size_t i = 0; i < m_texts.size(); ++i) {
    for (std::size_t j = 0; j < m_texts.size(); ++j) {
      const int forward = m_texts[i].CompareNoCase(m_texts[j]);
      const int backward = m_texts[j].CompareNoCase(m_texts[i]);
      const bool loweredEqual = m_lowered[i].Compare(m_lowered[j]) == 0;
      ASSERT_EQ(forward == 0, loweredEqual) << i << ' ' << j;
      ASSERT_EQ(Sign(forward), -Sign(backward)) << i << ' ' << j;
      // Lowering first changes nothing about the order.
      ASSERT_EQ(Sign(m_lowered[i].CompareNoCase(m_lowered[j])), Sign(forward)) << i << ' ' << j;
      equalPairs += (i != j && loweredEqual);
    }
  }
  EXPECT_GT(equalPairs, 0u); // the alphabet really produces case variants
}

// The counted form (what CKQString compares with) and the zero-terminated form (what a client's
// raw text is compared with) are two entry points into one order: they must never disagree.
TEST_F(KQCaseMapOrder, CountedAndZeroTerminatedFormsAgree) {
  for (const CKQString& a : m_texts) {
    for (const CKQString& b : m_texts) {
      const int counted =
          kq::casemap::CompareNoCase(a.Data(), a.GetLength(), b.Data(), b.GetLength());
      const int terminated = kq::casemap::CompareNoCase(a.Data(), a.GetLength(), b);
      ASSERT_EQ(Sign(counted), Sign(terminated)) << a.ToUtf8() << " / " << b.ToUtf8();
      ASSERT_EQ(Sign(counted), Sign(a.CompareNoCase(b)));
    }
  }
}

TEST_F(KQCaseMapOrder, SortedOrderIsConsistentPairwise) {
  std::vector<CKQString> sorted = m_texts;
  std::sort(sorted.begin(), sorted.end(),
            [](const CKQString& a, const CKQString& b) { return a.CompareNoCase(b) < 0; });
  // A strict weak order sorts so that every earlier text compares <= every later one.
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    for (std::size_t j = i + 1; j < sorted.size(); ++j) {
      ASSERT_LE(sorted[i].CompareNoCase(sorted[j]), 0) << i << ' ' << j;
    }
  }
}

} // namespace
