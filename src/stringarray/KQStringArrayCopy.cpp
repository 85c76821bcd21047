// CKQStringArray whole-array operations: append, copy, concatenation, copy construction and
// assignment.  Each reads the source one element at a time under the source's lock; no lock is
// held across elements.  An unsorted target inserts each string through Add.  A sorted target
// reads all the strings first (shared texts and the source's keys, outside its lock) into runs of
// at most a run length of strings (65,536), orders each run as it completes, and merges them all
// in under its lock in one pass from the back: O(k log k + n + k) for k strings into n, where one
// Add per string would move up to n slots each time.  The runs bound every block the operation
// allocates for itself (a run's records and texts, the item chunks), so a source of any size asks
// for no block larger than a run's, however many strings it holds: only the target's own slots
// and keys grow with it.
//
// Order in a sorted target: every string goes in front of the equal-without-case strings the
// target already held, as Add puts it.  Strings from a sorted source keep their relative order,
// so a copy of a sorted array equals it element for element.  Strings from an unsorted source
// end as adding them one by one would leave them: a later string in front of an earlier equal.
// The runs change nothing in that order: every string has one place in a total order (its text,
// then its position in the source), and merging ordered runs gives the same sequence as ordering
// them all at once.
//
// Concurrency: the source's count is read once, when the operation starts, and no more strings
// than that are read, so an operation ends even while its source keeps growing (two arrays
// appended to each other at the same time, for instance).  A source that shrinks meanwhile ends
// the operation at its current end: nothing is added that was not read, and the source's error
// state is not touched.  The source is only read (the const and non-const overloads share one
// body); no key of either array is read or written: the target takes the keys of the positions
// the merge changed afresh when a search next needs them.
//
// Out of memory: copying stops at the first string that cannot be added, so the target holds a
// prefix of the source (in the target's order) and ERROR_OUTOFMEMORY stays recorded; later
// strings are not added past a gap, and no later success overwrites the failure.  A shortage is
// either std::bad_alloc or std::length_error (a container asked for more than it can hold): both
// are caught and reported alike, so nothing leaves these operations but the result, and the copy
// constructor never leaves a started frame behind.  A sorted target merges the runs it read
// before the first one it could not allocate room for; when its slots cannot grow to hold them
// all, it merges the leading strings that fit in the slots it has and drops the rest; when the
// items for all of them cannot be reserved, it merges none.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
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

// A string on its way into a sorted array: its sort prefix, its units and its position
// in the source, so that sorting mostly compares integers held in the run and reaches the texts
// (scattered in the heap) only for strings whose first eight lowered units agree.  The string
// itself waits in its run's list of texts at its position; its item is made only when it is
// merged in, under the target's lock that guards the item slab.  The record is trivially
// copyable, so the sort moves no reference counts.
struct Incoming {
  std::uint64_t prefix = 0;
  const char16_t* units = nullptr;
  std::uint32_t length = 0;
  unsigned arrival = 0;
};

// Whether `a` goes in front of `b` under CompareNoCase; equal-without-case strings keep their
// arrival order when `keepOrder`, else they are reversed (the order one Add after another gives
// them).  The arrival breaks every tie, so the order is total: an unstable sort, and a merge of
// runs ordered apart, give the same sequence.  Two strings with equal full prefixes (eight
// lowered units below 0x7F, all code points of their own) have their first eight lowered units
// in common, so the comparison starts after them.
bool Before(const Incoming& a, const Incoming& b, bool keepOrder) noexcept {
  if (a.prefix != b.prefix) {
    return a.prefix < b.prefix;
  }
  const std::size_t skip = (a.prefix & kMarkedBytes) == 0 && (a.prefix & 0xFF) != 0 ? 8 : 0;
  const int order =
      kq::casemap::CompareNoCase(a.units + skip, a.length - skip, b.units + skip, b.length - skip);
  if (order != 0) {
    return order < 0;
  }
  return keepOrder ? a.arrival < b.arrival : a.arrival > b.arrival;
}

// The most strings one run holds unless a test has set another length.  A run's records take
// 24 bytes a string on 32-bit targets (32 on 64-bit), so a run asks for 1.5 MiB at most there.
constexpr unsigned kRunLength = 65536;
std::atomic<unsigned> g_runLength{kRunLength};

// Strings read one after another from the source, ordered once the run is complete.  While the
// runs are merged, records[0, unplaced) are still to go in, the last of them first.
struct Run {
  std::vector<Incoming> records;
  std::vector<CKQString> texts; // texts[arrival - first]: the strings, in the order read
  unsigned first = 0;
  std::size_t unplaced = 0;
};

// Runs `allocate`, which allocates and nothing else; false when it ran short: std::bad_alloc,
// or std::length_error from a container asked for more than it can hold.
template <typename Allocate> bool Allocated(Allocate allocate) noexcept {
  try {
    allocate();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return false;
}

// Appends a run with room for `length` strings, the first of them the source's element `first`,
// and two entries for it to `tree`.  False, both lists as they were, when there is no room.
bool StartRun(std::vector<Run>& runs, std::vector<std::uint64_t>& tree, unsigned first,
              unsigned length) noexcept {
  if (tree.size() + 2 > tree.capacity() &&
      !Allocated([&] { tree.reserve(std::max<std::size_t>(16, 2 * tree.capacity())); })) {
    return false;
  }
  return Allocated([&] {
    Run run;
    run.first = first;
    run.records.reserve(length); // with the next, the run's only allocations
    run.texts.reserve(length);
    runs.push_back(std::move(run)); // on failure `runs` stays as it was
    tree.resize(tree.size() + 2);   // within the room reserved above: cannot throw
  });
}

// A tournament (loser tree) of the runs by the last string each still has to place: the winner
// is the greatest of them, the string the merge from the back takes next.  With r runs, entries
// 1 .. r-1 of the tree hold the runs that lost the matches of a complete binary tree whose leaf
// for run i is r + i (the parent of node e is e / 2), entry 0 the run that won them all, and
// entries r .. 2r-1 the rank of each run: the sort prefix of its last string still to place,
// plus one, or 0 once it has placed them all (a prefix has at most 0x80 in its top byte, so the
// sum never wraps).  Replacing the winner's string replays only the matches on its leaf's path:
// ceil(log2 r) comparisons, nearly all of two ranks side by side in the tree, so a step rarely
// reaches into a run's block, and the loser of each is picked without a branch (which string
// wins is as good as random).
//
// Runs that follow one another (every string of a run goes behind every string of the runs
// before it, as with a sorted source) need no matches: the merge takes the last run to its
// start, then the one before, and so on.  The tree checks that once, O(r), and then plays none.
class RunTree {
public:
  RunTree(std::vector<Run>& runs, std::vector<std::uint64_t>& tree, bool keepOrder) noexcept
      : m_runs(runs), m_node(tree.data()), m_rank(tree.data() + runs.size()),
        m_count(static_cast<std::uint32_t>(runs.size())), m_keepOrder(keepOrder) {
    const Run* previous = nullptr;
    for (std::uint32_t run = 0; run < m_count; ++run) {
      Run& r = m_runs[run];
      r.unplaced = r.records.size();
      m_rank[run] = Rank(run);
      if (r.unplaced != 0) {
        m_chained = m_chained && (previous == nullptr ||
                                  !Before(r.records.front(), previous->records.back(), keepOrder));
        previous = &r;
        m_node[0] = run; // for a chain: the last run with strings
      }
    }
    if (!m_chained) {
      m_node[0] = Play(1);
    }
  }

  // The greatest string still to place, and its run (there must be one).
  const Incoming& Top() const noexcept {
    const Run& run = m_runs[static_cast<std::size_t>(m_node[0])];
    return run.records[run.unplaced - 1];
  }
  Run& TopRun() noexcept { return m_runs[static_cast<std::size_t>(m_node[0])]; }

  // Takes the greatest string out of its run and replays its matches.  O(log runs), O(1) for a
  // chain.
  void TakeTop() noexcept {
    auto winner = static_cast<std::uint32_t>(m_node[0]);
    Run& r = m_runs[winner];
    if (m_chained) {
      if (--r.unplaced == 0) {
        while (winner > 0 && m_runs[--winner].unplaced == 0) {
        }
        m_node[0] = winner;
      }
      return;
    }
    // The runs are read backwards, many at once, which the processor does not foresee: fetch
    // the record kReadAhead strings further back while this one is placed.
    if (--r.unplaced > kReadAhead) {
      Prefetch(&r.records[r.unplaced - 1 - kReadAhead]);
    }
    std::uint64_t rank = Rank(winner);
    m_rank[winner] = rank;
    // The matches on the path do not depend on who wins them, so their entries can all be
    // loaded at once; only the comparisons chain, with the winner and its rank in registers.
    for (std::uint32_t match = (m_count + winner) / 2; match > 0; match /= 2) {
      const auto kept = static_cast<std::uint32_t>(m_node[match]);
      const std::uint64_t keptRank = m_rank[kept];
      const bool less = rank != keptRank || rank == 0 ? rank < keptRank : Tied(winner, kept);
      // All ones when the winner so far loses here; the selections are masks, not branches.
      const std::uint32_t lost = 0u - static_cast<std::uint32_t>(less);
      const std::uint32_t loser = kept ^ ((kept ^ winner) & lost);
      m_node[match] = loser;
      winner ^= kept ^ loser;
      rank ^= (rank ^ keptRank) & (0ull - static_cast<std::uint64_t>(less));
    }
    m_node[0] = winner;
  }

private:
  // Plays the matches at and below `node`, keeping each loser, and returns the winner.
  std::uint32_t Play(std::uint32_t node) noexcept {
    if (node >= m_count) {
      return node - m_count; // a leaf (the only one, at 1, when there is one run)
    }
    std::uint32_t left = Play(2 * node);
    std::uint32_t right = Play(2 * node + 1);
    if (Less(left, right)) {
      std::swap(left, right);
    }
    m_node[node] = right;
    return left;
  }

  std::uint64_t Rank(std::uint32_t run) const noexcept {
    const Run& r = m_runs[run];
    return r.unplaced == 0 ? 0 : r.records[r.unplaced - 1].prefix + 1;
  }

  // Whether run `a`'s string goes in front of run `b`'s (a run with none left goes in front of
  // all).  Different ranks decide; equal ones of two live runs need their records.
  bool Less(std::uint32_t a, std::uint32_t b) const noexcept {
    const std::uint64_t x = m_rank[a];
    const std::uint64_t y = m_rank[b];
    return x != y || x == 0 ? x < y : Tied(a, b);
  }

  // Less for two live runs of equal rank.
  bool Tied(std::uint32_t a, std::uint32_t b) const noexcept {
    const Run& p = m_runs[a];
    const Run& q = m_runs[b];
    return Before(p.records[p.unplaced - 1], q.records[q.unplaced - 1], m_keepOrder);
  }

  std::vector<Run>& m_runs;
  std::uint64_t* m_node;
  std::uint64_t* m_rank;
  std::uint32_t m_count;
  bool m_keepOrder;
  bool m_chained = true;
};

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
    if (!Allocated([&] { snapshot.reserve(count); })) { // at most `count` strings go in below
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
// down, taking the larger of the last unplaced element and the greatest unplaced incoming string
// (the winner of the runs' tournament; the element on a tie: it stays behind its equals), so
// every slot is written after it was read and nothing is moved twice.  Keys are not moved: those
// of the slots the merge wrote are taken afresh when a search needs them.  Should the flag have
// been cleared meanwhile (by an assignment), the merge is still a valid order for an unsorted
// array.
bool CKQStringArray::MergeFrom(const CKQStringArray& source) {
  const bool keepOrder = LoadFlag(source.m_bSorted) != 0;
  const unsigned count = source.GetSize(); // the most strings this operation reads
  const unsigned runLength = std::max(1u, g_runLength.load(std::memory_order_relaxed));
  std::vector<Run> runs;
  std::vector<std::uint64_t> tree; // two entries for every run: the merge's tournament
  bool complete = true;
  unsigned roomInRun = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (roomInRun == 0) {
      const unsigned length = std::min(runLength, count - i);
      if (!StartRun(runs, tree, i, length)) {
        complete = false; // the runs read so far hold a prefix of the source
        break;
      }
      roomInRun = length;
    }
    Run& run = runs.back();
    {
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
      run.texts.push_back(ItemAt(slots, i)->text); // a shared copy; within the reserved room
    }
    const std::u16string_view units = run.texts.back().View();
    run.records.push_back({SortPrefix(units), units.data(),
                           static_cast<std::uint32_t>(units.size()),
                           i}); // within the reserved room: cannot throw
    if (--roomInRun == 0) {
      std::sort(
          run.records.begin(), run.records.end(), // ordered while it is in the cache
          [keepOrder](const Incoming& a, const Incoming& b) { return Before(a, b, keepOrder); });
    }
  }
  if (!runs.empty() && roomInRun != 0) {
    // The last run ended early (the source shrank or the next run could not be allocated).
    Run& last = runs.back();
    std::sort(
        last.records.begin(), last.records.end(),
        [keepOrder](const Incoming& a, const Incoming& b) { return Before(a, b, keepOrder); });
  }
  std::size_t total = 0;
  for (const Run& run : runs) {
    total += run.records.size();
  }
  if (total == 0) {
    if (!complete) {
      m_error.SetError(ERROR_OUTOFMEMORY);
    }
    return complete;
  }
  {
    const kq::platform::ScopedLock lock(m_lock);
    const unsigned n = LoadCount(m_nCount);
    kq::ItemSlab items(m_pItemChunks, m_pFreeItems);
    if (!items.Reserve(total, runLength)) {
      for (Run& run : runs) {
        run.records.clear(); // no string goes in: the empty prefix
      }
      total = 0;
      complete = false;
    }
    if (total > m_nCapacity - n) {
      // One reservation, to at least the doubled capacity, so that a run of small appends does
      // not reallocate every time.
      const unsigned room = kq::frame::kMaxSlots - n;
      const unsigned doubled = kq::frame::GrowthTarget(n, m_nCapacity);
      const bool grown =
          total <= room && Alloc(std::max(n + static_cast<unsigned>(total), doubled)) != 0;
      if (!grown) {
        // Only the first strings of the source that fit in the slots already there go in.
        complete = false;
        const unsigned fit = m_nCapacity - n;
        total = 0;
        for (Run& run : runs) {
          std::erase_if(run.records,
                        [fit](const Incoming& incoming) { return incoming.arrival >= fit; });
          total += run.records.size();
        }
      }
    }
    if (total > 0) { // then there are slots: after a failed start none might have been reserved
      void** slots = *m_ppStorage;
      RunTree order(runs, tree, keepOrder);
      unsigned i = n;
      auto j = static_cast<unsigned>(total);
      unsigned w = n + j;
      while (j > 0) {
        const Incoming& incoming = order.Top();
        --w;
        if (i > 0 && kq::CompareNoCase(ItemAt(slots, i - 1)->text,
                                       std::u16string_view(incoming.units, incoming.length)) >= 0) {
          --i;
          slots[w] = slots[i];
        } else {
          --j;
          Run& run = order.TopRun();
          slots[w] = items.New(std::move(run.texts[incoming.arrival - run.first])); // reserved
          order.TakeTop();
        }
      }
      // Slots below `i` kept their elements, and their keys stand; the rest are taken afresh.
      kq::KeyBlock(m_pKeys, m_pKeyIndex).Changed(i);
      StoreCount(m_nCount, n + static_cast<unsigned>(total)); // the count changes last
    }
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

unsigned CKQStringArray::SetMergeRunLength(unsigned strings) noexcept {
  return g_runLength.exchange(strings == 0 ? kRunLength : strings, std::memory_order_relaxed);
}
