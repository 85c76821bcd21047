// CKQPtrArray: the pointer array on the storage frame.
#include "KQPtrArray.h"

#include <cstring>
#include <utility>

#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"

using kq::frame::LoadCount;
using kq::frame::StoreCount;
using kq::platform::ScopedLock;

CKQPtrArray::CKQPtrArray() {
  kq::frame::Start(m_ppStorage, m_nCount, m_nCapacity, m_lock);
  Alloc(kq::frame::kInitialSlots);
}

// A copy starts with a fresh error state, not the source's.  The copy only reads its source, so
// the non-const form is the const one.
CKQPtrArray::CKQPtrArray(CKQPtrArray& source) : CKQPtrArray(std::as_const(source)) {}

// NOLINTNEXTLINE(bugprone-copy-constructor-init)
CKQPtrArray::CKQPtrArray(const CKQPtrArray& source) {
  kq::frame::Start(m_ppStorage, m_nCount, m_nCapacity, m_lock);
  if (Alloc(source.m_nCapacity) != 0) {
    CopySlotsFrom(source);
  }
}

CKQPtrArray::~CKQPtrArray() {
  kq::platform::EnterLock(m_lock);
  RemoveAll();
  kq::platform::LeaveLock(m_lock);
  kq::frame::End(m_ppStorage, m_nCount, m_nCapacity, m_lock);
}

CKQPtrArray& CKQPtrArray::operator=(const CKQPtrArray& source) {
  if (this == &source) {
    return *this;
  }
  m_error = source.m_error;
  if (Alloc(source.m_nCapacity) != 0) {
    CopySlotsFrom(source);
  }
  return *this;
}

// Copies the used slots and the count; the caller has reserved at least source's capacity.
void CKQPtrArray::CopySlotsFrom(const CKQPtrArray& source) {
  const unsigned count = LoadCount(source.m_nCount);
  if (count != 0) {
    std::memcpy(*m_ppStorage, *source.m_ppStorage, count * sizeof(void*));
  }
  StoreCount(m_nCount, count);
}

int CKQPtrArray::Add(void* value, unsigned* index) {
  {
    ScopedLock lock(m_lock);
    if (kq::frame::RoomForOne(m_ppStorage, m_nCount, m_nCapacity, m_error) == 0) {
      return 0;
    }
    (*m_ppStorage)[m_nCount] = value;
    if (index != nullptr) {
      *index = m_nCount;
    }
    kq::platform::AtomicIncrement(m_nCount); // one atomic step: unlocked readers see old or new
  }
  m_error.SetError(ERROR_SUCCESS);
  return 1;
}

void* CKQPtrArray::GetAt(unsigned index) {
  if (!kq::frame::IndexInRange(index, m_nCount, m_error)) {
    return nullptr;
  }
  return (*m_ppStorage)[index];
}

void* CKQPtrArray::operator[](unsigned index) const {
  return index < LoadCount(m_nCount) ? (*m_ppStorage)[index] : nullptr;
}

int CKQPtrArray::SetAt(unsigned index, void* value) {
  if (!kq::frame::IndexInRange(index, m_nCount, m_error)) {
    return 0;
  }
  ScopedLock lock(m_lock);
  if (!kq::frame::IndexInRange(index, m_nCount, m_error)) {
    return 0;
  }
  (*m_ppStorage)[index] = value;
  return 1;
}

// The pointer array owns nothing its slots point to: removing releases nothing.
int CKQPtrArray::RemoveAt(unsigned index) {
  return kq::frame::RemoveSlot(m_ppStorage, m_nCount, m_lock, m_error, index, [](void*) {});
}

int CKQPtrArray::RemoveAll() {
  ScopedLock lock(m_lock);
  StoreCount(m_nCount, 0);
  return 1;
}

unsigned CKQPtrArray::Find(void* value) {
  const unsigned index = std::as_const(*this).Find(value);
  m_error.SetError(index != KQ_NO_INDEX ? ERROR_SUCCESS : ERROR_NOT_FOUND);
  return index;
}

unsigned CKQPtrArray::GetSize() { return LoadCount(m_nCount); }

int CKQPtrArray::IsEmpty() { return LoadCount(m_nCount) == 0 ? 1 : 0; }

int CKQPtrArray::Dump() { return 0; }

int CKQPtrArray::Alloc(unsigned slots) {
  return kq::frame::Grow(m_ppStorage, m_nCapacity, slots, m_error);
}

// Every constructor has started the frame, so a restart keeps it: the lock stays the one that is
// live, and the storage cell and slot buffer are reused as they are.  The pointers in the slots
// are the caller's: nothing is released.
int CKQPtrArray::Init() {
  ScopedLock lock(m_lock);
  StoreCount(m_nCount, 0);
  return m_ppStorage != nullptr ? 1 : 0;
}

// The const reads: the same answers as their non-const namesakes, with nothing recorded.

void* CKQPtrArray::GetAt(unsigned index) const { return (*this)[index]; }

unsigned CKQPtrArray::Find(void* value) const {
  const unsigned count = LoadCount(m_nCount);
  void* const* slots = *m_ppStorage;
  for (unsigned i = 0; i < count; ++i) {
    if (slots[i] == value) {
      return i;
    }
  }
  return KQ_NO_INDEX;
}

unsigned CKQPtrArray::GetSize() const { return LoadCount(m_nCount); }

int CKQPtrArray::IsEmpty() const { return LoadCount(m_nCount) == 0 ? 1 : 0; }

CKQPtrArray::const_iterator CKQPtrArray::begin() const noexcept { return {m_ppStorage, 0}; }

CKQPtrArray::const_iterator CKQPtrArray::end() const noexcept {
  return {m_ppStorage, LoadCount(m_nCount)};
}
