// The key block of one string array: a C-runtime block of 32-bit keys, key i standing beside slot
// i, with room for at least the array's capacity.
//
// A sorted array that grows by Add inserts in the middle, and moving every later key up by one
// each time would cost as much again as moving the slots.  So once an array holds kDeferFrom
// keys, a key inserted before the end is written to a small log instead: the block then holds
// the settled keys (every element's key but the logged ones, in order), and the log the logged
// keys with the indices their elements have now, in increasing order.  An insertion bumps the
// logged indices at or after its own: O(kLogLength).  Settling writes the logged keys into
// place in one pass from the back, moving each settled key once: O(count), once per kLogLength
// insertions, where moving the keys every time would cost O(count) per insertion.
// A key added at the end needs no log: it goes after the settled keys.
//
// Keys can also go stale as a whole: a derived class that rearranges slots itself (after
// CreateInsertionPoint) puts items where the block does not know them.  MarkStale records that,
// and settling then takes every key afresh from the items in the slots (the StringKey of each
// item's text): O(total text), once after any number of such changes.  While the keys are stale
// nothing is logged or moved: they are all rewritten anyway.  The mark lives in a word in front
// of the keys, inside the block, so marking never allocates and the mark moves with the block.
//
// Writers call every member under the array's lock; anything that reads or moves keys other than
// through Insert settles first.  Searches run without the lock while no writer runs: they look
// at Pending (acquire loads) and, only when keys are logged or stale, settle under the lock, so
// two searches that meet do not both rewrite the block, and a search that sees nothing pending
// sees every key the settling wrote.
//
// The state is the two pointers the array keeps for it (the block and the log, C-runtime
// blocks each, null until first needed), held here by reference, so moving an array's elements
// moves them too.  The log is allocated the first time it is needed; if that fails, the key is
// inserted by moving the later keys, as below kDeferFrom, so an insertion never fails for want
// of the log.
#ifndef KQ_KEY_BLOCK_H
#define KQ_KEY_BLOCK_H

#include <cstdint>

namespace kq {

class KeyBlock {
public:
  // Below this many keys, moving the later keys costs less than keeping the log.
  static constexpr unsigned kDeferFrom = 512;
  // The most keys logged before the log is settled.
  static constexpr unsigned kLogLength = 64;

  KeyBlock(std::uint32_t*& keys, void*& log) noexcept : m_keys(keys), m_log(log) {}

  // Resizes the block to room for `count` keys (freeing it for 0), keeping the keys that fit and
  // the stale mark (a new block starts unmarked).  False, the block unchanged, when the byte size
  // does not fit in size_t or the C runtime refuses.  Logged keys stay logged: their indices do
  // not depend on the room.
  bool Resize(unsigned count) noexcept;

  // Frees the block and the log.
  void Release() noexcept;

  // Forgets the logged keys and the stale mark, for an array whose elements have all gone.
  void Forget() noexcept;

  // Records that the slots may hold items the keys do not stand for: the next settling takes
  // every key from the items.  Nothing to mark without a block (there are no slots either).
  void MarkStale() noexcept;

  // Stores `key` at `index` of the `count` keys the array has before this insertion (index <=
  // count < the room), later keys following one index up.  Cannot fail.  While the keys are
  // stale it does nothing: the settling computes this key with the others.
  void Insert(unsigned index, unsigned count, std::uint32_t key) noexcept;

  // With the keys settled first: takes index `index` out of the `count` keys of the items in
  // `slots` (the later keys move down by one).  The item at `index` must still be alive: the
  // settling may read it.  O(count).
  void Erase(void** slots, unsigned index, unsigned count) noexcept;

  // The block with every key in place for the `count` items in `slots`.
  std::uint32_t* Settled(void** slots, unsigned count) noexcept {
    return Settle(m_keys, m_log, slots, count);
  }

  // For a search, which holds the array const: whether keys are logged or stale (the one call a
  // reader may make without the lock), and putting them in place (under the lock).
  static bool Pending(std::uint32_t* keys, const void* log) noexcept;
  static std::uint32_t* Settle(std::uint32_t* keys, void* log, void** slots,
                               unsigned count) noexcept;

private:
  std::uint32_t*& m_keys;
  void*& m_log;
};

} // namespace kq

#endif // KQ_KEY_BLOCK_H
