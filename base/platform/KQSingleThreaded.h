// Whether the process still runs on one thread: the platform layer's answer to "can another
// thread be touching this memory at all?".  Header only, so that a reference-count step can ask
// inline; the string library uses it as well as the array library.
//
// Where the C library keeps the answer (glibc's __libc_single_threaded), it is true while the
// process has had one thread only and turns false before a second thread starts, so a step
// taken while it was true cannot overlap a step of another thread: the thread start orders them.
// Elsewhere (Windows, other C libraries) the answer is always false and every step is atomic.
#ifndef KQ_SINGLE_THREADED_H
#define KQ_SINGLE_THREADED_H

#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
#endif

namespace kq::platform {

inline bool IsSingleThreaded() noexcept {
#if __has_include(<sys/single_threaded.h>)
  return __libc_single_threaded != 0;
#else
  return false;
#endif
}

} // namespace kq::platform

#endif // KQ_SINGLE_THREADED_H
