// Rounds of a pass on several threads, run and timed in a forked child (see KQBenchThreads.h).
#include "KQBenchThreads.h"

#include <benchmark/benchmark.h>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace kqb {
namespace {

// The rounds, run in the child.  Round 0 is a warm-up, not timed: it brings the container into
// the caches, and any page a pass writes to (a reference count, say) is copied away from the
// parent's there, once.  Each round releases every thread at once; the first thread times from
// the release to the end of the last pass, waiting for the others by spinning (with a yield, so
// that a waiting thread gives its core to one that still reads).
std::vector<double> RunRounds(std::int64_t rounds, int threads,
                              const std::function<std::size_t()>& pass) {
  std::vector<double> seconds(static_cast<std::size_t>(rounds));
  std::atomic<std::int64_t> released{-1}; // the last round the threads may start
  std::atomic<std::int64_t> finished{0};  // passes of the other threads ended so far
  std::vector<std::thread> others;
  for (int t = 1; t < threads; ++t) {
    others.emplace_back([&] {
      for (std::int64_t round = 0; round <= rounds; ++round) {
        while (released.load(std::memory_order_acquire) < round) {
          std::this_thread::yield();
        }
        benchmark::DoNotOptimize(pass());
        finished.fetch_add(1, std::memory_order_release);
      }
    });
  }
  for (std::int64_t round = 0; round <= rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    released.store(round, std::memory_order_release);
    benchmark::DoNotOptimize(pass());
    const std::int64_t expected = (round + 1) * (threads - 1);
    while (finished.load(std::memory_order_acquire) < expected) {
      std::this_thread::yield();
    }
    if (round != 0) {
      seconds[static_cast<std::size_t>(round - 1)] =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
  }
  for (std::thread& other : others) {
    other.join();
  }
  return seconds;
}

bool WriteAll(int fd, const void* data, std::size_t bytes) {
  const auto* at = static_cast<const char*>(data);
  while (bytes != 0) {
    const ssize_t written = write(fd, at, bytes);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    at += written;
    bytes -= static_cast<std::size_t>(written);
  }
  return true;
}

bool ReadAll(int fd, void* data, std::size_t bytes) {
  auto* at = static_cast<char*>(data);
  while (bytes != 0) {
    const ssize_t got = read(fd, at, bytes);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return false;
    }
    at += got;
    bytes -= static_cast<std::size_t>(got);
  }
  return true;
}

} // namespace

std::vector<double> TimeOnThreads(std::int64_t rounds, int threads,
                                  const std::function<std::size_t()>& pass) {
  int ends[2] = {-1, -1};
  if (rounds <= 0 || threads <= 0 || pipe(ends) != 0) {
    return {};
  }
  const pid_t child = fork();
  if (child == 0) {
    // The child leaves by _exit: no destructor or exit handler of the benchmark process runs
    // twice, and no buffered output is written twice.
    close(ends[0]);
    const std::vector<double> seconds = RunRounds(rounds, threads, pass);
    const bool sent = WriteAll(ends[1], seconds.data(), seconds.size() * sizeof(double));
    _exit(sent ? 0 : 1);
  }
  close(ends[1]);
  std::vector<double> seconds(static_cast<std::size_t>(rounds));
  const bool received =
      child > 0 && ReadAll(ends[0], seconds.data(), seconds.size() * sizeof(double));
  close(ends[0]);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !received || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return {};
  }
  return seconds;
}

} // namespace kqb
