// The heap side of the suite: a steady-state heap for building containers in, and the measure
// of heap bytes per element.
//
// Steady state: a fresh process hands out a container's items and texts one after another from
// untouched memory, so they lie in allocation order and every walk over them is a sequential
// prefetchable stream, which a long-running program never sees.  ChurnHeap keeps a pool of live
// blocks of mixed sizes and, per step, frees a random one and allocates another of a random size,
// so the allocator's free lists hold scattered holes.  The workloads build their untimed
// containers with one churn step per element, and run churn steps (untimed) before each timed
// build, so the timed build draws its memory from those holes too.
#ifndef KQ_BENCH_HEAP_H
#define KQ_BENCH_HEAP_H

#include "KQBench.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace kqb {

// `steps` churn steps on the suite's pool (made on first use: up to 2^18 blocks of 16..192
// bytes from the allocation operator, the sizes items and texts have).  O(steps).
void ChurnHeap(std::size_t steps);

// Untimed churn before a timed build of `n` elements.
inline void ChurnUntimed(benchmark::State& state, std::size_t n) {
  state.PauseTiming();
  ChurnHeap(n);
  state.ResumeTiming();
}

// Whether this C library reports the bytes it has handed out (glibc's mallinfo2); elsewhere
// (MinGW, musl, other libcs) the heap rows are skipped with a message.
bool HeapMeasured() noexcept;
// Bytes the C heap has handed out and not taken back: arena blocks in use plus mmapped blocks,
// malloc's own chunk overhead included.  0 where HeapMeasured() is false.
std::size_t HeapInUse() noexcept;

// The heap row: the growth of the C heap while a container takes N texts of 24 units, each
// made fresh so the container holds the only reference; everything the container allocates
// counts (items, texts, slots, key blocks, growth slack).  Measured once per repetition, with
// no churn during the measure (the pool's blocks would count).  Column: kName, Unsorted,
// Make(std::u16string), Add(Unsorted&, const Text&), and optionally
// SearchBeforeMeasure(Unsorted&, const std::vector<std::u16string>& absent): look-ups made on
// the full container before the measure, so whatever they leave in it (an index) counts too.
inline constexpr std::size_t kHeapN = 100000;
inline constexpr std::size_t kHeapUnits = 24;

inline const std::vector<std::u16string>& HeapTexts() {
  static const std::vector<std::u16string> texts =
      FixedLengthTexts(std::min(kHeapN, MaxN()), kHeapUnits);
  return texts;
}

// The look-ups of SearchBeforeMeasure: 1,000 texts that no heap text equals (each has a digit).
inline const std::vector<std::u16string>& HeapAbsentQueries() {
  static const std::vector<std::u16string> queries = [] {
    const std::vector<std::u16string>& absent = Queries(HeapTexts().size()).absent;
    return std::vector<std::u16string>(
        absent.begin(),
        absent.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(1000, absent.size())));
  }();
  return queries;
}

template <class C> void Heap(benchmark::State& state) {
  if (!HeapMeasured()) {
    state.SkipWithError("this C library reports no heap figures (mallinfo2 is glibc's)");
    return;
  }
  const std::vector<std::u16string>& texts = HeapTexts();
  const std::vector<std::u16string>& absent = HeapAbsentQueries();
  double perElement = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    {
      typename C::Unsorted list;
      for (const std::u16string& text : texts) {
        C::Add(list, C::Make(text));
      }
      if constexpr (requires { C::SearchBeforeMeasure(list, absent); }) {
        C::SearchBeforeMeasure(list, absent);
      }
      perElement = static_cast<double>(HeapInUse() - before) / static_cast<double>(texts.size());
    }
  }
  state.counters["heap_bytes_per_element"] = benchmark::Counter(perElement);
  SetElements(state, static_cast<double>(texts.size()));
}

// The heap row's sizes: N = 10^5 (or the smoke run's cap), one iteration per repetition.
#define KQB_HEAP_ROW(Column) KQB_ROW(Heap, Column, ::kqb::Capped({::kqb::kHeapN}), 1)

} // namespace kqb

#endif // KQ_BENCH_HEAP_H
