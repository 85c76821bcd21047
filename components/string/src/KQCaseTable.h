// Layout of the generated lowercase table (KQCaseTable.cpp), shared by the lookup code and by the
// generator in tools/casetable, so that both agree on it by construction.
//
// The table covers code points 0 .. kTableLimit - 1; no code point at or above kTableLimit has a
// lowercase mapping other than itself (the generator checks this).  Code points are split into
// blocks of 2^kBlockShift: kStage1[cp >> kBlockShift] is the number of the block of deltas for
// cp, and kStage2[(block << kBlockShift) | (cp & kBlockMask)] is its delta.  Equal blocks are
// stored once, so all the unmapped blocks share block 0 (all zero deltas).
//
// A delta is the distance to the lowercase code point modulo 2^16: no mapping leaves its plane,
// so the lowercase of cp is (cp & ~0xFFFF) | ((cp + delta) & 0xFFFF).  Stored modulo 2^16 the
// deltas fit 16 bits even where a BMP mapping spans more than 32767 code points (U+A7AE -> U+026A).
#ifndef KQ_CASE_TABLE_H
#define KQ_CASE_TABLE_H

#include <cstddef>
#include <cstdint>

namespace kq::casemap::table {

inline constexpr unsigned kBlockShift = 5; // the smallest table for Unicode 15 (8 KiB)
inline constexpr char32_t kBlockMask = (char32_t{1} << kBlockShift) - 1;
inline constexpr char32_t kTableLimit = 0x20000; // the BMP and plane 1
inline constexpr std::size_t kStage1Size = kTableLimit >> kBlockShift;

extern const std::uint8_t kStage1[kStage1Size];
extern const std::uint16_t kStage2[];
extern const std::size_t kStage2Size;
// The Unicode version of the data the table was generated from, e.g. "15.0".
extern const char kUnicodeVersion[];

// The delta of cp, which must be below kTableLimit.  Two loads.
inline std::uint16_t Delta(char32_t cp) noexcept {
  const std::size_t block = kStage1[cp >> kBlockShift];
  return kStage2[(block << kBlockShift) | (cp & kBlockMask)];
}

} // namespace kq::casemap::table

#endif // KQ_CASE_TABLE_H
