// The platform layer: the lock is re-entrant and exclusive, and counts step atomically.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

// A holder that entered twice keeps the lock until its last leave: a thread waiting for it
// neither gets in at the first leave nor sleeps on once the last one has happened.
TEST(KQPlatform, WaiterEntersOnlyAfterTheHoldersLastLeave) {
  KQLockStorage lock{};
  kp::InitLock(lock);
  kp::EnterLock(lock);
  kp::EnterLock(lock);
  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    kp::ScopedLock hold(lock);
    entered = true;
  });
  kp::LeaveLock(lock);
  std::this_thread::sleep_for(std::chrono::milliseconds(50)); // time for the waiter to block
  EXPECT_FALSE(entered.load()) << "entered while the holder still held the lock once";
  kp::LeaveLock(lock);
  waiter.join(); // hangs if the last leave does not wake it
  EXPECT_TRUE(entered.load());
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
