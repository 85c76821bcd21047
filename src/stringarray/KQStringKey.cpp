// The string key: lowercase mapping and CRC-32 in one pass over fixed-size chunks.
#include "KQStringKey.h"

#include "KQCaseMap.h"
#include "KQCrc32.h"
#include "KQUtf16.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kq {
namespace {

using casemap::LowerBmpUnit;
using utf16::IsHighSurrogate;
using utf16::IsSurrogate;

// Units of a little-endian word of four UTF-16 units that are not ASCII.
constexpr std::uint64_t kNonAsciiBits = 0xFF80FF80FF80FF80u;

// Lowers four ASCII units packed in a 64-bit word: 'A'..'Z' gain 0x20, the rest stay.  Each
// 16-bit lane holds a value below 0x80, so the additions never carry into the next lane: bit 7
// of a lane of `atLeastA` is set where the unit is >= 'A', of `aboveZ` where it is > 'Z'.
constexpr std::uint64_t LowerAscii4(std::uint64_t units) noexcept {
  const std::uint64_t atLeastA = units + 0x003F003F003F003Fu;
  const std::uint64_t aboveZ = units + 0x0025002500250025u;
  return units | (((atLeastA & ~aboveZ) & 0x0080008000800080u) >> 2);
}

#if defined(__SSE2__)
// Lowers eight units at `src` into `dst` when all are ASCII and returns true; returns false,
// writing nothing, otherwise.  Every unit is below 0x80, so the signed 16-bit compares order them
// as numbers.  Built where SSE2 is part of the target (x86-64 always); elsewhere the four-unit
// word below does the same work.
inline bool LowerAscii8(const char16_t* src, char16_t* dst) noexcept {
  const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  const __m128i high = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
  if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF) {
    return false;
  }
  const __m128i upper = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_set1_epi16('A' - 1)),
                                      _mm_cmplt_epi16(units, _mm_set1_epi16('Z' + 1)));
  const __m128i lowered = _mm_add_epi16(units, _mm_and_si128(upper, _mm_set1_epi16(0x20)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), lowered);
  return true;
}
#endif

// LowerUtf16 with fast paths: runs of eight (SSE2) or four ASCII units are lowered as one word,
// other units outside the surrogate range one by one through the table.  From the first surrogate
// on, the rest of the chunk goes to LowerUtf16, which pairs surrogates (`count` never ends between
// the halves of a pair, and everything before a surrogate is a whole character).
void LowerChunk(const char16_t* src, std::size_t count, char16_t* dst) noexcept {
  std::size_t i = 0;
#if defined(__SSE2__)
  while (count - i >= 8 && LowerAscii8(src + i, dst + i)) {
    i += 8;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    while (count - i >= 4) {
      std::uint64_t units = 0;
      std::memcpy(&units, src + i, sizeof(units));
      if ((units & kNonAsciiBits) == 0) {
        units = LowerAscii4(units);
        std::memcpy(dst + i, &units, sizeof(units));
        i += 4;
        continue;
      }
      for (const std::size_t end = i + 4; i < end; ++i) {
        if (IsSurrogate(src[i])) {
          casemap::LowerUtf16(src + i, count - i, dst + i);
          return;
        }
        dst[i] = LowerBmpUnit(src[i]);
      }
    }
  }
  for (; i < count; ++i) {
    if (IsSurrogate(src[i])) {
      casemap::LowerUtf16(src + i, count - i, dst + i);
      return;
    }
    dst[i] = LowerBmpUnit(src[i]);
  }
}

} // namespace

std::uint32_t StringKey(const char16_t* text, std::size_t length) noexcept {
  static_assert(kStringKeyChunkUnits >= 2, "a chunk must hold a whole surrogate pair");
  char16_t lowered[kStringKeyChunkUnits];
  std::uint32_t crc = 0;
  while (length > 0) {
    std::size_t count = length < kStringKeyChunkUnits ? length : kStringKeyChunkUnits;
    // LowerUtf16 takes a high surrogate in the last unit as unpaired; leave it for the next
    // chunk so a pair is always lowered as one character.
    if (count < length && IsHighSurrogate(text[count - 1])) {
      --count;
    }
    LowerChunk(text, count, lowered);
    if constexpr (std::endian::native == std::endian::big) {
      // The key is defined over little-endian units.
      for (std::size_t i = 0; i < count; ++i) {
        lowered[i] = static_cast<char16_t>((lowered[i] >> 8) | (lowered[i] << 8));
      }
    }
    crc = crc32::Update(crc, lowered, count * sizeof(char16_t));
    text += count;
    length -= count;
  }
  return crc;
}

} // namespace kq
