// The key block of one string array: a C-runtime block of 32-bit keys, key i standing beside slot
// i, with room for at least the array's capacity, and the array's key index (KQKeyIndex.h).
//
// Keys are taken on demand.  Adding, replacing and moving elements computes no key: the block
// records how many leading keys are known (`known`: keys 0 .. known - 1 stand for the items in
// their slots; the rest are undefined), and the first member that reads keys takes the missing
// ones from the items in one pass, Complete.  A change that leaves a known key where it was keeps
// it; one that moves or replaces elements lowers `known` to the first position it changed, so the
// next reader takes those keys afresh: O(text of the changed part), once after any number of
// changes.  Moving keys to follow the slots is done only where it is cheaper than taking them
// again (a removal moves the known keys after it down by one).
//
// The index maps a key to the first position holding it.  It exists only while every key is known
// and it covers every element; the block keeps it in step with appends (each computes its key
// and enters it) and drops it on any change that moves positions or replaces an element.
// Searches decide when to build it: the block counts the work searches did since the last change
// that dropped the index or emptied the array (`work`, in keys scanned or their equivalent), and
// FindString builds the index once that work reaches a multiple of the count (the rule in
// KQStringArraySearch.cpp).
//
// Layout: two words in front of the keys, inside the block: `work`, then `known`.  The array's
// pointer is to the first key, so scans index keys directly, and the words move with the block;
// a new block starts with both at 0.
//
// Threads: writers call every member under the array's lock, while no search runs (the callers'
// ordering).  Searches run without the lock: they read `known` and the index with acquire loads
// and add to `work` with relaxed ones; a search that finds keys missing, or that builds the index,
// takes the lock, checks again, does the work and publishes it with a release store (`known`
// last, the index pointer last), so two searches that meet do not both write, and a search that
// sees a key as known, or sees the index, sees everything written for it.
//
// The state is the two pointers the array keeps (the block and the index, null until first
// needed), held here by reference, so moving an array's elements moves them too.
#ifndef KQ_KEY_BLOCK_H
#define KQ_KEY_BLOCK_H

#include <cstdint>

namespace kq {

class KeyIndex;

class KeyBlock {
public:
  KeyBlock(std::uint32_t*& keys, void*& index) noexcept : m_keys(keys), m_index(index) {}

  // Resizes the block to room for `count` keys (freeing it for 0), keeping the keys that fit,
  // `known` and `work`.  False, the block unchanged, when the byte size does not fit in size_t or
  // the C runtime refuses.  The caller never shrinks the block below the known keys.
  bool Resize(unsigned count) noexcept;

  // Frees the block and the index.
  void Release() noexcept;

  // For an array whose elements have all gone: no key known, no work counted, no index.
  void Forget() noexcept;

  // The element at `position` (the count before it came) was added at the end.  With an index,
  // its key is computed and entered (the index growing when it must; dropped when it cannot
  // grow, which costs later searches only the rebuilding).  Without one, a `sorted` array whose
  // earlier keys are all known takes this one too; otherwise nothing is computed.
  void Appended(void** slots, unsigned position, bool sorted) noexcept;

  // Elements from `position` on moved or were replaced (an insertion in the middle, a merge, a
  // derived class rearranging slots): their keys are taken afresh when next needed.  Drops the
  // index and the counted work.
  void Changed(unsigned position) noexcept;

  // Element `position` got a new text: its key is recomputed now when it was known (one text),
  // and the index dropped.
  void Replaced(void** slots, unsigned position) noexcept;

  // Element `position` is being removed: the known keys after it move down by one.  Drops the
  // index and the counted work.  O(known keys after it).
  void Erased(unsigned position) noexcept;

  // For searches, which hold the array const.  The number of leading keys known (an acquire load;
  // 0 without a block); computing the keys of elements known .. count - 1 (under the lock); the
  // index, if any (an acquire load); adding `units` of work and returning the work counted before;
  // building and publishing the index over all `count` elements (under the lock, keys complete),
  // false when there was no memory for it, which resets the work so that searches try again only
  // after as much work again.
  static unsigned Known(const std::uint32_t* keys) noexcept;
  static void Complete(std::uint32_t* keys, void** slots, unsigned count) noexcept;
  static const KeyIndex* Index(void* const& index) noexcept;
  static std::uint32_t AddWork(std::uint32_t* keys, std::uint32_t units) noexcept;
  static bool Publish(std::uint32_t* keys, void*& index, unsigned count) noexcept;

private:
  void DropIndex() noexcept;

  std::uint32_t*& m_keys;
  void*& m_index;
};

} // namespace kq

#endif // KQ_KEY_BLOCK_H
