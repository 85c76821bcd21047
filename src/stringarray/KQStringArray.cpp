// CKQStringArray core: construction and destruction, insertion, index access, replacement and
// removal.
#include "KQStringArray.h"

#include <cstring>
#include <new>

#include "KQCrc32.h"
#include "KQItemSlab.h"
#include "KQKeyBlock.h"
#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringItem.h"

using kq::ItemAt;
using kq::StringItem;
using kq::frame::LoadCount;
using kq::frame::StoreCount;
using kq::platform::ScopedLock;

namespace {

// Moves the slots from `index` to `count` up by one.
void OpenSlot(void** slots, unsigned index, unsigned count) noexcept {
  std::memmove(slots + index + 1, slots + index, std::size_t{count - index} * sizeof(void*));
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
  kq::KeyBlock(m_pKeys, m_pKeyIndex).Release();
}

int CKQStringArray::Add(CKQString text, unsigned* index) {
  // No key is computed: the key block takes it when a search first needs it (or now, for an
  // element that lands last, when the array has a key index to keep in step or is sorted and
  // knows every key before it).  The item comes from the slab, which the lock
  // guards; it is taken once the slots have room, so a failure of either leaves the elements as
  // they were.
  {
    ScopedLock lock(m_lock);
    const unsigned count = LoadCount(m_nCount);
    if (count >= m_nCapacity) {
      const unsigned wanted = kq::frame::GrowthTarget(count, m_nCapacity);
      if (wanted == 0 || Alloc(wanted) == 0) {
        m_error.SetError(ERROR_OUTOFMEMORY);
        return 0;
      }
    }
    StringItem* item = nullptr;
    try {
      item = kq::ItemSlab(m_pItemChunks, m_pFreeItems).New(std::move(text));
    } catch (const std::bad_alloc&) {
      m_error.SetError(ERROR_OUTOFMEMORY);
      return 0;
    }
    // The slots move here; the keys from `position` on are not moved but taken again when next
    // needed.
    const unsigned position = FindItemPosition(&item->text);
    void** slots = *m_ppStorage;
    OpenSlot(slots, position, count);
    slots[position] = item;
    kq::KeyBlock keys(m_pKeys, m_pKeyIndex);
    if (position == count) {
      keys.Appended(slots, position, m_bSorted != 0);
    } else {
      keys.Changed(position);
    }
    if (index != nullptr) {
      *index = position;
    }
    kq::platform::AtomicIncrement(m_nCount); // one atomic step: unlocked readers see old or new
  }
  m_error.SetError(ERROR_SUCCESS);
  return 1;
}

CKQString CKQStringArray::GetAt(unsigned index) {
  bool found = false;
  CKQString text = kq::ReadShared(m_lock, m_ppStorage, m_nCount, index, found);
  if (!found) {
    m_error.SetError(ERROR_INVALID_INDEX);
  }
  return text;
}

const CKQString CKQStringArray::operator[](unsigned index) const {
  if (index < LoadCount(m_nCount)) {
    return kq::StringAccess::Share(ItemAt(*m_ppStorage, index)->text);
  }
  return CKQString();
}

int CKQStringArray::SetAt(unsigned index, CKQString text) {
  if (!kq::frame::IndexInRange(index, m_nCount, m_error)) {
    return 0;
  }
  // The new text is ready before anything is released: replacing it cannot fail, so the element
  // never refers to freed text; a known key is recomputed with it.
  ScopedLock lock(m_lock);
  if (!kq::frame::IndexInRange(index, m_nCount, m_error)) {
    return 0;
  }
  // The flag is read under the lock, where assignment changes it.
  if (m_bSorted != 0) {
    m_error.SetError(ERROR_INVALID_STATE);
    return 0;
  }
  void** slots = *m_ppStorage;
  ItemAt(slots, index)->text = std::move(text);
  kq::KeyBlock(m_pKeys, m_pKeyIndex).Replaced(slots, index);
  return 1;
}

// The release runs under the lock, before the slots move over the removed one: it moves the later
// known keys down by one, so the key block stays in step, then gives the item back to the slab
// (releasing its text).
int CKQStringArray::RemoveAt(unsigned index) {
  const auto release = [this, index](void* slot) {
    kq::KeyBlock(m_pKeys, m_pKeyIndex).Erased(index);
    kq::ItemSlab(m_pItemChunks, m_pFreeItems).Delete(static_cast<StringItem*>(slot));
  };
  if (kq::frame::RemoveSlot(m_ppStorage, m_nCount, m_lock, m_error, index, release) == 0) {
    return 0;
  }
  m_error.SetError(ERROR_SUCCESS);
  return 1;
}

// The texts are released one by one; the items' room goes back with the slab's chunks, all at
// once.  O(count + chunks).
int CKQStringArray::RemoveAll() {
  ScopedLock lock(m_lock);
  if (m_nCount != 0) {
    void** slots = *m_ppStorage;
    for (unsigned i = 0; i < m_nCount; ++i) {
      ItemAt(slots, i)->~StringItem();
    }
    StoreCount(m_nCount, 0);
  }
  kq::KeyBlock(m_pKeys, m_pKeyIndex).Forget();
  kq::ItemSlab(m_pItemChunks, m_pFreeItems).ReleaseAll();
  return 1;
}

int CKQStringArray::IsSorted() { return kq::frame::LoadFlag(m_bSorted); }

unsigned CKQStringArray::GetSize() { return LoadCount(m_nCount); }

int CKQStringArray::IsEmpty() { return LoadCount(m_nCount) == 0 ? 1 : 0; }

int CKQStringArray::Dump() { return 0; }

// The keys grow first, in place where the C runtime can; the capacity changes only once the
// slots have grown too.  When the slots cannot grow, the key block goes back to its old size
// (should even that be refused, it stays larger than the capacity, which does no harm), so a
// failure leaves slots, keys and capacity as they were.
int CKQStringArray::Alloc(unsigned slots) {
  if (m_nCapacity >= slots) {
    return 1;
  }
  kq::KeyBlock keys(m_pKeys, m_pKeyIndex);
  if (!keys.Resize(slots)) {
    m_error.SetError(ERROR_OUTOFMEMORY);
    return 0;
  }
  if (kq::frame::Grow(m_ppStorage, m_nCapacity, slots, m_error) == 0) {
    keys.Resize(m_nCapacity);
    return 0;
  }
  return 1;
}

// Every constructor has started the frame, so a restart keeps it: the lock stays the one that is
// live (re-creating it would lose track of any holder), the elements go as RemoveAll releases
// them, and the storage cell, slot buffer and key block are reused as they are.
void CKQStringArray::InitObject(int sorted) {
  ScopedLock lock(m_lock);
  RemoveAll();
  kq::frame::StoreFlag(m_bSorted, sorted);
  Alloc(kq::frame::kInitialSlots);
}

// A lower-bound binary search: because elements enter only through Add and CompareNoCase is a
// total preorder, it finds the same position as a scan from the front for the first element that
// does not sort before `text`.
unsigned CKQStringArray::FindItemPosition(CKQString* text) {
  const unsigned count = LoadCount(m_nCount);
  if (m_bSorted == 0) {
    return count;
  }
  return kq::LowerBoundNoCase(*m_ppStorage, count, text->View());
}

// The caller goes on to write slots itself, with items the key block cannot follow: no key is
// known any more, and the next member that needs keys takes them all from the items.
void CKQStringArray::CreateInsertionPoint(unsigned index) {
  const unsigned count = LoadCount(m_nCount);
  if (index < count) {
    OpenSlot(*m_ppStorage, index, count);
  }
  kq::KeyBlock(m_pKeys, m_pKeyIndex).Changed(0);
}

std::uint32_t CKQStringArray::GetCRC(CKQString text) {
  return kq::crc32::Compute(text.Data(), std::size_t{text.GetLength()} * sizeof(char16_t));
}
