// The storage frame shared by CKQPtrArray and CKQStringArray: a heap cell holding the address of
// a C-runtime slot buffer, a count, a capacity and a re-entrant lock.
//
// The helpers here start, grow and end a frame; the array classes own the fields.  A slot is one
// pointer wide.  Growth doubles from 10 slots and never shrinks.
#ifndef KQ_STORAGE_FRAME_H
#define KQ_STORAGE_FRAME_H

#include <atomic>

#include "KQObject.h"
#include "KQResultCodes.h"

namespace kq::frame {

// Slots reserved by a new array.
inline constexpr unsigned kInitialSlots = 10;
// The most elements an array holds: 0xFFFFFFFF is the "no such element" index.
inline constexpr unsigned kMaxSlots = 0xFFFFFFFEu;

// The count is read without the lock (index tests, GetSize, IsEmpty, scans), so every access to
// it goes through these relaxed atomic steps: a reader sees an old or a new count, never a torn
// one.  Ordering against the slots still comes from the lock; relaxed costs a plain move on the
// supported targets.
inline unsigned LoadCount(const unsigned& count) noexcept {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): atomic_ref needs a non-const object
  return std::atomic_ref<unsigned>(const_cast<unsigned&>(count)).load(std::memory_order_relaxed);
}
inline void StoreCount(unsigned& count, unsigned value) noexcept {
  std::atomic_ref<unsigned>(count).store(value, std::memory_order_relaxed);
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

// Creates the lock and the storage cell (content null); count and capacity become 0.
// The cell comes from the allocation operator, whose exception passes to the caller after the
// lock has been deleted again.
void Start(void***& cell, unsigned& count, unsigned& capacity, KQLockStorage& lock);

// Frees the slot buffer and the storage cell and deletes the lock.  The caller has released the
// elements already.
void End(void***& cell, unsigned& count, unsigned& capacity, KQLockStorage& lock) noexcept;

// Resizes the slot buffer in `cell` to `slots` slots unless the capacity is already that large.
// Returns 1, or records ERROR_OUTOFMEMORY in `error` and returns 0 when the C runtime cannot
// resize or the byte size overflows; the old buffer, its contents and the capacity then stay.
int Grow(void*** cell, unsigned& capacity, unsigned slots, CKQError& error) noexcept;

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
int RoomForOne(void*** cell, unsigned count, unsigned& capacity, CKQError& error) noexcept;

} // namespace kq::frame

#endif // KQ_STORAGE_FRAME_H
