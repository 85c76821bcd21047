// The platform layer: the lock is re-entrant and exclusive, and counts step atomically.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "KQPlatform.h"

namespace kp = kq::platform;

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
