// The run-time choice of the CRC-32 path on x86: the CPU is asked once whether it has PCLMULQDQ
// and SSE4.1, and every Update() from then on takes the folding path for inputs long enough to
// gain from it, the table path otherwise.
#include "KQCrc32.h"

#if !defined(__GNUC__) || !(defined(__x86_64__) || defined(__i386__))
#error "CPU detection through cpuid is for x86 targets and GCC-compatible compilers only"
#endif

#include <cpuid.h>

namespace kq::crc32 {
namespace {

bool DetectClmul() noexcept {
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
    return false;
  }
  return (ecx & bit_PCLMUL) != 0 && (ecx & bit_SSE4_1) != 0;
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
