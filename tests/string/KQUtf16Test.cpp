// The UTF-16 primitives at the edges of the surrogate and ASCII ranges, and pairs round-tripping
// over every supplementary code point.
#include "KQUtf16.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using namespace kq::utf16;

TEST(KQUtf16, UnitClassesAtTheirEdges) {
  struct Case {
    char16_t unit;
    bool high;
    bool low;
    bool ascii;
  };
  const Case cases[] = {
      {0x0000, false, false, true},  {0x007F, false, false, true}, {0x0080, false, false, false},
      {0xD7FF, false, false, false}, {0xD800, true, false, false}, {0xDBFF, true, false, false},
      {0xDC00, false, true, false},  {0xDFFF, false, true, false}, {0xE000, false, false, false},
      {0xFFFF, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<unsigned>(c.unit));
    EXPECT_EQ(IsHighSurrogate(c.unit), c.high);
    EXPECT_EQ(IsLowSurrogate(c.unit), c.low);
    EXPECT_EQ(IsSurrogate(c.unit), c.high || c.low);
    EXPECT_EQ(IsAscii(c.unit), c.ascii);
  }
}

TEST(KQUtf16, LowerAsciiChangesOnlyCapitalLetters) {
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    const auto u = static_cast<char16_t>(unit);
    const char16_t expected = unit >= 'A' && unit <= 'Z' ? static_cast<char16_t>(unit + 32) : u;
    ASSERT_EQ(LowerAscii(u), expected) << unit;
  }
}

TEST(KQUtf16, EverySupplementaryCodePointSplitsAndCombines) {
  for (char32_t cp = 0x10000; cp <= 0x10FFFF; ++cp) {
    const char16_t hi = HighSurrogateOf(cp);
    const char16_t lo = LowSurrogateOf(cp);
    ASSERT_TRUE(IsHighSurrogate(hi) && IsLowSurrogate(lo)) << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(CombinePair(hi, lo), cp);
  }
  EXPECT_EQ(HighSurrogateOf(0x10000), 0xD800);
  EXPECT_EQ(LowSurrogateOf(0x10000), 0xDC00);
  EXPECT_EQ(HighSurrogateOf(0x10FFFF), 0xDBFF);
  EXPECT_EQ(LowSurrogateOf(0x10FFFF), 0xDFFF);
}

} // namespace
