// StringItem, the element record of CKQStringArray: the element's text and its key.
//
// An item is one heap block from the allocation operator, owned by the array whose slot points
// to it.  The text is the caller's string exactly as given (strings share their buffers, so
// holding it costs no copy of the text); the key is the CRC-32 of the lowered text and always
// matches it.  The key comes first so that a search, which reads only keys until one matches,
// touches the first bytes of each item.
#ifndef KQ_STRING_ITEM_H
#define KQ_STRING_ITEM_H

#include <cstdint>

#include "KQObject.h"
#include "KQPlatform.h"
#include "KQStorageFrame.h"
#include "KQString.h"

namespace kq {

struct StringItem {
  std::uint32_t key;
  CKQString text;
};

// The item in slot `index` of a string array's slot buffer.
inline StringItem* ItemAt(void** slots, unsigned index) noexcept {
  return static_cast<StringItem*>(slots[index]);
}

// Copies the text of element `index` of a string array (its lock, storage cell and count) into
// `text` under the array's lock and returns true; returns false, `text` unchanged, when `index`
// is at or beyond the count at that moment.  Records nothing: GetAt records the bad index
// itself, while the whole-array operations and CreateMemoryArray take false as the current end
// of an array that shrank under them, which leaves the array's error state alone.
inline bool ReadText(KQLockStorage& lock, void** const* cell, const unsigned& count, unsigned index,
                     CKQString& text) noexcept {
  const platform::ScopedLock hold(lock);
  if (index >= frame::LoadCount(count)) {
    return false;
  }
  text = ItemAt(*cell, index)->text; // a shared copy: one reference-count step
  return true;
}

} // namespace kq

#endif // KQ_STRING_ITEM_H
