// CKQStringArray flat arrays: a NULL-terminated block of pointers to zero-terminated copies of
// the elements, handed to the caller and taken back.
//
// A flat array is one block from the allocation operator, laid out as
//
//   [FlatHeader][entry 0 .. entry n-1][null][made 0 .. made n-1]
//               ^ the address the caller gets
//
// where n is the element count read when the array was made.  made[i] records the block that
// CreateMemoryArray stored in entry i (null where building stopped early).  The caller never
// sees the record, so it may rearrange, replace, take out or null the entries as it likes:
// FreeMemoryArray releases exactly the recorded blocks that it still finds in one of the n + 1
// slots, each once.  An entry the caller put in (read-only text, a buffer of its own, a block
// from another allocator or from another flat array) is never released, nor is a block the
// caller took out.  The header's cookie mixes a constant with the header's own address and n,
// so a pointer block made anywhere else is refused and nothing in it is touched.  Neither call
// makes a system call.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQStringItem.h"

namespace {

using Entry = const unsigned short*;

struct FlatHeader {
  std::size_t slots;     // n: the entries, the terminating null not counted
  std::uintptr_t cookie; // Cookie(this, slots) while the flat array lives
};
static_assert(sizeof(FlatHeader) % alignof(Entry) == 0, "the entries follow the header aligned");

std::uintptr_t Cookie(const void* header, std::size_t slots) noexcept {
  constexpr auto kMark = static_cast<std::uintptr_t>(0x9E3779B97F4A7C15ull);
  constexpr std::uintptr_t kSpread = 0x2545F491u; // odd: every slot count gives its own cookie
  return kMark ^ reinterpret_cast<std::uintptr_t>(header) ^
         (static_cast<std::uintptr_t>(slots) * kSpread);
}

Entry* EntriesOf(FlatHeader* header) noexcept { return reinterpret_cast<Entry*>(header + 1); }

// A block of `count` objects of type T from the allocation operator.  When the byte size does
// not fit in size_t, the largest size is requested instead, so the allocator throws rather than
// hand out a block smaller than the caller will fill.
template <typename T> T* AllocateBlock(std::size_t count) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  const std::size_t bytes = count > kMax / sizeof(T) ? kMax : count * sizeof(T);
  return static_cast<T*>(::operator new(bytes));
}

// A flat array for `count` entries: header with its cookie, then every entry and record null,
// so an array whose building fails midway is terminated and can still be released.
FlatHeader* NewFlatArray(unsigned count) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  constexpr std::size_t kMaxPointers = (kMax - sizeof(FlatHeader)) / sizeof(Entry);
  const std::size_t slots = count;
  const std::size_t bytes = slots > (kMaxPointers - 1) / 2
                                ? kMax // cannot be allocated: the allocator throws
                                : sizeof(FlatHeader) + (2 * slots + 1) * sizeof(Entry);
  void* raw = ::operator new(bytes);
  std::memset(raw, 0, bytes);
  auto* header = ::new (raw) FlatHeader{slots, 0};
  header->cookie = Cookie(header, slots);
  return header;
}

// The header in front of `entries` when its cookie shows that CreateMemoryArray made them, or
// null.  It reads the two words before `entries`, as a deallocation function reads its block's
// own bookkeeping.
FlatHeader* HeaderOf(Entry* entries) noexcept {
  unsigned char* at = reinterpret_cast<unsigned char*>(entries) - sizeof(FlatHeader);
  FlatHeader seen{};
  std::memcpy(&seen, at, sizeof(seen));
  if (seen.cookie != Cookie(at, seen.slots)) {
    return nullptr;
  }
  return std::launder(reinterpret_cast<FlatHeader*>(at));
}

void Release(Entry block) noexcept {
  ::operator delete(const_cast<unsigned short*>(block)); // NOLINT: the library's own copy
}

// Releases every block of made[0..n) that is still in one of entries[0..n], each once.
//
// Entries mostly stay where they were made, so one pass compares each slot with the record of
// its own position: O(n), one load beyond what a plain release loop does.  What differs goes to a
// second step: the records not found at their own position and the non-null slots that hold no
// record of theirs are moved to the front of their arrays (both are released next, so they serve
// as scratch), sorted and merged: O(m log m) for m displaced entries, and no allocation.
void ReleaseMadeBlocks(Entry* entries, Entry* made, std::size_t n) noexcept {
  std::size_t missing = 0; // records not at their own position, gathered in made[0..missing)
  std::size_t strays = 0;  // other non-null slots, gathered in entries[0..strays)
  for (std::size_t i = 0; i < n; ++i) {
    const Entry entry = entries[i];
    const Entry own = made[i];
    if (entry == own) {
      if (own != nullptr) {
        Release(own);
      }
      continue;
    }
    if (own != nullptr) {
      made[missing++] = own;
    }
    if (entry != nullptr) {
      entries[strays++] = entry;
    }
  }
  if (entries[n] != nullptr) { // the terminating slot, filled by the caller
    entries[strays++] = entries[n];
  }
  if (missing == 0 || strays == 0) {
    return;
  }
  const std::less<> before;
  std::sort(made, made + missing, before);
  std::sort(entries, entries + strays, before);
  // A record found among the slots goes once, however many slots hold it; records are distinct.
  std::size_t s = 0;
  for (std::size_t m = 0; m < missing; ++m) {
    while (s < strays && before(entries[s], made[m])) {
      ++s;
    }
    if (s < strays && entries[s] == made[m]) {
      Release(made[m]);
    }
  }
}

} // namespace

// The copy reads at most the count read at the start (the block has room for no more) and stops
// early where the array has become shorter meanwhile, so it never copies a string the array did
// not hold and records nothing.
int CKQStringArray::CreateMemoryArray(const unsigned short*** array) {
  if (array == nullptr) {
    m_error.SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const unsigned count = GetSize();
  FlatHeader* header = NewFlatArray(count);
  Entry* entries = EntriesOf(header);
  Entry* made = entries + std::size_t{count} + 1;
  *array = entries;

  unsigned copied = 0;
  CKQString text;
  for (; copied < count && kq::ReadText(m_lock, m_ppStorage, m_nCount, copied, text); ++copied) {
    const std::size_t units = std::size_t{text.GetLength()} + 1; // with the terminating zero
    auto* copy = AllocateBlock<unsigned short>(units);
    std::memcpy(copy, static_cast<const unsigned short*>(text), units * sizeof(unsigned short));
    made[copied] = copy;
    entries[copied] = copy;
  }
  return static_cast<int>(copied);
}

int CKQStringArray::FreeMemoryArray(const unsigned short*** array) {
  FlatHeader* header = array != nullptr && *array != nullptr ? HeaderOf(*array) : nullptr;
  if (header == nullptr) {
    m_error.SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Entry* entries = EntriesOf(header);
  ReleaseMadeBlocks(entries, entries + header->slots + 1, header->slots);
  header->cookie = 0; // the block is no flat array any more
  ::operator delete(static_cast<void*>(header));
  *array = nullptr;
  return 1;
}
