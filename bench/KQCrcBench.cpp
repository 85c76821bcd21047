// Throughput of the CRC-32 paths against zlib's crc32(), and of the string key against the
// straightforward "lower into a buffer, then zlib" sequence.
#include "KQCaseMap.h"
#include "KQCrc32.h"
#include "KQStringKey.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

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

template <typename Fn> void RunBytes(benchmark::State& state, Fn crc) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<unsigned char> data = RandomBytes(size);
  for (auto _ : state) {
    benchmark::DoNotOptimize(crc(data.data(), size));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_Compute(benchmark::State& state) {
  RunBytes(state, [](const unsigned char* p, std::size_t n) { return kq::crc32::Compute(p, n); });
}

void BM_Table(benchmark::State& state) {
  RunBytes(state,
           [](const unsigned char* p, std::size_t n) { return kq::crc32::UpdateTable(0, p, n); });
}

void BM_Zlib(benchmark::State& state) {
  RunBytes(state,
           [](const unsigned char* p, std::size_t n) { return crc32(0, p, static_cast<uInt>(n)); });
}

void BM_StringKey(benchmark::State& state) {
  const std::vector<char16_t> text = SampleText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(kq::StringKey(text.data(), text.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
}

void BM_LowerThenZlib(benchmark::State& state) {
  const std::vector<char16_t> text = SampleText(static_cast<std::size_t>(state.range(0)));
  std::vector<char16_t> lowered(text.size());
  for (auto _ : state) {
    kq::casemap::LowerUtf16(text.data(), text.size(), lowered.data());
    benchmark::DoNotOptimize(crc32(0, reinterpret_cast<const Bytef*>(lowered.data()),
                                   static_cast<uInt>(lowered.size() * sizeof(char16_t))));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
}

#define KQ_BYTE_SIZES Arg(8)->Arg(32)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096)->Arg(65536)

BENCHMARK(BM_Compute)->KQ_BYTE_SIZES;
BENCHMARK(BM_Table)->KQ_BYTE_SIZES;
BENCHMARK(BM_Zlib)->KQ_BYTE_SIZES;
BENCHMARK(BM_StringKey)->Arg(16)->Arg(64);
BENCHMARK(BM_LowerThenZlib)->Arg(16)->Arg(64);

} // namespace

BENCHMARK_MAIN();
