// CKQStringArray core: construction and destruction, insertion, index access, replacement and
// removal.
#include "KQStringArray.h"

#include <cstring>
#include <new>

#include "KQCrc32.h"
#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringItem.h"
#include "KQStringKey.h"

using kq::ItemAt;
using kq::StringItem;
using kq::frame::LoadCount;
using kq::frame::StoreCount;
using kq::platform::ScopedLock;

namespace {

std::uint32_t KeyOf(const CKQString& text) noexcept {
  return kq::StringKey(text.Data(), text.GetLength());
}

} // namespace

void CKQStringArray::Start(int sorted) {
  kq::frame::Start(m_ppStorage, m_nCount, m_nCapacity, m_lock);
  m_bSorted = sorted;
  Alloc(kq::frame::kInitialSlots);
}

CKQStringArray::CKQStringArray(int sorted) { Start(sorted); }

CKQStringArray::~CKQStringArray() {
  RemoveAll();
  kq::frame::End(m_ppStorage, m_nCount, m_nCapacity, m_lock);
}

int CKQStringArray::Add(CKQString text, unsigned* index) {
  // The key and the item depend only on `text`: both are made before the lock is taken, so the
  // lock covers just the slot work.
  StringItem* item = nullptr;
  try {
    item = new StringItem{KeyOf(text), std::move(text)};
  } catch (const std::bad_alloc&) {
    m_error.SetError(ERROR_OUTOFMEMORY);
    return 0;
  }
  {
    ScopedLock lock(m_lock);
    if (kq::frame::RoomForOne(m_ppStorage, m_nCount, m_nCapacity, m_error) == 0) {
      delete item;
      return 0;
    }
    const unsigned position = FindItemPosition(&item->text);
    CreateInsertionPoint(position);
    (*m_ppStorage)[position] = item;
    if (index != nullptr) {
      *index = position;
    }
    kq::platform::AtomicIncrement(m_nCount); // one atomic step: unlocked readers see old or new
  }
  m_error.SetError(ERROR_SUCCESS);
  return 1;
}

CKQString CKQStringArray::GetAt(unsigned index) {
  CKQString text;
  if (!kq::ReadText(m_lock, m_ppStorage, m_nCount, index, text)) {
    m_error.SetError(ERROR_INVALID_INDEX);
  }
  return text;
}

const CKQString CKQStringArray::operator[](unsigned index) const {
  if (index < LoadCount(m_nCount)) {
    return ItemAt(*m_ppStorage, index)->text;
  }
  return CKQString();
}

int CKQStringArray::SetAt(unsigned index, CKQString text) {
  if (!kq::frame::IndexInRange(index, m_nCount, m_error)) {
    return 0;
  }
  // The new text and key are ready before anything is released: replacing them cannot fail, so
  // the element never refers to freed text and its key always matches its text.
  const std::uint32_t key = KeyOf(text);
  ScopedLock lock(m_lock);
  if (!kq::frame::IndexInRange(index, m_nCount, m_error)) {
    return 0;
  }
  // The flag is read under the lock, where assignment changes it.
  if (m_bSorted != 0) {
    m_error.SetError(ERROR_INVALID_STATE);
    return 0;
  }
  StringItem* item = ItemAt(*m_ppStorage, index);
  item->text = std::move(text);
  item->key = key;
  return 1;
}

// The item and its text are released under the lock, before the slots move over it.
int CKQStringArray::RemoveAt(unsigned index) {
  if (kq::frame::RemoveSlot(m_ppStorage, m_nCount, m_lock, m_error, index,
                            [](void* slot) { delete static_cast<StringItem*>(slot); }) == 0) {
    return 0;
  }
  m_error.SetError(ERROR_SUCCESS);
  return 1;
}

int CKQStringArray::RemoveAll() {
  ScopedLock lock(m_lock);
  if (m_nCount != 0) {
    void** slots = *m_ppStorage;
    for (unsigned i = 0; i < m_nCount; ++i) {
      delete ItemAt(slots, i);
    }
    StoreCount(m_nCount, 0);
  }
  return 1;
}

int CKQStringArray::IsSorted() { return kq::frame::LoadFlag(m_bSorted); }

unsigned CKQStringArray::GetSize() { return LoadCount(m_nCount); }

int CKQStringArray::IsEmpty() { return LoadCount(m_nCount) == 0 ? 1 : 0; }

int CKQStringArray::Dump() { return 0; }

int CKQStringArray::Alloc(unsigned slots) {
  return kq::frame::Grow(m_ppStorage, m_nCapacity, slots, m_error);
}

void CKQStringArray::InitObject(int sorted) { Start(sorted); }

// A lower-bound binary search: because elements enter only through Add and CompareNoCase is a
// total preorder, it finds the same position as a scan from the front for the first element that
// does not sort before `text`.
unsigned CKQStringArray::FindItemPosition(CKQString* text) {
  const unsigned count = LoadCount(m_nCount);
  if (m_bSorted == 0) {
    return count;
  }
  void** slots = *m_ppStorage;
  const CKQString& wanted = *text;
  unsigned low = 0;
  unsigned high = count;
  while (low < high) {
    const unsigned middle = low + (high - low) / 2;
    if (ItemAt(slots, middle)->text.CompareNoCase(wanted) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

void CKQStringArray::CreateInsertionPoint(unsigned index) {
  const unsigned count = LoadCount(m_nCount);
  if (index < count) {
    void** slots = *m_ppStorage;
    std::memmove(slots + index + 1, slots + index, (count - index) * sizeof(void*));
  }
}

std::uint32_t CKQStringArray::GetCRC(CKQString text) {
  return kq::crc32::Compute(text.Data(), std::size_t{text.GetLength()} * sizeof(char16_t));
}
