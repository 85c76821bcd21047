// Shared pieces of the benchmark suite: the prepared texts every column works from, the
// case-insensitive comparison the std::vector column sorts and searches with, and the start-up
// checks that make every column prove it does the same job before anything is timed.
//
// Benchmark names are "<workload>/<column>/<N>"; columns whose name starts with "KQ" are this
// library, the others are peers.  Every benchmark sets the counter "elements" (elements handled
// per iteration), so a report can show ns per element.
#ifndef KQ_BENCH_H
#define KQ_BENCH_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kqb {

// The largest N of the array workloads; the prepared texts are this many, N takes a prefix.
inline constexpr std::size_t kMaxN = 100000;
// Queries per find workload (present ones, and absent ones).
inline constexpr std::size_t kQueries = 1000;

// kMaxN texts of 8..40 UTF-16 units: mixed-case Latin letters and a few non-ASCII letters whose
// simple lowercase equals their simple case folding (so every column orders them alike).  Fixed
// seed: every run and every column sees the same texts.
const std::vector<std::u16string>& Texts();
// `count` texts of `units` units each, from their own seed (the heap workload).
std::vector<std::u16string> FixedLengthTexts(std::size_t count, std::size_t units);

// Queries against the first `n` texts: copies of present texts with their case scrambled,
// exact copies of present texts, and texts that contain a digit (no element does, so they are
// absent).  Each list holds kQueries texts; built on first use, cached per n.
struct QuerySet {
  std::vector<std::u16string> presentScrambled;
  std::vector<std::u16string> presentExact;
  std::vector<std::u16string> absent;
};
const QuerySet& Queries(std::size_t n);

// Three-way comparison of the lowered forms of two texts, unit by unit under the library's case
// mapping, ranking units >= 0xE000 below surrogates so well-formed texts compare by code point:
// the same order CKQString::CompareNoCase defines.  O(length of the shorter text).
int CompareNoCaseU16(std::u16string_view a, std::u16string_view b) noexcept;

// Sets the "elements" counter of a run.
inline void SetElements(benchmark::State& state, double elements) {
  state.counters["elements"] = benchmark::Counter(elements);
}

// Start-up checks; each prints what disagrees and returns false.
bool CheckArrayColumns();
bool CheckCrcColumns();

} // namespace kqb

#endif // KQ_BENCH_H
