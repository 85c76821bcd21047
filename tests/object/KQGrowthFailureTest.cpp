// Growth that fails: a refused realloc and a byte size that overflows leave every array usable,
// with its elements, and ERROR_OUTOFMEMORY recorded.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KQFaultInjection.h"
#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

class GrowthFailure : public testing::Test {
protected:
  void SetUp() override {
    if (!kqtest::FaultInjectionSupported()) {
      ASSERT_FALSE(kqtest::kFaultInjectionExpected) << "the injector does not reach the library";
      GTEST_SKIP() << "allocation failures cannot be injected on this target";
    }
  }
};

} // namespace

TEST_F(GrowthFailure, RefusedGrowthKeepsTheElements) {
  PtrArrayProbe array;
  for (unsigned i = 0; i < 10; ++i) {
    array.Add(P(i + 1), nullptr);
  }
  unsigned index = 1234;
  {
    kqtest::ScopedFault fault(1); // the doubling realloc of the 11th Add
    EXPECT_EQ(array.Add(P(11), &index), 0);
    EXPECT_TRUE(kqtest::FaultHappened());
  }
  EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
  EXPECT_EQ(index, 1234u) << "nothing is written through the index pointer";
  EXPECT_EQ(array.GetSize(), 10u);
  EXPECT_EQ(array.Capacity(), 10u);
  for (unsigned i = 0; i < 10; ++i) {
    ASSERT_EQ(array[i], P(i + 1));
  }
  EXPECT_EQ(array.Add(P(11), &index), 1) << "the array stays usable";
  EXPECT_EQ(index, 10u);
  EXPECT_EQ(array.Capacity(), 20u);
}

TEST_F(GrowthFailure, FailedFirstReservationIsRetriedByAdd) {
  kqtest::FailNthAllocation(2); // 1: the storage cell, 2: the first reservation
  PtrArrayProbe array;
  kqtest::DisarmFaults();
  ASSERT_TRUE(kqtest::FaultHappened());
  EXPECT_EQ(array.Capacity(), 0u);
  EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);

  {
    kqtest::ScopedFault fault(1); // the fresh reservation fails too
    EXPECT_EQ(array.Add(P(1), nullptr), 0);
  }
  EXPECT_EQ(array.GetSize(), 0u);
  EXPECT_EQ(array.Add(P(1), nullptr), 1);
  EXPECT_EQ(array.Capacity(), 10u) << "a fresh reservation, not a doubling of 0";
  EXPECT_EQ(array.GetAt(0), P(1));
}

TEST_F(GrowthFailure, CopiesThatCannotReserveStayEmptyOrUnchanged) {
  PtrArrayProbe source;
  for (unsigned i = 0; i < 15; ++i) {
    source.Add(P(i + 1), nullptr);
  }
  kqtest::FailNthAllocation(2);
  PtrArrayProbe copy(source);
  kqtest::DisarmFaults();
  EXPECT_EQ(copy.GetSize(), 0u);
  EXPECT_EQ(Code(copy), ERROR_OUTOFMEMORY);

  PtrArrayProbe target;
  target.Add(P(77), nullptr);
  {
    kqtest::ScopedFault fault(1); // growing the target to the source's 20 slots
    target = source;
  }
  EXPECT_EQ(Code(target), ERROR_OUTOFMEMORY);
  EXPECT_EQ(target.GetSize(), 1u);
  EXPECT_EQ(target.GetAt(0), P(77));
}

// A string array grows its key block first and its slots second.  A refusal of either leaves
// slots, keys and capacity as they were: every element is still found through its key (an
// unsorted array's FindString scans the key block), and growth succeeds later.
TEST_F(GrowthFailure, RefusedGrowthKeepsSlotsAndKeysInStep) {
  std::vector<CKQString> texts;
  for (int i = 0; i < 40; ++i) {
    texts.push_back(kqtest::S(("word " + std::to_string(i)).c_str()));
  }
  const auto expectAllFound = [&texts](StringArrayProbe& array) {
    for (unsigned i = 0; i < texts.size(); ++i) {
      const unsigned expected = i < array.GetSize() ? i : 0xFFFFFFFFu;
      ASSERT_EQ(array.FindString(texts[i], 0), expected) << "word " << i;
      ASSERT_EQ(array.FindString(texts[i], 1), expected) << "word " << i;
    }
  };
  // The n-th allocation of the step fails: Add grows keys and slots when all 10 slots are used,
  // then takes its item, from a new chunk of items once the first 8 are used.
  const struct {
    const char* what;
    bool alloc;       // Alloc(1000), or the Add of one more element
    unsigned prefill; // elements added before the step
    long n;
  } cases[] = {
      {"Add: the item chunk", false, 8, 1},   {"Add: the key block", false, 10, 1},
      {"Add: the slot buffer", false, 10, 2}, {"Alloc: the key block", true, 7, 1},
      {"Alloc: the slot buffer", true, 7, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StringArrayProbe array;
    const unsigned prefill = c.prefill;
    for (unsigned i = 0; i < prefill; ++i) {
      ASSERT_EQ(array.Add(texts[i], nullptr), 1);
    }
    {
      kqtest::ScopedFault fault(c.n);
      EXPECT_EQ(c.alloc ? array.Alloc(1000) : array.Add(texts[prefill], nullptr), 0);
      EXPECT_TRUE(kqtest::FaultHappened());
    }
    EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
    EXPECT_EQ(array.Capacity(), 10u);
    expectAllFound(array);
    if (c.alloc) {
      EXPECT_EQ(array.Alloc(1000), 1);
    }
    for (unsigned i = prefill; i < texts.size(); ++i) {
      ASSERT_EQ(array.Add(texts[i], nullptr), 1);
    }
    EXPECT_EQ(array.Capacity(), c.alloc ? 1000u : 40u);
    expectAllFound(array);
  }
}

TEST(GrowthOverflow, SlotCountWhoseByteSizeOverflowsFails) {
  if (sizeof(void*) > 4) {
    GTEST_SKIP() << "32-bit targets only: with 8-byte slots no 32-bit slot count overflows";
  }
  PtrArrayProbe array;
  array.Add(P(5), nullptr);
  EXPECT_EQ(array.Alloc(0x40000000u), 0);
  EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
  EXPECT_EQ(array.Capacity(), 10u);
  EXPECT_EQ(array.GetAt(0), P(5));
}
