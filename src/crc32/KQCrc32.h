// CRC-32 (reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF, final complement): the
// checksum every string-array element carries as its key.  Internal to the library.
//
// All functions take and return the finished CRC value, so a running checksum is started with
// 0 and continued by passing the previous result back in:
//   Update(Update(0, a, na), b, nb) == Compute(a ++ b, na + nb).
//
// The paths live apart: KQCrc32Table.cpp (portable table), KQCrc32Pclmul.cpp (x86 folding
// kernel), KQCrc32Select.cpp (x86: asks the CPU once and routes Update), KQCrc32Portable.cpp
// (every other target: the table path behind every entry point).
#ifndef KQ_CRC32_H
#define KQ_CRC32_H

#include <cstddef>
#include <cstdint>

namespace kq::crc32 {

// Smallest input for which Update() hands the work to the carry-less-multiply path; below it
// the set-up and final reduction of the folding cost more than the table lookups they save.
inline constexpr std::size_t kClmulMinSize = 64;

// Continues `crc` over `size` bytes at `data` (which may be null when `size` is 0), taking the
// fastest path this CPU offers.
std::uint32_t Update(std::uint32_t crc, const void* data, std::size_t size) noexcept;

// The CRC-32 of `size` bytes at `data`; Compute(data, 0) == 0.
inline std::uint32_t Compute(const void* data, std::size_t size) noexcept {
  return Update(0, data, size);
}

// The individual paths, exposed for tests and benchmarks.

// Portable slice-by-8 table path: 8 bytes per step, O(size), 8 KiB of constant tables.
std::uint32_t UpdateTable(std::uint32_t crc, const void* data, std::size_t size) noexcept;

// Whether this CPU can run UpdateClmul() (x86 with PCLMULQDQ and SSE4.1).  Detected once, on
// the first call; always false on other architectures.
bool ClmulSupported() noexcept;

// Carry-less-multiply folding path for any size: the whole 16-byte blocks of inputs of at least
// kClmulMinSize bytes are folded with PCLMULQDQ, the rest goes through the table.
// Precondition: ClmulSupported().  On non-x86 builds this is the table path.
std::uint32_t UpdateClmul(std::uint32_t crc, const void* data, std::size_t size) noexcept;

} // namespace kq::crc32

#endif // KQ_CRC32_H
