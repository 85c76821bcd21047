// Shared pieces of the benchmark suite: the sizes, the prepared texts every column works from,
// the peers' case-insensitive comparison, and the two registries (benchmark rows and start-up
// checks) that every workload file fills through the macros below.
//
// Benchmark names are "<workload>/<column>/<N>"; columns whose name starts with "KQ" are this
// library, the others are peers.  Every benchmark sets the counter "elements" (elements handled
// per iteration), so a report can show ns per element.  Every row also reports the aggregates
// "min" and "max" beside Google Benchmark's mean, median, stddev and cv, so one run with
// repetitions gives medians and their spread.
//
// Each workload is a function template over a column policy (a struct with a kName and the few
// static functions the workload calls); KQB_ROW registers one workload for one column.
#ifndef KQ_BENCH_H
#define KQ_BENCH_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kqb {

// ---------------------------------------------------------------------------------------------
// Sizes

// The largest N of the array workloads.  The environment variable KQ_BENCH_MAX_N lowers it (a
// smoke run: every row then runs at its sizes up to that N, or at that N when it has none).
inline constexpr std::size_t kLargestN = 1000000;
std::size_t MaxN();

// The element counts of `sizes` that are <= MaxN(), or just MaxN() when none is.
std::vector<std::int64_t> Capped(std::initializer_list<std::size_t> sizes);

// 10^3 .. 10^6: the rows whose cost per element should not grow with N.
std::vector<std::int64_t> ScaleSizes();
// 10^3 .. 10^5: rows kept at the sizes they always had, and rows that are quadratic with some
// column (one block move per element), where 10^6 would take minutes per repetition.
std::vector<std::int64_t> ClassicSizes();

inline std::size_t N(const benchmark::State& state) {
  return static_cast<std::size_t>(state.range(0));
}

// Sets the "elements" counter of a run.
inline void SetElements(benchmark::State& state, double elements) {
  state.counters["elements"] = benchmark::Counter(elements);
}

// ---------------------------------------------------------------------------------------------
// Prepared data

// The texts every column works from: PoolSize() texts of 8..40 UTF-16 units, mixed-case Latin
// letters and a few non-ASCII letters whose simple lowercase equals their simple case folding
// (so every column orders them alike).  Fixed seed: every run and every column sees the same
// texts, and a workload of N elements takes the first N (or, for a second set, the next N).
std::size_t PoolSize();
const std::vector<std::u16string>& Texts();
// `count` texts of `units` units each, from their own seed (the heap workload).
std::vector<std::u16string> FixedLengthTexts(std::size_t count, std::size_t units);
// Flips the case of letters at random: the result equals `text` without regard to case.
std::u16string ScrambleCase(std::u16string text, std::uint32_t seed);

// The positions of the first `n` texts in case-insensitive order (a stable sort under
// CompareNoCaseU16); built on first use, cached per n.
const std::vector<std::uint32_t>& SortedOrder(std::size_t n);

// Queries against the first `n` texts: copies of present texts with their case scrambled,
// exact copies of present texts, and texts that contain a digit (no element does, so they are
// absent).  Each list holds QueryCount(n) texts; built on first use, cached per n.
struct QuerySet {
  std::vector<std::u16string> presentScrambled;
  std::vector<std::u16string> presentExact;
  std::vector<std::u16string> absent;
};
const QuerySet& Queries(std::size_t n);
// 1,000 queries up to N = 10^5, fewer above, so a linear scan of 10^6 elements stays within a
// fraction of a second per iteration: max(100, min(1000, 10^8 / n)).
std::size_t QueryCount(std::size_t n);

// The repeated look-ups against the first `n` texts: kRepeatedLookUps queries, alternately a
// present text with its case scrambled and an absent text (one with a digit), from their own
// seed.  The same number at every n, however slow a column's single look-up is.
inline constexpr std::size_t kRepeatedLookUps = 1000;
std::vector<std::u16string> RepeatedQueries(std::size_t n);

// The pointer workloads' values: addresses of the first `n` bytes of one static buffer, and
// QueryCount(n) of them picked at random.
std::vector<void*> Pointers(std::size_t n);
std::vector<void*> PointerQueries(std::size_t n);

// What the find workloads answer when nothing matches.
inline constexpr unsigned kNoIndex = 0xFFFFFFFFu;

// ---------------------------------------------------------------------------------------------
// The peers' comparison (KQBenchCompare.cpp)

// Three-way comparison of the lowered forms of two texts, in the order CKQString::CompareNoCase
// defines (by the code points of the lowered forms).  O(length of the shorter text).
int CompareNoCaseU16(std::u16string_view a, std::u16string_view b) noexcept;
// Equality without regard to case as a user writes it for a linear find: unit by unit, ASCII
// units lowered inline, the first difference ends the compare; from the first non-ASCII unit
// on, the rest goes to CompareNoCaseU16.
bool EqualNoCaseU16(std::u16string_view a, std::u16string_view b) noexcept;
inline bool LessNoCaseU16(std::u16string_view a, std::u16string_view b) noexcept {
  return CompareNoCaseU16(a, b) < 0;
}
// The lowered form of `text` written into `out` (its capacity reused, so a caller that keeps
// `out` allocates only when a longer text comes): the same case map the comparison above uses,
// so two texts are equal without regard to case exactly when their lowered forms are equal.
void LowerU16(std::u16string_view text, std::u16string& out);

// ---------------------------------------------------------------------------------------------
// Registries

using WorkloadFn = void (*)(benchmark::State&);
using CheckFn = bool (*)();

// Registers "<workload>/<column>/<n>" for every n of `args` (with a fixed iteration count when
// `iterations` is not 0) and the min/max aggregates.  With `wallTime`, the workload times its
// iterations itself (benchmark::State::SetIterationTime, reported as real time): the rows whose
// work runs on other threads.  Returns true, for the macros below.
bool RegisterRow(const char* workload, const char* column, WorkloadFn fn,
                 const std::vector<std::int64_t>& args, std::int64_t iterations = 0,
                 bool wallTime = false);
// Registers a start-up check; RunChecks runs them all and prints each one that fails.
bool RegisterCheck(std::string name, CheckFn check);
bool RunChecks();
// Prints "check failed: <what>" and returns false.
bool Fail(const std::string& what);

#define KQB_CAT2(a, b) a##b
#define KQB_CAT(a, b) KQB_CAT2(a, b)

// KQB_ROW(Workload, Column, args[, iterations]): benchmark "Workload/<Column::kName>/<n>"
// timing Workload<Column>.  Use at namespace scope.
#define KQB_ROW(Workload, Column, ...)                                                             \
  [[maybe_unused]] const bool KQB_CAT(kqbRow, __COUNTER__) =                                       \
      ::kqb::RegisterRow(#Workload, Column::kName, &Workload<Column>, __VA_ARGS__)

// KQB_WALL_ROW(Workload, Column, args): KQB_ROW for a workload that times its own iterations in
// wall time.
#define KQB_WALL_ROW(Workload, Column, args)                                                       \
  [[maybe_unused]] const bool KQB_CAT(kqbRow, __COUNTER__) =                                       \
      ::kqb::RegisterRow(#Workload, Column::kName, &Workload<Column>, args, 0, true)

// KQB_CHECK(Check, Column): the start-up check Check<Column>.  Use at namespace scope.
#define KQB_CHECK(Check, Column)                                                                   \
  [[maybe_unused]] const bool KQB_CAT(kqbCheck, __COUNTER__) =                                     \
      ::kqb::RegisterCheck(std::string(#Check " for ") + Column::kName, &Check<Column>)

} // namespace kqb

#endif // KQ_BENCH_H
