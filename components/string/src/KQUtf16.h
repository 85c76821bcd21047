// UTF-16 primitives shared by the string component, the case map and the string key: surrogate
// tests, combining and splitting a surrogate pair, and ASCII lowering of one unit.
//
// Every function is constexpr and noexcept, and none of them checks more than it says: callers
// pair a high surrogate with a following low one before they combine, and split only code
// points above U+FFFF.  Internal to the libraries (header-only target KQUtf16).
#ifndef KQ_UTF16_H
#define KQ_UTF16_H

namespace kq::utf16 {

// U+D800 .. U+DBFF: the first unit of a pair.
constexpr bool IsHighSurrogate(char16_t unit) noexcept { return (unit & 0xFC00) == 0xD800; }
// U+DC00 .. U+DFFF: the second unit of a pair.
constexpr bool IsLowSurrogate(char16_t unit) noexcept { return (unit & 0xFC00) == 0xDC00; }
// Either half: U+D800 .. U+DFFF.
constexpr bool IsSurrogate(char16_t unit) noexcept { return (unit & 0xF800) == 0xD800; }

// The supplementary code point (U+10000 .. U+10FFFF) of the pair `hi`, `lo`.
constexpr char32_t CombinePair(char16_t hi, char16_t lo) noexcept {
  return 0x10000 + ((char32_t{hi} - 0xD800) << 10) + (char32_t{lo} - 0xDC00);
}

// The two units of a supplementary code point `cp` (U+10000 .. U+10FFFF).
constexpr char16_t HighSurrogateOf(char32_t cp) noexcept {
  return static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
}
constexpr char16_t LowSurrogateOf(char32_t cp) noexcept {
  return static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
}

// U+0000 .. U+007F.
constexpr bool IsAscii(char16_t unit) noexcept { return unit < 0x80; }

// 'A' .. 'Z' become 'a' .. 'z'; every other unit is returned as it is.  One compare: units below
// 'A' wrap around to large values.
constexpr char16_t LowerAscii(char16_t unit) noexcept {
  return static_cast<unsigned>(unit) - u'A' < 26u ? static_cast<char16_t>(unit + 32) : unit;
}

static_assert(CombinePair(HighSurrogateOf(0x10400), LowSurrogateOf(0x10400)) == 0x10400 &&
                  CombinePair(0xDBFF, 0xDFFF) == 0x10FFFF,
              "surrogate pairs do not round-trip");
static_assert(LowerAscii(u'A') == u'a' && LowerAscii(u'Z') == u'z' && LowerAscii(u'@') == u'@' &&
                  LowerAscii(u'[') == u'[' && LowerAscii(0xC0) == 0xC0,
              "ASCII lowering is off");

} // namespace kq::utf16

#endif // KQ_UTF16_H
