// POSIX side of the platform layer: recursive pthread mutex (glibc takes it without atomic steps
// while the process has one thread) and std::atomic_ref counts.
#include <atomic>
#include <new>

#include <pthread.h>

#include "KQPlatform.h"
#include "KQSingleThreaded.h"

namespace kq::platform {
namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(KQLockStorage::bytes), "lock room too small");
static_assert(alignof(pthread_mutex_t) <= alignof(KQLockStorage), "lock room misaligned");

pthread_mutex_t* AsMutex(KQLockStorage& lock) noexcept {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(lock.bytes));
}

} // namespace

void InitLock(KQLockStorage& lock) noexcept {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(new (lock.bytes) pthread_mutex_t, &attr);
  pthread_mutexattr_destroy(&attr);
}

void EnterLock(KQLockStorage& lock) noexcept { pthread_mutex_lock(AsMutex(lock)); }

void LeaveLock(KQLockStorage& lock) noexcept { pthread_mutex_unlock(AsMutex(lock)); }

void DeleteLock(KQLockStorage& lock) noexcept { pthread_mutex_destroy(AsMutex(lock)); }

namespace {

// Adds `delta` (1, or -1 as its unsigned wrap) and returns the new value.  With one thread in the
// process nothing else can step the value at the same time: a load and a store take the place
// of the read-modify-write (see KQSingleThreaded.h).
std::uint32_t Step(std::uint32_t& value, std::uint32_t delta) noexcept {
  std::atomic_ref<std::uint32_t> count(value);
  if (IsSingleThreaded()) {
    const std::uint32_t next = count.load(std::memory_order_relaxed) + delta;
    count.store(next, std::memory_order_relaxed);
    return next;
  }
  return count.fetch_add(delta) + delta;
}

} // namespace

std::uint32_t AtomicIncrement(std::uint32_t& value) noexcept { return Step(value, 1); }

std::uint32_t AtomicDecrement(std::uint32_t& value) noexcept {
  return Step(value, static_cast<std::uint32_t>(-1));
}

} // namespace kq::platform
