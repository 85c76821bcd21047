// The pointer-array workloads, each written once as a template over a column policy, and the
// start-up check every pointer column passes.
//
// A pointer column is a struct with kName, Container, and Add(Container&, void*),
// Find(Container&, void*) (first index or kNoIndex), RemoveFront(Container&), Size(Container&).
#ifndef KQ_PTR_WORKLOADS_H
#define KQ_PTR_WORKLOADS_H

#include "KQBench.h"

#include <algorithm>
#include <vector>

namespace kqb {

template <class C>
void FillPointers(typename C::Container& list, const std::vector<void*>& values) {
  for (void* value : values) {
    C::Add(list, value);
  }
}

// Add N values to a new container, which is then destroyed.
template <class C> void PtrAdd(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  for (auto _ : state) {
    typename C::Container list;
    FillPointers<C>(list, values);
    benchmark::DoNotOptimize(C::Size(list));
  }
  SetElements(state, static_cast<double>(values.size()));
}

// Find present values; "elements" counts the element visits of a full scan per query.
template <class C> void PtrFind(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  typename C::Container list;
  FillPointers<C>(list, values);
  const std::vector<void*> queries = PointerQueries(N(state));
  for (auto _ : state) {
    for (void* q : queries) {
      benchmark::DoNotOptimize(C::Find(list, q));
    }
  }
  SetElements(state, static_cast<double>(queries.size() * values.size()));
}

// RemoveAt(0) until empty; refilling the container is not timed.
template <class C> void PtrRemoveFront(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  typename C::Container list;
  for (auto _ : state) {
    state.PauseTiming();
    FillPointers<C>(list, values);
    state.ResumeTiming();
    while (C::Size(list) != 0) {
      C::RemoveFront(list);
    }
  }
  SetElements(state, static_cast<double>(values.size()));
}

// The column answers like std::find, and RemoveFront empties it.
template <class C> bool CheckPtrColumn() {
  const std::size_t n = std::min<std::size_t>(3000, MaxN());
  const std::vector<void*> values = Pointers(n);
  typename C::Container list;
  FillPointers<C>(list, values);
  for (void* q : PointerQueries(n)) {
    const auto at =
        static_cast<unsigned>(std::find(values.begin(), values.end(), q) - values.begin());
    if (C::Find(list, q) != at) {
      return Fail("pointer find differs from std::find");
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    C::RemoveFront(list);
  }
  return C::Size(list) == 0 || Fail("pointer RemoveFront");
}

} // namespace kqb

#endif // KQ_PTR_WORKLOADS_H
