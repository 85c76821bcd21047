// CKQStringArray::FindString: a linear scan filtered by the 32-bit keys.
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringArray.h"
#include "KQStringItem.h"
#include "KQStringKey.h"

// Keys decide only that two texts may be equal: different texts can share a CRC-32 (and such
// pairs are easy to construct), so every key match is confirmed by comparing the texts, exactly
// or without regard to case.  Per element the scan costs one load of the item and one 32-bit
// compare.  No lock is taken: callers keep writers away while they search.
unsigned CKQStringArray::FindString(CKQString text, int noCase) {
  const std::uint32_t key = kq::StringKey(text.Data(), text.GetLength());
  const unsigned count = kq::frame::LoadCount(m_nCount);
  void** slots = *m_ppStorage;
  for (unsigned i = 0; i < count; ++i) {
    const kq::StringItem* item = kq::ItemAt(slots, i);
    if (item->key != key) {
      continue;
    }
    const bool equal =
        noCase != 0 ? item->text.CompareNoCase(text) == 0 : text.Compare(item->text) == 0;
    if (equal) {
      return i;
    }
  }
  m_error.SetError(ERROR_NOT_FOUND);
  return KQ_NO_INDEX;
}
