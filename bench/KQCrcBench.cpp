// CRC-32 and string-key rows: the library's CRC paths against zlib's crc32() and
// libdeflate_crc32(), and the one-pass key (lowering + CRC) against "lower into a buffer, then
// CRC" with each peer.  Each workload is a template over a column policy (kName and one static
// function); KQB_ROW and KQB_CHECK register a column's row and its start-up check.
#include "KQBench.h"
#include "KQCaseMap.h"
#include "KQCrc32.h"
#include "KQStringKey.h"

#include <zlib.h>
#if KQ_BENCH_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace kqb {
namespace {

std::vector<unsigned char> RandomBytes(std::size_t size) {
  std::mt19937 rng(1);
  std::vector<unsigned char> out(size);
  for (auto& b : out) {
    b = static_cast<unsigned char>(rng());
  }
  return out;
}

// Mixed-case Latin text with a few non-ASCII letters, as element texts typically are.
std::vector<char16_t> SampleText(std::size_t units) {
  static const char16_t kAlphabet[] = u"Lorem Ipsum DOLOR sit amet, \u00C9t\u00E9 \u03A3igma ";
  std::vector<char16_t> out(units);
  for (std::size_t i = 0; i < units; ++i) {
    out[i] = kAlphabet[i % (std::size(kAlphabet) - 1)];
  }
  return out;
}

// --- CRC columns: Compute(data, size) ------------------------------------------------------------

struct KqCrc {
  static constexpr const char* kName = "KQ";
  static std::uint32_t Compute(const void* data, std::size_t size) {
    return kq::crc32::Compute(data, size);
  }
};
struct KqTableCrc {
  static constexpr const char* kName = "KQ_table";
  static std::uint32_t Compute(const void* data, std::size_t size) {
    return kq::crc32::UpdateTable(0, data, size);
  }
};
struct ZlibCrc {
  static constexpr const char* kName = "zlib";
  static std::uint32_t Compute(const void* data, std::size_t size) {
    return static_cast<std::uint32_t>(
        crc32(0, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
  }
};
#if KQ_BENCH_HAVE_LIBDEFLATE
struct LibdeflateCrc {
  static constexpr const char* kName = "libdeflate";
  static std::uint32_t Compute(const void* data, std::size_t size) {
    return libdeflate_crc32(0, data, size);
  }
};
#endif

// --- key columns: Key(text, scratch)
// ---------------------------------------------------------------

struct KqKey {
  static constexpr const char* kName = "KQ";
  static std::uint32_t Key(const std::vector<char16_t>& text, std::vector<char16_t>&) {
    return kq::StringKey(text.data(), text.size());
  }
};
// Lowering into a buffer with the case map's general routine, then a peer's CRC.
template <class Crc> struct LowerThen {
  static std::uint32_t Key(const std::vector<char16_t>& text, std::vector<char16_t>& lowered) {
    kq::casemap::LowerUtf16(text.data(), text.size(), lowered.data());
    return Crc::Compute(lowered.data(), lowered.size() * sizeof(char16_t));
  }
};
struct LowerZlib : LowerThen<ZlibCrc> {
  static constexpr const char* kName = "lower_zlib";
};
#if KQ_BENCH_HAVE_LIBDEFLATE
struct LowerLibdeflate : LowerThen<LibdeflateCrc> {
  static constexpr const char* kName = "lower_libdeflate";
};
#endif

// --- workloads
// --------------------------------------------------------------------------------------

// The CRC of N random bytes.
template <class C> void Crc(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<unsigned char> data = RandomBytes(size);
  for (auto _ : state) {
    benchmark::DoNotOptimize(C::Compute(data.data(), size));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  SetElements(state, static_cast<double>(size));
}

// The key of a text of N units.
template <class C> void Key(benchmark::State& state) {
  const std::vector<char16_t> text = SampleText(static_cast<std::size_t>(state.range(0)));
  std::vector<char16_t> lowered(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(C::Key(text, lowered));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
  SetElements(state, static_cast<double>(text.size()));
}

const std::vector<std::int64_t> kByteSizes = {8, 32, 64, 256, 1024, 4096, 65536};
const std::vector<std::int64_t> kKeyUnits = {16, 64};

// --- start-up checks
// ------------------------------------------------------------------------------

bool Expect(const std::string& what, std::uint32_t got, std::uint32_t want) {
  if (got == want) {
    return true;
  }
  char line[64];
  std::snprintf(line, sizeof line, " gave %08x, expected %08x", static_cast<unsigned>(got),
                static_cast<unsigned>(want));
  return Fail(what + line);
}

// The check value, and zlib's answer on every size the rows use plus odd ones that leave tails
// on every path.
template <class C> bool CheckCrc() {
  static const char kCheck[] = "123456789";
  bool ok = Expect("crc32(\"123456789\")", C::Compute(kCheck, 9), 0xCBF43926u);
  for (std::size_t size : {0, 1, 7, 8, 15, 32, 63, 64, 65, 256, 1000, 1024, 4096, 65536}) {
    const std::vector<unsigned char> data = RandomBytes(size);
    ok = Expect("crc32 of random bytes", C::Compute(data.data(), size),
                ZlibCrc::Compute(data.data(), size)) &&
         ok;
  }
  return ok;
}

// The key equals lowering into a buffer and zlib's CRC of it.
template <class C> bool CheckKey() {
  bool ok = true;
  for (std::size_t units : {1, 16, 64, 300}) {
    const std::vector<char16_t> text = SampleText(units);
    std::vector<char16_t> lowered(units);
    const std::uint32_t want = LowerZlib::Key(text, lowered);
    ok = Expect("key of sample text", C::Key(text, lowered), want) && ok;
  }
  return ok;
}

// --- registration
// ---------------------------------------------------------------------------------

KQB_CHECK(CheckCrc, KqCrc);
KQB_CHECK(CheckCrc, KqTableCrc);
KQB_CHECK(CheckCrc, ZlibCrc);
KQB_CHECK(CheckKey, KqKey);
KQB_ROW(Crc, KqCrc, kByteSizes);
KQB_ROW(Crc, KqTableCrc, kByteSizes);
KQB_ROW(Crc, ZlibCrc, kByteSizes);
KQB_ROW(Key, KqKey, kKeyUnits);
KQB_ROW(Key, LowerZlib, kKeyUnits);
#if KQ_BENCH_HAVE_LIBDEFLATE
KQB_CHECK(CheckCrc, LibdeflateCrc);
KQB_CHECK(CheckKey, LowerLibdeflate);
KQB_ROW(Crc, LibdeflateCrc, kByteSizes);
KQB_ROW(Key, LowerLibdeflate, kKeyUnits);
#endif

} // namespace
} // namespace kqb
