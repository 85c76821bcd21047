// Windows side of the platform layer: critical sections, interlocked counts, and a writability
// test through the page protection that VirtualQuery reports.
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

// True when the page holding `address` is committed and writable.
bool PageIsWritable(const void* address) noexcept {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(address, &info, sizeof(info)) != sizeof(info)) {
    return false;
  }
  if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
    return false;
  }
  const DWORD writable =
      PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  return (info.Protect & writable) != 0;
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

// Both bytes are checked: they may lie on two pages.
bool IsWritable2(const void* address) noexcept {
  if (address == nullptr) {
    return false;
  }
  const auto* first = static_cast<const unsigned char*>(address);
  return PageIsWritable(first) && PageIsWritable(first + 1);
}

} // namespace kq::platform
