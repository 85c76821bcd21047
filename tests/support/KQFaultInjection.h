// Test-only fault injection: makes the N-th allocation from now on fail.
//
// Linked only into the fault-injection test binaries.  The allocation operator throws
// std::bad_alloc and realloc returns null when the chosen allocation comes.  Allocations are
// counted only while armed.  Interposing realloc needs symbol interposition, which only the ELF
// targets have; elsewhere Supported() is false and the tests skip.
#ifndef KQ_FAULT_INJECTION_H
#define KQ_FAULT_INJECTION_H

namespace kqtest {

// Whether injection works on this target.
bool FaultInjectionSupported();

// Arms injection: the `n`-th allocation (1-based) from now on fails; later ones succeed again.
void FailNthAllocation(long n);
// Disarms injection; returns the number of allocations counted while armed.
long DisarmFaults();
// True once the armed failure has happened.
bool FaultHappened();

// Arms on construction, disarms on destruction.
class ScopedFault {
public:
  explicit ScopedFault(long n) { FailNthAllocation(n); }
  ~ScopedFault() { DisarmFaults(); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

} // namespace kqtest

#endif // KQ_FAULT_INJECTION_H
