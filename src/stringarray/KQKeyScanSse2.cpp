// The SSE2 key scan (x86 and x86-64) and the check that the CPU can run it.
//
// Only the functions marked KQ_SSE2_TARGET use the instructions, so the file builds for the
// baseline architecture: x86-64 always has SSE2, and a 32-bit x86 build that was not compiled
// for SSE2 asks the CPU once before it takes this loop.
#include "KQKeyScan.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KQ_KEY_SCAN_HAVE_SSE2 1 // NOLINT(cppcoreguidelines-macro-usage): tested by #if
#include <bit>
#include <emmintrin.h>

#include "KQCpuFeatures.h"
#else
#define KQ_KEY_SCAN_HAVE_SSE2 0 // NOLINT(cppcoreguidelines-macro-usage)
#endif

namespace kq::keyscan {

#if KQ_KEY_SCAN_HAVE_SSE2

namespace {

#if defined(__SSE2__)
constexpr bool kSse2Baseline = true;
#else
constexpr bool kSse2Baseline = false;
#endif

bool DetectSse2() noexcept { return (cpu::ReadLeaf1().edx & bit_SSE2) != 0; }

#define KQ_SSE2_TARGET __attribute__((target("sse2")))

// 32-bit Windows only guarantees a 4-byte aligned stack; the entry point realigns it so that
// spilled SSE values are aligned.
#if defined(__i386__)
#define KQ_SSE2_ENTRY KQ_SSE2_TARGET __attribute__((force_align_arg_pointer))
#else
#define KQ_SSE2_ENTRY KQ_SSE2_TARGET
#endif

// All lanes set where the four keys at `p` (any alignment) equal `wanted`'s.
KQ_SSE2_TARGET inline __m128i Equal4(const std::uint32_t* p, __m128i wanted) noexcept {
  return _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), wanted);
}

// One bit per lane of `equal`, lane 0 in bit 0.
KQ_SSE2_TARGET inline unsigned LaneMask(__m128i equal) noexcept {
  return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(equal)));
}

} // namespace

bool Sse2Supported() noexcept {
  if constexpr (kSse2Baseline) {
    return true;
  } else {
    static const bool supported = DetectSse2();
    return supported;
  }
}

// Keys that match are rare (a match is a candidate the caller confirms by text), so the loop is
// shaped for misses: sixteen keys are compared, the four results merged, and one test decides
// the step; only a step with a match works out which key it was.
KQ_SSE2_ENTRY std::size_t FindSse2(const std::uint32_t* keys, std::size_t begin, std::size_t end,
                                   std::uint32_t key) noexcept {
  const __m128i wanted = _mm_set1_epi32(static_cast<int>(key));
  std::size_t i = begin;
  for (; i + 16 <= end; i += 16) {
    const __m128i e0 = Equal4(keys + i, wanted);
    const __m128i e1 = Equal4(keys + i + 4, wanted);
    const __m128i e2 = Equal4(keys + i + 8, wanted);
    const __m128i e3 = Equal4(keys + i + 12, wanted);
    const __m128i any = _mm_or_si128(_mm_or_si128(e0, e1), _mm_or_si128(e2, e3));
    if (_mm_movemask_epi8(any) != 0) {
      const unsigned mask =
          LaneMask(e0) | LaneMask(e1) << 4 | LaneMask(e2) << 8 | LaneMask(e3) << 12;
      return i + static_cast<std::size_t>(std::countr_zero(mask));
    }
  }
  for (; i + 4 <= end; i += 4) {
    const unsigned mask = LaneMask(Equal4(keys + i, wanted));
    if (mask != 0) {
      return i + static_cast<std::size_t>(std::countr_zero(mask));
    }
  }
  for (; i < end; ++i) {
    if (keys[i] == key) {
      return i;
    }
  }
  return end;
}

#else // no SSE2 on this architecture

bool Sse2Supported() noexcept { return false; }

std::size_t FindSse2(const std::uint32_t* keys, std::size_t begin, std::size_t end,
                     std::uint32_t key) noexcept {
  return FindScalar(keys, begin, end, key);
}

#endif

} // namespace kq::keyscan
