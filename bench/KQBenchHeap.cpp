// The steady-state heap pool and the heap figure.  The figure comes from glibc's mallinfo2
// (glibc 2.33 and later); other C libraries have no portable equivalent, so there the heap rows
// report that they were skipped.
#include "KQBenchHeap.h"

#include <cstdint>
#include <new>

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
#define KQB_HAVE_MALLINFO2 1
#else
#define KQB_HAVE_MALLINFO2 0
#endif

namespace kqb {
namespace {

// The pool of live blocks.  Its size follows the largest N (a quarter of it, within 4,096 ..
// 2^18 blocks, about 27 MB at most), so a smoke run starts fast.
class HeapPool {
public:
  HeapPool() : m_blocks(std::clamp<std::size_t>(MaxN() / 4, 4096, std::size_t{1} << 18)) {
    for (void*& block : m_blocks) {
      block = ::operator new(NextSize());
    }
    Churn(m_blocks.size()); // from here on the free lists hold holes in random places
  }
  ~HeapPool() {
    for (void* block : m_blocks) {
      ::operator delete(block);
    }
  }
  HeapPool(const HeapPool&) = delete;
  HeapPool& operator=(const HeapPool&) = delete;

  void Churn(std::size_t steps) {
    for (std::size_t i = 0; i < steps; ++i) {
      void*& block = m_blocks[Next() % m_blocks.size()];
      ::operator delete(block);
      block = ::operator new(NextSize());
    }
  }

private:
  // xorshift64: cheap enough that the churn is mostly the allocator's own work.
  std::uint64_t Next() noexcept {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 7;
    m_state ^= m_state << 17;
    return m_state;
  }
  std::size_t NextSize() noexcept { return 16 + static_cast<std::size_t>(Next() % 177); }

  std::vector<void*> m_blocks;
  std::uint64_t m_state = 0x9E3779B97F4A7C15ull;
};

} // namespace

void ChurnHeap(std::size_t steps) {
  static HeapPool pool;
  pool.Churn(steps);
}

bool HeapMeasured() noexcept { return KQB_HAVE_MALLINFO2 != 0; }

std::size_t HeapInUse() noexcept {
#if KQB_HAVE_MALLINFO2
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#else
  return 0;
#endif
}

} // namespace kqb
