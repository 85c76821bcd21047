// CKQStringArray::FindString: a key index where searches have repeated, else a binary search in
// sorted arrays and a key scan in unsorted ones.
//
// Every overload ends in the const search over a view of the wanted text, which builds no
// string: the key comes from the view's units and texts are compared as views.  The non-const
// overloads add the one code the search records, ERROR_NOT_FOUND.
//
// When an index appears.  Each search without an index adds its work to the array's count of
// work since the last change that moved or replaced elements (in large arrays by sampling, see
// IndexDue): an unsorted search the keys it scanned, a sorted one, for each step of its binary
// search, about as many keys as could be scanned in the time the step takes (it reads an item
// and its text: kSmallStepUnits while an array is small enough to stay in the caches,
// kLargeStepUnits once the items lie anywhere in the heap).  The search whose work brings the count
// to what building the index would cost, in the same units, builds it (never the first search since
// the change).  Measured on the benchmark machine at 10^6 elements: entering a key in the table
// costs about as long as scanning 800..1,300 keys (its entry lies anywhere in the table, the scan
// reads keys four at a time), taking a missing key about as long as scanning 1,800..2,200
// (g_indexRule and kKeyUnits).  So the searching that goes before an index costs about as much as
// the index, and everything after it is gain: a search with the index costs O(1) expected, where an
// unsorted search scans up to the count.  An unsorted array of n elements gets its index after
// about 1,400 searches, a sorted one of 10^6 after about 150,000 (50,000 when its keys are
// known, as after loading it in order).  The count saturates at 2^32 - 1, so an array of more
// than about 1.4 million elements gets its index once the count is full.  An array searched a
// few times never has one, and arrays of fewer than kIndexFrom elements, which a scan serves as
// fast, never do either.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>
#include <utility>

#include "KQKeyBlock.h"
#include "KQKeyIndex.h"
#include "KQKeyScan.h"
#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringArray.h"
#include "KQStringItem.h"
#include "KQStringKey.h"

namespace {

// The built-in rule: the index is built after searches worth this many full key scans (about
// what entering the keys in the table costs), plus kKeyUnits for every key still to be taken
// (about what lowering a text and taking its CRC costs).
constexpr unsigned kIndexRule = 1024;
constexpr std::uint32_t kKeyUnits = 2048;
// The fewest elements an array has an index for.
constexpr unsigned kIndexFrom = 16;
// The work of one binary-search step, in keys scanned: in an array of fewer than kLargeFrom
// elements, and in a larger one.
constexpr std::uint32_t kSmallStepUnits = 256;
constexpr std::uint32_t kLargeStepUnits = 1024;
constexpr unsigned kLargeFrom = 131072;

std::atomic<unsigned> g_indexRule{kIndexRule};

std::u16string_view ViewOf(const char16_t* text) noexcept {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

bool Matches(void** slots, unsigned i, std::u16string_view text, bool noCase) noexcept {
  const CKQString& element = kq::ItemAt(slots, i)->text;
  return noCase ? kq::CompareNoCase(element, text) == 0 : kq::StringAccess::View(element) == text;
}

// The exact search in a sorted array, from `i`, the first element equal to `text` without regard
// to case: the run of such elements is walked until the exact text or the run's end.
unsigned WalkRun(void** slots, unsigned i, unsigned count, std::u16string_view text) noexcept {
  for (; i < count; ++i) {
    const CKQString& element = kq::ItemAt(slots, i)->text;
    if (kq::StringAccess::View(element) == text) {
      return i;
    }
    if (kq::CompareNoCase(element, text) != 0) {
      break; // past the run
    }
  }
  return KQ_NO_INDEX;
}

// The sorted case.  The result is the index a scan from the front would give, the first match,
// because CKQString::CompareNoCase returns 0 exactly when the lowered forms of the two texts are
// equal (the string component guarantees it) and orders texts totally otherwise: then the
// elements equal to `text` without regard to case form one run of neighbours in a sorted array,
// the lower bound is the first of them, and an exact match, being equal without regard to case
// too, can only lie inside that run.  O(log n) comparisons, plus the run's length for an exact
// search; reads no key.
unsigned FindSorted(void** slots, unsigned count, std::u16string_view text, bool noCase) noexcept {
  const unsigned i = kq::LowerBoundNoCase(slots, count, text);
  if (i == count || kq::CompareNoCase(kq::ItemAt(slots, i)->text, text) != 0) {
    return KQ_NO_INDEX; // no element equals `text` even without regard to case
  }
  return noCase ? i : WalkRun(slots, i, count, text);
}

// The unsorted case, from element `from`: the key block is scanned for `key`, and text is
// compared only where the keys agree.  Keys decide only that two texts may be equal: different
// texts can share a CRC-32 (and such pairs are easy to construct), so every key match is
// confirmed by comparing the texts, exactly or without regard to case.  `scanned` receives the
// number of keys read.
unsigned FindUnsorted(void** slots, const std::uint32_t* keys, unsigned from, unsigned count,
                      std::uint32_t key, std::u16string_view text, bool noCase,
                      unsigned& scanned) noexcept {
  for (std::size_t i = kq::keyscan::Find(keys, from, count, key); i < count;
       i = kq::keyscan::Find(keys, i + 1, count, key)) {
    if (Matches(slots, static_cast<unsigned>(i), text, noCase)) {
      scanned = static_cast<unsigned>(i) + 1 - from;
      return static_cast<unsigned>(i);
    }
  }
  scanned = count - from;
  return KQ_NO_INDEX;
}

// With the index: its answer is the first position holding the key, so no element before it can
// match.  Where that element does not match (a case variant in an exact search, or a different
// text with the same key), the search goes on as it would without the index: the scan from the
// next element, or, sorted, the binary search (a different text first means the run of `text`,
// if any, lies elsewhere) or the walk of the run.
unsigned FindIndexed(const kq::KeyIndex& index, void** slots, const std::uint32_t* keys,
                     unsigned count, std::u16string_view text, bool noCase, bool sorted) noexcept {
  const std::uint32_t key = kq::StringKey(text.data(), text.size());
  unsigned first = kq::KeyIndex::kNone;
  const unsigned found = index.Find(
      keys, key, [&](unsigned i) { return Matches(slots, i, text, noCase); }, first);
  if (found != kq::KeyIndex::kNone || first == kq::KeyIndex::kNone) {
    return found; // the first match, or no element with the key
  }
  if (sorted) {
    if (kq::CompareNoCase(kq::ItemAt(slots, first)->text, text) != 0) {
      return FindSorted(slots, count, text, noCase);
    }
    return WalkRun(slots, first + 1, count, text);
  }
  unsigned scanned = 0;
  return FindUnsorted(slots, keys, first + 1, count, key, text, noCase, scanned);
}

// In an array whose index is due only after much work (at least kSampledFrom units: some
// thousands of elements), a search whose work is small beside it (at most 1/kSampledBelow of it
// once weighed kSample times) adds its work to the shared count only with probability 1/kSample,
// and then kSample times over.  Counted by every search, that count was one cache line written
// by every reader thread at once, and searches on two threads ran slower than on one; sampled, a
// thread writes it about once per kSample searches, the expected count is unchanged and the index
// still comes after about as many searches (within a few percent).  Smaller arrays, whose index
// comes after a few thousand short searches, and larger pieces of work are counted every time,
// exactly.
constexpr std::uint64_t kSample = 16;
constexpr std::uint64_t kSampledBelow = 64;
constexpr std::uint64_t kSampledFrom = std::uint64_t{1} << 24;

// One draw of probability 1/kSample from this thread's own generator (xorshift32): no shared
// state.
bool Drawn() noexcept {
  thread_local std::uint32_t state = 0x9E3779B9u;
  std::uint32_t x = state;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  state = x;
  return (x & (kSample - 1)) == 0;
}

// Counts a search that did `units` of work over `count` elements, `known` of whose keys are
// taken, and says whether the index should be built now.  The rule 0 builds at once, 0xFFFFFFFF
// never; any other builds once the counted work reaches what building costs, never at the first
// counted search since the change (an array searched once never has an index).
bool IndexDue(std::uint32_t* keys, std::uint32_t units, unsigned count, unsigned known) noexcept {
  const unsigned rule = g_indexRule.load(std::memory_order_relaxed);
  if (rule == 0) {
    return true;
  }
  if (rule == std::numeric_limits<unsigned>::max()) {
    return false;
  }
  const std::uint64_t due =
      std::uint64_t{rule} * count + std::uint64_t{kKeyUnits} * (count - known);
  std::uint64_t weight = units;
  if (due >= kSampledFrom && weight * kSample * kSampledBelow <= due) {
    if (!Drawn()) {
      return false;
    }
    weight *= kSample;
  }
  const std::uint64_t most = std::numeric_limits<std::uint32_t>::max();
  const auto add = static_cast<std::uint32_t>(std::min(weight, most));
  const std::uint32_t before = kq::KeyBlock::AddWork(keys, add);
  return before != 0 && std::min(std::uint64_t{before} + add, most) >= std::min(due, most);
}

} // namespace

// No lock is taken to search: callers keep writers away while they search.  Only a search that
// finds keys it needs still untaken, or that builds the index, takes the lock for that, and
// checks again under it, so searches running side by side do not write together and each either
// uses what another published or waits for it.
unsigned CKQStringArray::FindString(std::u16string_view text, int noCase) const {
  const unsigned count = kq::frame::LoadCount(m_nCount);
  if (count == 0) {
    return KQ_NO_INDEX;
  }
  void** slots = *m_ppStorage;
  const bool sorted = kq::frame::LoadFlag(m_bSorted) != 0;
  const kq::KeyIndex* index = kq::KeyBlock::Index(m_pKeyIndex);
  if (index != nullptr && index->Covered() == count) {
    return FindIndexed(*index, slots, m_pKeys, count, text, noCase != 0, sorted);
  }
  unsigned result = KQ_NO_INDEX;
  std::uint32_t units = 0;
  if (sorted) {
    result = FindSorted(slots, count, text, noCase != 0);
    units = (count < kLargeFrom ? kSmallStepUnits : kLargeStepUnits) *
            static_cast<std::uint32_t>(std::bit_width(count));
  } else {
    if (kq::KeyBlock::Known(m_pKeys) < count) {
      const kq::platform::ScopedLock lock(m_lock);
      kq::KeyBlock::Complete(m_pKeys, slots, count);
    }
    const std::uint32_t key = kq::StringKey(text.data(), text.size());
    unsigned scanned = 0;
    result = FindUnsorted(slots, m_pKeys, 0, count, key, text, noCase != 0, scanned);
    units = scanned;
  }
  if (count >= kIndexFrom && IndexDue(m_pKeys, units, count, kq::KeyBlock::Known(m_pKeys))) {
    const kq::platform::ScopedLock lock(m_lock);
    if (kq::KeyBlock::Index(m_pKeyIndex) == nullptr) {
      kq::KeyBlock::Complete(m_pKeys, slots, count);
      kq::KeyBlock::Publish(m_pKeys, m_pKeyIndex, count); // short of memory: none, scans go on
    }
  }
  return result;
}

unsigned CKQStringArray::SetKeyIndexRule(unsigned scans) noexcept {
  return g_indexRule.exchange(scans, std::memory_order_relaxed);
}

unsigned CKQStringArray::KnownKeys(const CKQStringArray& array) noexcept {
  return kq::KeyBlock::Known(array.m_pKeys);
}

bool CKQStringArray::HasKeyIndex(const CKQStringArray& array) noexcept {
  return kq::KeyBlock::Index(array.m_pKeyIndex) != nullptr;
}

unsigned CKQStringArray::FindString(std::u16string_view text, int noCase) {
  const unsigned index = std::as_const(*this).FindString(text, noCase);
  if (index == KQ_NO_INDEX) {
    m_error.SetError(ERROR_NOT_FOUND);
  }
  return index;
}

unsigned CKQStringArray::FindString(CKQString text, int noCase) {
  return FindString(text.View(), noCase);
}

unsigned CKQStringArray::FindString(const char16_t* text, int noCase) {
  return FindString(ViewOf(text), noCase);
}

unsigned CKQStringArray::FindString(CKQString text, int noCase) const {
  return FindString(text.View(), noCase);
}

unsigned CKQStringArray::FindString(const char16_t* text, int noCase) const {
  return FindString(ViewOf(text), noCase);
}
