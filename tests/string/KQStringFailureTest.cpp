// CKQString under the fault injector: which operations allocate, and what a failed allocation
// leaves behind.
#include "KQFaultInjection.h"
#include "KQString.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

class KQStringAllocation : public ::testing::Test {
protected:
  void SetUp() override {
    if (!kqtest::FaultInjectionSupported()) {
      ASSERT_FALSE(kqtest::kFaultInjectionExpected) << "the injector does not reach the library";
      GTEST_SKIP() << "allocation failures cannot be injected on this target";
    }
  }
};

// Counts the allocations `action` makes (no failure is armed within reach).
template <typename Action> long CountAllocations(Action&& action) {
  kqtest::FailNthAllocation(1000000);
  action();
  return kqtest::DisarmFaults();
}

TEST_F(KQStringAllocation, EmptyStringsCopiesAndUnchangedLoweringAllocateNothing) {
  CKQString text(u"lower case already \U00010428");
  const long count = CountAllocations([&text] {
    CKQString empty;
    CKQString fromEmptyText(u"");
    CKQString fromNull(static_cast<const unsigned short*>(nullptr));
    CKQString fromUtf8 = CKQString::FromUtf8("");
    CKQString copy(text);
    CKQString assigned;
    assigned = copy;
    CKQString moved(std::move(copy));
    assigned = std::move(moved);
    assigned.MakeLower(); // nothing to lower: no detach
    empty.MakeLower();
  });
  EXPECT_EQ(count, 0);
}

TEST_F(KQStringAllocation, OneAllocationPerNewText) {
  CKQString shared(u"Mixed Case");
  CKQString copy(shared);
  EXPECT_EQ(CountAllocations([] { CKQString s(u"abc"); }), 1);
  EXPECT_EQ(CountAllocations([] { CKQString s = CKQString::FromUtf8("\xC3\xA9t\xC3\xA9"); }), 1);
  EXPECT_EQ(CountAllocations([&copy] { copy.MakeLower(); }), 1); // detaches
  EXPECT_EQ(CountAllocations([&copy] { copy = CKQString(u"ABC"); }), 1);
  EXPECT_EQ(CountAllocations([&copy] { copy.MakeLower(); }), 0); // unshared: in place
}

TEST_F(KQStringAllocation, FailedAllocationThrowsAndChangesNothing) {
  CKQString shared(u"Mixed Case");
  CKQString copy(shared);
  const char16_t* data = shared.Data();

  bool threw = false;
  {
    kqtest::ScopedFault fault(1);
    try {
      copy.MakeLower();
    } catch (const std::bad_alloc&) {
      threw = true;
    }
  }
  EXPECT_TRUE(threw);
  EXPECT_EQ(copy.Data(), data); // still sharing the unchanged text
  EXPECT_EQ(copy.Compare(shared), 0);
  EXPECT_EQ(shared.ToUtf8(), "Mixed Case");

  threw = false;
  {
    kqtest::ScopedFault fault(1);
    try {
      CKQString s = CKQString::FromUtf8("text");
    } catch (const std::bad_alloc&) {
      threw = true;
    }
  }
  EXPECT_TRUE(threw);

  copy.MakeLower(); // works again once memory is there
  EXPECT_EQ(copy.ToUtf8(), "mixed case");
  EXPECT_EQ(shared.ToUtf8(), "Mixed Case");
}

// Reference counts step without atomic instructions while the process has one thread (where the
// C library tells), and atomically once a second thread has started.  A text copied and released
// before any thread starts is freed with its last copy.  Copies made before the first thread
// starts are then released by it and by this thread together, while both keep copying: the text
// must be freed exactly once, after the last copy (ASan reports a double free or a use after
// free; a lost step leaves the block alive).  Each test runs in a process of its own, so this one
// starts the process's first thread.
TEST_F(KQStringAllocation, CountsStayExactWhenASecondThreadStarts) {
  if (kqtest::kUnderThreadSanitizer) {
    GTEST_SKIP() << "the injector cannot run in a thread ThreadSanitizer is starting";
  }
  // Before the thread: every step of the counts is taken on one thread.
  const long start = kqtest::LiveAllocations();
  {
    const CKQString alone(u"a text copied and released on one thread");
    const std::vector<CKQString> copies(10, alone);
  }
  EXPECT_EQ(kqtest::LiveAllocations(), start) << "freed once its last copy went, on one thread";

  long live = 0; // blocks alive once the thread is gone (starting it allocates blocks of its own)
  {
    const CKQString original(u"a text shared across the first thread start");
    std::vector<CKQString> before(1000, original);
    std::vector<CKQString> after;
    std::thread worker([&before, &original] {
      before.clear();
      for (int i = 0; i < 100000; ++i) {
        const CKQString copy(original);
      }
    });
    for (int i = 0; i < 100000; ++i) {
      after.push_back(original);
      if (after.size() == 100) {
        after.clear();
      }
    }
    worker.join();
    live = kqtest::LiveAllocations();
  }
  EXPECT_EQ(kqtest::LiveAllocations(), live - 3)
      << "the text is freed, with the two vectors' blocks, once the last copy goes";
}

} // namespace
