// The key block: keys taken on demand, and the key index beside them; see KQKeyBlock.h.
#include "KQKeyBlock.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "KQKeyIndex.h"
#include "KQStringItem.h"
#include "KQStringKey.h"

namespace kq {
namespace {

// The block is one C-runtime allocation: `work`, `known`, then the keys.
constexpr std::size_t kHeaderWords = 2;
constexpr std::ptrdiff_t kWorkAt = -2;
constexpr std::ptrdiff_t kKnownAt = -1;

std::uint32_t* BaseOf(std::uint32_t* keys) noexcept {
  return keys == nullptr ? nullptr : keys - kHeaderWords;
}

std::atomic_ref<std::uint32_t> WordOf(std::uint32_t* keys, std::ptrdiff_t at) noexcept {
  return std::atomic_ref<std::uint32_t>(keys[at]);
}

// How many items ahead of the one it keys Complete fetches an item, and (half as far) its text.
constexpr unsigned kReadAhead = 16;

// The index pointer: searches load it while a search under the lock may publish it.
std::atomic_ref<void*> IndexRef(void*& index) noexcept { return std::atomic_ref<void*>(index); }

} // namespace

bool KeyBlock::Resize(unsigned count) noexcept {
  if (count == 0) {
    std::free(BaseOf(m_keys)); // NOLINT(cppcoreguidelines-no-malloc)
    m_keys = nullptr;
    return true;
  }
  constexpr std::size_t kMaxWords = std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t);
  if (std::size_t{count} > kMaxWords - kHeaderWords) {
    return false;
  }
  const bool fresh = m_keys == nullptr;
  // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): the key block is a C-runtime block like the slots
  void* resized = std::realloc(BaseOf(m_keys), (kHeaderWords + count) * sizeof(std::uint32_t));
  if (resized == nullptr) {
    return false;
  }
  m_keys = static_cast<std::uint32_t*>(resized) + kHeaderWords;
  if (fresh) {
    WordOf(m_keys, kWorkAt).store(0, std::memory_order_relaxed);
    WordOf(m_keys, kKnownAt).store(0, std::memory_order_relaxed);
  }
  return true;
}

void KeyBlock::DropIndex() noexcept {
  if (m_index != nullptr) {
    KeyIndex::Free(static_cast<KeyIndex*>(m_index));
    IndexRef(m_index).store(nullptr, std::memory_order_relaxed);
  }
}

void KeyBlock::Release() noexcept {
  DropIndex();
  Resize(0);
}

void KeyBlock::Forget() noexcept {
  DropIndex();
  if (m_keys != nullptr) {
    WordOf(m_keys, kWorkAt).store(0, std::memory_order_relaxed);
    WordOf(m_keys, kKnownAt).store(0, std::memory_order_relaxed);
  }
}

void KeyBlock::Appended(void** slots, unsigned position, bool sorted) noexcept {
  auto* index = static_cast<KeyIndex*>(m_index);
  // The key is taken now when the index must enter it (an index covers every element, so every
  // key before this one is known), or when a sorted array knows every key before it: its text is
  // at hand, and an array kept sorted is kept to be searched (a sorted list loaded in order one
  // Add at a time then has all its keys when its index comes, which then costs only the table).
  // Otherwise the key waits until a search needs it.
  const bool takeNow =
      index != nullptr || (sorted && m_keys != nullptr &&
                           WordOf(m_keys, kKnownAt).load(std::memory_order_relaxed) == position);
  if (!takeNow) {
    return;
  }
  const std::u16string_view text = StringAccess::View(ItemAt(slots, position)->text);
  const std::uint32_t key = StringKey(text.data(), text.size());
  m_keys[position] = key;
  WordOf(m_keys, kKnownAt).store(position + 1, std::memory_order_relaxed);
  if (index == nullptr || index->Append(m_keys, position, key)) {
    return;
  }
  // Full: a table for the grown count replaces it, or, short of memory, none does.
  KeyIndex* grown = KeyIndex::Build(m_keys, position + 1);
  KeyIndex::Free(index);
  IndexRef(m_index).store(grown, std::memory_order_relaxed);
}

void KeyBlock::Changed(unsigned position) noexcept {
  DropIndex();
  if (m_keys != nullptr) {
    WordOf(m_keys, kWorkAt).store(0, std::memory_order_relaxed);
    if (WordOf(m_keys, kKnownAt).load(std::memory_order_relaxed) > position) {
      WordOf(m_keys, kKnownAt).store(position, std::memory_order_relaxed);
    }
  }
}

void KeyBlock::Replaced(void** slots, unsigned position) noexcept {
  DropIndex();
  WordOf(m_keys, kWorkAt).store(0, std::memory_order_relaxed);
  if (position < WordOf(m_keys, kKnownAt).load(std::memory_order_relaxed)) {
    const std::u16string_view text = StringAccess::View(ItemAt(slots, position)->text);
    m_keys[position] = StringKey(text.data(), text.size());
  }
}

void KeyBlock::Erased(unsigned position) noexcept {
  DropIndex();
  WordOf(m_keys, kWorkAt).store(0, std::memory_order_relaxed);
  const unsigned known = WordOf(m_keys, kKnownAt).load(std::memory_order_relaxed);
  if (position < known) {
    std::memmove(m_keys + position, m_keys + position + 1,
                 std::size_t{known - position - 1} * sizeof(std::uint32_t));
    WordOf(m_keys, kKnownAt).store(known - 1, std::memory_order_relaxed);
  }
}

unsigned KeyBlock::Known(const std::uint32_t* keys) noexcept {
  if (keys == nullptr) {
    return 0;
  }
  // atomic_ref needs a non-const object; the word is only loaded here.
  return WordOf(const_cast<std::uint32_t*>(keys), kKnownAt) // NOLINT(*-const-cast)
      .load(std::memory_order_acquire);
}

// The items of a long array lie anywhere in the heap: each item is fetched kReadAhead elements
// ahead and its text half as far ahead, so that keying an element rarely waits on memory.  The
// keys are written before `known` is raised, with release ordering.
void KeyBlock::Complete(std::uint32_t* keys, void** slots, unsigned count) noexcept {
  const unsigned known = WordOf(keys, kKnownAt).load(std::memory_order_relaxed);
  for (unsigned i = known; i < count; ++i) {
    if (i + kReadAhead < count) {
      Prefetch(slots[i + kReadAhead]);
    }
    if (i + kReadAhead / 2 < count) {
      Prefetch(ItemAt(slots, i + kReadAhead / 2)->text.Data());
    }
    const std::u16string_view text = StringAccess::View(ItemAt(slots, i)->text);
    keys[i] = StringKey(text.data(), text.size());
  }
  if (count > known) {
    WordOf(keys, kKnownAt).store(count, std::memory_order_release);
  }
}

const KeyIndex* KeyBlock::Index(void* const& index) noexcept {
  // atomic_ref needs a non-const object; the pointer is only loaded here.
  return static_cast<const KeyIndex*>(
      IndexRef(const_cast<void*&>(index)).load(std::memory_order_acquire)); // NOLINT(*-const-cast)
}

// The count saturates rather than wrap, so a long run of searches cannot bring it back to 0.
std::uint32_t KeyBlock::AddWork(std::uint32_t* keys, std::uint32_t units) noexcept {
  std::atomic_ref<std::uint32_t> work = WordOf(keys, kWorkAt);
  std::uint32_t before = work.load(std::memory_order_relaxed);
  constexpr std::uint32_t kMost = std::numeric_limits<std::uint32_t>::max();
  while (!work.compare_exchange_weak(before, before > kMost - units ? kMost : before + units,
                                     std::memory_order_relaxed)) {
  }
  return before;
}

bool KeyBlock::Publish(std::uint32_t* keys, void*& index, unsigned count) noexcept {
  KeyIndex* built = KeyIndex::Build(keys, count);
  WordOf(keys, kWorkAt).store(0, std::memory_order_relaxed);
  if (built == nullptr) {
    return false;
  }
  IndexRef(index).store(built, std::memory_order_release);
  return true;
}

} // namespace kq
