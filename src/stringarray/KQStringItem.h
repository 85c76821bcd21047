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

// The first of the `count` items in `slots` that does not sort before `text` under
// CKQString::CompareNoCase, or `count` when all do; the items must be in that order (a sorted
// array's).  Where some item equals `text` without regard to case, this is the first of them.
// O(log count) comparisons.
inline unsigned LowerBoundNoCase(void** slots, unsigned count, const CKQString& text) noexcept {
  unsigned low = 0;
  unsigned high = count;
  while (low < high) {
    const unsigned middle = low + (high - low) / 2;
    if (ItemAt(slots, middle)->text.CompareNoCase(text) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

} // namespace kq

#endif // KQ_STRING_ITEM_H
