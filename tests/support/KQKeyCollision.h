// Texts that share a search key: the string array keys an element by the CRC-32 of its lowered
// text, and different texts with one CRC-32 are easy to make.  zlib's crc32() is the independent
// oracle, so the binaries that include this header link ZLIB::ZLIB.
#ifndef KQ_KEY_COLLISION_H
#define KQ_KEY_COLLISION_H

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>

#include <zlib.h>

namespace kqtest {

// CRC-32 of a text of lowercase ASCII letters as the array keys it (UTF-16LE, already lower).
inline std::uint32_t KeyOfLowerAscii(const std::string& text) {
  std::string bytes;
  for (char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Two different lowercase texts of eight letters with the same key, found by a birthday search
// (fixed seed: always the same pair).
inline std::pair<std::string, std::string> FindKeyCollision() {
  std::mt19937 random(7);
  std::unordered_map<std::uint32_t, std::string> seen;
  for (;;) {
    std::string text(8, 'a');
    for (char& c : text) {
      c = static_cast<char>('a' + random() % 26);
    }
    const auto [it, fresh] = seen.emplace(KeyOfLowerAscii(text), text);
    if (!fresh && it->second != text) {
      return {it->second, text};
    }
  }
}

} // namespace kqtest

#endif // KQ_KEY_COLLISION_H
