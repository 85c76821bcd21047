// The key block and its log of keys inserted in the middle; see KQKeyBlock.h.
#include "KQKeyBlock.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "KQStringItem.h"
#include "KQStringKey.h"

namespace kq {
namespace {

// The logged keys.  `index` is increasing; `pending` entries are in use.  While any is,
// `settled` keys are in the block and the array holds settled + pending elements.
struct KeyLog {
  std::atomic<unsigned> pending{0};
  unsigned settled = 0;
  std::uint32_t index[KeyBlock::kLogLength]{};
  std::uint32_t key[KeyBlock::kLogLength]{};
};

KeyLog* LogOf(void* log) noexcept { return static_cast<KeyLog*>(log); }

// The block is one C-runtime allocation: the stale mark, then the keys.  The array's pointer is
// to the first key, so searches and scans index keys directly; the mark is the word in front.
constexpr std::size_t kMarkWords = 1;

std::uint32_t* BaseOf(std::uint32_t* keys) noexcept {
  return keys == nullptr ? nullptr : keys - kMarkWords;
}

// The mark is read by searches without the lock and cleared by a search under it.
std::atomic_ref<std::uint32_t> MarkOf(std::uint32_t* keys) noexcept {
  return std::atomic_ref<std::uint32_t>(keys[-static_cast<std::ptrdiff_t>(kMarkWords)]);
}

bool IsStale(std::uint32_t* keys) noexcept {
  return keys != nullptr && MarkOf(keys).load(std::memory_order_acquire) != 0;
}

// Takes the key of each of the `count` items in `slots` from its text.  O(total text).
void KeyAll(std::uint32_t* keys, void** slots, unsigned count) noexcept {
  for (unsigned i = 0; i < count; ++i) {
    const std::u16string_view text = StringAccess::View(ItemAt(slots, i)->text);
    keys[i] = StringKey(text.data(), text.size());
  }
}

// Opens index `at` of the first `count` keys: the keys from `at` on move up by one.
void OpenKeys(std::uint32_t* keys, unsigned at, unsigned count) noexcept {
  std::memmove(keys + at + 1, keys + at, std::size_t{count - at} * sizeof(std::uint32_t));
}

// Opens index `at` and stores `key` there.
void MoveInsert(std::uint32_t* keys, unsigned at, unsigned count, std::uint32_t key) noexcept {
  OpenKeys(keys, at, count);
  keys[at] = key;
}

// Writes the logged keys into place from the back: the keys after the k-th logged one (counted
// from 1) move up by k, each once, and are read before anything is written over them.
void WriteLogged(std::uint32_t* keys, KeyLog& log) noexcept {
  const unsigned pending = log.pending.load(std::memory_order_relaxed);
  unsigned end = log.settled + pending; // one past the last final index still to be written
  for (unsigned k = pending; k > 0; --k) {
    const unsigned at = log.index[k - 1];
    const std::size_t after = end - at - 1;
    std::memmove(keys + at + 1, keys + at + 1 - k, after * sizeof(std::uint32_t));
    keys[at] = log.key[k - 1];
    end = at;
  }
  log.pending.store(0, std::memory_order_release);
}

} // namespace

bool KeyBlock::Resize(unsigned count) noexcept {
  if (count == 0) {
    std::free(BaseOf(m_keys)); // NOLINT(cppcoreguidelines-no-malloc)
    m_keys = nullptr;
    return true;
  }
  constexpr std::size_t kMaxWords = std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t);
  if (std::size_t{count} > kMaxWords - kMarkWords) {
    return false;
  }
  const bool fresh = m_keys == nullptr;
  // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): the key block is a C-runtime block like the slots
  void* resized = std::realloc(BaseOf(m_keys), (kMarkWords + count) * sizeof(std::uint32_t));
  if (resized == nullptr) {
    return false;
  }
  m_keys = static_cast<std::uint32_t*>(resized) + kMarkWords;
  if (fresh) {
    MarkOf(m_keys).store(0, std::memory_order_relaxed);
  }
  return true;
}

void KeyBlock::Release() noexcept {
  Resize(0);
  if (m_log != nullptr) {
    LogOf(m_log)->~KeyLog();
    std::free(m_log); // NOLINT(cppcoreguidelines-no-malloc)
    m_log = nullptr;
  }
}

void KeyBlock::Forget() noexcept {
  if (m_log != nullptr) {
    LogOf(m_log)->pending.store(0, std::memory_order_release);
  }
  if (m_keys != nullptr) {
    MarkOf(m_keys).store(0, std::memory_order_release);
  }
}

void KeyBlock::MarkStale() noexcept {
  if (m_keys != nullptr) {
    MarkOf(m_keys).store(1, std::memory_order_release);
  }
}

void KeyBlock::Erase(void** slots, unsigned index, unsigned count) noexcept {
  std::uint32_t* keys = Settled(slots, count);
  std::memmove(keys + index, keys + index + 1,
               std::size_t{count - index - 1} * sizeof(std::uint32_t));
}

void KeyBlock::Insert(unsigned index, unsigned count, std::uint32_t key) noexcept {
  if (IsStale(m_keys)) {
    return; // every key is taken afresh at the next settling, this one too
  }
  KeyLog* log = LogOf(m_log);
  unsigned pending = log != nullptr ? log->pending.load(std::memory_order_relaxed) : 0;
  if (index == count) {
    // The last element: its key follows the settled ones.
    m_keys[pending == 0 ? count : log->settled++] = key;
    return;
  }
  if (pending == 0 && count < kDeferFrom) {
    MoveInsert(m_keys, index, count, key);
    return;
  }
  if (log == nullptr) {
    void* room = std::malloc(sizeof(KeyLog)); // NOLINT(cppcoreguidelines-no-malloc): as the block
    if (room == nullptr) {
      MoveInsert(m_keys, index, count, key); // nothing is logged yet
      return;
    }
    log = ::new (room) KeyLog;
    m_log = log;
  }
  if (pending == kLogLength) {
    WriteLogged(m_keys, *log);
    pending = 0;
  }
  if (pending == 0) {
    log->settled = count;
  }
  // Entries at or after `index` move one index up, and one place on to make room for this one.
  unsigned at = pending;
  while (at > 0 && log->index[at - 1] >= index) {
    log->index[at] = log->index[at - 1] + 1;
    log->key[at] = log->key[at - 1];
    --at;
  }
  log->index[at] = index;
  log->key[at] = key;
  log->pending.store(pending + 1, std::memory_order_release);
}

bool KeyBlock::Pending(std::uint32_t* keys, const void* log) noexcept {
  return IsStale(keys) || (log != nullptr && static_cast<const KeyLog*>(log)->pending.load(
                                                 std::memory_order_acquire) != 0);
}

// Stale keys are all taken afresh, which makes anything logged moot: the log is emptied first,
// and the mark cleared last, so a search that sees it clear sees every key written.
std::uint32_t* KeyBlock::Settle(std::uint32_t* keys, void* log, void** slots,
                                unsigned count) noexcept {
  if (IsStale(keys)) {
    if (log != nullptr) {
      LogOf(log)->pending.store(0, std::memory_order_relaxed);
    }
    KeyAll(keys, slots, count);
    MarkOf(keys).store(0, std::memory_order_release);
  } else if (log != nullptr && LogOf(log)->pending.load(std::memory_order_acquire) != 0) {
    WriteLogged(keys, *LogOf(log));
  }
  return keys;
}

} // namespace kq
