// Replaces the allocation operators and interposes realloc so that a chosen allocation fails.
#include "KQFaultInjection.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__ELF__)
#include <dlfcn.h>
#endif

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_seen{0};
std::atomic<long> g_failAt{0};
std::atomic<bool> g_happened{false};

// Counts one allocation; true when it is the one to fail.
bool ShouldFail() noexcept {
  if (!g_armed.load(std::memory_order_relaxed)) {
    return false;
  }
  const long seen = g_seen.fetch_add(1) + 1;
  if (seen == g_failAt.load()) {
    g_happened.store(true);
    return true;
  }
  return false;
}

void* Allocate(std::size_t size) {
  if (ShouldFail()) {
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size); // NOLINT(cppcoreguidelines-no-malloc)
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
}

} // namespace

namespace kqtest {

bool FaultInjectionSupported() {
#if defined(__ELF__)
  return true;
#else
  return false;
#endif
}

void FailNthAllocation(long n) {
  g_seen.store(0);
  g_failAt.store(n);
  g_happened.store(false);
  g_armed.store(true);
}

long DisarmFaults() {
  g_armed.store(false);
  return g_seen.load();
}

bool FaultHappened() { return g_happened.load(); }

} // namespace kqtest

// The replaced allocation operators: plain malloc/free underneath.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); } // NOLINT
void operator delete[](void* block) noexcept { std::free(block); } // NOLINT
void operator delete(void* block, std::size_t) noexcept { std::free(block); } // NOLINT
void operator delete[](void* block, std::size_t) noexcept { std::free(block); } // NOLINT

#if defined(__ELF__)
// The library's slot buffers grow through realloc; this definition in the executable takes
// precedence over the C runtime's for the whole process.
extern "C" void* realloc(void* block, std::size_t size) noexcept {
  using Realloc = void* (*)(void*, std::size_t);
  static const auto next = reinterpret_cast<Realloc>(dlsym(RTLD_NEXT, "realloc"));
  if (ShouldFail()) {
    return nullptr;
  }
  return next(block, size);
}
#endif
