// Test-only fault injection: makes the N-th allocation from now on fail.
//
// Linked only into the fault-injection test binaries.  The allocation operator throws
// std::bad_alloc (or, when asked, std::length_error) and realloc returns null when the chosen
// allocation comes.  Allocations are counted only while armed; live blocks are counted always
// (see LiveAllocations).  ELF targets interpose realloc and free by symbol; on Windows the
// project DLLs' imports of the operators, realloc and free are redirected at start-up.
// Elsewhere Supported() is false and the tests skip.
#ifndef KQ_FAULT_INJECTION_H
#define KQ_FAULT_INJECTION_H

namespace kqtest {

// Whether injection works on this target.
bool FaultInjectionSupported();

// Where injection must work (ELF targets, Windows), a test that finds it unsupported fails
// instead of skipping, so the failure tests cannot pass there without running.
#if defined(__ELF__) || defined(_WIN32)
inline constexpr bool kFaultInjectionExpected = true;
#else
inline constexpr bool kFaultInjectionExpected = false;
#endif

// glibc calls realloc while it starts a thread, before ThreadSanitizer has set that thread up,
// and the injector's instrumented realloc then crashes or hangs: tests that start threads in a
// process with the injector do not run under ThreadSanitizer.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kUnderThreadSanitizer = true;
#else
inline constexpr bool kUnderThreadSanitizer = false;
#endif
#else
inline constexpr bool kUnderThreadSanitizer = false;
#endif

// How the allocation operator fails: std::bad_alloc, or std::length_error (what a container
// throws when asked to hold more than it can, before it allocates anything).  realloc returns
// null either way.
enum class Shortage { kBadAlloc, kLengthError };

// Arms injection: the `n`-th allocation (1-based) from now on fails; later ones succeed again.
void FailNthAllocation(long n, Shortage kind = Shortage::kBadAlloc);
// Disarms injection; returns the number of allocations counted while armed.
long DisarmFaults();
// True once the armed failure has happened.
bool FaultHappened();

// Blocks currently live from the allocation operator plus blocks made by realloc and not yet
// freed, counted whether or not injection is armed.  A test compares the value before it builds
// arrays with the value after it has destroyed them: any difference is a leak (or a double
// release).  Only meaningful while no other thread allocates.  Under a sanitizer, realloc-made
// blocks are left to the sanitizer's leak check and not counted here.  On Windows a block that
// libstdc++ made internally (a std::string text beyond its inline buffer) is not counted when
// made but is when the test frees it: keep such strings out of a counted stretch.
long LiveAllocations();

// Arms on construction, disarms on destruction.
class ScopedFault {
public:
  explicit ScopedFault(long n, Shortage kind = Shortage::kBadAlloc) { FailNthAllocation(n, kind); }
  ~ScopedFault() { DisarmFaults(); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

} // namespace kqtest

#endif // KQ_FAULT_INJECTION_H
