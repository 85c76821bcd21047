// StringItem, the element record of CKQStringArray: the element's text.
//
// An item lives in its array's item slab (KQItemSlab.h), owned by the array whose slot points to
// it.  The text is the caller's string exactly as given (strings share their buffers, so holding
// it costs no copy of the text).  The element's key, the CRC-32 of the lowered text, is kept in
// the array's key block at the slot's index, not in the item: searches read keys from there
// only, and an item of one pointer keeps an element's own memory to the slot, the key and the
// text.  The text is the item's first member: the iterators hand out references to it from the
// slot's address alone.
#ifndef KQ_STRING_ITEM_H
#define KQ_STRING_ITEM_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

#include "KQCaseMap.h"
#include "KQObject.h"
#include "KQPlatform.h"
#include "KQStorageFrame.h"
#include "KQString.h"
#include "KQStringBuffer.h"

namespace kq {

struct StringItem {
  CKQString text;
};

// The string array's iterators (kq::StringSlot in KQStringArray.h, compiled into clients) read a
// slot's address as the address of the element's CKQString: the text must stay the item's first
// member, in a standard-layout item, so that the two addresses are one.
static_assert(std::is_standard_layout_v<StringItem> && offsetof(StringItem, text) == 0,
              "an item's address must be its text's address");

// The item in slot `index` of a string array's slot buffer.
inline StringItem* ItemAt(void** slots, unsigned index) noexcept {
  return static_cast<StringItem*>(slots[index]);
}

// The text of element `index` of a string array (its lock, storage cell and count), shared
// under the array's lock, with `found` true; an empty string with `found` false when `index` is
// at or beyond the count at that moment.  Records nothing: GetAt records the bad index itself,
// while the whole-array operations and CreateMemoryArray take false as the current end of an
// array that shrank under them, which leaves the array's error state alone.  No call into the
// string library on the way: one reference-count step.
inline CKQString ReadShared(KQLockStorage& lock, void** const* cell, const unsigned& count,
                            unsigned index, bool& found) noexcept {
  {
    const platform::ScopedLock hold(lock);
    found = index < frame::LoadCount(count);
    if (found) {
      return StringAccess::Share(ItemAt(*cell, index)->text);
    }
  }
  return {};
}

// ReadShared into `text` (left unchanged when the element is not there); returns `found`.
inline bool ReadText(KQLockStorage& lock, void** const* cell, const unsigned& count, unsigned index,
                     CKQString& text) noexcept {
  bool found = false;
  CKQString read = ReadShared(lock, cell, count, index, found);
  if (found) {
    text = std::move(read);
  }
  return found;
}

// CKQString::CompareNoCase of an element against a view of text, without building a string.
inline int CompareNoCase(const CKQString& element, std::u16string_view text) noexcept {
  const std::u16string_view units = StringAccess::View(element);
  return casemap::CompareNoCase(units.data(), units.size(), text.data(), text.size());
}

// Asks the CPU to start loading the cache line at `address`; never faults, never waits.
inline void Prefetch(const void* address) noexcept {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#else
  static_cast<void>(address);
#endif
}

// The first of the `count` items in `slots` that does not sort before `text` under
// CKQString::CompareNoCase, or `count` when all do; the items must be in that order (a sorted
// array's).  Where some item equals `text` without regard to case, this is the first of them.
// O(log count) comparisons.
//
// Every step of a large array waits on two loads from memory, the item and then its text.  While
// one comparison runs, the items of both possible next middles are fetched, so the next step
// finds its item in the cache: the search then costs little more than one wait per step, as a
// binary search over an array of strings does.
inline unsigned LowerBoundNoCase(void** slots, unsigned count, std::u16string_view text) noexcept {
  unsigned low = 0;
  unsigned high = count;
  while (low < high) {
    const unsigned middle = low + (high - low) / 2;
    Prefetch(slots[low + (middle - low) / 2]); // next middle if the text sorts first
    const unsigned right = middle + 1 + (high - middle - 1) / 2;
    if (right < high) {
      Prefetch(slots[right]); // next middle if the item sorts first
    }
    if (CompareNoCase(ItemAt(slots, middle)->text, text) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

} // namespace kq

#endif // KQ_STRING_ITEM_H
