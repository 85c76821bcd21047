// The key scan behind FindString on unsorted string arrays: finds a 32-bit key in a contiguous
// block of keys, with SSE2 where the CPU has it and a portable loop elsewhere.  Internal to the
// library.
#ifndef KQ_KEY_SCAN_H
#define KQ_KEY_SCAN_H

#include <cstddef>
#include <cstdint>

namespace kq::keyscan {

// Index of the first of keys[begin] .. keys[end - 1] that equals `key`, or `end` when none does.
// Reads no key outside that range (`keys` may be null when begin == end).  O(end - begin); takes
// the SSE2 loop when Sse2Supported(), the portable loop otherwise.
std::size_t Find(const std::uint32_t* keys, std::size_t begin, std::size_t end,
                 std::uint32_t key) noexcept;

// The portable loop, one key per step.
std::size_t FindScalar(const std::uint32_t* keys, std::size_t begin, std::size_t end,
                       std::uint32_t key) noexcept;

// Whether FindSse2 runs the SSE2 loop: always on x86-64, on 32-bit x86 when compiled for SSE2 or
// when the CPU reports it (asked once); never on other architectures.
bool Sse2Supported() noexcept;

// The SSE2 loop: sixteen keys per step, then four, then one; unaligned starts and any length.
// Precondition: Sse2Supported().  Where SSE2 is not compiled in, this is the portable loop.
std::size_t FindSse2(const std::uint32_t* keys, std::size_t begin, std::size_t end,
                     std::uint32_t key) noexcept;

} // namespace kq::keyscan

#endif // KQ_KEY_SCAN_H
