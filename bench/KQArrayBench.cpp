// Array workloads: CKQStringArray and CKQPtrArray against std::vector and (when Qt 5 is found)
// QStringList / QList doing the same job, plus heap bytes per element.
#include "KQBench.h"
#include "KQCaseMap.h"
#include "KQPtrArray.h"
#include "KQStringArray.h"

#if KQ_BENCH_HAVE_QT
#include <QList>
#include <QString>
#include <QStringList>
#endif

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>

namespace kqb {
namespace {

// ---------------------------------------------------------------------------------------------
// Prepared data

constexpr std::uint32_t kSeed = 20240611;

// Letters whose simple lowercase equals their simple case folding, in upper/lower pairs.
constexpr char16_t kNonAscii[][2] = {{u'\u00C9', u'\u00E9'}, {u'\u00C4', u'\u00E4'},
                                     {u'\u00D6', u'\u00F6'}, {u'\u00D1', u'\u00F1'},
                                     {u'\u03A3', u'\u03C3'}, {u'\u0416', u'\u0436'}};

char16_t RandomLetter(std::mt19937& rng) {
  const auto pick = rng() % 100;
  const bool upper = (rng() & 1) != 0;
  if (pick < 5) { // a few non-ASCII letters
    return kNonAscii[rng() % std::size(kNonAscii)][upper ? 0 : 1];
  }
  const auto letter = static_cast<char16_t>(rng() % 26);
  return static_cast<char16_t>((upper ? u'A' : u'a') + letter);
}

std::u16string RandomText(std::mt19937& rng, std::size_t units) {
  std::u16string text(units, u' ');
  for (char16_t& unit : text) {
    unit = RandomLetter(rng);
  }
  return text;
}

std::size_t RandomLength(std::mt19937& rng) { return 8 + rng() % 33; } // 8..40 units

// Flips the case of letters at random: the result equals `text` without regard to case.
std::u16string ScrambleCase(std::u16string text, std::mt19937& rng) {
  for (char16_t& unit : text) {
    if ((rng() & 1) == 0) {
      continue;
    }
    if (unit >= u'a' && unit <= u'z') {
      unit = static_cast<char16_t>(unit - 32);
    } else if (unit >= u'A' && unit <= u'Z') {
      unit = static_cast<char16_t>(unit + 32);
    } else {
      for (const auto& pair : kNonAscii) {
        if (unit == pair[0] || unit == pair[1]) {
          unit = unit == pair[0] ? pair[1] : pair[0];
          break;
        }
      }
    }
  }
  return text;
}

} // namespace

const std::vector<std::u16string>& Texts() {
  static const std::vector<std::u16string> texts = [] {
    std::mt19937 rng(kSeed);
    std::vector<std::u16string> out;
    out.reserve(kMaxN);
    for (std::size_t i = 0; i < kMaxN; ++i) {
      out.push_back(RandomText(rng, RandomLength(rng)));
    }
    return out;
  }();
  return texts;
}

std::vector<std::u16string> FixedLengthTexts(std::size_t count, std::size_t units) {
  std::mt19937 rng(kSeed + 1);
  std::vector<std::u16string> out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(RandomText(rng, units));
  }
  return out;
}

const QuerySet& Queries(std::size_t n) {
  static std::map<std::size_t, std::unique_ptr<QuerySet>> cache;
  std::unique_ptr<QuerySet>& slot = cache[n];
  if (!slot) {
    slot = std::make_unique<QuerySet>();
    std::mt19937 rng(kSeed + static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < kQueries; ++i) {
      const std::u16string& present = Texts()[rng() % n];
      slot->presentExact.push_back(present);
      slot->presentScrambled.push_back(ScrambleCase(present, rng));
      std::u16string absent = RandomText(rng, RandomLength(rng));
      absent[rng() % absent.size()] = static_cast<char16_t>(u'0' + rng() % 10);
      slot->absent.push_back(std::move(absent));
    }
  }
  return *slot;
}

namespace {

// The lowered units of a text one at a time, as CKQString::CompareNoCase reads them: a
// surrogate pair is lowered as one code point and handed out as its two units.
class LoweredStream {
public:
  static constexpr std::uint32_t kEnd = 0x10000;

  explicit LoweredStream(std::u16string_view text) noexcept
      : m_it(text.data()), m_end(text.data() + text.size()) {}

  std::uint32_t Next() noexcept {
    if (m_pendingLow != 0) {
      const std::uint32_t low = m_pendingLow;
      m_pendingLow = 0;
      return low;
    }
    if (m_it == m_end) {
      return kEnd;
    }
    const char32_t unit = *m_it++;
    if (unit < 0x80) {
      return unit - U'A' < 26 ? unit + 32 : unit;
    }
    if ((unit & 0xFC00) == 0xD800 && m_it != m_end && (*m_it & 0xFC00) == 0xDC00) {
      const char32_t cp = 0x10000 + ((unit - 0xD800) << 10) + (*m_it++ - 0xDC00u);
      const char32_t lower = kq::casemap::LowerCodePoint(cp) - 0x10000;
      m_pendingLow = 0xDC00 + (lower & 0x3FF);
      return 0xD800 + (lower >> 10);
    }
    return kq::casemap::LowerCodePoint(unit);
  }

private:
  const char16_t* m_it;
  const char16_t* m_end;
  std::uint32_t m_pendingLow = 0;
};

} // namespace

int CompareNoCaseU16(std::u16string_view a, std::u16string_view b) noexcept {
  LoweredStream left(a);
  LoweredStream right(b);
  for (;;) {
    std::uint32_t x = left.Next();
    std::uint32_t y = right.Next();
    if (x != y) {
      if (x == LoweredStream::kEnd || y == LoweredStream::kEnd) {
        return x == LoweredStream::kEnd ? -1 : 1;
      }
      if (x >= 0xD800 && y >= 0xD800) {
        x = x >= 0xE000 ? x - 0x800 : x + 0x2000;
        y = y >= 0xE000 ? y - 0x800 : y + 0x2000;
      }
      return x < y ? -1 : 1;
    }
    if (x == LoweredStream::kEnd) {
      return 0;
    }
  }
}

namespace {

constexpr unsigned kNone = 0xFFFFFFFFu;

CKQString ToKq(const std::u16string& text) {
  return CKQString(text.data(), static_cast<std::uint32_t>(text.size()));
}

std::vector<CKQString> ToKq(const std::vector<std::u16string>& texts, std::size_t n) {
  std::vector<CKQString> out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(ToKq(texts[i]));
  }
  return out;
}

const std::vector<CKQString>& KqTexts() {
  static const std::vector<CKQString> texts = ToKq(Texts(), kMaxN);
  return texts;
}

bool SameText(const CKQString& a, const std::u16string& b) {
  return a.GetLength() == b.size() &&
         std::memcmp(a.Data(), b.data(), b.size() * sizeof(char16_t)) == 0;
}

bool VectorLess(const std::u16string& a, const std::u16string& b) {
  return CompareNoCaseU16(a, b) < 0;
}

// --- the three columns, each doing one job the same way ---------------------------------------

struct KqColumn {
  static void AddAll(CKQStringArray& array, std::size_t n) {
    const std::vector<CKQString>& texts = KqTexts();
    for (std::size_t i = 0; i < n; ++i) {
      array.Add(texts[i]);
    }
  }
  static std::vector<unsigned> Find(CKQStringArray& array, const std::vector<CKQString>& queries,
                                    int noCase) {
    std::vector<unsigned> found;
    for (const CKQString& query : queries) {
      found.push_back(array.FindString(query, noCase));
    }
    return found;
  }
};

struct VectorColumn {
  static void AddUnsorted(std::vector<std::u16string>& v, std::size_t n) {
    const std::vector<std::u16string>& texts = Texts();
    for (std::size_t i = 0; i < n; ++i) {
      v.push_back(texts[i]);
    }
  }
  static void AddSorted(std::vector<std::u16string>& v, std::size_t n) {
    const std::vector<std::u16string>& texts = Texts();
    for (std::size_t i = 0; i < n; ++i) {
      v.insert(std::lower_bound(v.begin(), v.end(), texts[i], VectorLess), texts[i]);
    }
  }
  static unsigned FindNoCase(const std::vector<std::u16string>& v, const std::u16string& q) {
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (CompareNoCaseU16(v[i], q) == 0) {
        return static_cast<unsigned>(i);
      }
    }
    return kNone;
  }
  static unsigned FindExact(const std::vector<std::u16string>& v, const std::u16string& q) {
    const auto it = std::find(v.begin(), v.end(), q);
    return it == v.end() ? kNone : static_cast<unsigned>(it - v.begin());
  }
};

#if KQ_BENCH_HAVE_QT
QString ToQt(const std::u16string& text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<int>(text.size()));
}

std::vector<QString> ToQt(const std::vector<std::u16string>& texts) {
  std::vector<QString> out;
  out.reserve(texts.size());
  for (const std::u16string& text : texts) {
    out.push_back(ToQt(text));
  }
  return out;
}

const std::vector<QString>& QtTexts() {
  static const std::vector<QString> texts = ToQt(Texts());
  return texts;
}

bool SameText(const QString& a, const std::u16string& b) {
  return static_cast<std::size_t>(a.size()) == b.size() &&
         std::memcmp(a.utf16(), b.data(), b.size() * sizeof(char16_t)) == 0;
}

struct QtColumn {
  static void AddUnsorted(QStringList& list, std::size_t n) {
    const std::vector<QString>& texts = QtTexts();
    for (std::size_t i = 0; i < n; ++i) {
      list.append(texts[i]);
    }
  }
  static void AddSorted(QStringList& list, std::size_t n) {
    const std::vector<QString>& texts = QtTexts();
    const auto less = [](const QString& a, const QString& b) {
      return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    };
    for (std::size_t i = 0; i < n; ++i) {
      const auto it = std::lower_bound(list.cbegin(), list.cend(), texts[i], less);
      list.insert(static_cast<int>(it - list.cbegin()), texts[i]);
    }
  }
  static unsigned Find(const QStringList& list, const QString& q, Qt::CaseSensitivity cs) {
    for (int i = 0; i < list.size(); ++i) {
      if (QString::compare(list.at(i), q, cs) == 0) {
        return static_cast<unsigned>(i);
      }
    }
    return kNone;
  }
};
#endif

// ---------------------------------------------------------------------------------------------
// Workloads

std::size_t N(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

void AllSizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(10000)->Arg(100000); }
void SmallSizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(10000); }
void HeapSize(benchmark::internal::Benchmark* b);

// Add: N strings copied from the prepared list into a new container, which is then destroyed.
void AddUnsortedKq(benchmark::State& state) {
  for (auto _ : state) {
    CKQStringArray array(0);
    KqColumn::AddAll(array, N(state));
    benchmark::DoNotOptimize(array.GetSize());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void AddUnsortedVector(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::u16string> v;
    VectorColumn::AddUnsorted(v, N(state));
    benchmark::DoNotOptimize(v.data());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void AddSortedKq(benchmark::State& state) {
  for (auto _ : state) {
    CKQStringArray array(1);
    KqColumn::AddAll(array, N(state));
    benchmark::DoNotOptimize(array.GetSize());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void AddSortedVector(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::u16string> v;
    VectorColumn::AddSorted(v, N(state));
    benchmark::DoNotOptimize(v.data());
  }
  SetElements(state, static_cast<double>(N(state)));
}

// Find: kQueries queries against an unsorted container of N elements; "elements" counts the
// element visits of a full scan per query, so ns per element is the scan cost per element.
enum class Query { kScrambledPresent, kAbsent, kExactBoth };

template <Query kind> std::vector<std::u16string> QueriesOf(std::size_t n) {
  const QuerySet& set = Queries(n);
  if constexpr (kind == Query::kScrambledPresent) {
    return set.presentScrambled;
  } else if constexpr (kind == Query::kAbsent) {
    return set.absent;
  } else {
    std::vector<std::u16string> both = set.presentExact;
    both.insert(both.end(), set.absent.begin(), set.absent.end());
    return both;
  }
}

template <Query kind> void FindKq(benchmark::State& state) {
  CKQStringArray array(0);
  KqColumn::AddAll(array, N(state));
  const std::vector<CKQString> queries = ToKq(QueriesOf<kind>(N(state)), kQueries);
  const int noCase = kind == Query::kExactBoth ? 0 : 1;
  for (auto _ : state) {
    for (const CKQString& query : queries) {
      benchmark::DoNotOptimize(array.FindString(query, noCase));
    }
  }
  SetElements(state, static_cast<double>(queries.size() * N(state)));
}
template <Query kind> void FindVector(benchmark::State& state) {
  std::vector<std::u16string> v;
  VectorColumn::AddUnsorted(v, N(state));
  const std::vector<std::u16string> queries = QueriesOf<kind>(N(state));
  for (auto _ : state) {
    for (const std::u16string& query : queries) {
      benchmark::DoNotOptimize(kind == Query::kExactBoth ? VectorColumn::FindExact(v, query)
                                                         : VectorColumn::FindNoCase(v, query));
    }
  }
  SetElements(state, static_cast<double>(queries.size() * N(state)));
}

// Copy-out of every element by index.
void CopyOutGetAtKq(benchmark::State& state) {
  CKQStringArray array(0);
  KqColumn::AddAll(array, N(state));
  const auto n = static_cast<unsigned>(N(state));
  for (auto _ : state) {
    for (unsigned i = 0; i < n; ++i) {
      const CKQString text = array.GetAt(i);
      benchmark::DoNotOptimize(text.Data());
    }
  }
  SetElements(state, static_cast<double>(n));
}
void CopyOutSubscriptKq(benchmark::State& state) {
  CKQStringArray array(0);
  KqColumn::AddAll(array, N(state));
  const auto n = static_cast<unsigned>(N(state));
  for (auto _ : state) {
    for (unsigned i = 0; i < n; ++i) {
      const CKQString text = array[i];
      benchmark::DoNotOptimize(text.Data());
    }
  }
  SetElements(state, static_cast<double>(n));
}
void CopyOutVector(benchmark::State& state) {
  std::vector<std::u16string> v;
  VectorColumn::AddUnsorted(v, N(state));
  for (auto _ : state) {
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::u16string text = v[i];
      benchmark::DoNotOptimize(text.data());
    }
  }
  SetElements(state, static_cast<double>(v.size()));
}

// RemoveAt(0) until empty; refilling the container is not timed.
void RemoveFrontKq(benchmark::State& state) {
  CKQStringArray array(0);
  for (auto _ : state) {
    state.PauseTiming();
    KqColumn::AddAll(array, N(state));
    state.ResumeTiming();
    while (array.GetSize() != 0) {
      array.RemoveAt(0);
    }
  }
  SetElements(state, static_cast<double>(N(state)));
}
void RemoveFrontVector(benchmark::State& state) {
  std::vector<std::u16string> v;
  for (auto _ : state) {
    state.PauseTiming();
    VectorColumn::AddUnsorted(v, N(state));
    state.ResumeTiming();
    while (!v.empty()) {
      v.erase(v.begin());
    }
  }
  SetElements(state, static_cast<double>(N(state)));
}

// Whole-array operations on unsorted arrays of N elements.
void AppendKq(benchmark::State& state) {
  CKQStringArray source(0);
  KqColumn::AddAll(source, N(state));
  for (auto _ : state) {
    CKQStringArray target(0);
    target.Append(source);
    benchmark::DoNotOptimize(target.GetSize());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void AppendVector(benchmark::State& state) {
  std::vector<std::u16string> source;
  VectorColumn::AddUnsorted(source, N(state));
  for (auto _ : state) {
    std::vector<std::u16string> target;
    target.insert(target.end(), source.begin(), source.end());
    benchmark::DoNotOptimize(target.data());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void CopyKq(benchmark::State& state) {
  CKQStringArray source(0);
  KqColumn::AddAll(source, N(state));
  CKQStringArray target(0);
  for (auto _ : state) {
    target.Copy(source); // from the second iteration on: replaces N elements
    benchmark::DoNotOptimize(target.GetSize());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void CopyVector(benchmark::State& state) {
  std::vector<std::u16string> source;
  VectorColumn::AddUnsorted(source, N(state));
  std::vector<std::u16string> target;
  for (auto _ : state) {
    target = source;
    benchmark::DoNotOptimize(target.data());
  }
  SetElements(state, static_cast<double>(N(state)));
}
// Two halves of N/2 elements concatenated into a new container of N.
void PlusKq(benchmark::State& state) {
  CKQStringArray left(0);
  CKQStringArray right(0);
  KqColumn::AddAll(left, N(state) / 2);
  KqColumn::AddAll(right, N(state) / 2);
  for (auto _ : state) {
    CKQStringArray sum = left + right;
    benchmark::DoNotOptimize(sum.GetSize());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void PlusVector(benchmark::State& state) {
  std::vector<std::u16string> left;
  std::vector<std::u16string> right;
  VectorColumn::AddUnsorted(left, N(state) / 2);
  VectorColumn::AddUnsorted(right, N(state) / 2);
  for (auto _ : state) {
    std::vector<std::u16string> sum = left;
    sum.insert(sum.end(), right.begin(), right.end());
    benchmark::DoNotOptimize(sum.data());
  }
  SetElements(state, static_cast<double>(N(state)));
}

// A NULL-terminated block of zero-terminated copies, made and released.
void MemoryArrayKq(benchmark::State& state) {
  CKQStringArray array(0);
  KqColumn::AddAll(array, N(state));
  for (auto _ : state) {
    const unsigned short** flat = nullptr;
    benchmark::DoNotOptimize(array.CreateMemoryArray(&flat));
    array.FreeMemoryArray(&flat);
  }
  SetElements(state, static_cast<double>(N(state)));
}
template <typename Text> const char16_t* UnitsOf(const Text& text) {
  if constexpr (std::is_same_v<Text, std::u16string>) {
    return text.data();
  } else {
    return reinterpret_cast<const char16_t*>(text.utf16());
  }
}
// The peers' version of the same job: new[] copies in a new[] block, then delete[] them all.
template <typename Container> void MemoryArrayOf(benchmark::State& state, const Container& c) {
  for (auto _ : state) {
    const auto count = static_cast<std::size_t>(c.size());
    auto* block = new const char16_t*[count + 1];
    for (std::size_t i = 0; i < count; ++i) {
      const auto& text = c[static_cast<decltype(c.size())>(i)];
      const auto units = static_cast<std::size_t>(text.size()) + 1;
      auto* copy = new char16_t[units];
      std::memcpy(copy, UnitsOf(text), units * sizeof(char16_t));
      block[i] = copy;
    }
    block[count] = nullptr;
    benchmark::DoNotOptimize(block);
    for (std::size_t i = 0; block[i] != nullptr; ++i) {
      delete[] block[i];
    }
    delete[] block;
  }
  SetElements(state, static_cast<double>(c.size()));
}
void MemoryArrayVector(benchmark::State& state) {
  std::vector<std::u16string> v;
  VectorColumn::AddUnsorted(v, N(state));
  MemoryArrayOf(state, v);
}

// The pointer array: Add N, Find kQueries present values, RemoveAt(0) until empty.
std::vector<void*> Pointers(std::size_t n) {
  static std::vector<char> targets(kMaxN);
  std::vector<void*> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = &targets[i];
  }
  return out;
}
std::vector<void*> PointerQueries(std::size_t n) {
  const std::vector<void*> all = Pointers(n);
  std::mt19937 rng(kSeed + 7);
  std::vector<void*> out(kQueries);
  for (void*& q : out) {
    q = all[rng() % n];
  }
  return out;
}
void PtrAddKq(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  for (auto _ : state) {
    CKQPtrArray array;
    for (void* value : values) {
      array.Add(value);
    }
    benchmark::DoNotOptimize(array.GetSize());
  }
  SetElements(state, static_cast<double>(values.size()));
}
void PtrAddVector(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  for (auto _ : state) {
    std::vector<void*> v;
    for (void* value : values) {
      v.push_back(value);
    }
    benchmark::DoNotOptimize(v.data());
  }
  SetElements(state, static_cast<double>(values.size()));
}
void PtrFindKq(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  CKQPtrArray array;
  for (void* value : values) {
    array.Add(value);
  }
  const std::vector<void*> queries = PointerQueries(N(state));
  for (auto _ : state) {
    for (void* q : queries) {
      benchmark::DoNotOptimize(array.Find(q));
    }
  }
  SetElements(state, static_cast<double>(queries.size() * values.size()));
}
void PtrFindVector(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  const std::vector<void*> queries = PointerQueries(N(state));
  for (auto _ : state) {
    for (void* q : queries) {
      benchmark::DoNotOptimize(std::find(values.begin(), values.end(), q));
    }
  }
  SetElements(state, static_cast<double>(queries.size() * values.size()));
}
void PtrRemoveFrontKq(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  CKQPtrArray array;
  for (auto _ : state) {
    state.PauseTiming();
    for (void* value : values) {
      array.Add(value);
    }
    state.ResumeTiming();
    while (array.GetSize() != 0) {
      array.RemoveAt(0);
    }
  }
  SetElements(state, static_cast<double>(values.size()));
}
void PtrRemoveFrontVector(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  std::vector<void*> v;
  for (auto _ : state) {
    state.PauseTiming();
    v = values;
    state.ResumeTiming();
    while (!v.empty()) {
      v.erase(v.begin());
    }
  }
  SetElements(state, static_cast<double>(values.size()));
}

// Heap bytes per element: the growth of the C heap (arena blocks in use plus mmapped blocks)
// while a container takes N texts of 24 units, each made fresh so the container holds the only
// reference.  Counts malloc's own chunk overhead too, alike for every column.
constexpr std::size_t kHeapN = 100000;
constexpr std::size_t kHeapUnits = 24;

void HeapSize(benchmark::internal::Benchmark* b) {
  b->Arg(static_cast<std::int64_t>(kHeapN))->Iterations(1);
}

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

const std::vector<std::u16string>& HeapTexts() {
  static const std::vector<std::u16string> texts = FixedLengthTexts(kHeapN, kHeapUnits);
  return texts;
}

template <typename Fill> void MeasureHeap(benchmark::State& state, Fill fill) {
  const std::vector<std::u16string>& texts = HeapTexts();
  double perElement = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    perElement = static_cast<double>(fill(texts, before)) / static_cast<double>(texts.size());
  }
  state.counters["heap_bytes_per_element"] = benchmark::Counter(perElement);
  SetElements(state, static_cast<double>(texts.size()));
}
void HeapKq(benchmark::State& state) {
  MeasureHeap(state, [](const std::vector<std::u16string>& texts, std::size_t before) {
    CKQStringArray array(0);
    for (const std::u16string& text : texts) {
      array.Add(ToKq(text));
    }
    return HeapInUse() - before;
  });
}
void HeapVector(benchmark::State& state) {
  MeasureHeap(state, [](const std::vector<std::u16string>& texts, std::size_t before) {
    std::vector<std::u16string> v;
    for (const std::u16string& text : texts) {
      v.push_back(text);
    }
    return HeapInUse() - before;
  });
}

#if KQ_BENCH_HAVE_QT
void AddUnsortedQt(benchmark::State& state) {
  for (auto _ : state) {
    QStringList list;
    QtColumn::AddUnsorted(list, N(state));
    benchmark::DoNotOptimize(list.size());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void AddSortedQt(benchmark::State& state) {
  for (auto _ : state) {
    QStringList list;
    QtColumn::AddSorted(list, N(state));
    benchmark::DoNotOptimize(list.size());
  }
  SetElements(state, static_cast<double>(N(state)));
}
template <Query kind> void FindQt(benchmark::State& state) {
  QStringList list;
  QtColumn::AddUnsorted(list, N(state));
  const std::vector<QString> queries = ToQt(QueriesOf<kind>(N(state)));
  const Qt::CaseSensitivity cs =
      kind == Query::kExactBoth ? Qt::CaseSensitive : Qt::CaseInsensitive;
  for (auto _ : state) {
    for (const QString& query : queries) {
      benchmark::DoNotOptimize(QtColumn::Find(list, query, cs));
    }
  }
  SetElements(state, static_cast<double>(queries.size() * N(state)));
}
void CopyOutQt(benchmark::State& state) {
  QStringList list;
  QtColumn::AddUnsorted(list, N(state));
  for (auto _ : state) {
    for (int i = 0; i < list.size(); ++i) {
      const QString text = list.at(i);
      benchmark::DoNotOptimize(text.constData());
    }
  }
  SetElements(state, static_cast<double>(list.size()));
}
void RemoveFrontQt(benchmark::State& state) {
  QStringList list;
  for (auto _ : state) {
    state.PauseTiming();
    QtColumn::AddUnsorted(list, N(state));
    state.ResumeTiming();
    while (!list.isEmpty()) {
      list.removeAt(0);
    }
  }
  SetElements(state, static_cast<double>(N(state)));
}
void AppendQt(benchmark::State& state) {
  QStringList source;
  QtColumn::AddUnsorted(source, N(state));
  for (auto _ : state) {
    QStringList target;
    target.append(source);
    benchmark::DoNotOptimize(target.size());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void CopyQt(benchmark::State& state) {
  QStringList source;
  QtColumn::AddUnsorted(source, N(state));
  QStringList target;
  for (auto _ : state) {
    target = source;
    benchmark::DoNotOptimize(target.size());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void PlusQt(benchmark::State& state) {
  QStringList left;
  QStringList right;
  QtColumn::AddUnsorted(left, N(state) / 2);
  QtColumn::AddUnsorted(right, N(state) / 2);
  for (auto _ : state) {
    QStringList sum = left + right;
    benchmark::DoNotOptimize(sum.size());
  }
  SetElements(state, static_cast<double>(N(state)));
}
void MemoryArrayQt(benchmark::State& state) {
  QStringList list;
  QtColumn::AddUnsorted(list, N(state));
  MemoryArrayOf(state, list);
}
void PtrAddQt(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  for (auto _ : state) {
    QList<void*> list;
    for (void* value : values) {
      list.append(value);
    }
    benchmark::DoNotOptimize(list.size());
  }
  SetElements(state, static_cast<double>(values.size()));
}
void PtrFindQt(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  QList<void*> list;
  for (void* value : values) {
    list.append(value);
  }
  const std::vector<void*> queries = PointerQueries(N(state));
  for (auto _ : state) {
    for (void* q : queries) {
      benchmark::DoNotOptimize(list.indexOf(q));
    }
  }
  SetElements(state, static_cast<double>(queries.size() * values.size()));
}
void PtrRemoveFrontQt(benchmark::State& state) {
  const std::vector<void*> values = Pointers(N(state));
  QList<void*> list;
  for (auto _ : state) {
    state.PauseTiming();
    for (void* value : values) {
      list.append(value);
    }
    state.ResumeTiming();
    while (!list.isEmpty()) {
      list.removeAt(0);
    }
  }
  SetElements(state, static_cast<double>(values.size()));
}
void HeapQt(benchmark::State& state) {
  MeasureHeap(state, [](const std::vector<std::u16string>& texts, std::size_t before) {
    QStringList list;
    for (const std::u16string& text : texts) {
      list.append(ToQt(text));
    }
    return HeapInUse() - before;
  });
}
#endif

using Fn = void (*)(benchmark::State&);
using Sizes = void (*)(benchmark::internal::Benchmark*);

void Column(const char* name, Fn fn, Sizes sizes) {
  benchmark::RegisterBenchmark(name, fn)->Apply(sizes);
}

void Register() {
  Column("AddUnsorted/KQ", AddUnsortedKq, AllSizes);
  Column("AddUnsorted/vector", AddUnsortedVector, AllSizes);
  Column("AddSorted/KQ", AddSortedKq, AllSizes);
  Column("AddSorted/vector", AddSortedVector, AllSizes);
  Column("FindNoCasePresent/KQ", FindKq<Query::kScrambledPresent>, AllSizes);
  Column("FindNoCasePresent/vector", FindVector<Query::kScrambledPresent>, AllSizes);
  Column("FindNoCaseAbsent/KQ", FindKq<Query::kAbsent>, AllSizes);
  Column("FindNoCaseAbsent/vector", FindVector<Query::kAbsent>, AllSizes);
  Column("FindExact/KQ", FindKq<Query::kExactBoth>, AllSizes);
  Column("FindExact/vector", FindVector<Query::kExactBoth>, AllSizes);
  Column("CopyOut/KQ_GetAt", CopyOutGetAtKq, AllSizes);
  Column("CopyOut/KQ_Subscript", CopyOutSubscriptKq, AllSizes);
  Column("CopyOut/vector", CopyOutVector, AllSizes);
  Column("RemoveFront/KQ", RemoveFrontKq, SmallSizes);
  Column("RemoveFront/vector", RemoveFrontVector, SmallSizes);
  Column("Append/KQ", AppendKq, AllSizes);
  Column("Append/vector", AppendVector, AllSizes);
  Column("Copy/KQ", CopyKq, AllSizes);
  Column("Copy/vector", CopyVector, AllSizes);
  Column("Plus/KQ", PlusKq, AllSizes);
  Column("Plus/vector", PlusVector, AllSizes);
  Column("MemoryArray/KQ", MemoryArrayKq, AllSizes);
  Column("MemoryArray/vector", MemoryArrayVector, AllSizes);
  Column("PtrAdd/KQ", PtrAddKq, AllSizes);
  Column("PtrAdd/vector", PtrAddVector, AllSizes);
  Column("PtrFind/KQ", PtrFindKq, AllSizes);
  Column("PtrFind/vector", PtrFindVector, AllSizes);
  Column("PtrRemoveFront/KQ", PtrRemoveFrontKq, SmallSizes);
  Column("PtrRemoveFront/vector", PtrRemoveFrontVector, SmallSizes);
  benchmark::RegisterBenchmark("Heap/KQ", HeapKq)->Apply(HeapSize);
  benchmark::RegisterBenchmark("Heap/vector", HeapVector)->Apply(HeapSize);
#if KQ_BENCH_HAVE_QT
  Column("AddUnsorted/QStringList", AddUnsortedQt, AllSizes);
  Column("AddSorted/QStringList", AddSortedQt, AllSizes);
  Column("FindNoCasePresent/QStringList", FindQt<Query::kScrambledPresent>, AllSizes);
  Column("FindNoCaseAbsent/QStringList", FindQt<Query::kAbsent>, AllSizes);
  Column("FindExact/QStringList", FindQt<Query::kExactBoth>, AllSizes);
  Column("CopyOut/QStringList", CopyOutQt, AllSizes);
  Column("RemoveFront/QStringList", RemoveFrontQt, SmallSizes);
  Column("Append/QStringList", AppendQt, AllSizes);
  Column("Copy/QStringList", CopyQt, AllSizes);
  Column("Plus/QStringList", PlusQt, AllSizes);
  Column("MemoryArray/QStringList", MemoryArrayQt, AllSizes);
  Column("PtrAdd/QList", PtrAddQt, AllSizes);
  Column("PtrFind/QList", PtrFindQt, AllSizes);
  Column("PtrRemoveFront/QList", PtrRemoveFrontQt, SmallSizes);
  benchmark::RegisterBenchmark("Heap/QStringList", HeapQt)->Apply(HeapSize);
#endif
}

const bool kRegistered = (Register(), true);

// --- start-up checks ---------------------------------------------------------------------------

constexpr std::size_t kCheckN = 3000;

bool Fail(const char* what) {
  std::fprintf(stderr, "check failed: %s\n", what);
  return false;
}

} // namespace

bool CheckArrayColumns() {
  (void)kRegistered;
  bool ok = true;
  const std::vector<std::u16string>& texts = Texts();

  // The comparator agrees with CKQString::CompareNoCase on neighbouring texts and on scrambled
  // copies.
  std::mt19937 rng(kSeed + 99);
  for (std::size_t i = 0; i + 1 < kCheckN; ++i) {
    const int ours =
        KqTexts()[i].CompareNoCase(reinterpret_cast<const unsigned short*>(texts[i + 1].c_str()));
    const int mine = CompareNoCaseU16(texts[i], texts[i + 1]);
    if ((ours < 0) != (mine < 0) || (ours == 0) != (mine == 0) ||
        CompareNoCaseU16(texts[i], ScrambleCase(texts[i], rng)) != 0) {
      ok = Fail("vector comparator disagrees with CKQString::CompareNoCase");
      break;
    }
  }

  // Sorted order: identical sequences in every column.
  CKQStringArray sorted(1);
  KqColumn::AddAll(sorted, kCheckN);
  std::vector<std::u16string> sortedVector;
  VectorColumn::AddSorted(sortedVector, kCheckN);
  if (sorted.GetSize() != kCheckN || sortedVector.size() != kCheckN) {
    ok = Fail("sorted add lost elements");
  }
  for (unsigned i = 0; ok && i < kCheckN; ++i) {
    if (!SameText(sorted.GetAt(i), sortedVector[i]) || !SameText(sorted[i], sortedVector[i])) {
      ok = Fail("sorted order differs between KQ and vector");
    }
  }
#if KQ_BENCH_HAVE_QT
  QStringList sortedList;
  QtColumn::AddSorted(sortedList, kCheckN);
  for (unsigned i = 0; ok && i < kCheckN; ++i) {
    if (!SameText(sortedList.at(static_cast<int>(i)), sortedVector[i])) {
      ok = Fail("sorted order differs between QStringList and vector");
    }
  }
#endif

  // Find answers: the same first index everywhere, and present queries found.
  CKQStringArray unsorted(0);
  KqColumn::AddAll(unsorted, kCheckN);
  std::vector<std::u16string> unsortedVector;
  VectorColumn::AddUnsorted(unsortedVector, kCheckN);
#if KQ_BENCH_HAVE_QT
  QStringList unsortedList;
  QtColumn::AddUnsorted(unsortedList, kCheckN);
#endif
  const QuerySet& queries = Queries(kCheckN);
  const auto checkFind = [&](const std::vector<std::u16string>& list, int noCase, bool present) {
    const std::vector<unsigned> kq = KqColumn::Find(unsorted, ToKq(list, list.size()), noCase);
    for (std::size_t i = 0; i < list.size(); ++i) {
      const unsigned v = noCase != 0 ? VectorColumn::FindNoCase(unsortedVector, list[i])
                                     : VectorColumn::FindExact(unsortedVector, list[i]);
      if (kq[i] != v || (present != (v != kNone))) {
        return Fail("find answers differ between KQ and vector");
      }
#if KQ_BENCH_HAVE_QT
      const unsigned q = QtColumn::Find(unsortedList, ToQt(list[i]),
                                        noCase != 0 ? Qt::CaseInsensitive : Qt::CaseSensitive);
      if (q != v) {
        return Fail("find answers differ between QStringList and vector");
      }
#endif
    }
    return true;
  };
  ok = checkFind(queries.presentScrambled, 1, true) && ok;
  ok = checkFind(queries.absent, 1, false) && ok;
  ok = checkFind(queries.presentExact, 0, true) && ok;
  ok = checkFind(queries.absent, 0, false) && ok;

  // Whole-array operations and the flat array keep the texts in order.
  CKQStringArray sum = unsorted + unsorted;
  CKQStringArray copy(0);
  copy.Copy(unsorted);
  const unsigned short** flat = nullptr;
  const int flatCount = unsorted.CreateMemoryArray(&flat);
  if (sum.GetSize() != 2 * kCheckN || copy.GetSize() != kCheckN ||
      flatCount != static_cast<int>(kCheckN) || flat[kCheckN] != nullptr) {
    ok = Fail("whole-array operation sizes");
  }
  for (unsigned i = 0; ok && i < kCheckN; ++i) {
    if (!SameText(sum[i + kCheckN], texts[i]) || !SameText(copy[i], texts[i]) ||
        !SameText(CKQString(flat[i]), texts[i])) {
      ok = Fail("whole-array operation contents");
    }
  }
  unsorted.FreeMemoryArray(&flat);
  while (unsorted.GetSize() != 0) {
    unsorted.RemoveAt(0);
  }

  // The pointer array answers like std::find.
  const std::vector<void*> values = Pointers(kCheckN);
  CKQPtrArray pointers;
  for (void* value : values) {
    pointers.Add(value);
  }
  for (void* q : PointerQueries(kCheckN)) {
    const auto at =
        static_cast<unsigned>(std::find(values.begin(), values.end(), q) - values.begin());
    if (pointers.Find(q) != at) {
      ok = Fail("pointer array find differs from std::find");
      break;
    }
  }
  return ok;
}

} // namespace kqb
