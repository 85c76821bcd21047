// Carry-less-multiply folding path of the CRC-32 (x86 / x86-64 with PCLMULQDQ and SSE4.1).
// Built only for x86 targets; KQCrc32Select.cpp decides at run time whether this CPU may call it.
//
// Only the functions marked KQ_CLMUL_TARGET use the instructions; the file itself is compiled
// for the baseline architecture, and Update() calls in here only after ClmulSupported().
//
// Method: the input is treated as a polynomial over GF(2) in the bit-reflected order of the
// CRC.  Four 128-bit accumulators walk 64-byte strides; each stride multiplies every
// accumulator by x^512 mod P (two 64x64 carry-less products) and adds the next 64 bytes.  The
// four are then folded into one, further 16-byte blocks are folded in by x^128, and the 128-bit
// remainder is reduced to 64, then 32 bits, and finally to the CRC by Barrett reduction.
#include "KQCrc32.h"

#if !defined(__GNUC__) || !(defined(__x86_64__) || defined(__i386__))
#error "the PCLMUL kernel is for x86 targets and GCC-compatible compilers only"
#endif

#include <immintrin.h>

namespace kq::crc32 {
namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// x^n mod P in the reflected 32-bit form (bit 31 holds x^0), shifted left by one: a reflected
// 64x64 carry-less product comes out one bit short of its true position, and the shift puts it
// back.
constexpr std::uint64_t FoldConstant(unsigned n) {
  std::uint32_t reg = 0x80000000u; // x^0
  for (unsigned i = 0; i < n; ++i) {
    reg = (reg & 1u) != 0 ? (reg >> 1) ^ kPolynomial : reg >> 1;
  }
  return static_cast<std::uint64_t>(reg) << 1;
}

// floor(x^64 / P) for the Barrett reduction, as a reflected 33-bit value.
constexpr std::uint64_t BarrettQuotient() {
  constexpr std::uint64_t kNormalPolynomial = 0x104C11DB7u; // x^32 + ... + 1, unreflected
  // Schoolbook long division, one dividend bit (x^64 down to x^0) at a time; the running
  // remainder never exceeds 33 bits.
  std::uint64_t remainder = 0;
  std::uint64_t quotient = 0;
  for (int bit = 64; bit >= 0; --bit) {
    remainder = (remainder << 1) | (bit == 64 ? 1u : 0u);
    quotient <<= 1;
    if ((remainder >> 32) != 0) {
      remainder ^= kNormalPolynomial;
      quotient |= 1u;
    }
  }
  std::uint64_t reflected = 0;
  for (int bit = 0; bit < 33; ++bit) {
    reflected |= ((quotient >> bit) & 1u) << (32 - bit);
  }
  return reflected;
}

constexpr std::uint64_t kFold512Lo = FoldConstant(4 * 128 + 32); // x^544
constexpr std::uint64_t kFold512Hi = FoldConstant(4 * 128 - 32); // x^480
constexpr std::uint64_t kFold128Lo = FoldConstant(128 + 32);     // x^160
constexpr std::uint64_t kFold128Hi = FoldConstant(128 - 32);     // x^96
constexpr std::uint64_t kFold64 = FoldConstant(64);
constexpr std::uint64_t kReflectedPolynomial = (std::uint64_t{kPolynomial} << 1) | 1u;
constexpr std::uint64_t kBarrettMu = BarrettQuotient();

static_assert(kFold64 == 0x163CD6124u && kBarrettMu == 0x1F7011641u,
              "folding constants do not match the CRC-32 polynomial");

#define KQ_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

// 32-bit Windows only guarantees a 4-byte aligned stack; the entry point realigns it so that
// spilled SSE values are aligned.
#if defined(__i386__)
#define KQ_CLMUL_ENTRY KQ_CLMUL_TARGET __attribute__((force_align_arg_pointer))
#else
#define KQ_CLMUL_ENTRY KQ_CLMUL_TARGET
#endif

KQ_CLMUL_TARGET inline __m128i Fold(__m128i acc, __m128i constants, __m128i next) noexcept {
  const __m128i lo = _mm_clmulepi64_si128(acc, constants, 0x00);
  const __m128i hi = _mm_clmulepi64_si128(acc, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

KQ_CLMUL_TARGET inline __m128i LoadBlock(const unsigned char* p) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Runs the uncomplemented CRC register `reg` over `blocks` 16-byte blocks at `p`; blocks >= 4.
KQ_CLMUL_ENTRY std::uint32_t FoldBlocks(std::uint32_t reg, const unsigned char* p,
                                        std::size_t blocks) noexcept {
  const __m128i fold512 =
      _mm_set_epi64x(static_cast<long long>(kFold512Hi), static_cast<long long>(kFold512Lo));
  const __m128i fold128 =
      _mm_set_epi64x(static_cast<long long>(kFold128Hi), static_cast<long long>(kFold128Lo));

  __m128i x0 = _mm_xor_si128(LoadBlock(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x1 = LoadBlock(p + 16);
  __m128i x2 = LoadBlock(p + 32);
  __m128i x3 = LoadBlock(p + 48);
  p += 64;
  blocks -= 4;

  for (; blocks >= 4; blocks -= 4, p += 64) {
    x0 = Fold(x0, fold512, LoadBlock(p));
    x1 = Fold(x1, fold512, LoadBlock(p + 16));
    x2 = Fold(x2, fold512, LoadBlock(p + 32));
    x3 = Fold(x3, fold512, LoadBlock(p + 48));
  }

  x0 = Fold(x0, fold128, x1);
  x0 = Fold(x0, fold128, x2);
  x0 = Fold(x0, fold128, x3);
  for (; blocks > 0; --blocks, p += 16) {
    x0 = Fold(x0, fold128, LoadBlock(p));
  }

  // 128 -> 64 bits: the low half is multiplied by x^96 and added to the high half.
  const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
  __m128i t = _mm_clmulepi64_si128(x0, fold128, 0x10);
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), t);

  // 64 -> 32 bits (plus the 32 already in place): the low word is multiplied by x^64.
  const __m128i fold64 = _mm_set_epi64x(0, static_cast<long long>(kFold64));
  t = _mm_srli_si128(x0, 4);
  x0 = _mm_clmulepi64_si128(_mm_and_si128(x0, low32), fold64, 0x00);
  x0 = _mm_xor_si128(x0, t);

  // Barrett reduction: q = floor(r * mu / x^64), crc = r - q * P, all in reflected form.
  const __m128i barrett = _mm_set_epi64x(static_cast<long long>(kBarrettMu),
                                         static_cast<long long>(kReflectedPolynomial));
  t = _mm_clmulepi64_si128(_mm_and_si128(x0, low32), barrett, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
  x0 = _mm_xor_si128(x0, t);
  return static_cast<std::uint32_t>(_mm_extract_epi32(x0, 1));
}

} // namespace

std::uint32_t UpdateClmul(std::uint32_t crc, const void* data, std::size_t size) noexcept {
  if (size < kClmulMinSize) {
    return UpdateTable(crc, data, size);
  }
  const auto* p = static_cast<const unsigned char*>(data);
  const std::size_t blocks = size / 16;
  crc = ~FoldBlocks(~crc, p, blocks);
  return UpdateTable(crc, p + blocks * 16, size % 16);
}

} // namespace kq::crc32
