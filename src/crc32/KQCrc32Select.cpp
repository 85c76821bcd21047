// The run-time choice of the CRC-32 path on x86: the CPU is asked once whether it has PCLMULQDQ
// and SSE4.1, and every Update() from then on takes the folding path for inputs long enough to
// gain from it, the table path otherwise.
#include "KQCrc32.h"

#include "KQCpuFeatures.h"

namespace kq::crc32 {
namespace {

bool DetectClmul() noexcept {
  const cpu::Leaf1 leaf = cpu::ReadLeaf1();
  return (leaf.ecx & bit_PCLMUL) != 0 && (leaf.ecx & bit_SSE4_1) != 0;
}

} // namespace

// The first call asks the CPU; the answer is kept for the life of the process (a function-local
// static, initialised once even when threads race for it).
bool ClmulSupported() noexcept {
  static const bool supported = DetectClmul();
  return supported;
}

std::uint32_t Update(std::uint32_t crc, const void* data, std::size_t size) noexcept {
  if (size >= kClmulMinSize && ClmulSupported()) {
    return UpdateClmul(crc, data, size);
  }
  return UpdateTable(crc, data, size);
}

} // namespace kq::crc32
