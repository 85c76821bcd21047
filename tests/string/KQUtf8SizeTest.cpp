// The size ToUtf8 works out before it allocates: exact for every kind of unit, and refused with
// std::length_error above the limit instead of wrapping.
#include "KQUtf8Size.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "KQString.h"

namespace {

struct SizeCase {
  const char* name;
  std::u16string text;
  std::size_t bytes;
};

const SizeCase kSizes[] = {
    {"Empty", u"", 0},
    {"Ascii", u"abc", 3},
    {"TwoByteRange", u"\u0080\u00E9\u07FF", 6},
    {"ThreeByteRange", u"\u0800\uD7FF\uE000\uFFFF", 12},
    {"SurrogatePair", u"\U0001F600", 4},
    {"PairAfterAscii", u"a\U00010437b", 6},
    {"UnpairedHighAtTheEnd", u"a\xD801", 4},
    {"UnpairedLow", u"\xDC37z", 4},
    {"ReversedPair", u"\xDC00\xD800", 6},
    {"HighThenAPair", u"\xD801\xD801\xDC37", 7},
    {"EmbeddedZero", std::u16string(u"a\0b", 3), 3},
};

class Utf8Size : public testing::TestWithParam<SizeCase> {};

TEST_P(Utf8Size, IsExactAndMatchesWhatToUtf8Writes) {
  const SizeCase& c = GetParam();
  EXPECT_EQ(kq::utf8::EncodedSize(c.text.data(), c.text.size(), SIZE_MAX), c.bytes);
  const CKQString text(c.text.data(), static_cast<std::uint32_t>(c.text.size()));
  EXPECT_EQ(text.ToUtf8().size(), c.bytes);
}

// The limit stands for what the result can hold: a size up to it passes, one byte more throws
// before anything is allocated.
TEST_P(Utf8Size, AboveTheLimitThrowsLengthError) {
  const SizeCase& c = GetParam();
  EXPECT_EQ(kq::utf8::EncodedSize(c.text.data(), c.text.size(), c.bytes), c.bytes);
  if (c.bytes > 0) {
    EXPECT_THROW(kq::utf8::EncodedSize(c.text.data(), c.text.size(), c.bytes - 1),
                 std::length_error);
  }
}

INSTANTIATE_TEST_SUITE_P(Units, Utf8Size, testing::ValuesIn(kSizes),
                         [](const testing::TestParamInfo<SizeCase>& suffix) {
                           return std::string(suffix.param.name);
                         });

} // namespace
