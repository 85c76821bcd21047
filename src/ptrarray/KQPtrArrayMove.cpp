// CKQPtrArray moves: handing the slot buffer over instead of copying the slots.
//
// A move passes the storage cell (and with it the slot buffer) from one array to the other in
// O(1); nothing is allocated, so a move cannot fail.  The moved-from constructor source is left
// on the frame's shared empty cell, the state of an array whose first reservation failed: count
// and capacity 0, and its next Add gives it a cell and slots of its own.  Move assignment swaps
// the two frames instead, so the source keeps this array's former slots to grow into.  The
// string array moves the same way (KQStringArrayMove.cpp).
#include <utility>

#include "KQPlatform.h"
#include "KQPtrArray.h"
#include "KQStorageFrame.h"

using kq::frame::LoadCount;
using kq::frame::StoreCount;

// A move starts with a fresh error state, as a copy does.  The fields are taken in the body, not
// in member initializers, because they are read under `source`'s lock.
CKQPtrArray::CKQPtrArray(CKQPtrArray&& source) noexcept {
  kq::platform::InitLock(m_lock);
  const kq::platform::ScopedLock lock(source.m_lock);
  // NOLINTBEGIN(cppcoreguidelines-prefer-member-initializer)
  m_nCount = LoadCount(source.m_nCount);
  m_nCapacity = source.m_nCapacity;
  // NOLINTEND(cppcoreguidelines-prefer-member-initializer)
  // The count drops to 0 before the cell goes, so an unlocked reader that sees the empty cell
  // sees no elements either (readers that race with a move are still the caller's business).
  StoreCount(source.m_nCount, 0);
  m_ppStorage = std::exchange(source.m_ppStorage, kq::frame::SharedEmptyCell());
  source.m_nCapacity = 0;
}

CKQPtrArray& CKQPtrArray::operator=(CKQPtrArray&& source) noexcept {
  if (&source == this) {
    return *this;
  }
  const kq::frame::BothLocks locks(m_lock, source.m_lock);
  StoreCount(m_nCount, LoadCount(source.m_nCount));
  StoreCount(source.m_nCount, 0);
  std::swap(m_ppStorage, source.m_ppStorage);
  std::swap(m_nCapacity, source.m_nCapacity);
  m_error = source.m_error;
  return *this;
}
