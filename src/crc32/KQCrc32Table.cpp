// Portable table path of the CRC-32: every target has it, and the folding path hands it the
// inputs too short to fold and the bytes after the last whole block.
#include "KQCrc32.h"

#include <array>

namespace kq::crc32 {
namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u; // bit-reflected x^32 + x^26 + ... + 1

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

// tables[0][b] is the CRC register after shifting byte b through an empty register;
// tables[k][b] is the same byte followed by k zero bytes, so eight bytes can be looked up
// independently and combined with XOR.
constexpr Tables MakeTables() {
  Tables tables{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t reg = b;
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 1u) != 0 ? (reg >> 1) ^ kPolynomial : reg >> 1;
    }
    tables[0][b] = reg;
  }
  for (std::size_t k = 1; k < tables.size(); ++k) {
    for (std::size_t b = 0; b < 256; ++b) {
      const std::uint32_t prev = tables[k - 1][b];
      tables[k][b] = (prev >> 8) ^ tables[0][prev & 0xFFu];
    }
  }
  return tables;
}

constexpr Tables kTables = MakeTables();

static_assert(kTables[0][1] == 0x77073096u && kTables[0][255] == 0x2D02EF8Du,
              "byte table does not match the reflected CRC-32 polynomial");

// Reads four bytes as a little-endian value; compiles to a single load on little-endian hosts
// and keeps the table path correct on big-endian ones.
inline std::uint32_t LoadLe32(const unsigned char* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

std::uint32_t UpdateTable(std::uint32_t crc, const void* data, std::size_t size) noexcept {
  const auto* p = static_cast<const unsigned char*>(data);
  std::uint32_t reg = ~crc;
  while (size >= 8) {
    const std::uint32_t lo = LoadLe32(p) ^ reg;
    const std::uint32_t hi = LoadLe32(p + 4);
    reg = kTables[7][lo & 0xFFu] ^ kTables[6][(lo >> 8) & 0xFFu] ^ kTables[5][(lo >> 16) & 0xFFu] ^
          kTables[4][lo >> 24] ^ kTables[3][hi & 0xFFu] ^ kTables[2][(hi >> 8) & 0xFFu] ^
          kTables[1][(hi >> 16) & 0xFFu] ^ kTables[0][hi >> 24];
    p += 8;
    size -= 8;
  }
  while (size > 0) {
    reg = (reg >> 8) ^ kTables[0][(reg ^ *p) & 0xFFu];
    ++p;
    --size;
  }
  return ~reg;
}

} // namespace kq::crc32
