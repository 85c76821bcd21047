// CompareNoCase against ICU on random texts, ill-formed ones included.  CompareNoCase orders
// texts by the code points of their lowered forms, so the oracle lowers both texts code point by
// code point with u_tolower (an unpaired surrogate stays as it is) and compares the lowered
// forms with u_strCompare in code point order.
#include <gtest/gtest.h>

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "KQString.h"

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

// The units in hex: UTF-8 cannot show unpaired surrogates.
std::string Hex(const std::u16string& text) {
  std::string out;
  char unit[8];
  for (const char16_t u : text) {
    std::snprintf(unit, sizeof(unit), "%04X ", static_cast<unsigned>(u));
    out += unit;
  }
  return out.empty() ? "(empty)" : out;
}

// Units that make case pairs, the edges of the BMP ranges around the surrogates, both halves of
// pairs (which meet at random, or not) and fullwidth letters above U+E000.
const char16_t kUnits[] = {u'a',   u'A',   u'z',   0x00C9, 0x00E9, 0x03A3, 0x03C3,
                           0xD7FF, 0xD800, 0xD801, 0xDBFF, 0xDC00, 0xDC28, 0xDFFF,
                           0xE000, 0xFF21, 0xFF41, 0xFFFD, 0xFFFF};

std::u16string RandomText(std::mt19937& random) {
  std::u16string text(random() % 7, u'\0');
  for (char16_t& unit : text) {
    unit = kUnits[random() % std::size(kUnits)];
  }
  return text;
}

std::u16string IcuLowered(const std::u16string& text) {
  std::u16string lowered;
  const auto* units = reinterpret_cast<const UChar*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 cp = 0;
    U16_NEXT(units, i, length, cp);
    const UChar32 lower = u_tolower(cp);
    if (lower > 0xFFFF) {
      lowered += static_cast<char16_t>(U16_LEAD(lower));
      lowered += static_cast<char16_t>(U16_TRAIL(lower));
    } else {
      lowered += static_cast<char16_t>(lower);
    }
  }
  return lowered;
}

int IcuCompareNoCase(const std::u16string& left, const std::u16string& right) {
  const std::u16string a = IcuLowered(left);
  const std::u16string b = IcuLowered(right);
  return Sign(u_strCompare(reinterpret_cast<const UChar*>(a.data()),
                           static_cast<std::int32_t>(a.size()),
                           reinterpret_cast<const UChar*>(b.data()),
                           static_cast<std::int32_t>(b.size()), /*codePointOrder=*/1));
}

TEST(KQCompareNoCaseIcu, RandomIllFormedTextsInIcusCodePointOrder) {
  std::mt19937 random(20240611);
  int mismatches = 0;
  for (int round = 0; round < 50000 && mismatches < 10; ++round) {
    const std::u16string left = RandomText(random);
    // Half the time the right text shares a prefix with the left one, so differences fall
    // after matching units (the second half of a pair, for instance).
    std::u16string right = RandomText(random);
    if (random() % 2 == 0) {
      right = left.substr(0, random() % (left.size() + 1)) + right;
    }
    const CKQString a(left.data(), static_cast<std::uint32_t>(left.size()));
    const CKQString b(right.data(), static_cast<std::uint32_t>(right.size()));
    const int expected = IcuCompareNoCase(left, right);
    const int counted = Sign(a.CompareNoCase(b));
    const int terminated =
        Sign(a.CompareNoCase(reinterpret_cast<const unsigned short*>(right.c_str())));
    if (counted != expected || terminated != expected) {
      ++mismatches;
      ADD_FAILURE() << "round " << round << ": " << counted << " / " << terminated << ", ICU "
                    << expected << " for " << Hex(left) << "vs " << Hex(right);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

} // namespace
