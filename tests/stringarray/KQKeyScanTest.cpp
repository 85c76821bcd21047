// The key scan: every implementation against std::find on fixed and random blocks, at unaligned
// starts and with every tail length.  A path the CPU lacks is skipped visibly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "KQKeyScan.h"

namespace {

using FindFunction = std::size_t (*)(const std::uint32_t*, std::size_t, std::size_t,
                                     std::uint32_t) noexcept;

struct Implementation {
  const char* name;
  FindFunction find;
  bool (*supported)() noexcept;
};

// Test names and failure messages show the implementation by name.
void PrintTo(const Implementation& implementation, std::ostream* out) {
  *out << implementation.name;
}

bool Always() noexcept { return true; }

const Implementation kImplementations[] = {
    {"scalar", kq::keyscan::FindScalar, Always},
    {"sse2", kq::keyscan::FindSse2, kq::keyscan::Sse2Supported},
    {"dispatch", kq::keyscan::Find, Always},
};

std::size_t Reference(const std::vector<std::uint32_t>& block, std::size_t shift, std::size_t begin,
                      std::size_t end, std::uint32_t key) {
  const auto first = block.begin() + static_cast<std::ptrdiff_t>(shift + begin);
  const auto last = block.begin() + static_cast<std::ptrdiff_t>(shift + end);
  return static_cast<std::size_t>(std::find(first, last, key) - first) + begin;
}

class KeyScan : public testing::TestWithParam<Implementation> {
protected:
  void SetUp() override {
    if (!GetParam().supported()) {
      GTEST_SKIP() << GetParam().name << " is not available on this CPU or build";
    }
  }

  // Runs the implementation on keys[begin, end) where keys = block.data() + shift and the range
  // ends at the end of the block's allocation, so a sanitizer sees any read past `end`.
  std::size_t Run(const std::vector<std::uint32_t>& block, std::size_t shift, std::size_t begin,
                  std::uint32_t key) const {
    const std::size_t end = block.size() - shift;
    return GetParam().find(block.data() + shift, begin, end, key);
  }
};

} // namespace

TEST_P(KeyScan, EmptyRangesFindNothing) {
  const FindFunction find = GetParam().find;
  EXPECT_EQ(find(nullptr, 0, 0, 0u), 0u);
  const std::vector<std::uint32_t> keys(8, 5u);
  for (std::size_t at = 0; at <= keys.size(); ++at) {
    EXPECT_EQ(find(keys.data(), at, at, 5u), at);
  }
}

// Exactly one match, at every position of ranges of every length up to 70 (all step sizes and
// tails), starting at every offset from a 16-byte boundary; keys chosen to catch lane and sign
// mistakes.
TEST_P(KeyScan, FindsASingleMatchAtEveryPosition) {
  const std::uint32_t keys[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xCBF43926u};
  for (const std::uint32_t key : keys) {
    const std::uint32_t other = key ^ 0x00000100u; // differs in one byte only
    for (std::size_t shift = 0; shift < 4; ++shift) {
      for (std::size_t begin = 0; begin < 5; ++begin) {
        for (std::size_t length = 0; length <= 70; ++length) {
          std::vector<std::uint32_t> block(shift + begin + length, other);
          ASSERT_EQ(Run(block, shift, begin, key), begin + length)
              << "no match; key " << key << " shift " << shift << " length " << length;
          for (std::size_t at = 0; at < length; ++at) {
            block[shift + begin + at] = key;
            ASSERT_EQ(Run(block, shift, begin, key), begin + at)
                << "key " << key << " shift " << shift << " begin " << begin << " length "
                << length;
            block[shift + begin + at] = other;
          }
        }
      }
    }
  }
}

TEST_P(KeyScan, KeysBeforeTheRangeAreNotLookedAt) {
  std::vector<std::uint32_t> block(40, 9u);
  block[3] = 7u;
  block[37] = 7u;
  EXPECT_EQ(Run(block, 0, 4, 7u), 37u);
  EXPECT_EQ(Run(block, 0, 3, 7u), 3u);
}

// Random blocks from a small alphabet (so matches, several per step, are common) at random
// shifts, starts and lengths, against std::find.
TEST_P(KeyScan, MatchesStdFindOnRandomBlocks) {
  std::mt19937 random(20240611); // 32-bit results
  for (int round = 0; round < 4000; ++round) {
    const std::size_t shift = random() % 4;
    const std::size_t length = random() % 200;
    const std::size_t begin = length == 0 ? 0 : random() % (length + 1);
    const auto alphabet = static_cast<std::uint32_t>(1 + random() % 40);
    std::vector<std::uint32_t> block(shift + length);
    for (std::uint32_t& key : block) {
      key = 0x9E3779B9u * static_cast<std::uint32_t>(random() % alphabet);
    }
    const std::uint32_t key = 0x9E3779B9u * static_cast<std::uint32_t>(random() % (alphabet + 1));
    ASSERT_EQ(Run(block, shift, begin, key), Reference(block, shift, begin, length, key))
        << "round " << round << " shift " << shift << " begin " << begin << " length " << length;
  }
}

INSTANTIATE_TEST_SUITE_P(Implementations, KeyScan, testing::ValuesIn(kImplementations),
                         [](const testing::TestParamInfo<Implementation>& param) {
                           return std::string(param.param.name);
                         });

TEST(KeyScanChoice, X86BuildsTakeTheSse2Loop) {
#if defined(__x86_64__)
  EXPECT_TRUE(kq::keyscan::Sse2Supported()) << "x86-64 always has SSE2";
#elif defined(__i386__)
  GTEST_LOG_(INFO) << "32-bit x86: the CPU reports SSE2 " << kq::keyscan::Sse2Supported();
#else
  EXPECT_FALSE(kq::keyscan::Sse2Supported());
#endif
}
