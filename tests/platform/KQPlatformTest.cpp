// The platform layer: the lock is re-entrant and exclusive, counts step atomically, and the
// writability probe tells writable from read-only or missing memory without changing a byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "KQPlatform.h"

namespace kp = kq::platform;

namespace {

// One page of fresh memory with the given protection; released on destruction.
class Page {
public:
  explicit Page(bool writable) {
#if defined(_WIN32)
    m_base = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    std::memset(m_base, 0x5A, 4096);
    DWORD old = 0;
    if (!writable) {
      VirtualProtect(m_base, 4096, PAGE_READONLY, &old);
    }
#else
    m_base = mmap(nullptr, Size(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    std::memset(m_base, 0x5A, Size());
    if (!writable) {
      mprotect(m_base, Size(), PROT_READ);
    }
#endif
  }
  ~Page() {
#if defined(_WIN32)
    VirtualFree(m_base, 0, MEM_RELEASE);
#else
    munmap(m_base, Size());
#endif
  }
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;
  unsigned char* Bytes() const { return static_cast<unsigned char*>(m_base); }
  static std::size_t Size() {
#if defined(_WIN32)
    return 4096;
#else
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
  }

private:
  void* m_base = nullptr;
};

} // namespace

TEST(KQPlatform, LockIsReentrantAndExclusive) {
  KQLockStorage lock{};
  kp::InitLock(lock);
  kp::EnterLock(lock);
  kp::EnterLock(lock); // the holder enters again at once
  kp::LeaveLock(lock);
  kp::LeaveLock(lock);

  long counter = 0; // guarded by `lock` only
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        kp::ScopedLock outer(lock);
        kp::ScopedLock inner(lock);
        ++counter;
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(counter, 40000);
  kp::DeleteLock(lock);
}

TEST(KQPlatform, CountStepsAreAtomic) {
  std::uint32_t count = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20000; ++i) {
        if (t % 2 == 0) {
          kp::AtomicIncrement(count);
        } else {
          kp::AtomicIncrement(count);
          kp::AtomicDecrement(count);
        }
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(count, 40000u);
  EXPECT_EQ(kp::AtomicDecrement(count), 39999u);
  EXPECT_EQ(kp::AtomicIncrement(count), 40000u);
}

TEST(KQPlatform, WritabilityProbeNeverFaultsNorChangesBytes) {
  Page writable(true);
  Page readOnly(false);
  unsigned short onStack = 0xBEEF;
  static const unsigned short kConstant[] = {0x41, 0};

  EXPECT_TRUE(kp::IsWritable2(&onStack));
  EXPECT_EQ(onStack, 0xBEEF) << "the probe rewrites the bytes with their own values";
  EXPECT_TRUE(kp::IsWritable2(writable.Bytes() + 7));
  EXPECT_EQ(writable.Bytes()[7], 0x5A);
  EXPECT_EQ(writable.Bytes()[8], 0x5A);

  EXPECT_FALSE(kp::IsWritable2(readOnly.Bytes()));
  EXPECT_EQ(readOnly.Bytes()[0], 0x5A);
  EXPECT_FALSE(kp::IsWritable2(kConstant));
  EXPECT_FALSE(kp::IsWritable2(nullptr));

  // A probe that failed leaves nothing behind: the next one still answers correctly.
  EXPECT_TRUE(kp::IsWritable2(&onStack));
  EXPECT_EQ(onStack, 0xBEEF);
}
