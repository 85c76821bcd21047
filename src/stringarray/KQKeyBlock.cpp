// The key block and its log of keys inserted in the middle; see KQKeyBlock.h.
#include "KQKeyBlock.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

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
    std::free(m_keys); // NOLINT(cppcoreguidelines-no-malloc)
    m_keys = nullptr;
    return true;
  }
  constexpr std::size_t kMaxKeys = std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t);
  if (std::size_t{count} > kMaxKeys) {
    return false;
  }
  // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): the key block is a C-runtime block like the slots
  void* resized = std::realloc(m_keys, std::size_t{count} * sizeof(std::uint32_t));
  if (resized == nullptr) {
    return false;
  }
  m_keys = static_cast<std::uint32_t*>(resized);
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
}

void KeyBlock::Open(unsigned index, unsigned count) noexcept { OpenKeys(Settled(), index, count); }

void KeyBlock::Erase(unsigned index, unsigned count) noexcept {
  std::uint32_t* keys = Settled();
  std::memmove(keys + index, keys + index + 1,
               std::size_t{count - index - 1} * sizeof(std::uint32_t));
}

void KeyBlock::Insert(unsigned index, unsigned count, std::uint32_t key) noexcept {
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

bool KeyBlock::Pending(const void* log) noexcept {
  return log != nullptr &&
         static_cast<const KeyLog*>(log)->pending.load(std::memory_order_acquire) != 0;
}

std::uint32_t* KeyBlock::Settle(std::uint32_t* keys, void* log) noexcept {
  if (Pending(log)) {
    WriteLogged(keys, *LogOf(log));
  }
  return keys;
}

} // namespace kq
