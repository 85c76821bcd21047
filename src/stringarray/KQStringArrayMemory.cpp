// CKQStringArray flat arrays: a NULL-terminated block of pointers to zero-terminated copies of
// the elements, handed to the caller and taken back.
//
// A flat array is one block from the allocation operator, laid out as
//
//   [entry 0 .. entry n-1][null][made 0 .. made n-1]
//   ^ the address the caller gets
//
// where n is the element count read when the array was made.  made[i] records the block that
// CreateMemoryArray stored in entry i (null where building stopped early).  The caller never
// sees the record, so it may rearrange, replace, take out or null the entries as it likes:
// FreeMemoryArray releases exactly the recorded blocks that it still finds in one of the n + 1
// slots, each once.  An entry the caller put in (read-only text, a buffer of its own, a block
// from another allocator or from another flat array) is never released, nor is a block the
// caller took out.
//
// Which blocks are flat arrays, and their n, the registry of live flat arrays knows
// (KQFlatRegistry.h): CreateMemoryArray enters the block before it hands it out and
// FreeMemoryArray takes it out before it reads anything in it, so a pointer block made anywhere
// else (or one already released) is refused without a read at or around it.  Neither call makes
// a system call, save that the registry's mutex may wait while another thread holds it.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include "KQFlatRegistry.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQStringItem.h"

namespace {

using Entry = const unsigned short*;

// A block of `count` objects of type T from the allocation operator.  When the byte size does
// not fit in size_t, the largest size is requested instead, so the allocator throws rather than
// hand out a block smaller than the caller will fill.
template <typename T> T* AllocateBlock(std::size_t count) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  const std::size_t bytes = count > kMax / sizeof(T) ? kMax : count * sizeof(T);
  return static_cast<T*>(::operator new(bytes));
}

// A flat array for `count` entries: every entry and record null, so an array whose building
// fails midway is terminated and can still be released.  Not yet registered.
Entry* NewFlatArray(unsigned count) {
  constexpr std::size_t kMaxPointers = std::numeric_limits<std::size_t>::max() / sizeof(Entry);
  const std::size_t slots = count;
  // 2n + 1 pointers; a count whose block cannot be sized asks for more than any allocator gives.
  const std::size_t pointers = slots > (kMaxPointers - 1) / 2 ? kMaxPointers : 2 * slots + 1;
  auto* entries = AllocateBlock<Entry>(pointers);
  std::fill_n(entries, pointers, nullptr);
  return entries;
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
  Entry* entries = NewFlatArray(count);
  try {
    kq::flat::Register(entries, count);
  } catch (...) {
    ::operator delete(static_cast<void*>(entries)); // never handed out: `*array` stays
    throw;
  }
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

// The block leaves the registry before anything in it is read: only a live flat array is
// touched, and only by the one call that took it out.
int CKQStringArray::FreeMemoryArray(const unsigned short*** array) {
  std::size_t slots = 0;
  if (array == nullptr || *array == nullptr || !kq::flat::Unregister(*array, slots)) {
    m_error.SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Entry* entries = *array;
  ReleaseMadeBlocks(entries, entries + slots + 1, slots);
  ::operator delete(static_cast<void*>(entries));
  *array = nullptr;
  return 1;
}
