// Replaces the allocation operators and interposes realloc (and free, to count realloc-made
// blocks) so that a chosen allocation fails and live blocks can be counted.
#include "KQFaultInjection.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__ELF__)
#include <dlfcn.h>
#endif

// Realloc-made blocks are tracked by interposing free, which runs for every block of the
// process from its very first moments.  Under a sanitizer that is before the runtime has set up
// its shadow memory, where instrumented code must not run; there the sanitizer's own leak check
// covers those blocks and LiveAllocations counts the allocation operator's blocks only.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KQ_UNDER_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KQ_UNDER_SANITIZER 1
#endif
#if defined(__ELF__) && !defined(KQ_UNDER_SANITIZER)
#define KQ_TRACK_REALLOC_BLOCKS 1
#endif

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_seen{0};
std::atomic<long> g_failAt{0};
std::atomic<bool> g_happened{false};
// Live blocks of the allocation operator (every thread, armed or not).
std::atomic<long> g_liveNew{0};

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
  g_liveNew.fetch_add(1, std::memory_order_relaxed);
  return block;
}

void Release(void* block) noexcept {
  if (block != nullptr) {
    g_liveNew.fetch_sub(1, std::memory_order_relaxed);
    std::free(block); // NOLINT(cppcoreguidelines-no-malloc)
  }
}

#if defined(KQ_TRACK_REALLOC_BLOCKS)
// Blocks made by realloc that free has not taken back yet.  realloc and free run for every
// block of the process, so the table must not allocate: a fixed array under a spin lock, kept
// dense (a removed entry is replaced by the last one), scanned linearly — the arrays under test
// own only a handful of slot buffers at a time.  Blocks beyond the table's room are not tracked
// and show up as an overflow count instead.
class ReallocTable {
public:
  void Replace(void* old, void* grown) noexcept {
    Lock();
    std::size_t i = Find(old);
    if (old == nullptr || i == m_used) {
      if (m_used < kRoom) {
        m_blocks[m_used++] = grown;
      } else {
        ++m_overflow;
      }
    } else {
      m_blocks[i] = grown;
    }
    Unlock();
  }
  void Remove(void* block) noexcept {
    Lock();
    const std::size_t i = Find(block);
    if (i != m_used) {
      m_blocks[i] = m_blocks[--m_used];
    }
    Unlock();
  }
  long Live() noexcept {
    Lock();
    const long live = static_cast<long>(m_used) + m_overflow;
    Unlock();
    return live;
  }

private:
  static constexpr std::size_t kRoom = 512;
  void Lock() noexcept {
    while (m_busy.test_and_set(std::memory_order_acquire)) {
    }
  }
  void Unlock() noexcept { m_busy.clear(std::memory_order_release); }
  std::size_t Find(void* block) const noexcept {
    std::size_t i = 0;
    while (i < m_used && m_blocks[i] != block) {
      ++i;
    }
    return i;
  }

  std::atomic_flag m_busy = ATOMIC_FLAG_INIT;
  void* m_blocks[kRoom] = {};
  std::size_t m_used = 0;
  long m_overflow = 0;
};

// Constant-initialised, so it is usable by the first realloc or free of the process.
constinit ReallocTable g_reallocBlocks;
#endif

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

long LiveAllocations() {
  long live = g_liveNew.load();
#if defined(KQ_TRACK_REALLOC_BLOCKS)
  live += g_reallocBlocks.Live();
#endif
  return live;
}

} // namespace kqtest

// The replaced allocation operators: plain malloc/free underneath.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }                // NOLINT
void operator delete[](void* block) noexcept { Release(block); }              // NOLINT
void operator delete(void* block, std::size_t) noexcept { Release(block); }   // NOLINT
void operator delete[](void* block, std::size_t) noexcept { Release(block); } // NOLINT

#if defined(__ELF__)
// The interposers must be in the executable's dynamic symbol table even though the project
// builds with hidden visibility (clang applies it to these definitions, gcc does not).
#define KQ_INTERPOSED __attribute__((visibility("default")))

// The library's slot buffers grow through realloc; this definition in the executable takes
// precedence over the C runtime's for the whole process.
extern "C" KQ_INTERPOSED void* realloc(void* block, std::size_t size) noexcept {
  using Realloc = void* (*)(void*, std::size_t);
  static const auto next = reinterpret_cast<Realloc>(dlsym(RTLD_NEXT, "realloc"));
  if (ShouldFail()) {
    return nullptr;
  }
  void* grown = next(block, size);
#if defined(KQ_TRACK_REALLOC_BLOCKS)
  if (grown != nullptr) {
    g_reallocBlocks.Replace(block, grown);
  }
#endif
  return grown;
}

#if defined(KQ_TRACK_REALLOC_BLOCKS)
// Interposed only to take realloc-made blocks out of the live count.  The C runtime's free is
// looked up on first use; should the lookup itself free a block, that one block is left alone
// (a thread-local flag breaks the recursion).
extern "C" KQ_INTERPOSED void free(void* block) noexcept {
  using Free = void (*)(void*);
  static std::atomic<Free> next{nullptr};
  static thread_local bool resolving = false;
  if (block == nullptr) {
    return;
  }
  g_reallocBlocks.Remove(block);
  Free real = next.load(std::memory_order_acquire);
  if (real == nullptr) {
    if (resolving) {
      return;
    }
    resolving = true;
    real = reinterpret_cast<Free>(dlsym(RTLD_NEXT, "free"));
    resolving = false;
    next.store(real, std::memory_order_release);
  }
  real(block);
}
#endif // KQ_TRACK_REALLOC_BLOCKS
#endif
