// POSIX side of the platform layer: a re-entrant lock built on one atomic word, and
// std::atomic_ref counts.
//
// The lock takes one compare-and-swap to enter and one exchange to leave when no other thread
// wants it; only a contended lock sleeps, through the C++ atomic wait (a futex on Linux).  The
// holder and its depth sit beside the word: a thread that already holds the lock only counts
// up, and the other threads never find their own id in `owner`, whatever stale value they read.
#include <atomic>
#include <cstdint>
#include <new>
#include <thread>

#include "KQPlatform.h"

namespace kq::platform {
namespace {

struct RecursiveLock {
  // 0: free; 1: held; 2: held, and another thread may be waiting for it (Leave must wake one).
  std::atomic<std::uint32_t> state{0};
  // The holding thread; a default id while free.  Written only by the holder, under the lock.
  std::atomic<std::thread::id> owner{};
  // How often the holder has entered; read and written by the holder only.
  std::uint32_t depth = 0;
};

static_assert(sizeof(RecursiveLock) <= sizeof(KQLockStorage::bytes), "lock room too small");
static_assert(alignof(RecursiveLock) <= alignof(KQLockStorage), "lock room misaligned");

RecursiveLock* AsLock(KQLockStorage& lock) noexcept {
  return std::launder(reinterpret_cast<RecursiveLock*>(lock.bytes));
}

// The contended path: mark the word as waited for and sleep until a holder leaves.
void EnterContended(RecursiveLock& lock, std::uint32_t seen) noexcept {
  if (seen != 2) {
    seen = lock.state.exchange(2, std::memory_order_acquire);
  }
  while (seen != 0) {
    lock.state.wait(2, std::memory_order_relaxed);
    seen = lock.state.exchange(2, std::memory_order_acquire);
  }
}

} // namespace

void InitLock(KQLockStorage& lock) noexcept { new (lock.bytes) RecursiveLock; }

void EnterLock(KQLockStorage& lock) noexcept {
  RecursiveLock& held = *AsLock(lock);
  const std::thread::id self = std::this_thread::get_id();
  if (held.owner.load(std::memory_order_relaxed) == self) {
    ++held.depth; // only this thread can have stored its own id
    return;
  }
  std::uint32_t seen = 0;
  if (!held.state.compare_exchange_strong(seen, 1, std::memory_order_acquire,
                                          std::memory_order_relaxed)) {
    EnterContended(held, seen);
  }
  held.owner.store(self, std::memory_order_relaxed);
  held.depth = 1;
}

void LeaveLock(KQLockStorage& lock) noexcept {
  RecursiveLock& held = *AsLock(lock);
  if (--held.depth != 0) {
    return;
  }
  held.owner.store(std::thread::id(), std::memory_order_relaxed);
  if (held.state.exchange(0, std::memory_order_release) == 2) {
    held.state.notify_one();
  }
}

void DeleteLock(KQLockStorage& lock) noexcept { AsLock(lock)->~RecursiveLock(); }

std::uint32_t AtomicIncrement(std::uint32_t& value) noexcept {
  return std::atomic_ref<std::uint32_t>(value).fetch_add(1) + 1;
}

std::uint32_t AtomicDecrement(std::uint32_t& value) noexcept {
  return std::atomic_ref<std::uint32_t>(value).fetch_sub(1) - 1;
}

} // namespace kq::platform
