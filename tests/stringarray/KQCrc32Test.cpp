// The CRC-32 engine: known answers, zlib as the oracle, and every path at every length,
// alignment and chaining split.
#include "KQCrc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t ZlibCrc(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

Bytes RandomBytes(std::mt19937& rng, std::size_t size) {
  std::uniform_int_distribution<int> byte(0, 255);
  Bytes out(size);
  for (auto& b : out) {
    b = static_cast<unsigned char>(byte(rng));
  }
  return out;
}

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One way of computing the CRC; the folding path needs CPU support.
struct Path {
  const char* name;
  std::uint32_t (*update)(std::uint32_t, const void*, std::size_t) noexcept;
  bool needsClmul;
};

void PrintTo(const Path& path, std::ostream* os) { *os << path.name; }

const Path kPaths[] = {
    {"Dispatch", &kq::crc32::Update, false},
    {"Table", &kq::crc32::UpdateTable, false},
    {"Clmul", &kq::crc32::UpdateClmul, true},
};

class Crc32PathTest : public ::testing::TestWithParam<Path> {
protected:
  void SetUp() override {
    if (GetParam().needsClmul && !kq::crc32::ClmulSupported()) {
      GTEST_SKIP() << "this CPU lacks PCLMULQDQ/SSE4.1 (or is not x86); folding path untested";
    }
  }
  std::uint32_t Run(std::uint32_t crc, const unsigned char* data, std::size_t size) const {
    return GetParam().update(crc, data, size);
  }
};

TEST_P(Crc32PathTest, KnownAnswers) {
  Bytes counting;
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 256; ++b) {
      counting.push_back(static_cast<unsigned char>(b));
    }
  }
  const struct {
    const char* what;
    Bytes input;
    std::uint32_t expected;
  } cases[] = {
      {"empty", {}, 0u},
      {"check string", FromString("123456789"), 0xCBF43926u},
      {"single byte", FromString("a"), 0xE8B7BE43u},
      {"'abc' as UTF-16LE", {0x61, 0, 0x62, 0, 0x63, 0}, 0xAD957AB0u},
      {"U+00E9 as UTF-16LE", {0xE9, 0x00}, 0xCE655A5Au},
      {"pangram", FromString("The quick brown fox jumps over the lazy dog"), 0x414FA339u},
      {"4096 zero bytes", Bytes(4096, 0), 0xC71C0011u},
      {"0..255 four times", counting, 0xB70B4C26u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(0, c.input.data(), c.input.size()), c.expected) << c.what;
  }
}

// Every length 0..300 at every start offset 0..15 covers all head/tail splits of the 8-byte
// table steps and the 16/64-byte folding blocks, including the switch at kClmulMinSize.
TEST_P(Crc32PathTest, MatchesZlibAtEveryLengthAndAlignment) {
  std::mt19937 rng(12345);
  const Bytes buffer = RandomBytes(rng, 300 + 16);
  for (std::size_t offset = 0; offset < 16; ++offset) {
    for (std::size_t size = 0; size <= 300; ++size) {
      const unsigned char* p = buffer.data() + offset;
      ASSERT_EQ(Run(0, p, size), ZlibCrc(0, p, size)) << "offset " << offset << " size " << size;
    }
  }
}

TEST_P(Crc32PathTest, MatchesZlibOnLargeAndRandomBuffers) {
  std::mt19937 rng(777);
  std::vector<std::size_t> sizes = {4096, 4096 + 1, 65536 + 7, 65536 + 13, 1 << 20};
  std::uniform_int_distribution<std::size_t> anySize(0, 100000);
  for (int i = 0; i < 20; ++i) {
    sizes.push_back(anySize(rng));
  }
  for (const std::size_t size : sizes) {
    const Bytes data = RandomBytes(rng, size);
    EXPECT_EQ(Run(0, data.data(), size), ZlibCrc(0, data.data(), size)) << "size " << size;
  }
}

// Chaining continues a running CRC exactly as zlib does, whatever the split points and whatever
// the starting value.
TEST_P(Crc32PathTest, ChainedUpdatesMatchOnePass) {
  std::mt19937 rng(4242);
  for (int round = 0; round < 50; ++round) {
    const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 5000)(rng);
    const Bytes data = RandomBytes(rng, size);
    const std::uint32_t seed = round % 2 == 0 ? 0u : static_cast<std::uint32_t>(rng());

    std::uint32_t crc = seed;
    std::size_t pos = 0;
    while (pos < size) {
      // Mostly short pieces, sometimes long ones that take the folding path.
      const std::size_t limit = rng() % 4 == 0 ? 2000 : 70;
      const std::size_t piece =
          std::min(size - pos, std::uniform_int_distribution<std::size_t>(0, limit)(rng));
      crc = Run(crc, data.data() + pos, piece);
      pos += piece;
    }
    ASSERT_EQ(crc, ZlibCrc(seed, data.data(), size)) << "round " << round << " size " << size;
  }
}

INSTANTIATE_TEST_SUITE_P(AllPaths, Crc32PathTest, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<Path>& param) {
                           return std::string(param.param.name);
                         });

TEST(Crc32Test, ComputeStartsFromZero) {
  const Bytes data = FromString("123456789");
  EXPECT_EQ(kq::crc32::Compute(data.data(), data.size()), 0xCBF43926u);
  EXPECT_EQ(kq::crc32::Compute(nullptr, 0), 0u);
  EXPECT_EQ(kq::crc32::Update(0x12345678u, nullptr, 0), 0x12345678u);
}

} // namespace
