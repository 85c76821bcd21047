// CKQStringArray const reads and iteration.  They record nothing: a const array's error state
// stays as it is, and the results alone tell success from failure.
#include "KQStorageFrame.h"
#include "KQStringArray.h"
#include "KQStringItem.h"

using kq::frame::LoadCount;

// The element is copied under the lock (the lock storage is mutable for this), so a concurrent
// Add that moves the slot buffer cannot pull it away mid-read; the same locked read as GetAt's,
// without recording the bad index.
CKQString CKQStringArray::GetAt(unsigned index) const {
  bool found = false;
  return kq::ReadShared(m_lock, m_ppStorage, m_nCount, index, found);
}

int CKQStringArray::IsSorted() const { return kq::frame::LoadFlag(m_bSorted); }

unsigned CKQStringArray::GetSize() const { return LoadCount(m_nCount); }

int CKQStringArray::IsEmpty() const { return LoadCount(m_nCount) == 0 ? 1 : 0; }

// The iterators read the slots in place, without the lock (see the class comment for the
// threads' contract); they hold the storage cell, so they see the slot buffer wherever growth
// has moved it.
CKQStringArray::const_iterator CKQStringArray::begin() const noexcept { return {m_ppStorage, 0}; }

CKQStringArray::const_iterator CKQStringArray::end() const noexcept {
  return {m_ppStorage, LoadCount(m_nCount)};
}
