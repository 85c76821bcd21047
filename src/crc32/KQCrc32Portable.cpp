// The CRC-32 paths on targets without the x86 folding kernel: everything is the table path.
#include "KQCrc32.h"

namespace kq::crc32 {

bool ClmulSupported() noexcept { return false; }

std::uint32_t UpdateClmul(std::uint32_t crc, const void* data, std::size_t size) noexcept {
  return UpdateTable(crc, data, size);
}

std::uint32_t Update(std::uint32_t crc, const void* data, std::size_t size) noexcept {
  return UpdateTable(crc, data, size);
}

} // namespace kq::crc32
