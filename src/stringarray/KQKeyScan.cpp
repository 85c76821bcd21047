// The portable key scan and the choice between it and the SSE2 loop.
#include "KQKeyScan.h"

namespace kq::keyscan {

std::size_t FindScalar(const std::uint32_t* keys, std::size_t begin, std::size_t end,
                       std::uint32_t key) noexcept {
  for (std::size_t i = begin; i < end; ++i) {
    if (keys[i] == key) {
      return i;
    }
  }
  return end;
}

std::size_t Find(const std::uint32_t* keys, std::size_t begin, std::size_t end,
                 std::uint32_t key) noexcept {
  return Sse2Supported() ? FindSse2(keys, begin, end, key) : FindScalar(keys, begin, end, key);
}

} // namespace kq::keyscan
