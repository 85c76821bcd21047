// Windows side of the platform layer: critical sections and interlocked counts.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <new>

#include "KQPlatform.h"

namespace kq::platform {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(KQLockStorage::bytes), "lock room too small");
static_assert(alignof(CRITICAL_SECTION) <= alignof(KQLockStorage), "lock room misaligned");
static_assert(sizeof(LONG) == sizeof(std::uint32_t), "interlocked count width");

CRITICAL_SECTION* AsSection(KQLockStorage& lock) noexcept {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(lock.bytes));
}

} // namespace

void InitLock(KQLockStorage& lock) noexcept {
  InitializeCriticalSection(new (lock.bytes) CRITICAL_SECTION);
}

void EnterLock(KQLockStorage& lock) noexcept { EnterCriticalSection(AsSection(lock)); }

void LeaveLock(KQLockStorage& lock) noexcept { LeaveCriticalSection(AsSection(lock)); }

void DeleteLock(KQLockStorage& lock) noexcept { DeleteCriticalSection(AsSection(lock)); }

std::uint32_t AtomicIncrement(std::uint32_t& value) noexcept {
  return static_cast<std::uint32_t>(InterlockedIncrement(reinterpret_cast<volatile LONG*>(&value)));
}

std::uint32_t AtomicDecrement(std::uint32_t& value) noexcept {
  return static_cast<std::uint32_t>(InterlockedDecrement(reinterpret_cast<volatile LONG*>(&value)));
}

} // namespace kq::platform
