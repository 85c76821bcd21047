// Simple lowercase mapping over the generated two-stage table (see KQCaseTable.h).
#include "KQCaseMap.h"

#include "KQCaseTable.h"

namespace kq::casemap {

namespace {

constexpr bool IsHighSurrogate(char32_t unit) noexcept { return (unit & 0xFC00) == 0xD800; }
constexpr bool IsLowSurrogate(char32_t unit) noexcept { return (unit & 0xFC00) == 0xDC00; }

// The lowercase of a BMP unit that is not a surrogate (surrogates have zero deltas anyway).
inline char16_t LowerBmp(char16_t unit) noexcept {
  return static_cast<char16_t>(unit + table::Delta(unit));
}

} // namespace

char32_t LowerCodePoint(char32_t cp) noexcept {
  if (cp >= table::kTableLimit) {
    return cp;
  }
  return (cp & ~char32_t{0xFFFF}) | ((cp + table::Delta(cp)) & 0xFFFF);
}

// One pass, O(count).  Each step reads the unit (and for a pair both units) before writing, so
// dst == src is safe; other overlaps are not.
void LowerUtf16(const char16_t* src, std::size_t count, char16_t* dst) noexcept {
  std::size_t i = 0;
  while (i < count) {
    const char16_t unit = src[i];
    if (unit < 0x80) {
      dst[i] = (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + 32) : unit;
      ++i;
    } else if (!IsHighSurrogate(unit) || i + 1 == count || !IsLowSurrogate(src[i + 1])) {
      dst[i] = LowerBmp(unit); // includes unpaired surrogates, which map to themselves
      ++i;
    } else {
      const char32_t cp = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (src[i + 1] - 0xDC00u);
      const char32_t lower = LowerCodePoint(cp) - 0x10000;
      dst[i] = static_cast<char16_t>(0xD800 + (lower >> 10));
      dst[i + 1] = static_cast<char16_t>(0xDC00 + (lower & 0x3FF));
      i += 2;
    }
  }
}

} // namespace kq::casemap
