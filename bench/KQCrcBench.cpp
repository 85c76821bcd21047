// CRC-32 and string-key workloads: the library's CRC paths against zlib's crc32() and
// libdeflate_crc32(), and the one-pass key (lowering + CRC) against "lower into a buffer, then
// CRC" with each peer.
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

std::uint32_t ZlibCrc(const void* data, std::size_t size) {
  return static_cast<std::uint32_t>(
      crc32(0, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

#if KQ_BENCH_HAVE_LIBDEFLATE
std::uint32_t LibdeflateCrc(const void* data, std::size_t size) {
  return libdeflate_crc32(0, data, size);
}
#endif

template <typename Fn> void RunBytes(benchmark::State& state, Fn crc) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<unsigned char> data = RandomBytes(size);
  for (auto _ : state) {
    benchmark::DoNotOptimize(crc(data.data(), size));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  SetElements(state, static_cast<double>(size));
}

// The key of a text: the library's one pass, or lowering into a buffer and then a peer's CRC.
template <typename Fn> void RunKey(benchmark::State& state, Fn crc) {
  const std::vector<char16_t> text = SampleText(static_cast<std::size_t>(state.range(0)));
  std::vector<char16_t> lowered(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(crc(text, lowered));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
  SetElements(state, static_cast<double>(text.size()));
}

template <typename Crc> auto LowerThen(Crc crc) {
  return [crc](const std::vector<char16_t>& text, std::vector<char16_t>& lowered) {
    kq::casemap::LowerUtf16(text.data(), text.size(), lowered.data());
    return crc(lowered.data(), lowered.size() * sizeof(char16_t));
  };
}

void ByteSizes(benchmark::internal::Benchmark* b) {
  for (std::int64_t size : {8, 32, 64, 256, 1024, 4096, 65536}) {
    b->Arg(size);
  }
}
void KeyUnits(benchmark::internal::Benchmark* b) { b->Arg(16)->Arg(64); }

void Register() {
  benchmark::RegisterBenchmark("Crc/KQ", [](benchmark::State& s) {
    RunBytes(s, [](const void* p, std::size_t n) { return kq::crc32::Compute(p, n); });
  })->Apply(ByteSizes);
  benchmark::RegisterBenchmark("Crc/KQ_table", [](benchmark::State& s) {
    RunBytes(s, [](const void* p, std::size_t n) { return kq::crc32::UpdateTable(0, p, n); });
  })->Apply(ByteSizes);
  benchmark::RegisterBenchmark("Crc/zlib", [](benchmark::State& s) {
    RunBytes(s, ZlibCrc);
  })->Apply(ByteSizes);
#if KQ_BENCH_HAVE_LIBDEFLATE
  benchmark::RegisterBenchmark("Crc/libdeflate", [](benchmark::State& s) {
    RunBytes(s, LibdeflateCrc);
  })->Apply(ByteSizes);
#endif

  benchmark::RegisterBenchmark("Key/KQ", [](benchmark::State& s) {
    RunKey(s, [](const std::vector<char16_t>& text, std::vector<char16_t>&) {
      return kq::StringKey(text.data(), text.size());
    });
  })->Apply(KeyUnits);
  benchmark::RegisterBenchmark("Key/lower_zlib", [](benchmark::State& s) {
    RunKey(s, LowerThen(ZlibCrc));
  })->Apply(KeyUnits);
#if KQ_BENCH_HAVE_LIBDEFLATE
  benchmark::RegisterBenchmark("Key/lower_libdeflate", [](benchmark::State& s) {
    RunKey(s, LowerThen(LibdeflateCrc));
  })->Apply(KeyUnits);
#endif
}

const bool kRegistered = (Register(), true);

} // namespace

bool CheckCrcColumns() {
  (void)kRegistered;
  bool ok = true;
  const auto expect = [&ok](const char* what, std::uint32_t got, std::uint32_t want) {
    if (got != want) {
      std::fprintf(stderr, "check failed: %s gave %08x, expected %08x\n", what,
                   static_cast<unsigned>(got), static_cast<unsigned>(want));
      ok = false;
    }
  };
  static const char kCheck[] = "123456789";
  constexpr std::uint32_t kCheckValue = 0xCBF43926u;
  expect("KQ crc32(\"123456789\")", kq::crc32::Compute(kCheck, 9), kCheckValue);
  expect("KQ table crc32(\"123456789\")", kq::crc32::UpdateTable(0, kCheck, 9), kCheckValue);
  expect("zlib crc32(\"123456789\")", ZlibCrc(kCheck, 9), kCheckValue);
#if KQ_BENCH_HAVE_LIBDEFLATE
  expect("libdeflate crc32(\"123456789\")", LibdeflateCrc(kCheck, 9), kCheckValue);
#endif
  // Every size the workloads use, plus odd ones that leave tails on every path.
  for (std::size_t size : {0, 1, 7, 8, 15, 32, 63, 64, 65, 256, 1000, 1024, 4096, 65536}) {
    const std::vector<unsigned char> data = RandomBytes(size);
    const std::uint32_t want = ZlibCrc(data.data(), size);
    expect("KQ crc32 of random bytes", kq::crc32::Compute(data.data(), size), want);
#if KQ_BENCH_HAVE_LIBDEFLATE
    expect("libdeflate crc32 of random bytes", LibdeflateCrc(data.data(), size), want);
#endif
  }
  for (std::size_t units : {1, 16, 64, 300}) {
    const std::vector<char16_t> text = SampleText(units);
    std::vector<char16_t> lowered(units);
    const std::uint32_t want = LowerThen(ZlibCrc)(text, lowered);
    expect("KQ key against lowered zlib", kq::StringKey(text.data(), units), want);
#if KQ_BENCH_HAVE_LIBDEFLATE
    expect("lowered libdeflate key", LowerThen(LibdeflateCrc)(text, lowered), want);
#endif
  }
  return ok;
}

} // namespace kqb
