// The storage frame shared by CKQPtrArray and CKQStringArray: a heap cell holding the address of
// a C-runtime slot buffer, a count, a capacity and a re-entrant lock.
//
// The helpers here start, grow and end a frame; the array classes own the fields.  A slot is one
// pointer wide.  Growth doubles from 10 slots and never shrinks.
#ifndef KQ_STORAGE_FRAME_H
#define KQ_STORAGE_FRAME_H

#include <cstring>
#include <functional>

#include "KQObject.h"
#include "KQPlatform.h"
#include "KQRelaxedAtomic.h"
#include "KQResultCodes.h"

namespace kq::frame {

// Slots reserved by a new array.
inline constexpr unsigned kInitialSlots = 10;
// The most elements an array holds: KQ_NO_INDEX (0xFFFFFFFF) is the "no such element" index.
inline constexpr unsigned kMaxSlots = KQ_NO_INDEX - 1;

// The count is read without the lock (index tests, GetSize, IsEmpty, scans), so every access to
// it is atomic: reads and whole stores are relaxed (KQRelaxedAtomic.h), and Add and RemoveAt step
// it by one with the platform layer's interlocked operations, under the lock.  A reader sees an
// old or a new count, never a torn one; ordering against the slots still comes from the lock.
inline unsigned LoadCount(const unsigned& count) noexcept { return relaxed::Load(count); }
inline void StoreCount(unsigned& count, unsigned value) noexcept { relaxed::Store(count, value); }

// The string array's sorted flag changes only under the lock (assignment), but IsSorted and the
// copy constructor read it without: the same relaxed atomic steps keep those reads whole.
inline int LoadFlag(const int& flag) noexcept {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): atomic_ref needs a non-const object
  return std::atomic_ref<int>(const_cast<int&>(flag)).load(std::memory_order_relaxed);
}
inline void StoreFlag(int& flag, int value) noexcept {
  std::atomic_ref<int>(flag).store(value, std::memory_order_relaxed);
}

// True when `index` names an element; otherwise records ERROR_INVALID_INDEX.  SetAt and RemoveAt
// test once before taking the lock and again once they hold it: another thread may have removed
// elements in between, and a stale index must not touch a slot beyond the count.
inline bool IndexInRange(unsigned index, const unsigned& count, CKQError& error) noexcept {
  if (index < LoadCount(count)) {
    return true;
  }
  error.SetError(ERROR_INVALID_INDEX);
  return false;
}

// The body of RemoveAt for both array families.  Tests `index` before taking the lock and again
// once it holds it (another thread may have removed elements in between); then hands the slot's
// element to `release` (the string array frees its item there), moves the later slots down as
// one block and steps the count down.  Returns 1, or 0 with ERROR_INVALID_INDEX recorded and
// nothing changed.  O(count - index).
template <typename Release>
int RemoveSlot(void*** cell, unsigned& count, KQLockStorage& lock, CKQError& error, unsigned index,
               Release release) {
  if (!IndexInRange(index, count, error)) {
    return 0;
  }
  platform::ScopedLock guard(lock);
  if (!IndexInRange(index, count, error)) {
    return 0;
  }
  void** slots = *cell;
  release(slots[index]);
  std::memmove(slots + index, slots + index + 1, (count - index - 1) * sizeof(void*));
  platform::AtomicDecrement(count);
  return 1;
}

// Holds two arrays' locks for a move between them, always the one at the lower address first:
// `a = std::move(b)` on one thread and `b = std::move(a)` on another then cannot each hold one
// lock and wait for the other.  The locks are re-entrant, so the two may be one.
class BothLocks {
public:
  BothLocks(KQLockStorage& a, KQLockStorage& b) noexcept
      : BothLocks(a, b, std::less<const KQLockStorage*>{}(&a, &b)) {}

private:
  BothLocks(KQLockStorage& a, KQLockStorage& b, bool aFirst) noexcept
      : m_first(aFirst ? a : b), m_second(aFirst ? b : a) {}

  platform::ScopedLock m_first;
  platform::ScopedLock m_second;
};

// Creates the lock and the storage cell (content null); count and capacity become 0.
// The cell comes from the allocation operator, whose exception passes to the caller after the
// lock has been deleted again.
void Start(void***& cell, unsigned& count, unsigned& capacity, KQLockStorage& lock);

// The cell of a frame that has handed its slots to another (a moved-from array): shared by all
// such frames, it always holds null and is never freed.  Reads through it see no buffer (the
// count is 0), and Grow gives the frame a cell of its own before it stores a buffer address.
void*** SharedEmptyCell() noexcept;

// Frees the slot buffer and the storage cell and deletes the lock.  The caller has released the
// elements already.
void End(void***& cell, unsigned& count, unsigned& capacity, KQLockStorage& lock) noexcept;

// Resizes the slot buffer in `cell` to `slots` slots unless the capacity is already that large
// (replacing the shared empty cell by a cell of its own first).  Returns 1, or records
// ERROR_OUTOFMEMORY in `error` and returns 0 when the C runtime cannot resize or the byte size
// overflows; the old buffer, its contents and the capacity then stay.
int Grow(void***& cell, unsigned& capacity, unsigned slots, CKQError& error) noexcept;

// The capacity that makes room for one more element once all `capacity` slots are used: double
// the capacity (at most kMaxSlots), or the initial slots afresh when an earlier reservation
// failed (capacity 0); 0 when `count` has reached kMaxSlots and nothing more may be added.
constexpr unsigned GrowthTarget(unsigned count, unsigned capacity) noexcept {
  if (count >= kMaxSlots) {
    return 0;
  }
  if (capacity == 0) {
    return kInitialSlots;
  }
  return capacity > kMaxSlots / 2 ? kMaxSlots : capacity * 2;
}

// Makes room for one more element, as Add does before storing: grows to GrowthTarget when every
// slot is used.  Returns 1, or 0 with ERROR_OUTOFMEMORY recorded.
int RoomForOne(void***& cell, unsigned count, unsigned& capacity, CKQError& error) noexcept;

} // namespace kq::frame

#endif // KQ_STORAGE_FRAME_H
