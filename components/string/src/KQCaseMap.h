// Unicode simple lowercase mapping for UTF-16 text, shared (as internal, hidden code) by the
// string component and the array library's key computation.
//
// The mapping is 1:1 on code points and never moves a character between the BMP and the
// supplementary planes, so lowering never changes the length of a text in code units.
#ifndef KQ_CASE_MAP_H
#define KQ_CASE_MAP_H

#include <cstddef>

namespace kq::casemap {

// The simple lowercase mapping of `cp` (0 .. 0x10FFFF); any other value is returned unchanged.
// Surrogate code points (0xD800 .. 0xDFFF) map to themselves.
char32_t LowerCodePoint(char32_t cp) noexcept;

// Lowers `count` units at `src` into `dst` (which may be `src` itself).  A high surrogate
// followed by a low surrogate is lowered as one supplementary character; an unpaired surrogate
// stays as it is.  A high surrogate in the last unit is treated as unpaired, so a caller that
// lowers a long text in pieces must not end a piece between the two halves of a pair.
void LowerUtf16(const char16_t* src, std::size_t count, char16_t* dst) noexcept;

} // namespace kq::casemap

#endif // KQ_CASE_MAP_H
