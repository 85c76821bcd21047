// The x86 feature words that the run-time choices of the library read (the CRC-32 folding path,
// the SSE2 key scan).  Each caller asks once and keeps the answer; cpuid costs tens of cycles and
// never changes for the life of the process.  Internal to the library, x86 with GCC-compatible
// compilers only.
#ifndef KQ_CPU_FEATURES_H
#define KQ_CPU_FEATURES_H

#if !defined(__GNUC__) || !(defined(__x86_64__) || defined(__i386__))
#error "KQCpuFeatures.h reads cpuid: x86 targets and GCC-compatible compilers only"
#endif

#include <cpuid.h>

namespace kq::cpu {

// The feature words of cpuid leaf 1 (bit_SSE2 in edx; bit_PCLMUL, bit_SSE4_1 in ecx).
struct Leaf1 {
  unsigned ecx = 0;
  unsigned edx = 0;
};

// Leaf 1 of this CPU; both words 0 (no feature) when the CPU does not answer it.
inline Leaf1 ReadLeaf1() noexcept {
  unsigned eax = 0;
  unsigned ebx = 0;
  Leaf1 leaf;
  if (__get_cpuid(1, &eax, &ebx, &leaf.ecx, &leaf.edx) == 0) {
    return {};
  }
  return leaf;
}

} // namespace kq::cpu

#endif // KQ_CPU_FEATURES_H
