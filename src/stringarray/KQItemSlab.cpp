// The item slab of a string array (see KQItemSlab.h).
#include "KQItemSlab.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

namespace kq {

// The header of a chunk; the items follow it, suitably aligned.
struct ItemSlab::Chunk {
  Chunk* next;      // the next older chunk
  std::size_t used; // items handed out from the front of this chunk's room
  std::size_t capacity;

  // Bytes from the chunk's start to its first item.
  static constexpr std::size_t Header() noexcept {
    return (sizeof(Chunk) + alignof(StringItem) - 1) / alignof(StringItem) * alignof(StringItem);
  }

  void* At(std::size_t index) noexcept {
    return reinterpret_cast<unsigned char*>(this) + Header() + index * sizeof(StringItem);
  }
};

// A freed item's room holds the free list's link.
static_assert(sizeof(StringItem) >= sizeof(void*), "an item must hold a free-list link");
static_assert(alignof(StringItem) >= alignof(void*), "an item must align a free-list link");

void* ItemSlab::Take() noexcept {
  if (m_free != nullptr) {
    void* room = m_free;
    m_free = *static_cast<void**>(room);
    return room;
  }
  auto* chunk = static_cast<Chunk*>(m_chunks);
  if (chunk != nullptr && chunk->used < chunk->capacity) {
    return chunk->At(chunk->used++);
  }
  return nullptr;
}

ItemSlab::Chunk* ItemSlab::NewChunk(std::size_t items, Chunk* next) {
  constexpr std::size_t kMaxItems =
      (std::numeric_limits<std::size_t>::max() - Chunk::Header()) / sizeof(StringItem);
  if (items > kMaxItems) {
    throw std::bad_alloc();
  }
  void* raw = ::operator new(Chunk::Header() + items * sizeof(StringItem));
  return ::new (raw) Chunk{next, 0, items};
}

void ItemSlab::Grow(std::size_t items) {
  const auto* newest = static_cast<const Chunk*>(m_chunks);
  const std::size_t doubled =
      newest == nullptr ? 8 : std::min(newest->capacity * 2, kMaxChunkItems);
  m_chunks = NewChunk(std::max(items, doubled), static_cast<Chunk*>(m_chunks));
}

bool ItemSlab::Reserve(std::size_t items, std::size_t chunkItems) noexcept {
  const auto* newest = static_cast<const Chunk*>(m_chunks);
  std::size_t room = newest == nullptr ? 0 : newest->capacity - newest->used;
  for (const void* item = m_free; item != nullptr && room < items;
       item = *static_cast<void* const*>(item)) {
    ++room;
  }
  if (room >= items) {
    return true;
  }
  // New chunks alone cover all of them: the room of the older ones is not counted on.
  chunkItems = std::max<std::size_t>(chunkItems, 1);
  if (items <= chunkItems) {
    try {
      Grow(items);
    } catch (const std::bad_alloc&) {
      return false;
    } catch (const std::length_error&) { // a shortage all the same
      return false;
    }
    return true;
  }
  // All the chunks are allocated before any is linked in, so a failure frees them and changes
  // nothing; `made` lists them newest first.
  Chunk* made = nullptr;
  try {
    for (std::size_t left = items; left > 0;) {
      const std::size_t size = std::min(left, chunkItems);
      made = NewChunk(size, made);
      left -= size;
    }
  } catch (const std::bad_alloc&) {
    FreeChunks(made);
    return false;
  } catch (const std::length_error&) {
    FreeChunks(made);
    return false;
  }
  // The older new chunks hand out their room through the free list: each chunk's items go on it
  // last to first, and the first chunk made last of all, so New takes them in address order.
  Chunk* oldest = made;
  for (Chunk* chunk = made->next; chunk != nullptr; chunk = chunk->next) {
    for (std::size_t i = chunk->capacity; i > 0; --i) {
      Give(chunk->At(i - 1));
    }
    chunk->used = chunk->capacity;
    oldest = chunk;
  }
  oldest->next = static_cast<Chunk*>(m_chunks);
  m_chunks = made;
  return true;
}

void ItemSlab::FreeChunks(Chunk* chunk) noexcept {
  while (chunk != nullptr) {
    Chunk* next = chunk->next;
    chunk->~Chunk();
    ::operator delete(static_cast<void*>(chunk));
    chunk = next;
  }
}

void ItemSlab::ReleaseAll() noexcept {
  FreeChunks(static_cast<Chunk*>(m_chunks));
  m_chunks = nullptr;
  m_free = nullptr;
}

} // namespace kq
