// The string-array rows of this library's CKQStringArray and of std::vector<std::u16string>
// (the column policies and their registration), and the flat array's release against a loop.
#include "KQBench.h"
#include "KQBenchHeap.h"
#include "KQStringArray.h"
#include "KQStringWorkloads.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace kqb {
namespace {

// --- the library --------------------------------------------------------------------------------

struct KqColumn {
  static constexpr const char* kName = "KQ";
  static constexpr int kThreads = 1;
  using Text = CKQString;
  struct Unsorted : CKQStringArray {
    Unsorted() : CKQStringArray(0) {}
  };
  struct Sorted : CKQStringArray {
    Sorted() : CKQStringArray(1) {}
  };

  static CKQString Make(const std::u16string& text) {
    return {text.data(), static_cast<std::uint32_t>(text.size())};
  }
  static const std::vector<CKQString>& Texts() { return PreparedTexts<KqColumn>(); }
  static const char16_t* Units(const CKQString& text) { return text.Data(); }
  static std::size_t Length(const CKQString& text) { return text.GetLength(); }
  static std::u16string_view View(const CKQString& text) { return text.View(); }
  static std::size_t Size(CKQStringArray& array) { return array.GetSize(); }

  static void Add(CKQStringArray& array, const CKQString& text) { array.Add(text); }
  static void AddSorted(Sorted& array, const CKQString& text) { array.Add(text); }
  // The range load a user writes for many strings: AddRange stages them in arrival order and
  // merges them into the sorted array at once.
  static void BuildSorted(Sorted& array, std::size_t n) {
    const auto first = Texts().begin();
    array.AddRange(first, first + static_cast<std::ptrdiff_t>(n));
  }
  static void AppendToSorted(Sorted& array, Unsorted& more) { array.Append(more); }

  static CKQString ReadOut(CKQStringArray& array, std::size_t i) {
    return array.GetAt(static_cast<unsigned>(i));
  }
  static unsigned FindNoCase(CKQStringArray& array, const CKQString& q) {
    return array.FindString(q, 1);
  }
  static unsigned FindExact(CKQStringArray& array, const CKQString& q) {
    return array.FindString(q, 0);
  }
  static unsigned FindSorted(Sorted& array, const CKQString& q) { return array.FindString(q, 1); }

  static void RemoveFront(CKQStringArray& array) { array.RemoveAt(0); }
  static void Append(Unsorted& target, Unsorted& source) { target.Append(source); }
  static void Copy(Unsorted& target, Unsorted& source) { target.Copy(source); }
  static CKQStringArray Plus(Unsorted& left, Unsorted& right) { return left + right; }

  static const unsigned short** CreateFlat(CKQStringArray& array) {
    const unsigned short** flat = nullptr;
    array.CreateMemoryArray(&flat);
    return flat;
  }
  static void FreeFlat(CKQStringArray& array, const unsigned short** flat) {
    array.FreeMemoryArray(&flat);
  }
};

// The two read-outs of the copy-out row.
struct KqGetAt : KqColumn {
  static constexpr const char* kName = "KQ_GetAt";
};
struct KqSubscript : KqColumn {
  static constexpr const char* kName = "KQ_Subscript";
  static CKQString ReadOut(CKQStringArray& array, std::size_t i) {
    return array[static_cast<unsigned>(i)];
  }
};

// --- std::vector, written as a user would
// ---------------------------------------------------------

struct VectorColumn {
  static constexpr const char* kName = "vector";
  static constexpr int kThreads = 1;
  using Text = std::u16string;
  using Unsorted = std::vector<std::u16string>;
  using Sorted = Unsorted;

  static bool Less(const std::u16string& a, const std::u16string& b) {
    return CompareNoCaseU16(a, b) < 0;
  }

  static std::u16string Make(const std::u16string& text) { return text; }
  static const std::vector<std::u16string>& Texts() { return kqb::Texts(); }
  static const char16_t* Units(const std::u16string& text) { return text.data(); }
  static std::size_t Length(const std::u16string& text) { return text.size(); }
  static std::u16string_view View(const std::u16string& text) { return text; }
  static std::size_t Size(const Unsorted& v) { return v.size(); }

  static void Add(Unsorted& v, const std::u16string& text) { v.push_back(text); }
  static void AddSorted(Sorted& v, const std::u16string& text) {
    v.insert(std::lower_bound(v.begin(), v.end(), text, Less), text);
  }
  static void BuildSorted(Sorted& v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      v.push_back(Texts()[i]);
    }
    std::stable_sort(v.begin(), v.end(), Less);
  }
  // Append, order the new part, merge the two runs.
  static void AppendToSorted(Sorted& v, const Unsorted& more) {
    const auto mid = static_cast<std::ptrdiff_t>(v.size());
    v.insert(v.end(), more.begin(), more.end());
    std::stable_sort(v.begin() + mid, v.end(), Less);
    std::inplace_merge(v.begin(), v.begin() + mid, v.end(), Less);
  }

  static std::u16string ReadOut(const Unsorted& v, std::size_t i) { return v[i]; }
  static unsigned FindNoCase(const Unsorted& v, const std::u16string& q) {
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (EqualNoCaseU16(v[i], q)) {
        return static_cast<unsigned>(i);
      }
    }
    return kNoIndex;
  }
  static unsigned FindExact(const Unsorted& v, const std::u16string& q) {
    const auto it = std::find(v.begin(), v.end(), q);
    return it == v.end() ? kNoIndex : static_cast<unsigned>(it - v.begin());
  }
  static unsigned FindSorted(const Sorted& v, const std::u16string& q) {
    const auto it = std::lower_bound(v.begin(), v.end(), q, Less);
    return it == v.end() || CompareNoCaseU16(*it, q) != 0 ? kNoIndex
                                                          : static_cast<unsigned>(it - v.begin());
  }

  static void RemoveFront(Unsorted& v) { v.erase(v.begin()); }
  static void Append(Unsorted& target, const Unsorted& source) {
    target.insert(target.end(), source.begin(), source.end());
  }
  static void Copy(Unsorted& target, const Unsorted& source) { target = source; }
  static Unsorted Plus(const Unsorted& left, const Unsorted& right) {
    Unsorted sum = left;
    sum.insert(sum.end(), right.begin(), right.end());
    return sum;
  }

  static const unsigned short** CreateFlat(Unsorted& v) { return HandMadeFlat<VectorColumn>(v); }
  static void FreeFlat(Unsorted&, const unsigned short** flat) { FreeFlatByLoop(flat); }
};

// The heap row's array after 2,000 case-insensitive look-ups of absent texts (the 1,000 texts
// twice: more full scans than the array's rule asks for before it builds its key index), made
// as the repeated-find rows make them (FindString of a CKQString), so that whatever look-ups
// leave in the array (an index of its keys) is counted with it.
struct KqIndexed : KqColumn {
  static constexpr const char* kName = "KQ_indexed";
  static void SearchBeforeMeasure(CKQStringArray& array,
                                  const std::vector<std::u16string>& absent) {
    for (int pass = 0; pass < 2; ++pass) {
      for (const std::u16string& q : absent) {
        benchmark::DoNotOptimize(array.FindString(Make(q), 1));
      }
    }
  }
};

// The concurrent range-for on two threads at once.
struct KqTwoThreads : KqColumn {
  static constexpr const char* kName = "KQ_2threads";
  static constexpr int kThreads = 2;
};
struct VectorTwoThreads : VectorColumn {
  static constexpr const char* kName = "vector_2threads";
  static constexpr int kThreads = 2;
};

// --- the flat array's release
// ---------------------------------------------------------------------

// FreeMemoryArray of a flat array of N entries, against a hand-written loop that releases a
// structure of the same shape (N zero-terminated copies and the NULL-terminated pointer block,
// each from the allocation operator, as a caller would make it by hand).  The library's block
// carries a hidden record of the copies it made, so it cannot be released by such a loop: the
// loop frees a block made the same way by HandMadeFlat.  Each block is made untimed before its
// release, after churn, so its entries do not lie in order.
struct KqFree {
  static constexpr const char* kName = "KQ";
  static const unsigned short** Make(CKQStringArray& array, const VectorColumn::Unsorted&) {
    return KqColumn::CreateFlat(array);
  }
  static void Free(CKQStringArray& array, const unsigned short** flat) {
    array.FreeMemoryArray(&flat);
  }
};
struct LoopFree {
  static constexpr const char* kName = "loop";
  static const unsigned short** Make(CKQStringArray&, const VectorColumn::Unsorted& texts) {
    return HandMadeFlat<VectorColumn>(texts);
  }
  static void Free(CKQStringArray&, const unsigned short** flat) { FreeFlatByLoop(flat); }
};

template <class F> void FreeMemoryArray(benchmark::State& state) {
  KqColumn::Unsorted array;
  FillUnsorted<KqColumn>(array, N(state));
  const VectorColumn::Unsorted texts(Texts().begin(), Texts().begin() + N(state));
  for (auto _ : state) {
    state.PauseTiming();
    ChurnHeap(N(state));
    const unsigned short** flat = F::Make(array, texts);
    state.ResumeTiming();
    F::Free(array, flat);
  }
  SetElements(state, static_cast<double>(N(state)));
}

// --- registration
// ---------------------------------------------------------------------------------

KQB_CHECK(CheckStringColumn, KqColumn);
KQB_CHECK(CheckStringColumn, KqSubscript);
KQB_CHECK(CheckStringColumn, VectorColumn);
KQB_CHECK(CheckRepeatedFind, KqColumn);

KQB_ROW(AddUnsorted, KqColumn, ScaleSizes());
KQB_ROW(AddUnsorted, VectorColumn, ScaleSizes());
KQB_ROW(CopyOut, KqGetAt, ScaleSizes());
KQB_ROW(CopyOut, KqSubscript, ScaleSizes());
KQB_ROW(CopyOut, VectorColumn, ScaleSizes());
// Sorted add one by one is one block move per string in every column: 10^5 at most.
KQB_ROW(ConstRangeFor, KqColumn, Capped({100000, 1000000}));
KQB_ROW(ConstRangeFor, VectorColumn, Capped({100000, 1000000}));
KQB_WALL_ROW(ConcurrentRangeFor, KqColumn, Capped({100000, 1000000}));
KQB_WALL_ROW(ConcurrentRangeFor, KqTwoThreads, Capped({100000, 1000000}));
KQB_WALL_ROW(ConcurrentRangeFor, VectorColumn, Capped({100000, 1000000}));
KQB_WALL_ROW(ConcurrentRangeFor, VectorTwoThreads, Capped({100000, 1000000}));
KQB_ROW(AddSorted, KqColumn, ClassicSizes());
KQB_ROW(AddSorted, VectorColumn, ClassicSizes());
// The bulk path (unsorted adds, then one merge into a sorted array) is O(n log n): up to 10^6.
KQB_ROW(SortedBuild, KqColumn, ScaleSizes());
KQB_ROW(SortedBuild, VectorColumn, ScaleSizes());
KQB_ROW(AppendToSorted, KqColumn, Capped({100000}));
KQB_ROW(AppendToSorted, VectorColumn, Capped({100000}));
KQB_ROW(FindNoCasePresent, KqColumn, ScaleSizes());
KQB_ROW(FindNoCasePresent, VectorColumn, ScaleSizes());
KQB_ROW(FindNoCaseAbsent, KqColumn, ScaleSizes());
KQB_ROW(FindNoCaseAbsent, VectorColumn, ScaleSizes());
KQB_ROW(FindSorted, KqColumn, ScaleSizes());
KQB_ROW(FindSorted, VectorColumn, ScaleSizes());
KQB_ROW(FindExact, KqColumn, ClassicSizes());
KQB_ROW(FindExact, VectorColumn, ClassicSizes());
// The same look-ups again and again on one container; the peer is a hash index (the
// flat_hash_map column, KQAbslBench.cpp).
KQB_ROW(FindRepeated, KqColumn, Capped({10000, 100000, 1000000}));
KQB_ROW(FindRepeatedSorted, KqColumn, Capped({100000, 1000000}));
// Build, then one look-up: up to 10^6.
KQB_ROW(FirstFind, KqColumn, ScaleSizes());
KQB_ROW(FirstFind, VectorColumn, ScaleSizes());
// The vector's erase at the front is quadratic: 10^4 at most.
KQB_ROW(RemoveFront, KqColumn, Capped({1000, 10000}));
KQB_ROW(RemoveFront, VectorColumn, Capped({1000, 10000}));
KQB_ROW(Append, KqColumn, ClassicSizes());
KQB_ROW(Append, VectorColumn, ClassicSizes());
KQB_ROW(Copy, KqColumn, ClassicSizes());
KQB_ROW(Copy, VectorColumn, ClassicSizes());
KQB_ROW(Plus, KqColumn, ClassicSizes());
KQB_ROW(Plus, VectorColumn, ClassicSizes());
KQB_ROW(MemoryArray, KqColumn, ClassicSizes());
KQB_ROW(MemoryArray, VectorColumn, ClassicSizes());
KQB_ROW(FreeMemoryArray, KqFree, Capped({10000, 100000}));
KQB_ROW(FreeMemoryArray, LoopFree, Capped({10000, 100000}));
KQB_HEAP_ROW(KqColumn);
KQB_HEAP_ROW(KqIndexed);
KQB_HEAP_ROW(VectorColumn);

} // namespace
} // namespace kqb
