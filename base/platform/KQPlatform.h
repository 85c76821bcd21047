// The platform layer: the only code that knows whether the library runs on Windows or POSIX.
//
// It offers a re-entrant lock kept in the caller's KQLockStorage and atomic steps on a 32-bit
// count.  KQPlatformWin32.cpp and
// KQPlatformPosix.cpp implement it; exactly one of them is built.
#ifndef KQ_PLATFORM_H
#define KQ_PLATFORM_H

#include <cstdint>

#include "KQObject.h"

namespace kq::platform {

// The four operations of the lock.  A thread holding the lock may enter it again and must leave
// it as many times as it entered.  InitLock runs once before any other use, DeleteLock once after
// the last.
void InitLock(KQLockStorage& lock) noexcept;
void EnterLock(KQLockStorage& lock) noexcept;
void LeaveLock(KQLockStorage& lock) noexcept;
void DeleteLock(KQLockStorage& lock) noexcept;

// Adds or subtracts one as a single atomic step; returns the new value.
std::uint32_t AtomicIncrement(std::uint32_t& value) noexcept;
std::uint32_t AtomicDecrement(std::uint32_t& value) noexcept;

// Holds the lock for the lifetime of the guard, so an exception cannot leave it held.
class ScopedLock {
public:
  explicit ScopedLock(KQLockStorage& lock) noexcept : m_lock(lock) { EnterLock(m_lock); }
  ~ScopedLock() { LeaveLock(m_lock); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

private:
  KQLockStorage& m_lock;
};

} // namespace kq::platform

#endif // KQ_PLATFORM_H
