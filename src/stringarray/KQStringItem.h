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

} // namespace kq

#endif // KQ_STRING_ITEM_H
