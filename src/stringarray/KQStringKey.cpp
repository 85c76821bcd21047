// The string key: lowercase mapping and CRC-32 in one pass over fixed-size chunks.
#include "KQStringKey.h"

#include "KQCaseMap.h"
#include "KQCrc32.h"

#include <bit>

namespace kq {
namespace {

constexpr bool IsHighSurrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }

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
    casemap::LowerUtf16(text, count, lowered);
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
