// The string-array workloads, each written once as a template over a column policy, and the
// start-up check every string column passes before anything is timed.
//
// A string column is a struct with:
//   kName                        the column's name in the benchmark names
//   Text, Unsorted, Sorted       its string type, its plain container, and the container that
//                                keeps case-insensitive order (may be the same type)
//   Texts()                      the prepared texts as Text (PoolSize() of them, same order)
//   Make(std::u16string)         a fresh Text (queries, heap row)
//   Units(Text), Length(Text)    its UTF-16 units
//   View(Text)                   the same units as a std::u16string_view, the way a reader of the
//                                column gets at them most directly
//   Size(list)                   the element count (either container)
//   Add(Unsorted&, Text)         append a copy
//   AddSorted(Sorted&, Text)     insert a copy in order, one string at a time
//   BuildSorted(Sorted&, n)      the first n texts into an empty sorted container, as a user
//                                loads many strings at once
//   AppendToSorted(Sorted&, Unsorted&)  all strings of an unsorted container into a sorted one
//   ReadOut(list, i)             a copy of element i
//   FindNoCase / FindExact(Unsorted&, Text)  first index of a match in a linear find, or kNoIndex
//   FindSorted(Sorted&, Text)    first index of a case-insensitive match in a sorted container
//   RemoveFront(Unsorted&)       remove element 0
//   Append(Unsorted&, Unsorted&), Copy(Unsorted&, Unsorted&), Plus(Unsorted&, Unsorted&)
//                                the whole-container operations (Plus returns the sum)
//   CreateFlat(Unsorted&), FreeFlat(Unsorted&, flat)  a NULL-terminated block of
//                                zero-terminated copies, made and released
//   kThreads                     the threads that run the concurrent range-for at once
//
// The range-for workloads read the container through a const reference with `for (const Text&
// text : list)`, as a caller that only reads would write it.
//
// Containers that a workload only reads are built once per run, with heap churn between the
// elements; containers that a workload builds are built in the timed loop after untimed churn
// (see KQBenchHeap.h).
#ifndef KQ_STRING_WORKLOADS_H
#define KQ_STRING_WORKLOADS_H

#include "KQBench.h"
#include "KQBenchHeap.h"
#include "KQBenchThreads.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kqb {

// --- building blocks ---------------------------------------------------------------------------

// Texts [first, first + count) appended in order, one churn step after each.
template <class C>
void FillUnsorted(typename C::Unsorted& list, std::size_t count, std::size_t first = 0) {
  const auto& texts = C::Texts();
  for (std::size_t i = first; i < first + count; ++i) {
    C::Add(list, texts[i]);
    ChurnHeap(1);
  }
}

// The first n texts inserted in case-insensitive order (each goes to the end, so this is
// O(n log n) for every column), one churn step after each.
template <class C> void FillSorted(typename C::Sorted& list, std::size_t n) {
  const auto& texts = C::Texts();
  for (std::uint32_t i : SortedOrder(n)) {
    C::AddSorted(list, texts[i]);
    ChurnHeap(1);
  }
}

template <class C> std::vector<typename C::Text> Convert(const std::vector<std::u16string>& in) {
  std::vector<typename C::Text> out;
  out.reserve(in.size());
  for (const std::u16string& text : in) {
    out.push_back(C::Make(text));
  }
  return out;
}

// The prepared texts as the column's Text, made on first use.
template <class C> const std::vector<typename C::Text>& PreparedTexts() {
  static const std::vector<typename C::Text> texts = Convert<C>(Texts());
  return texts;
}

template <class C> bool SameText(const typename C::Text& a, const std::u16string& b) {
  return C::Length(a) == b.size() &&
         std::memcmp(C::Units(a), b.data(), b.size() * sizeof(char16_t)) == 0;
}

// The peers' flat array: copies from the allocation operator in a block from it, as
// CreateMemoryArray makes them; FreeFlatByLoop releases such a block entry by entry.  The
// peers' containers (std::vector, QStringList) hand out a const reference by operator[], so
// the texts are read in place.
template <class C> const unsigned short** HandMadeFlat(const typename C::Unsorted& list) {
  using Index = typename C::Unsorted::size_type;
  const std::size_t count = C::Size(list);
  auto** block = static_cast<const unsigned short**>(::operator new((count + 1) * sizeof(void*)));
  for (std::size_t i = 0; i < count; ++i) {
    const typename C::Text& text = list[static_cast<Index>(i)];
    const std::size_t units = C::Length(text);
    auto* copy = static_cast<char16_t*>(::operator new((units + 1) * sizeof(char16_t)));
    std::memcpy(copy, C::Units(text), units * sizeof(char16_t));
    copy[units] = 0;
    block[i] = reinterpret_cast<const unsigned short*>(copy);
  }
  block[count] = nullptr;
  return block;
}

inline void FreeFlatByLoop(const unsigned short** block) {
  for (std::size_t i = 0; block[i] != nullptr; ++i) {
    ::operator delete(const_cast<unsigned short*>(block[i]));
  }
  ::operator delete(static_cast<void*>(block));
}

// --- building workloads (the container is built in the timed loop) ------------------------------

// A new container of type List built by `build(list, N)` (which returns its size) in the timed
// loop, after untimed churn; its destruction is timed too.
template <class List, class Build> void RunBuild(benchmark::State& state, Build build) {
  for (auto _ : state) {
    ChurnUntimed(state, N(state));
    List list;
    benchmark::DoNotOptimize(build(list, N(state)));
  }
  SetElements(state, static_cast<double>(N(state)));
}

// A new container of type List built by `build(list, N)` (its result handed to DoNotOptimize)
// in the timed loop; only the build is timed.  The container of one iteration is
// released untimed at the start of the next, before the untimed churn, so the heap goes through
// the same steps as in RunBuild; the last one goes after the loop.
template <class List, class Build> void RunBuildOnly(benchmark::State& state, Build build) {
  std::optional<List> list;
  for (auto _ : state) {
    state.PauseTiming();
    list.reset();
    ChurnHeap(N(state));
    state.ResumeTiming();
    benchmark::DoNotOptimize(build(list.emplace(), N(state)));
  }
  SetElements(state, static_cast<double>(N(state)));
}

// Unsorted add of a copy of each of N prepared texts to a new container (each column's own
// copy: a reference-count step for the library's and Qt's shared strings, a new buffer for
// std::u16string).  The container's release is not timed.
template <class C> void AddUnsorted(benchmark::State& state) {
  RunBuildOnly<typename C::Unsorted>(state, [](typename C::Unsorted& list, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      C::Add(list, C::Texts()[i]);
    }
    return C::Size(list);
  });
}

// "Build an array, search once": the unsorted adds of AddUnsorted, then one case-insensitive
// find of an absent text (a full scan in every column), so the first look-up after a build pays
// for whatever the adds left for it to do.  The container's release is not timed; "elements"
// counts the adds.
template <class C> void FirstFind(benchmark::State& state) {
  const typename C::Text query = C::Make(Queries(N(state)).absent.front());
  RunBuildOnly<typename C::Unsorted>(state, [&query](typename C::Unsorted& list, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      C::Add(list, C::Texts()[i]);
    }
    return C::FindNoCase(list, query);
  });
}

// Sorted add one by one: N texts inserted in order, each where it belongs.
template <class C> void AddSorted(benchmark::State& state) {
  RunBuild<typename C::Sorted>(state, [](typename C::Sorted& list, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      C::AddSorted(list, C::Texts()[i]);
    }
    return C::Size(list);
  });
}

// A sorted container of N texts loaded the fast way each column offers ("add many, order once").
template <class C> void SortedBuild(benchmark::State& state) {
  RunBuild<typename C::Sorted>(state, [](typename C::Sorted& list, std::size_t n) {
    C::BuildSorted(list, n);
    return C::Size(list);
  });
}

// N unsorted texts (the second text set) appended to a sorted container of N; the sorted
// container is rebuilt and released untimed around each timed append.
template <class C> void AppendToSorted(benchmark::State& state) {
  typename C::Unsorted more;
  FillUnsorted<C>(more, N(state), N(state));
  for (auto _ : state) {
    state.PauseTiming();
    auto target = std::make_unique<typename C::Sorted>();
    FillSorted<C>(*target, N(state));
    state.ResumeTiming();
    C::AppendToSorted(*target, more);
    benchmark::DoNotOptimize(C::Size(*target));
    state.PauseTiming();
    target.reset();
    state.ResumeTiming();
  }
  SetElements(state, static_cast<double>(N(state)));
}

// RemoveAt(0) until empty; refilling the container is not timed.
template <class C> void RemoveFront(benchmark::State& state) {
  typename C::Unsorted list;
  for (auto _ : state) {
    state.PauseTiming();
    FillUnsorted<C>(list, N(state));
    state.ResumeTiming();
    while (C::Size(list) != 0) {
      C::RemoveFront(list);
    }
  }
  SetElements(state, static_cast<double>(N(state)));
}

// --- reading workloads (the container is built once per run) ------------------------------------

// Copy-out of every element by index.
template <class C> void CopyOut(benchmark::State& state) {
  typename C::Unsorted list;
  FillUnsorted<C>(list, N(state));
  for (auto _ : state) {
    for (std::size_t i = 0; i < N(state); ++i) {
      const typename C::Text text = C::ReadOut(list, i);
      benchmark::DoNotOptimize(C::Units(text));
    }
  }
  SetElements(state, static_cast<double>(N(state)));
}

// One const range-for over the container: every element by const reference, its length and its
// first unit summed (the texts are never empty), so every column reads each element's text where
// it lies, as a loop that uses the strings does.
template <class C> std::size_t RangeForPass(const typename C::Unsorted& list) {
  std::size_t sum = 0;
  for (const typename C::Text& text : list) {
    const std::u16string_view units = C::View(text);
    sum += units.size() + units.front();
  }
  return sum;
}

// The const range-for over N elements on one thread.
template <class C> void ConstRangeFor(benchmark::State& state) {
  typename C::Unsorted list;
  FillUnsorted<C>(list, N(state));
  const typename C::Unsorted& readOnly = list;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RangeForPass<C>(readOnly));
  }
  SetElements(state, static_cast<double>(N(state)));
}

// The same range-for on C::kThreads threads at once over one container of N, no thread writing;
// each thread makes the whole pass.  Wall time from the start of the passes to the end of the
// last, and "elements" counts every thread's elements, so ns per element is the inverse of the
// total rate: with perfect scaling, two threads show half the figure of one.  The threads run in
// a forked child (KQBenchThreads.h).
template <class C> void ConcurrentRangeFor(benchmark::State& state) {
  typename C::Unsorted list;
  FillUnsorted<C>(list, N(state));
  const typename C::Unsorted& readOnly = list;
  const std::vector<double> seconds = TimeOnThreads(
      state.max_iterations, C::kThreads, [&readOnly] { return RangeForPass<C>(readOnly); });
  if (seconds.empty()) {
    state.SkipWithError("the child process that runs the threads failed");
  }
  std::size_t round = 0;
  for (auto _ : state) {
    state.SetIterationTime(seconds[round++]);
  }
  SetElements(state, static_cast<double>(N(state)) * C::kThreads);
}

// Linear finds in an unsorted container of N: "elements" counts the element visits of a full
// scan per query, so ns per element is the scan cost per element.
enum class Match { kNoCase, kExact };

template <class C>
void RunFind(benchmark::State& state, Match match, const std::vector<std::u16string>& queries) {
  typename C::Unsorted list;
  FillUnsorted<C>(list, N(state));
  const std::vector<typename C::Text> converted = Convert<C>(queries);
  // One untimed search first: the library takes its keys at the first search after the adds
  // (FirstFind times that), and these rows time the scan itself.
  benchmark::DoNotOptimize(C::FindNoCase(list, converted.front()));
  for (auto _ : state) {
    for (const typename C::Text& query : converted) {
      benchmark::DoNotOptimize(match == Match::kNoCase ? C::FindNoCase(list, query)
                                                       : C::FindExact(list, query));
    }
  }
  SetElements(state, static_cast<double>(converted.size() * N(state)));
}

// Case-insensitive look-up of present texts with their case scrambled.
template <class C> void FindNoCasePresent(benchmark::State& state) {
  RunFind<C>(state, Match::kNoCase, Queries(N(state)).presentScrambled);
}
// Case-insensitive look-up of absent texts (a full scan each).
template <class C> void FindNoCaseAbsent(benchmark::State& state) {
  RunFind<C>(state, Match::kNoCase, Queries(N(state)).absent);
}
// Exact look-up, half present, half absent.
template <class C> void FindExact(benchmark::State& state) {
  std::vector<std::u16string> both = Queries(N(state)).presentExact;
  both.insert(both.end(), Queries(N(state)).absent.begin(), Queries(N(state)).absent.end());
  RunFind<C>(state, Match::kExact, both);
}

// Case-insensitive look-up in a sorted container of N, half present (case scrambled), half
// absent; "elements" counts the look-ups, so the report shows ns per look-up.
template <class C> void FindSorted(benchmark::State& state) {
  typename C::Sorted list;
  FillSorted<C>(list, N(state));
  std::vector<std::u16string> both = Queries(N(state)).presentScrambled;
  both.insert(both.end(), Queries(N(state)).absent.begin(), Queries(N(state)).absent.end());
  const std::vector<typename C::Text> queries = Convert<C>(both);
  for (auto _ : state) {
    for (const typename C::Text& query : queries) {
      benchmark::DoNotOptimize(C::FindSorted(list, query));
    }
  }
  SetElements(state, static_cast<double>(queries.size()));
}

// Repeated look-ups: the same kRepeatedLookUps case-insensitive finds (RepeatedQueries: half
// present with their case scrambled, half absent) in every iteration, on one container built
// before the loop that lives through the whole run, as in a program that keeps one list and
// searches it again and again.  The look-ups are first made kRepeatedWarmUpPasses times untimed,
// so whatever a column builds on the first look-ups (an index) is in place before the timing
// starts and the figure is the steady state.  "elements" counts the look-ups, so the report
// shows ns per look-up.
inline constexpr int kRepeatedWarmUpPasses = 200;

template <class C, class List, class Find>
void RunRepeatedFind(benchmark::State& state, List& list, Find find) {
  const std::vector<typename C::Text> queries = Convert<C>(RepeatedQueries(N(state)));
  const auto pass = [&list, &find, &queries] {
    for (const typename C::Text& query : queries) {
      benchmark::DoNotOptimize(find(list, query));
    }
  };
  for (int i = 0; i < kRepeatedWarmUpPasses; ++i) {
    pass();
  }
  for (auto _ : state) {
    pass();
  }
  SetElements(state, static_cast<double>(queries.size()));
}

// In an unsorted container of N (filled with churn, as the linear find rows).
template <class C> void FindRepeated(benchmark::State& state) {
  typename C::Unsorted list;
  FillUnsorted<C>(list, N(state));
  RunRepeatedFind<C>(state, list, [](typename C::Unsorted& l, const typename C::Text& q) {
    return C::FindNoCase(l, q);
  });
}

// In a sorted container of N loaded the fast way (BuildSorted).
template <class C> void FindRepeatedSorted(benchmark::State& state) {
  typename C::Sorted list;
  C::BuildSorted(list, N(state));
  RunRepeatedFind<C>(state, list, [](typename C::Sorted& l, const typename C::Text& q) {
    return C::FindSorted(l, q);
  });
}

// Whole-container operations on unsorted containers of N elements.
template <class C> void Append(benchmark::State& state) {
  typename C::Unsorted source;
  FillUnsorted<C>(source, N(state));
  for (auto _ : state) {
    typename C::Unsorted target;
    C::Append(target, source);
    benchmark::DoNotOptimize(C::Size(target));
  }
  SetElements(state, static_cast<double>(N(state)));
}
template <class C> void Copy(benchmark::State& state) {
  typename C::Unsorted source;
  FillUnsorted<C>(source, N(state));
  typename C::Unsorted target;
  for (auto _ : state) {
    C::Copy(target, source); // from the second iteration on: replaces N elements
    benchmark::DoNotOptimize(C::Size(target));
  }
  SetElements(state, static_cast<double>(N(state)));
}
// Two halves of N/2 elements concatenated into a new container of N.
template <class C> void Plus(benchmark::State& state) {
  typename C::Unsorted left;
  typename C::Unsorted right;
  FillUnsorted<C>(left, N(state) / 2);
  FillUnsorted<C>(right, N(state) / 2, N(state) / 2);
  for (auto _ : state) {
    auto sum = C::Plus(left, right);
    benchmark::DoNotOptimize(C::Size(sum));
  }
  SetElements(state, static_cast<double>(N(state)));
}

// A NULL-terminated block of zero-terminated copies, made and released.
template <class C> void MemoryArray(benchmark::State& state) {
  typename C::Unsorted list;
  FillUnsorted<C>(list, N(state));
  for (auto _ : state) {
    const unsigned short** flat = C::CreateFlat(list);
    benchmark::DoNotOptimize(flat);
    C::FreeFlat(list, flat);
  }
  SetElements(state, static_cast<double>(N(state)));
}

// --- the start-up check ------------------------------------------------------------------------

// Every answer of the column against a plain model over std::u16string and CompareNoCaseU16,
// on the first min(3000, MaxN()) texts.  The data has no two texts equal without regard to case,
// so every order in question is unique.
template <class C, class List>
bool SameSequence(List& list, const std::vector<std::uint32_t>& order) {
  if (C::Size(list) != order.size()) {
    return false;
  }
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (!SameText<C>(C::ReadOut(list, i), Texts()[order[i]])) {
      return false;
    }
  }
  return true;
}

template <class C> bool CheckStringColumn() {
  const std::size_t n = std::min<std::size_t>(3000, MaxN());
  const std::vector<std::u16string>& texts = Texts();
  const std::vector<std::uint32_t>& order = SortedOrder(n);
  std::vector<std::uint32_t> identity(n);
  for (std::size_t i = 0; i < n; ++i) {
    identity[i] = static_cast<std::uint32_t>(i);
  }
  bool ok = true;
  const auto expect = [&ok](bool good, const char* what) { // reports the first failure only
    if (!good && ok) {
      Fail(what);
    }
    ok = ok && good;
  };

  typename C::Unsorted unsorted;
  FillUnsorted<C>(unsorted, n);
  expect(SameSequence<C>(unsorted, identity), "unsorted add or read-out");
  std::size_t rangeSum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    rangeSum += texts[i].size() + texts[i].front();
  }
  expect(RangeForPass<C>(unsorted) == rangeSum, "range-for");

  typename C::Sorted oneByOne;
  for (std::size_t i = 0; i < n; ++i) {
    C::AddSorted(oneByOne, C::Texts()[i]);
  }
  expect(SameSequence<C>(oneByOne, order), "sorted add one by one");
  typename C::Sorted bulk;
  C::BuildSorted(bulk, n);
  expect(SameSequence<C>(bulk, order), "sorted build");
  typename C::Sorted merged;
  FillSorted<C>(merged, n / 2);
  typename C::Unsorted rest;
  FillUnsorted<C>(rest, n - n / 2, n / 2);
  C::AppendToSorted(merged, rest);
  expect(SameSequence<C>(merged, order), "append to sorted");

  // Linear finds: the first match in element order; sorted finds: the first in sorted order.
  const auto firstOf = [&](const std::u16string& q, auto equal,
                           const std::vector<std::uint32_t>& seq) {
    for (std::size_t i = 0; i < seq.size(); ++i) {
      if (equal(texts[seq[i]], q)) {
        return static_cast<unsigned>(i);
      }
    }
    return kNoIndex;
  };
  const auto noCase = [](const std::u16string& a, const std::u16string& b) {
    return CompareNoCaseU16(a, b) == 0;
  };
  const auto exact = [](const std::u16string& a, const std::u16string& b) { return a == b; };
  const QuerySet& queries = Queries(n);
  for (const auto* list : {&queries.presentScrambled, &queries.absent}) {
    for (const std::u16string& q : *list) {
      const unsigned want = firstOf(q, noCase, identity);
      expect(C::FindNoCase(unsorted, C::Make(q)) == want, "case-insensitive find");
      expect(C::FindSorted(bulk, C::Make(q)) == firstOf(q, noCase, order), "sorted find");
      expect((want != kNoIndex) == (list == &queries.presentScrambled), "find of present text");
    }
  }
  for (const auto* list : {&queries.presentExact, &queries.absent}) {
    for (const std::u16string& q : *list) {
      expect(C::FindExact(unsorted, C::Make(q)) == firstOf(q, exact, identity), "exact find");
    }
  }

  // Whole-container operations and the flat array keep the texts in order.
  typename C::Unsorted appended;
  C::Append(appended, unsorted);
  C::Append(appended, unsorted);
  typename C::Unsorted copy;
  C::Copy(copy, unsorted);
  auto sum = C::Plus(unsorted, copy);
  const unsigned short** flat = C::CreateFlat(unsorted);
  expect(C::Size(appended) == 2 * n && C::Size(copy) == n && C::Size(sum) == 2 * n &&
             flat[n] == nullptr,
         "whole-container operation sizes");
  for (std::size_t i = 0; ok && i < n; ++i) {
    expect(SameText<C>(C::ReadOut(appended, i + n), texts[i]) &&
               SameText<C>(C::ReadOut(copy, i), texts[i]) &&
               SameText<C>(C::ReadOut(sum, i + n), texts[i]) &&
               std::u16string(reinterpret_cast<const char16_t*>(flat[i])) == texts[i],
           "whole-container operation contents");
  }
  C::FreeFlat(unsorted, flat);
  while (C::Size(unsorted) != 0) {
    C::RemoveFront(unsorted);
  }
  return ok;
}

// The repeated look-ups' answers, in the column's own unsorted and sorted containers of the
// first min(3000, MaxN()) texts: a present query gives the first element equal to it without
// regard to case, an absent one kNoIndex.  The unsorted container also holds a case-scrambled
// copy of every third text after them, so "first" is put to the test; every query is asked in
// three passes, so answers given after a column has built something on earlier look-ups are
// checked too.
template <class C> bool CheckRepeatedFind() {
  const std::size_t n = std::min<std::size_t>(3000, MaxN());
  const std::vector<std::u16string> texts = RepeatedQueries(n);
  const std::vector<typename C::Text> queries = Convert<C>(texts);
  typename C::Unsorted unsorted;
  FillUnsorted<C>(unsorted, n);
  for (std::size_t i = 0; i < n; i += 3) {
    C::Add(unsorted, C::Make(ScrambleCase(Texts()[i], static_cast<std::uint32_t>(i))));
  }
  typename C::Sorted sorted;
  C::BuildSorted(sorted, n);
  const auto firstEqual = [](auto& list, const std::u16string& q) {
    for (std::size_t i = 0; i < C::Size(list); ++i) {
      if (EqualNoCaseU16(C::View(C::ReadOut(list, i)), q)) {
        return static_cast<unsigned>(i);
      }
    }
    return kNoIndex;
  };
  std::vector<unsigned> wantUnsorted;
  std::vector<unsigned> wantSorted;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    wantUnsorted.push_back(firstEqual(unsorted, texts[i]));
    wantSorted.push_back(firstEqual(sorted, texts[i]));
    if ((wantUnsorted.back() != kNoIndex) != (i % 2 == 0) ||
        (wantSorted.back() != kNoIndex) != (i % 2 == 0)) {
      return Fail("a repeated look-up's query is present where it should be absent, or the "
                  "other way round");
    }
  }
  for (int pass = 0; pass < 3; ++pass) {
    for (std::size_t i = 0; i < queries.size(); ++i) {
      if (C::FindNoCase(unsorted, queries[i]) != wantUnsorted[i]) {
        return Fail("repeated case-insensitive find in an unsorted container");
      }
      if (C::FindSorted(sorted, queries[i]) != wantSorted[i]) {
        return Fail("repeated case-insensitive find in a sorted container");
      }
    }
  }
  return true;
}

} // namespace kqb

#endif // KQ_STRING_WORKLOADS_H
