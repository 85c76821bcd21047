// Moves (of every array, and of temporaries handed to Append and Copy), Reserve and the view
// overloads under the fault injector: what allocates, and what a failed allocation leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "KQFaultInjection.h"
#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

class KQArrayAllocation : public ::testing::Test {
protected:
  void SetUp() override {
    if (!kqtest::FaultInjectionSupported()) {
      GTEST_SKIP() << "fault injection needs an ELF target";
    }
    m_liveBefore = kqtest::LiveAllocations();
  }
  void TearDown() override {
    if (kqtest::FaultInjectionSupported()) {
      EXPECT_EQ(kqtest::LiveAllocations(), m_liveBefore) << "blocks leaked or released twice";
    }
  }

private:
  long m_liveBefore = 0;
};

// Counts the allocations `action` makes (no failure is armed within reach).
template <typename Action> long CountAllocations(Action&& action) {
  kqtest::FailNthAllocation(1000000);
  action();
  return kqtest::DisarmFaults();
}

// Runs `attempt` with the N-th allocation failing for N = 1, 2, ... until it succeeds; `check`
// sees the state after every failure.  Returns the number of failures seen.
template <typename Attempt, typename Check> int SweepFailures(Attempt&& attempt, Check&& check) {
  for (long n = 1; n < 100; ++n) {
    int result = 0;
    {
      kqtest::ScopedFault fault(n);
      result = attempt();
      if (!kqtest::FaultHappened()) {
        EXPECT_EQ(result, 1) << "no failure, yet no success at N=" << n;
        return static_cast<int>(n - 1);
      }
    }
    EXPECT_EQ(result, 0) << "N=" << n;
    check(n);
  }
  ADD_FAILURE() << "never succeeded";
  return 0;
}

TEST_F(KQArrayAllocation, MovesAllocateNothing) {
  CKQStringArray source(1);
  for (int i = 0; i < 1000; ++i) {
    source.Add(CKQString::FromUtf8("word" + std::to_string(i)));
  }
  CKQStringArray target;
  const long count = CountAllocations([&] {
    CKQStringArray moved(std::move(source));
    target = std::move(moved);
  });
  EXPECT_EQ(count, 0);
  EXPECT_EQ(target.GetSize(), 1000u);
  EXPECT_EQ(target.IsSorted(), 1);
}

// A moved-from array has no slots: its next Add gets them (a storage cell of its own and a slot
// buffer) and fails cleanly at each of those allocations.
TEST_F(KQArrayAllocation, AddToAMovedFromArraySurvivesEveryFailure) {
  StringArrayProbe source(1);
  Fill(source, {"x"});
  StringArrayProbe moved(std::move(source));
  const CKQString text(u"fresh");
  // NOLINTBEGIN(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
  const int failures = SweepFailures([&] { return source.Add(text); },
                                     [&](long n) {
                                       EXPECT_EQ(Code(source), ERROR_OUTOFMEMORY) << "N=" << n;
                                       EXPECT_EQ(source.GetSize(), 0u) << "N=" << n;
                                     });
  EXPECT_GE(failures, 2) << "the cell and the slot buffer at least";
  EXPECT_EQ(Texts(source), (std::vector<std::string>{"fresh"}));
  EXPECT_EQ(source.Capacity(), 10u);
  // NOLINTEND(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
}

// A temporary appended to (or copied into) an empty array in the same order hands its elements
// over: no string, item or slot is copied.
TEST_F(KQArrayAllocation, HandingATemporaryOverAllocatesNothing) {
  for (int sorted : {0, 1}) {
    CKQStringArray source(sorted);
    for (int i = 0; i < 100; ++i) {
      source.Add(CKQString::FromUtf8("word" + std::to_string(i)));
    }
    CKQStringArray appended(sorted);
    CKQStringArray copied(sorted);
    Fill(copied, {"dropped"});
    EXPECT_EQ(CountAllocations([&] { EXPECT_EQ(appended.Append(std::move(source)), 1); }), 0);
    EXPECT_EQ(appended.GetSize(), 100u);
    EXPECT_EQ(CountAllocations([&] { EXPECT_EQ(copied.Copy(std::move(appended)), 1); }), 0);
    EXPECT_EQ(copied.GetSize(), 100u);
    // word0, word1, word10 .. word19, word2, ...: word42 is the 38th in case-insensitive order.
    EXPECT_EQ(copied.FindString(u"WORD42", 1), sorted != 0 ? 37u : 42u);
  }
}

// Pointer-array moves allocate nothing either, so a std::vector of arrays grows by moving them:
// one allocation, the vector's own block, however many slots the arrays hold.
TEST_F(KQArrayAllocation, PointerArrayMovesAllocateNothing) {
  std::vector<CKQUintArray> arrays(4);
  for (CKQUintArray& array : arrays) {
    for (unsigned i = 0; i < 50; ++i) {
      array.Add(i);
    }
  }
  CKQUintArray extra;
  extra.Add(7u);
  ASSERT_EQ(arrays.capacity(), arrays.size());
  EXPECT_EQ(CountAllocations([&] { arrays.push_back(std::move(extra)); }), 1);
  EXPECT_EQ(arrays[3].GetAt(49), 49u);
  EXPECT_EQ(arrays[4].GetAt(0), 7u);
  EXPECT_EQ(CountAllocations([&] {
              CKQUintArray moved(std::move(arrays[0]));
              arrays[1] = std::move(moved);
            }),
            0);
  EXPECT_EQ(arrays[1].GetSize(), 50u);
}

// A moved-from pointer array has no slots: its next Add gets a storage cell of its own and a
// slot buffer, and fails cleanly at each of those allocations.
TEST_F(KQArrayAllocation, AddToAMovedFromPointerArraySurvivesEveryFailure) {
  PtrArrayProbe source;
  source.Add(P(1), nullptr);
  PtrArrayProbe moved(std::move(source));
  // NOLINTBEGIN(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
  const int failures = SweepFailures([&] { return source.Add(P(2), nullptr); },
                                     [&](long n) {
                                       EXPECT_EQ(Code(source), ERROR_OUTOFMEMORY) << "N=" << n;
                                       EXPECT_EQ(source.GetSize(), 0u) << "N=" << n;
                                     });
  EXPECT_EQ(failures, 2) << "the cell and the slot buffer";
  EXPECT_EQ(Contents(source), std::vector<void*>{P(2)});
  EXPECT_EQ(source.Capacity(), 10u);
  // NOLINTEND(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
}

TEST_F(KQArrayAllocation, FailedReserveKeepsTheSlots) {
  StringArrayProbe array;
  Fill(array, {"a", "b"});
  const unsigned capacity = array.Capacity();
  {
    kqtest::ScopedFault fault(1);
    EXPECT_EQ(array.Reserve(5000), 0);
  }
  EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
  EXPECT_EQ(array.Capacity(), capacity);
  EXPECT_EQ(Texts(array), (std::vector<std::string>{"a", "b"}));
  // Two blocks grow: the slot buffer and the key block beside it.
  EXPECT_EQ(CountAllocations([&] { EXPECT_EQ(array.Reserve(5000), 1); }), 2);
  EXPECT_EQ(array.Capacity(), 5000u);
}

// The view overloads copy the text inside the array: a failed copy is a result code, and the
// array is as before.
TEST_F(KQArrayAllocation, ViewOverloadsTurnFailedCopiesIntoResultCodes) {
  CKQStringArray array;
  // Eight elements use up the first chunk of items, so the next Add needs a new one too.
  Fill(array, {"kept", "b", "c", "d", "e", "f", "g", "h"});
  const std::u16string_view text = u"a text long enough to need its own buffer";
  unsigned index = KQ_NO_INDEX;
  const int addFailures = SweepFailures([&] { return array.Add(text, &index); },
                                        [&](long n) {
                                          EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY) << "N=" << n;
                                          EXPECT_EQ(array.GetSize(), 8u) << "N=" << n;
                                          EXPECT_EQ(index, KQ_NO_INDEX) << "N=" << n;
                                        });
  EXPECT_GE(addFailures, 2) << "the string and the item chunk at least";
  EXPECT_EQ(index, 8u);

  const int setFailures = SweepFailures([&] { return array.SetAt(0, u"replacement text"); },
                                        [&](long n) {
                                          EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY) << "N=" << n;
                                          EXPECT_EQ(array.GetAt(0), u"kept") << "N=" << n;
                                          EXPECT_EQ(array.FindString(u"KEPT", 1), 0u);
                                        });
  EXPECT_EQ(setFailures, 1);
  EXPECT_EQ(array.GetAt(0), u"replacement text");
}

} // namespace

namespace {

// Items come from chunks of the array's own: eight to the first chunk, a removed element's item
// is handed out again before fresh room, and RemoveAll gives every chunk back.  The texts are
// shared, so the only blocks counted are the chunks.
TEST_F(KQArrayAllocation, ItemsComeFromChunksThatRemoveAllFrees) {
  const CKQString text(u"shared text");
  CKQStringArray array;
  EXPECT_EQ(CountAllocations([&] { array.Add(text); }), 1) << "the first chunk";
  EXPECT_EQ(CountAllocations([&] {
              for (int i = 0; i < 7; ++i) {
                array.Add(text);
              }
            }),
            0)
      << "the first chunk holds 8 items";
  EXPECT_EQ(array.RemoveAt(3), 1);
  EXPECT_EQ(CountAllocations([&] { array.Add(u"again"); }), 1) << "the text only: item reused";
  EXPECT_EQ(CountAllocations([&] { array.Add(text); }), 1) << "a second chunk for the 9th";
  EXPECT_EQ(array.GetSize(), 9u);
  EXPECT_EQ(array.GetAt(7), u"again");
  const long live = kqtest::LiveAllocations();
  EXPECT_EQ(array.RemoveAll(), 1);
  EXPECT_EQ(kqtest::LiveAllocations(), live - 3) << "both chunks and the one text of its own";
  EXPECT_EQ(CountAllocations([&] { array.Add(text); }), 1) << "a fresh first chunk";
  EXPECT_EQ(array.GetAt(0), text);
}

} // namespace
