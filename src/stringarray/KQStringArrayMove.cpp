// CKQStringArray moves and reservation: handing the slot buffer over instead of copying strings.
//
// A move passes the storage cell (and with it the slot buffer and the items) from one array to
// the other; no string is copied and nothing is allocated.  The moved-from constructor source
// is left on the frame's shared empty cell, the state of an array whose first reservation
// failed: count and capacity 0, and its next growth gives it slots of its own.  Move assignment,
// and Append, Copy and += of an array the caller gives up, swap the two arrays' frames instead,
// so the source keeps slots to grow into.
#include <utility>

#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringArray.h"

using kq::frame::LoadCount;
using kq::frame::StoreCount;
using kq::platform::ScopedLock;

// A move starts with a fresh error state, as a copy does.  The fields are taken in the body, not
// in member initializers, because they are read under `source`'s lock.
CKQStringArray::CKQStringArray(CKQStringArray&& source) noexcept {
  kq::platform::InitLock(m_lock);
  ScopedLock lock(source.m_lock);
  // NOLINTBEGIN(cppcoreguidelines-prefer-member-initializer)
  m_nCount = LoadCount(source.m_nCount);
  m_nCapacity = source.m_nCapacity;
  kq::frame::StoreFlag(m_bSorted, kq::frame::LoadFlag(source.m_bSorted));
  // NOLINTEND(cppcoreguidelines-prefer-member-initializer)
  // The count drops to 0 before the cell goes, so an unlocked reader that sees the empty cell
  // sees no elements either (readers that race with a move are still the caller's business).
  StoreCount(source.m_nCount, 0);
  m_ppStorage = std::exchange(source.m_ppStorage, kq::frame::SharedEmptyCell());
  m_pKeys = std::exchange(source.m_pKeys, nullptr);
  m_pKeyIndex = std::exchange(source.m_pKeyIndex, nullptr);     // the index goes with its keys
  m_pItemChunks = std::exchange(source.m_pItemChunks, nullptr); // the items go with their slots
  m_pFreeItems = std::exchange(source.m_pFreeItems, nullptr);
  source.m_nCapacity = 0;
}

void CKQStringArray::TakeElements(CKQStringArray& source) noexcept {
  RemoveAll();
  // The source gets this array's emptied cell, so it keeps slots to grow into.
  StoreCount(m_nCount, LoadCount(source.m_nCount));
  StoreCount(source.m_nCount, 0);
  std::swap(m_ppStorage, source.m_ppStorage);
  std::swap(m_pKeys, source.m_pKeys);         // the key block goes with the slots it stands beside
  std::swap(m_pKeyIndex, source.m_pKeyIndex); // (this array has none after RemoveAll)
  std::swap(m_pItemChunks, source.m_pItemChunks); // and the items with them (this slab is empty)
  std::swap(m_pFreeItems, source.m_pFreeItems);
  std::swap(m_nCapacity, source.m_nCapacity);
}

CKQStringArray& CKQStringArray::operator=(CKQStringArray&& source) noexcept {
  if (&source == this) {
    return *this;
  }
  const kq::frame::BothLocks locks(m_lock, source.m_lock);
  TakeElements(source);
  kq::frame::StoreFlag(m_bSorted, kq::frame::LoadFlag(source.m_bSorted));
  m_error = source.m_error;
  return *this;
}

// The hand-over gives what copying would: an empty target receives a sorted source's strings
// in their order (equal ones keeping theirs) and an unsorted source's in arrival order.  The
// conditions are read under both locks, so no Add or assignment slips in between.
int CKQStringArray::Append(CKQStringArray&& source) {
  if (&source != this) {
    const kq::frame::BothLocks locks(m_lock, source.m_lock);
    const bool sameOrder =
        (kq::frame::LoadFlag(m_bSorted) != 0) == (kq::frame::LoadFlag(source.m_bSorted) != 0);
    if (LoadCount(m_nCount) == 0 && sameOrder && m_nCapacity <= source.m_nCapacity) {
      TakeElements(source);
      if (LoadCount(m_nCount) != 0) {
        m_error.SetError(ERROR_SUCCESS); // as the first string added would
      }
      return 1;
    }
  }
  return Append(std::as_const(source));
}

int CKQStringArray::Copy(CKQStringArray&& source) {
  if (&source == this) {
    return 1; // the array already holds exactly its own strings
  }
  RemoveAll();
  return Append(std::move(source));
}

CKQStringArray& CKQStringArray::operator+=(CKQStringArray&& source) {
  Append(std::move(source));
  return *this;
}

int CKQStringArray::Reserve(unsigned slots) {
  if (slots > kq::frame::kMaxSlots) {
    m_error.SetError(ERROR_OUTOFMEMORY);
    return 0;
  }
  ScopedLock lock(m_lock);
  return Alloc(slots);
}
