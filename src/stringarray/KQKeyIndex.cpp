// The key index: an open-addressing table from key to first position; see KQKeyIndex.h.
#include "KQKeyIndex.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>
#include <new>

#include "KQStringItem.h"

namespace kq {
namespace {

// Entries per element the table is built with, and the fullest it may get (in tenths) before an
// append asks for a new one: linear probing stays short below 0.7.
constexpr std::uint64_t kEntriesPerElement = 2;
constexpr std::uint64_t kMostTenthsFull = 7;

// Knuth's multiplicative constant: spreads the key before it is scaled to the capacity.
constexpr std::uint32_t kSpread = 0x9E3779B1u;

// How many keys ahead of the one it enters Build fetches the entry a key lands on.
constexpr unsigned kReadAhead = 16;

} // namespace

KeyIndex* KeyIndex::Build(const std::uint32_t* keys, unsigned count) noexcept {
  const std::uint64_t capacity = kEntriesPerElement * std::uint64_t{count};
  if (count == 0 || capacity > std::numeric_limits<unsigned>::max() ||
      capacity >
          (std::numeric_limits<std::size_t>::max() - sizeof(KeyIndex)) / sizeof(std::uint32_t)) {
    return nullptr;
  }
  const std::size_t bytes =
      sizeof(KeyIndex) + static_cast<std::size_t>(capacity) * sizeof(std::uint32_t);
  // A realloc block, like the key block it serves, so that one C-runtime function allocates every
  // block of an array's keys.  The null block is read through a volatile: compilers otherwise
  // turn realloc(nullptr, n) into malloc(n), even without optimisation.
  void* volatile none = nullptr;
  // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): a C-runtime block, like the key block it serves
  void* room = std::realloc(none, bytes);
  if (room == nullptr) {
    return nullptr;
  }
  auto* index = ::new (room) KeyIndex;
  index->m_capacity = static_cast<unsigned>(capacity);
  index->m_limit = static_cast<unsigned>(capacity * kMostTenthsFull / 10);
  index->m_positionBits = std::min(32u, static_cast<unsigned>(std::bit_width(capacity)));
  index->m_positionMask =
      index->m_positionBits == 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << index->m_positionBits) - 1;
  std::uint32_t* entries = index->Entries();
  for (unsigned i = 0; i < index->m_capacity; ++i) {
    entries[i] = 0;
  }
  // The entries a key lands on lie anywhere in the table: the one kReadAhead keys ahead is
  // fetched while this one is entered.
  for (unsigned position = 0; position < count; ++position) {
    if (position + kReadAhead < count) {
      Prefetch(entries + index->SlotOf(keys[position + kReadAhead]));
    }
    index->Enter(keys, position, keys[position]);
  }
  index->m_covered = count;
  return index;
}

void KeyIndex::Free(KeyIndex* index) noexcept {
  if (index != nullptr) {
    index->~KeyIndex();
    std::free(index); // NOLINT(cppcoreguidelines-no-malloc)
  }
}

std::uint32_t* KeyIndex::Entries() noexcept {
  return reinterpret_cast<std::uint32_t*>(this + 1); // NOLINT: the entries follow the header
}

const std::uint32_t* KeyIndex::Entries() const noexcept {
  return reinterpret_cast<const std::uint32_t*>(this + 1); // NOLINT: as above
}

unsigned KeyIndex::SlotOf(std::uint32_t key) const noexcept {
  const std::uint32_t spread = key * kSpread; // modulo 2^32
  return static_cast<unsigned>((std::uint64_t{spread} * m_capacity) >> 32);
}

std::uint32_t KeyIndex::Fingerprint(std::uint32_t key) const noexcept {
  return key & ~m_positionMask;
}

void KeyIndex::Enter(const std::uint32_t* keys, unsigned position, std::uint32_t key) noexcept {
  std::uint32_t* entries = Entries();
  const std::uint32_t fingerprint = Fingerprint(key);
  unsigned slot = SlotOf(key);
  for (std::uint32_t entry = entries[slot]; entry != 0; entry = entries[slot]) {
    if ((entry & ~m_positionMask) == fingerprint && keys[(entry & m_positionMask) - 1] == key) {
      return; // an earlier position has the key
    }
    slot = slot + 1 == m_capacity ? 0 : slot + 1;
  }
  entries[slot] = fingerprint | (position + 1);
  ++m_used;
}

bool KeyIndex::Append(const std::uint32_t* keys, unsigned position, std::uint32_t key) noexcept {
  if (m_used >= m_limit || std::uint64_t{position} + 1 > m_positionMask) {
    return false;
  }
  Enter(keys, position, key);
  m_covered = position + 1;
  return true;
}

} // namespace kq
