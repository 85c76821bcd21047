// The item slab of a string array (see KQItemSlab.h).
#include "KQItemSlab.h"

#include <algorithm>
#include <limits>

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

void ItemSlab::Grow(std::size_t items) {
  const auto* newest = static_cast<const Chunk*>(m_chunks);
  const std::size_t doubled =
      newest == nullptr ? 8 : std::min(newest->capacity * 2, kMaxChunkItems);
  const std::size_t capacity = std::max(items, doubled);
  constexpr std::size_t kMaxItems =
      (std::numeric_limits<std::size_t>::max() - Chunk::Header()) / sizeof(StringItem);
  if (capacity > kMaxItems) {
    throw std::bad_alloc();
  }
  void* raw = ::operator new(Chunk::Header() + capacity * sizeof(StringItem));
  m_chunks = ::new (raw) Chunk{static_cast<Chunk*>(m_chunks), 0, capacity};
}

bool ItemSlab::Reserve(std::size_t items) noexcept {
  const auto* newest = static_cast<const Chunk*>(m_chunks);
  std::size_t room = newest == nullptr ? 0 : newest->capacity - newest->used;
  for (const void* item = m_free; item != nullptr && room < items;
       item = *static_cast<void* const*>(item)) {
    ++room;
  }
  if (room >= items) {
    return true;
  }
  // The new chunk alone covers all of them: the room of the older ones is not counted on.
  try {
    Grow(items);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void ItemSlab::ReleaseAll() noexcept {
  auto* chunk = static_cast<Chunk*>(m_chunks);
  while (chunk != nullptr) {
    Chunk* next = chunk->next;
    chunk->~Chunk();
    ::operator delete(static_cast<void*>(chunk));
    chunk = next;
  }
  m_chunks = nullptr;
  m_free = nullptr;
}

} // namespace kq
