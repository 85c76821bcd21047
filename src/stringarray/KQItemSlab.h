// Item storage of one string array: items are carved from chunks instead of getting a heap block
// each, so an element costs no allocation of its own and no allocator header, and the items of
// elements added one after another lie next to each other.
//
// A chunk is one block from the allocation operator: a header followed by room for `capacity`
// items, handed out front to back from the newest chunk.  An item given back goes onto a free
// list threaded through the items themselves and is handed out again before fresh room.  Chunks
// grow from 8 items, doubling up to kMaxChunkItems, so a small array stays small and a large one
// wastes less than one chunk.  A reservation for many items at once (a merge) takes chunks of a
// size its caller bounds, all but the last handing out their room through the free list.  Nothing
// is freed before ReleaseAll, which frees every chunk at once; the owner destroys the items'
// texts first.
//
// The slab keeps no lock of its own: its owner calls it under the array's lock.  Its state is the
// two pointers the array keeps for it (the newest chunk, the first free item), held here by
// reference, so moving an array's elements to another array moves those two pointers with them.
#ifndef KQ_ITEM_SLAB_H
#define KQ_ITEM_SLAB_H

#include <cstddef>
#include <new>
#include <utility>

#include "KQStringItem.h"

namespace kq {

class ItemSlab {
public:
  // The most items one chunk holds (32 KiB of items on 64-bit targets).
  static constexpr std::size_t kMaxChunkItems = 4096;

  ItemSlab(void*& chunks, void*& freeItems) noexcept : m_chunks(chunks), m_free(freeItems) {}

  // A new item holding `text` (moved from).  Throws std::bad_alloc, nothing changed, when a new
  // chunk is needed and cannot be allocated.  O(1).
  StringItem* New(CKQString&& text) {
    void* room = Take();
    if (room == nullptr) {
      Grow(0);
      room = Take();
    }
    return ::new (room) StringItem{std::move(text)};
  }

  // Makes sure the next `items` calls of New cannot fail: true, or false (nothing changed) when
  // the chunks they need cannot be allocated.  Room left in the newest chunk and on the free list
  // counts only when it covers all of them; otherwise new chunks alone do, none holding more than
  // `chunkItems` items (at least one), so the block asked for never grows with `items`: one
  // chunk when `items` fits in one, else chunks of `chunkItems` whose items all go onto the free
  // list but the last chunk's, which becomes the newest.  O(free items + items).
  bool Reserve(std::size_t items, std::size_t chunkItems) noexcept;

  // Destroys `item`'s text and keeps its room for the next New.  O(1).
  void Delete(StringItem* item) noexcept {
    item->~StringItem();
    Give(item);
  }

  // Frees every chunk.  The caller has destroyed the texts of all items still in use (their
  // room goes with the chunks).  O(chunks).
  void ReleaseAll() noexcept;

private:
  struct Chunk;
  // Room for one item from the free list or the newest chunk; null when neither has any.
  void* Take() noexcept;
  // Puts `room` (an item's room, its item destroyed or never made) on the free list.  O(1).
  void Give(void* room) noexcept {
    *static_cast<void**>(room) = m_free;
    m_free = room;
  }
  // Puts a new chunk with room for at least `items` items in front.  Throws std::bad_alloc.
  void Grow(std::size_t items);
  // A new chunk with room for exactly `items` items, linked to `next`; throws std::bad_alloc.
  static Chunk* NewChunk(std::size_t items, Chunk* next);
  // Frees `chunk` and every chunk after it.
  static void FreeChunks(Chunk* chunk) noexcept;

  void*& m_chunks;
  void*& m_free;
};

} // namespace kq

#endif // KQ_ITEM_SLAB_H
