// CKQPtrArray: insertion and growth, index access, removal, search, copies and their error
// states, and concurrent writers.
#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

// An array holding P(1) .. P(n).
void Fill(CKQPtrArray& array, unsigned n) {
  for (unsigned i = 1; i <= n; ++i) {
    ASSERT_EQ(array.Add(P(i), nullptr), 1);
  }
}

} // namespace

TEST(KQPtrArray, NewArrayIsEmptyWithTenSlots) {
  PtrArrayProbe array;
  EXPECT_EQ(array.GetSize(), 0u);
  EXPECT_EQ(array.IsEmpty(), 1);
  EXPECT_EQ(array.Capacity(), 10u);
  EXPECT_EQ(array.Dump(), 0);
}

TEST(KQPtrArray, AddWritesIndicesAndRecordsSuccess) {
  CKQPtrArray array;
  array.GetErrorState().SetError(1413);
  unsigned index = 99;
  EXPECT_EQ(array.Add(P(7), &index), 1);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(Code(array), ERROR_SUCCESS);
  EXPECT_EQ(array.Add(nullptr, &index), 1) << "null is an ordinary value";
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(array.Add(P(9), nullptr), 1);
  EXPECT_EQ(Contents(array), (std::vector<void*>{P(7), nullptr, P(9)}));
  EXPECT_EQ(array.IsEmpty(), 0);
}

TEST(KQPtrArray, GrowsByDoublingAndKeepsOrder) {
  PtrArrayProbe array;
  const unsigned expected[][2] = {{10, 10}, {11, 20}, {20, 20}, {21, 40}, {41, 80}};
  unsigned added = 0;
  for (const auto& [count, capacity] : expected) {
    while (added < count) {
      ASSERT_EQ(array.Add(P(++added), nullptr), 1);
    }
    EXPECT_EQ(array.Capacity(), capacity) << "after " << count << " elements";
  }
  for (unsigned i = 0; i < added; ++i) {
    ASSERT_EQ(array.GetAt(i), P(i + 1));
  }
  EXPECT_EQ(array.Alloc(5), 1) << "Alloc never shrinks";
  EXPECT_EQ(array.Capacity(), 80u);
}

TEST(KQPtrArray, BadIndexIsReportedPerMember) {
  CKQPtrArray array;
  Fill(array, 3);
  for (unsigned bad : {3u, 4u, KQ_NO_INDEX}) {
    array.GetErrorState().SetError(0);
    EXPECT_EQ(array[bad], nullptr);
    EXPECT_EQ(Code(array), 0u) << "operator[] records nothing";
    EXPECT_EQ(array.GetAt(bad), nullptr);
    EXPECT_EQ(Code(array), ERROR_INVALID_INDEX);
    array.GetErrorState().SetError(0);
    EXPECT_EQ(array.SetAt(bad, P(5)), 0);
    EXPECT_EQ(Code(array), ERROR_INVALID_INDEX);
    array.GetErrorState().SetError(0);
    EXPECT_EQ(array.RemoveAt(bad), 0);
    EXPECT_EQ(Code(array), ERROR_INVALID_INDEX);
  }
  EXPECT_EQ(Contents(array), (std::vector<void*>{P(1), P(2), P(3)}));
}

TEST(KQPtrArray, SuccessfulReadsAndChangesKeepThePreviousCode) {
  CKQPtrArray array;
  Fill(array, 3);
  array.GetErrorState().SetError(1168);
  EXPECT_EQ(array.GetAt(1), P(2));
  EXPECT_EQ(array.SetAt(1, nullptr), 1);
  EXPECT_EQ(array.GetAt(1), nullptr);
  EXPECT_EQ(array.RemoveAt(0), 1);
  EXPECT_EQ(array.RemoveAll(), 1);
  EXPECT_EQ(Code(array), 1168u);
}

TEST(KQPtrArray, RemoveAtMovesLaterElementsDown) {
  struct Case {
    unsigned index;
    std::vector<void*> left;
  };
  const Case cases[] = {{0, {P(2), P(3)}}, {1, {P(1), P(3)}}, {2, {P(1), P(2)}}};
  for (const Case& c : cases) {
    CKQPtrArray array;
    Fill(array, 3);
    EXPECT_EQ(array.RemoveAt(c.index), 1);
    EXPECT_EQ(Contents(array), c.left) << "RemoveAt(" << c.index << ")";
  }
}

TEST(KQPtrArray, RemoveAllKeepsTheCapacity) {
  PtrArrayProbe array;
  Fill(array, 25);
  EXPECT_EQ(array.RemoveAll(), 1);
  EXPECT_EQ(array.GetSize(), 0u);
  EXPECT_EQ(array.Capacity(), 40u);
  EXPECT_EQ(array.RemoveAll(), 1);
}

TEST(KQPtrArray, FindReturnsTheFirstMatchOrNotFound) {
  CKQPtrArray array;
  EXPECT_EQ(array.Find(P(1)), KQ_NO_INDEX);
  EXPECT_EQ(Code(array), ERROR_NOT_FOUND);
  for (std::uintptr_t v : {5, 6, 5, 0}) {
    array.Add(P(v), nullptr);
  }
  EXPECT_EQ(array.Find(P(5)), 0u);
  EXPECT_EQ(Code(array), ERROR_SUCCESS);
  EXPECT_EQ(array.Find(nullptr), 3u);
  EXPECT_EQ(array.Find(P(7)), KQ_NO_INDEX);
  EXPECT_EQ(Code(array), ERROR_NOT_FOUND);
}

TEST(KQPtrArray, CopyConstructorStartsAFreshErrorState) {
  PtrArrayProbe source;
  Fill(source, 25);
  source.GetErrorState().SetError(ERROR_NOT_FOUND);
  PtrArrayProbe copy(source);
  EXPECT_EQ(Code(copy), 0u);
  EXPECT_EQ(copy.Capacity(), 40u) << "the copy reserves the source's capacity";
  EXPECT_EQ(Contents(copy), Contents(source));
  source.SetAt(0, P(100));
  source.RemoveAt(1);
  EXPECT_EQ(copy.GetAt(0), P(1));
  EXPECT_EQ(copy.GetSize(), 25u);
}

TEST(KQPtrArray, AssignmentCopiesContentsAndRecordedCode) {
  CKQPtrArray source;
  Fill(source, 12);
  source.Find(P(99)); // records ERROR_NOT_FOUND
  CKQPtrArray target;
  Fill(target, 30);
  target = source;
  EXPECT_EQ(Code(target), ERROR_NOT_FOUND);
  EXPECT_EQ(Contents(target), Contents(source));
  source.RemoveAll();
  source.Add(P(42), nullptr);
  EXPECT_EQ(target.GetSize(), 12u) << "the arrays share nothing afterwards";
  EXPECT_EQ(target.GetAt(0), P(1));

  CKQPtrArray& alias = target; // assigning through a reference, as real self-assignment happens
  target = alias;
  EXPECT_EQ(target.GetSize(), 12u) << "self-assignment leaves the array unchanged";
}

// The copy only reads its source: a const source and a non-const one give the same copy, and
// the source keeps its elements and its recorded code.
TEST(KQPtrArray, CopiesOfConstAndNonConstArraysAgree) {
  for (unsigned count : {0u, 3u, 25u}) {
    SCOPED_TRACE(count);
    CKQPtrArray source;
    Fill(source, count);
    source.GetErrorState().SetError(ERROR_NOT_FOUND);
    const std::vector<void*> contents = Contents(source);
    const CKQPtrArray& view = source;
    CKQPtrArray fromConst(view);
    CKQPtrArray fromMutable(source);
    for (CKQPtrArray* copy : {&fromConst, &fromMutable}) {
      EXPECT_EQ(Contents(*copy), contents);
      EXPECT_EQ(Code(*copy), 0u) << "a fresh error state";
      EXPECT_EQ(copy->Add(P(99), nullptr), 1) << "the copy grows on its own";
    }
    EXPECT_EQ(Contents(source), contents);
    EXPECT_EQ(Code(source), ERROR_NOT_FOUND);
  }
}

// A move hands the slots over: the new array has the elements and the capacity, with a fresh
// error state; the source is empty with no slots, answers every call as an empty array does,
// and its next Add reserves 10 slots afresh.
TEST(KQPtrArray, MoveConstructionTakesTheSlotsAndLeavesTheSourceUsable) {
  PtrArrayProbe source;
  Fill(source, 25);
  source.GetErrorState().SetError(ERROR_NOT_FOUND);
  const std::vector<void*> contents = Contents(source);

  PtrArrayProbe moved(std::move(source));
  EXPECT_EQ(Contents(moved), contents);
  EXPECT_EQ(moved.Capacity(), 40u);
  EXPECT_EQ(Code(moved), 0u) << "a fresh error state";

  // NOLINTBEGIN(bugprone-use-after-move,clang-analyzer-cplusplus.Move): the moved-from state is
  // what is tested
  EXPECT_EQ(Code(source), ERROR_NOT_FOUND) << "the source's error state stays";
  EXPECT_EQ(source.GetSize(), 0u);
  EXPECT_EQ(source.IsEmpty(), 1);
  EXPECT_EQ(source.Capacity(), 0u);
  EXPECT_EQ(source.begin(), source.end());
  EXPECT_EQ(source[0], nullptr);
  EXPECT_EQ(source.GetAt(0), nullptr);
  EXPECT_EQ(Code(source), ERROR_INVALID_INDEX);
  EXPECT_EQ(source.Find(P(1)), KQ_NO_INDEX);
  EXPECT_EQ(source.RemoveAt(0), 0);
  EXPECT_EQ(source.RemoveAll(), 1);
  const PtrArrayProbe copyOfEmpty(source);
  EXPECT_EQ(copyOfEmpty.GetSize(), 0u);

  // Moving a moved-from array hands over nothing and leaves both usable.
  PtrArrayProbe again(std::move(source));
  for (PtrArrayProbe* usable : {&source, &again}) {
    EXPECT_EQ(usable->Add(P(7), nullptr), 1);
    EXPECT_EQ(Contents(*usable), std::vector<void*>{P(7)});
    EXPECT_EQ(usable->Capacity(), 10u) << "slots reserved afresh";
  }
  // NOLINTEND(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
}

// Move assignment swaps the frames: the target takes the source's elements, capacity and
// recorded code, and the source keeps the target's former slots, empty, to grow into.
TEST(KQPtrArray, MoveAssignmentTakesTheElementsAndCodeAndHandsBackTheSlots) {
  PtrArrayProbe source;
  Fill(source, 5);
  source.Find(P(99)); // records ERROR_NOT_FOUND
  PtrArrayProbe target;
  Fill(target, 30);

  CKQPtrArray& base = target;
  CKQPtrArray& result = (base = std::move(static_cast<CKQPtrArray&>(source)));
  EXPECT_EQ(&result, &base);
  EXPECT_EQ(Contents(target), (std::vector<void*>{P(1), P(2), P(3), P(4), P(5)}));
  EXPECT_EQ(target.Capacity(), 10u);
  EXPECT_EQ(Code(target), ERROR_NOT_FOUND);

  // NOLINTBEGIN(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
  EXPECT_EQ(source.GetSize(), 0u);
  EXPECT_EQ(source.Capacity(), 40u) << "the target's former slots";
  Fill(source, 40);
  EXPECT_EQ(source.Capacity(), 40u) << "room without growing";
  // NOLINTEND(bugprone-use-after-move,clang-analyzer-cplusplus.Move)

  CKQPtrArray& alias = target;
  base = std::move(alias);
  EXPECT_EQ(target.GetSize(), 5u) << "self-move changes nothing";
  EXPECT_EQ(Code(target), ERROR_NOT_FOUND);
}

// Opposite moves between two arrays on two threads: the locks are taken in one order, so the
// threads never wait for each other in a cycle.
TEST(KQPtrArray, OppositeMovesOnTwoThreadsDoNotDeadlock) {
  CKQPtrArray a;
  CKQPtrArray b;
  Fill(a, 1);
  constexpr int kRounds = 20000;
  // NOLINTBEGIN(bugprone-use-after-move): moved-from arrays are usable, and used here
  std::thread left([&] {
    for (int i = 0; i < kRounds; ++i) {
      a = std::move(b);
    }
  });
  std::thread right([&] {
    for (int i = 0; i < kRounds; ++i) {
      b = std::move(a);
    }
  });
  // NOLINTEND(bugprone-use-after-move)
  left.join();
  right.join();
  EXPECT_LE(a.GetSize() + b.GetSize(), 1u);
}

TEST(KQPtrArray, ConcurrentWritersKeepTheCount) {
  CKQPtrArray array;
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&array, t] {
      for (int i = 0; i < kRounds; ++i) {
        array.Add(P(static_cast<std::uintptr_t>(t + 1)), nullptr);
        if (i % 2 == 1) {
          array.RemoveAt(0); // valid: this thread added at least one element that still counts
        }
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(array.GetSize(), static_cast<unsigned>(kThreads * kRounds / 2));
  for (unsigned i = 0; i < array.GetSize(); ++i) {
    const auto value = reinterpret_cast<std::uintptr_t>(array[i]);
    ASSERT_TRUE(value >= 1 && value <= kThreads) << "slot " << i;
  }
}
