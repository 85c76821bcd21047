// Unicode simple lowercase mapping for UTF-16 text, and the case-insensitive order it defines,
// shared (as internal, hidden code) by the string component and the array library's key
// computation.
//
// The mapping is 1:1 on code points and never moves a character between the BMP and the
// supplementary planes, so lowering never changes the length of a text in code units.
#ifndef KQ_CASE_MAP_H
#define KQ_CASE_MAP_H

#include <cstddef>

#include "KQCaseTable.h"
#include "KQUtf16.h"

namespace kq::casemap {

// The simple lowercase mapping of `cp` (0 .. 0x10FFFF); any other value is returned unchanged.
// Surrogate code points (0xD800 .. 0xDFFF) map to themselves.
char32_t LowerCodePoint(char32_t cp) noexcept;

// The lowercase of one unit taken as a BMP character, that is, not as half of a surrogate pair
// (a lone surrogate maps to itself): ASCII arithmetically, anything else by two table loads.
inline char16_t LowerBmpUnit(char16_t unit) noexcept {
  if (utf16::IsAscii(unit)) {
    return utf16::LowerAscii(unit);
  }
  return static_cast<char16_t>(unit + table::Delta(unit));
}

// Lowers `count` units at `src` into `dst` (which may be `src` itself).  A high surrogate
// followed by a low surrogate is lowered as one supplementary character; an unpaired surrogate
// stays as it is.  A high surrogate in the last unit is treated as unpaired, so a caller that
// lowers a long text in pieces must not end a piece between the two halves of a pair.
void LowerUtf16(const char16_t* src, std::size_t count, char16_t* dst) noexcept;

// Negative, 0 or positive as the `na` units at `a` sort before, with or after the `nb` units at
// `b` without regard to case: the lowered forms are compared by code point (a prefix sorts
// first), so the result is 0 exactly when the lowered forms are equal.  Zero units are text like
// any other.  O(length of the shorter text), no allocation.
int CompareNoCase(const char16_t* a, std::size_t na, const char16_t* b, std::size_t nb) noexcept;
// The same against a zero-terminated `b`, which ends at its first zero unit.
int CompareNoCase(const char16_t* a, std::size_t na, const unsigned short* b) noexcept;

} // namespace kq::casemap

#endif // KQ_CASE_MAP_H
