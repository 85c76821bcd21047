// The string key: CRC-32 of the lowered text, computed in chunks without allocating.  The
// oracle lowers the whole text in one call and hands its little-endian bytes to zlib.
#include "KQStringKey.h"
#include "KQCaseMap.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

std::uint32_t ExpectedKey(const std::u16string& text) {
  std::vector<char16_t> lowered(text.size());
  kq::casemap::LowerUtf16(text.data(), text.size(), lowered.data());
  std::vector<unsigned char> bytes;
  for (const char16_t unit : lowered) {
    bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
    bytes.push_back(static_cast<unsigned char>(unit >> 8));
  }
  return static_cast<std::uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::uint32_t Key(const std::u16string& text) { return kq::StringKey(text.data(), text.size()); }

// Upper- and lowercase forms that lower to the same text: ASCII, Latin-1, Greek, the dotted
// capital I (whose simple lowercase is plain 'i') and a supplementary-plane letter.
struct CasePair {
  std::u16string upper;
  std::u16string lower;
};

std::vector<CasePair> CasePairs() {
  std::vector<CasePair> pairs = {
      {u"\u00C9", u"\u00E9"},         // É é
      {u"\u03A3", u"\u03C3"},         // Σ σ
      {u"\u0130", u"i"},              // İ i
      {u"\U00010400", u"\U00010428"}, // Deseret long I
      {u"\U0001E900", u"\U0001E922"}, // Adlam alif
  };
  for (char16_t c = u'A'; c <= u'Z'; ++c) {
    pairs.push_back({std::u16string(1, c), std::u16string(1, static_cast<char16_t>(c + 32))});
  }
  return pairs;
}

// Random text from the case pairs (either form), digits, and unpaired surrogates, of `length`
// units or one more when a pair lands at the end.
std::u16string RandomText(std::mt19937& rng, std::size_t length) {
  static const std::vector<CasePair> pairs = CasePairs();
  static const std::u16string extras[] = {u"7", u" ", u"\xD801", u"\xDC00", u"\xDBFF"};
  std::u16string text;
  while (text.size() < length) {
    const std::size_t pick = rng() % (pairs.size() + std::size(extras));
    if (pick < pairs.size()) {
      text += rng() % 2 == 0 ? pairs[pick].upper : pairs[pick].lower;
    } else {
      text += extras[pick - pairs.size()];
    }
  }
  return text;
}

TEST(StringKeyTest, KnownAnswers) {
  EXPECT_EQ(kq::StringKey(nullptr, 0), 0u);
  EXPECT_EQ(Key(u"abc"), 0xAD957AB0u);
  EXPECT_EQ(Key(u"ABC"), 0xAD957AB0u);
  EXPECT_EQ(Key(u"\u00C9"), 0xCE655A5Au); // lowered to é: bytes e9 00
}

TEST(StringKeyTest, MatchesLoweredCrcOnRandomTexts) {
  std::mt19937 rng(2024);
  for (std::size_t length = 0; length <= 600; ++length) {
    const std::u16string text = RandomText(rng, length);
    ASSERT_EQ(Key(text), ExpectedKey(text)) << "length " << length;
  }
}

// Long ASCII runs take the word-wide lowering: the units next to 'A' and 'Z' ('@', '[') and to
// the ASCII limit (0x7F, 0x80, 0xFF80) must not be taken for letters or for ASCII, wherever they
// stand in a run and whatever the run's length.
TEST(StringKeyTest, AsciiRunsNextToTheLetterAndAsciiLimits) {
  const std::u16string edges = {u'@', u'A', u'Z', u'[', u'`', u'a', u'z', u'{', 0x7F, 0x80, 0xFF80};
  for (std::size_t length = 1; length <= 40; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (const char16_t edge : edges) {
        std::u16string text(length, u'Q');
        text[at] = edge;
        ASSERT_EQ(Key(text), ExpectedKey(text)) << "length " << length << " at " << at;
      }
    }
  }
}

// A chunk that would end between the halves of a pair must leave the high surrogate for the
// next chunk; otherwise both halves are lowered as unpaired and the key changes.
TEST(StringKeyTest, SurrogatePairsAcrossChunkBoundaries) {
  constexpr std::size_t kChunk = kq::kStringKeyChunkUnits;
  const std::u16string upperPair = u"\U00010400";
  ASSERT_EQ(upperPair.size(), 2u);
  for (std::size_t boundary = kChunk; boundary <= 4 * kChunk; boundary += kChunk) {
    for (std::size_t tail : {0u, 1u, 5u}) {
      // The pair occupies units boundary-1 and boundary; tail units follow it.
      std::u16string text(boundary - 1, u'A');
      text += upperPair;
      text += std::u16string(tail, u'B');
      EXPECT_EQ(Key(text), ExpectedKey(text)) << "boundary " << boundary << " tail " << tail;

      // Runs of high surrogates ending in a pair, and a lone high surrogate right at the end.
      std::u16string highs(boundary - 3, u'x');
      highs += u"\xD801\xD801\xD801\xDC00";
      EXPECT_EQ(Key(highs), ExpectedKey(highs)) << "boundary " << boundary;
      std::u16string trailingHigh(boundary - 1, u'x');
      trailingHigh += u'\xD801';
      EXPECT_EQ(Key(trailingHigh), ExpectedKey(trailingHigh)) << "boundary " << boundary;
    }
  }
}

TEST(StringKeyTest, TextsDifferingOnlyInCaseShareTheKey) {
  const struct {
    std::u16string a;
    std::u16string b;
  } cases[] = {
      {u"Hello, World", u"hELLO, wORLD"},
      {u"\u00C9COLE", u"\u00E9cole"},
      {u"\u03A3\u03A3", u"\u03C3\u03C3"},
      {u"\u0130stanbul", u"istanbul"},
      {u"\U00010400\U00010401", u"\U00010428\U00010429"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Key(c.a), Key(c.b));
  }

  // Long texts whose forms are picked independently, crossing several chunk boundaries.
  static const std::vector<CasePair> pairs = CasePairs();
  std::mt19937 rng(99);
  for (int round = 0; round < 100; ++round) {
    std::u16string a, b;
    const std::size_t letters = rng() % 400;
    for (std::size_t i = 0; i < letters; ++i) {
      const CasePair& pair = pairs[rng() % pairs.size()];
      a += rng() % 2 == 0 ? pair.upper : pair.lower;
      b += rng() % 2 == 0 ? pair.upper : pair.lower;
    }
    ASSERT_EQ(Key(a), Key(b)) << "round " << round;
  }
}

TEST(StringKeyTest, DifferentLetterChangesTheKey) {
  EXPECT_NE(Key(u"abc"), Key(u"abd"));
  EXPECT_NE(Key(u"\u03C3"), Key(u"\u03C2")); // final sigma is a letter of its own
}

} // namespace
