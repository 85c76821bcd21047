// POSIX side of the platform layer: recursive pthread mutex, std::atomic_ref counts, and a
// writability probe that lets the kernel touch the bytes instead of the process.
#include <atomic>
#include <cerrno>
#include <new>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include "KQPlatform.h"

namespace kq::platform {
namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(KQLockStorage::bytes), "lock room too small");
static_assert(alignof(pthread_mutex_t) <= alignof(KQLockStorage), "lock room misaligned");

pthread_mutex_t* AsMutex(KQLockStorage& lock) noexcept {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(lock.bytes));
}

// One pipe per thread, so that the bytes one thread pushes through it cannot come back to
// another.  Closed when the thread ends.
class ProbePipe {
public:
  ProbePipe() noexcept {
    if (pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0) {
      m_fds[0] = m_fds[1] = -1;
    }
  }
  ~ProbePipe() {
    if (m_fds[0] >= 0) {
      close(m_fds[0]);
      close(m_fds[1]);
    }
  }
  ProbePipe(const ProbePipe&) = delete;
  ProbePipe& operator=(const ProbePipe&) = delete;

  bool valid() const noexcept { return m_fds[0] >= 0; }
  int reader() const noexcept { return m_fds[0]; }
  int writer() const noexcept { return m_fds[1]; }

private:
  int m_fds[2] = {-1, -1};
};

} // namespace

void InitLock(KQLockStorage& lock) noexcept {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(new (lock.bytes) pthread_mutex_t, &attr);
  pthread_mutexattr_destroy(&attr);
}

void EnterLock(KQLockStorage& lock) noexcept { pthread_mutex_lock(AsMutex(lock)); }

void LeaveLock(KQLockStorage& lock) noexcept { pthread_mutex_unlock(AsMutex(lock)); }

void DeleteLock(KQLockStorage& lock) noexcept { pthread_mutex_destroy(AsMutex(lock)); }

std::uint32_t AtomicIncrement(std::uint32_t& value) noexcept {
  return std::atomic_ref<std::uint32_t>(value).fetch_add(1) + 1;
}

std::uint32_t AtomicDecrement(std::uint32_t& value) noexcept {
  return std::atomic_ref<std::uint32_t>(value).fetch_sub(1) - 1;
}

// The kernel copies the two bytes into a pipe (write fails with EFAULT if they cannot be read)
// and back onto themselves (read fails with EFAULT if they cannot be written).  The bytes are
// rewritten with their own values, so a writable address keeps its contents.
bool IsWritable2(const void* address) noexcept {
  if (address == nullptr) {
    return false;
  }
  thread_local ProbePipe probe;
  if (!probe.valid()) {
    return false;
  }
  if (write(probe.writer(), address, 2) != 2) {
    return false;
  }
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): the kernel writes back the same bytes
  ssize_t back = read(probe.reader(), const_cast<void*>(address), 2);
  if (back == 2) {
    return true;
  }
  // The bytes could not be written back: drain them so the pipe is empty for the next probe.
  unsigned char sink[2];
  (void)!read(probe.reader(), sink, 2);
  return false;
}

} // namespace kq::platform
