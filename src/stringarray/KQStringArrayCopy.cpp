// CKQStringArray whole-array operations: append, copy, concatenation, copy construction and
// assignment.  Each reads the source one element at a time under the source's lock; no lock is
// held across elements.  An unsorted target inserts each string through Add.  A sorted target
// reads all the strings first (shared texts and the source's keys, outside its lock), orders them,
// and merges them in under its lock in one pass from the back: O(k log k + n + k) for k strings
// into n, where one Add per string would move up to n slots each time.
//
// Order in a sorted target: every string goes in front of the equal-without-case strings the
// target already held, as Add puts it.  Strings from a sorted source keep their relative order,
// so a copy of a sorted array equals it element for element.  Strings from an unsorted source
// end as adding them one by one would leave them: a later string in front of an earlier equal.
//
// Concurrency: the source's count is read once, when the operation starts, and no more strings
// than that are read, so an operation ends even while its source keeps growing (two arrays
// appended to each other at the same time, for instance).  A source that shrinks meanwhile ends
// the operation at its current end: nothing is added that was not read, and the source's error
// state is not touched.  The source is only read (the const and non-const overloads share one
// body), except that a sorted source's keys still waiting in its log are written into its key
// block under its lock, as a const FindString does.
//
// Out of memory: copying stops at the first string that cannot be added, so the target holds a
// prefix of the source (in the target's order) and ERROR_OUTOFMEMORY stays recorded; later
// strings are not added past a gap, and no later success overwrites the failure.  A sorted
// target merges nothing when it cannot hold the batch it reads into; when its slots cannot grow
// to hold them all, it merges the leading ones that fit in the slots it has and drops the rest;
// when the items for the whole batch cannot be reserved, it merges none.
#include <algorithm>
#include <cstdint>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "KQCaseMap.h"
#include "KQItemSlab.h"
#include "KQKeyBlock.h"
#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringArray.h"
#include "KQStringItem.h"

using kq::ItemAt;
using kq::Prefetch;
using kq::ReadText;
using kq::frame::LoadCount;
using kq::frame::LoadFlag;
using kq::frame::StoreCount;
using kq::frame::StoreFlag;

namespace {

// An order-preserving summary of the start of a text's lowered form, one byte per unit for its
// first eight units, first unit in the top byte: 0 after the text's end, the lowered unit + 1
// where it is below 0x7F, else 0x80, after which every byte is 0.  For two texts whose summaries
// differ, the summaries order them as CompareNoCase does: up to the first byte that differs the
// lowered units are equal (or both were summarised as 0x80 and the rest as 0, which makes the
// whole summaries equal), and there a prefix sorts first (0), two lowered units below 0x7F keep
// their order, and a unit below 0x7F sorts before any unit of 0x7F or more, surrogate halves
// included.  Equal summaries decide nothing: the texts are compared in full.  A surrogate half
// lowers to itself as a single unit (0x80 here), and any pair lowers to two surrogate halves,
// so taking each unit on its own is safe.  O(8).
constexpr std::uint64_t kMarkedBytes = 0x8080808080808080ull;

std::uint64_t SortPrefix(std::u16string_view text) noexcept {
  std::uint64_t prefix = 0;
  const std::size_t units = std::min<std::size_t>(text.size(), 8);
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t lower = kq::casemap::LowerBmpUnit(text[i]);
    const int shift = 56 - 8 * static_cast<int>(i);
    if (lower >= 0x7F) {
      return prefix | (std::uint64_t{0x80} << shift);
    }
    prefix |= std::uint64_t{lower + 1u} << shift;
  }
  return prefix;
}

// How many elements ahead of the one it copies MergeFrom fetches a source's items.
constexpr unsigned kReadAhead = 16;

// A string on its way into a sorted array: its sort prefix, its units, its key and its position
// in the source, so that sorting mostly compares integers held in the batch and reaches the texts
// (scattered in the heap) only for strings whose first eight lowered units agree.  The string
// itself waits in the batch's list of texts at its position; its item is made only when it is
// merged in, under the target's lock that guards the item slab.  The record is trivially
// copyable, so the sort moves no reference counts.
struct Incoming {
  std::uint64_t prefix = 0;
  const char16_t* units = nullptr;
  std::uint32_t length = 0;
  std::uint32_t key = 0;
  unsigned arrival = 0;
};

// Orders a batch under CompareNoCase; equal-without-case strings keep their arrival order when
// `keepOrder`, else they are reversed (the order one Add after another gives them).  The
// arrival breaks every tie, so the order is total and an unstable sort gives the same result.
// Two strings with equal full prefixes (eight lowered units below 0x7F, all code points of
// their own) have their first eight lowered units in common, so the comparison starts after
// them.
void OrderBatch(std::vector<Incoming>& batch, bool keepOrder) noexcept {
  std::sort(batch.begin(), batch.end(), [keepOrder](const Incoming& a, const Incoming& b) {
    if (a.prefix != b.prefix) {
      return a.prefix < b.prefix;
    }
    const std::size_t skip = (a.prefix & kMarkedBytes) == 0 && (a.prefix & 0xFF) != 0 ? 8 : 0;
    const int order = kq::casemap::CompareNoCase(a.units + skip, a.length - skip, b.units + skip,
                                                 b.length - skip);
    if (order != 0) {
      return order < 0;
    }
    return keepOrder ? a.arrival < b.arrival : a.arrival > b.arrival;
  });
}

} // namespace

// A copy starts with a fresh error state, not the source's.
// NOLINTNEXTLINE(bugprone-copy-constructor-init)
CKQStringArray::CKQStringArray(const CKQStringArray& source) {
  Start(LoadFlag(source.m_bSorted));
  AppendFrom(source);
}

CKQStringArray::CKQStringArray(const CKQStringArray& left, const CKQStringArray& right,
                               ConcatTag /*tag*/) {
  Start(LoadFlag(left.m_bSorted));
  if (AppendFrom(left)) {
    AppendFrom(right); // only after all of `left`: the result is always a prefix of left + right
  }
}

bool CKQStringArray::AppendFrom(const CKQStringArray& source) {
  if (LoadFlag(m_bSorted) != 0) {
    return MergeFrom(source);
  }
  const unsigned count = source.GetSize(); // the most strings this operation reads
  CKQString text;
  if (&source == this) {
    // Reading and inserting by index would read the array's own insertions (and, sorted,
    // shifted elements): take the elements present now, then add each once.  Copies share text,
    // so the snapshot is cheap.
    std::vector<CKQString> snapshot;
    try {
      snapshot.reserve(count); // the only allocation: at most `count` strings go in below
    } catch (const std::bad_alloc&) {
      m_error.SetError(ERROR_OUTOFMEMORY);
      return false;
    }
    for (unsigned i = 0; i < count && ReadText(m_lock, m_ppStorage, m_nCount, i, text); ++i) {
      snapshot.push_back(std::move(text));
    }
    for (CKQString& element : snapshot) {
      if (Add(std::move(element), nullptr) == 0) {
        return false;
      }
    }
    return true;
  }
  for (unsigned i = 0;
       i < count && ReadText(source.m_lock, source.m_ppStorage, source.m_nCount, i, text); ++i) {
    if (Add(std::move(text), nullptr) == 0) {
      return false;
    }
  }
  return true;
}

// The source is read to its end before anything is merged, so an array appended to itself adds
// the elements it held at the start, once each.  The merge writes from the back: slot n + k - 1
// down, taking the larger of the last unplaced element and the last unplaced incoming string
// (the element on a tie: it stays behind its equals), so every slot is written after it was
// read and nothing is moved twice.  The slots and keys move together.  Should the flag have been
// cleared meanwhile (by an assignment), the merge is still a valid order for an unsorted array.
bool CKQStringArray::MergeFrom(const CKQStringArray& source) {
  const bool keepOrder = LoadFlag(source.m_bSorted) != 0;
  const unsigned count = source.GetSize(); // the most strings this operation reads
  std::vector<Incoming> batch;
  std::vector<CKQString> texts; // texts[arrival]: the strings, in the order they were read
  try {
    batch.reserve(count); // with the next, the batch's only allocations
    texts.reserve(count);
  } catch (const std::bad_alloc&) {
    m_error.SetError(ERROR_OUTOFMEMORY);
    return false;
  }
  for (unsigned i = 0; i < count; ++i) {
    std::uint32_t key = 0;
    {
      // The source's key of the element is its text's key: it is taken, not computed again.
      const kq::platform::ScopedLock hold(source.m_lock);
      const unsigned present = LoadCount(source.m_nCount);
      if (i >= present) {
        break; // the source shrank: its current end
      }
      void** slots = *source.m_ppStorage;
      // The items and texts of a long source lie anywhere in the heap: fetch the item
      // kReadAhead elements ahead and the text of the one half as far ahead (its item fetched
      // then), so that reading an element rarely waits on memory.
      if (i + kReadAhead < present) {
        Prefetch(slots[i + kReadAhead]);
      }
      if (i + kReadAhead / 2 < present) {
        Prefetch(ItemAt(slots, i + kReadAhead / 2)->text.Data());
      }
      texts.push_back(ItemAt(slots, i)->text); // a shared copy; within the reserved room
      key = kq::KeyBlock::Settle(source.m_pKeys, source.m_pKeyLog)[i];
    }
    const std::u16string_view units = texts.back().View();
    batch.push_back({SortPrefix(units), units.data(), static_cast<std::uint32_t>(units.size()), key,
                     i}); // within the reserved room: cannot throw
  }
  if (batch.empty()) {
    return true;
  }
  OrderBatch(batch, keepOrder);
  bool complete = true;
  {
    const kq::platform::ScopedLock lock(m_lock);
    const unsigned n = LoadCount(m_nCount);
    kq::ItemSlab items(m_pItemChunks, m_pFreeItems);
    if (!items.Reserve(batch.size())) {
      batch.clear(); // no string goes in: the empty prefix
      complete = false;
    }
    if (batch.size() > m_nCapacity - n) {
      // One reservation, to at least the doubled capacity, so that a run of small appends does
      // not reallocate every time.
      const unsigned room = kq::frame::kMaxSlots - n;
      const unsigned doubled = kq::frame::GrowthTarget(n, m_nCapacity);
      const bool grown = batch.size() <= room &&
                         Alloc(std::max(n + static_cast<unsigned>(batch.size()), doubled)) != 0;
      if (!grown) {
        // Only the first strings of the source that fit in the slots already there go in.
        complete = false;
        const unsigned fit = m_nCapacity - n;
        std::size_t kept = 0;
        for (const Incoming& incoming : batch) {
          if (incoming.arrival < fit) {
            batch[kept++] = incoming;
          }
        }
        batch.resize(kept);
      }
    }
    std::uint32_t* keys = kq::KeyBlock(m_pKeys, m_pKeyLog).Settled();
    unsigned i = n;
    auto j = static_cast<unsigned>(batch.size());
    unsigned w = n + j;
    void** slots = j > 0 ? *m_ppStorage : nullptr; // no slot buffer at all after a failed start
    while (j > 0) {
      const Incoming& incoming = batch[j - 1];
      --w;
      if (i > 0 && kq::CompareNoCase(ItemAt(slots, i - 1)->text,
                                     std::u16string_view(incoming.units, incoming.length)) >= 0) {
        --i;
        slots[w] = slots[i];
        keys[w] = keys[i];
      } else {
        --j;
        slots[w] = items.New(std::move(texts[incoming.arrival])); // reserved above: cannot throw
        keys[w] = incoming.key;
      }
    }
    StoreCount(m_nCount, n + static_cast<unsigned>(batch.size())); // the count changes last
  }
  m_error.SetError(complete ? ERROR_SUCCESS : ERROR_OUTOFMEMORY);
  return complete;
}

// The members taking a non-const source only read it: they are the const ones.

int CKQStringArray::Append(CKQStringArray& source) { return Append(std::as_const(source)); }

int CKQStringArray::Copy(CKQStringArray& source) { return Copy(std::as_const(source)); }

CKQStringArray& CKQStringArray::operator+=(CKQStringArray& source) {
  return *this += std::as_const(source);
}

CKQStringArray CKQStringArray::operator+(CKQStringArray& source) const {
  return *this + std::as_const(source);
}

CKQStringArray::CKQStringArray(const CKQStringArray& left, CKQStringArray& right, ConcatTag tag)
    : CKQStringArray(left, static_cast<const CKQStringArray&>(right), tag) {}

bool CKQStringArray::AppendFrom(CKQStringArray& source) {
  return AppendFrom(static_cast<const CKQStringArray&>(source));
}

bool CKQStringArray::MergeFrom(CKQStringArray& source) {
  return MergeFrom(static_cast<const CKQStringArray&>(source));
}

int CKQStringArray::Append(const CKQStringArray& source) { return AppendFrom(source) ? 1 : 0; }

int CKQStringArray::Copy(const CKQStringArray& source) {
  if (&source == this) {
    return 1; // the array already holds exactly its own strings
  }
  RemoveAll();
  return Append(source);
}

CKQStringArray& CKQStringArray::operator+=(const CKQStringArray& source) {
  Append(source);
  return *this;
}

CKQStringArray CKQStringArray::operator+(const CKQStringArray& source) const {
  return {*this, source, ConcatTag{}};
}

CKQStringArray& CKQStringArray::operator=(const CKQStringArray& source) {
  if (&source == this) {
    return *this;
  }
  {
    // Add and SetAt read the flag under the lock: it changes there, together with the clearing,
    // so no element ever sits in an array whose order it was not inserted in.
    const kq::platform::ScopedLock lock(m_lock);
    StoreFlag(m_bSorted, LoadFlag(source.m_bSorted));
    RemoveAll();
  }
  if (AppendFrom(source)) {
    m_error = source.m_error; // last: the target ends with the source's recorded code
  } // otherwise ERROR_OUTOFMEMORY stays: the target holds only a prefix of the source
  return *this;
}
