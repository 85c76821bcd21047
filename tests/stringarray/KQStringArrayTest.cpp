// CKQStringArray core: sorted and unsorted insertion, index access, replacement, removal, and
// the protected helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

TEST(KQStringArray, NewArraysAreEmptyWithTheirFlag) {
  for (int flag : {0, 1, 7}) {
    StringArrayProbe array(flag);
    EXPECT_EQ(array.IsSorted(), flag);
    EXPECT_EQ(array.GetSize(), 0u);
    EXPECT_EQ(array.IsEmpty(), 1);
    EXPECT_EQ(array.Capacity(), 10u);
    EXPECT_EQ(array.Dump(), 0);
    EXPECT_EQ(Code(array), 0u);
  }
  CKQStringArray defaulted;
  EXPECT_EQ(defaulted.IsSorted(), 0);
}

// The constructor is explicit on purpose (a deliberate deviation the README lists): no int turns
// into an array, so `a = 1;` cannot empty `a` by assigning a new sorted array.
static_assert(!std::is_convertible_v<int, CKQStringArray>, "CKQStringArray s = 1; compiles");
static_assert(std::is_constructible_v<CKQStringArray, int>);

TEST(KQStringArray, InsertionOrderAndWrittenPositions) {
  struct Case {
    int sorted;
    Strings added;
    std::vector<unsigned> positions;
    Strings result;
  };
  const Case cases[] = {
      {1, {"b", "A", "c"}, {0, 0, 2}, {"A", "b", "c"}},
      {1, {"abc", "ABC"}, {0, 0}, {"ABC", "abc"}},
      {7, {"abc", "ABC", "Abc", "b"}, {0, 0, 0, 3}, {"Abc", "ABC", "abc", "b"}},
      {0, {"abc", "ABC", "a"}, {0, 1, 2}, {"abc", "ABC", "a"}},
      {1, {"", "x", ""}, {0, 1, 0}, {"", "", "x"}},
      // Lowered code points decide: 'z' (U+007A) sorts before 'é' (U+00E9).
      {1, {"Élan", "elan", "zeta", "éclair"}, {0, 0, 1, 2}, {"elan", "zeta", "éclair", "Élan"}},
  };
  for (const Case& c : cases) {
    CKQStringArray array(c.sorted);
    std::vector<unsigned> positions;
    for (const std::string& text : c.added) {
      unsigned index = KQ_NO_INDEX;
      EXPECT_EQ(array.Add(S(text.c_str()), &index), 1);
      EXPECT_EQ(Code(array), ERROR_SUCCESS);
      positions.push_back(index);
    }
    EXPECT_EQ(positions, c.positions) << "sorted=" << c.sorted << " first=" << c.added[0];
    EXPECT_EQ(Texts(array), c.result);
  }
}

// Every position written through `index` matches a plain linear model of the insertion rule,
// over many texts that are equal without regard to case.
TEST(KQStringArray, SortedPositionsMatchALinearModel) {
  const char* const pool[] = {"abc",
                              "ABC",
                              "Abc",
                              "ab",
                              "AB",
                              "b",
                              "B",
                              "",
                              "éa",
                              "ÉA",
                              "Ωx",
                              "ωX",
                              "a\xF0\x90\x90\x80",
                              "A\xF0\x90\x90\xA8"};
  std::mt19937 random(20261210);
  CKQStringArray array(1);
  std::vector<CKQString> model;
  for (int step = 0; step < 600; ++step) {
    const CKQString text = S(pool[random() % std::size(pool)]);
    unsigned index = KQ_NO_INDEX;
    ASSERT_EQ(array.Add(text, &index), 1);
    unsigned expected = 0;
    while (expected < model.size() && model[expected].CompareNoCase(text) < 0) {
      ++expected;
    }
    model.insert(model.begin() + expected, text);
    ASSERT_EQ(index, expected) << "step " << step;
  }
  for (unsigned i = 0; i < model.size(); ++i) {
    ASSERT_EQ(array[i].Compare(model[i]), 0) << "element " << i;
  }
}

TEST(KQStringArray, GrowthKeepsElementsAndText) {
  StringArrayProbe array;
  for (int i = 0; i < 41; ++i) {
    array.Add(S(("Item" + std::to_string(i)).c_str()), nullptr);
  }
  EXPECT_EQ(array.Capacity(), 80u);
  for (unsigned i = 0; i < 41; ++i) {
    ASSERT_EQ(array.GetAt(i).ToUtf8(), "Item" + std::to_string(i)) << "case is kept";
  }
  EXPECT_EQ(array.Alloc(3), 1);
  EXPECT_EQ(array.Capacity(), 80u);
}

TEST(KQStringArray, BadIndicesAndSortedSetAt) {
  CKQStringArray unsorted;
  CKQStringArray sorted(1);
  Fill(unsorted, {"a", "b"});
  Fill(sorted, {"a", "b"});
  for (CKQStringArray* array : {&unsorted, &sorted}) {
    for (unsigned bad : {2u, KQ_NO_INDEX}) {
      array->GetErrorState().SetError(0);
      EXPECT_EQ(array->operator[](bad).GetLength(), 0u);
      EXPECT_EQ(Code(*array), 0u) << "operator[] records nothing";
      EXPECT_EQ(array->GetAt(bad).GetLength(), 0u);
      EXPECT_EQ(Code(*array), ERROR_INVALID_INDEX);
      array->GetErrorState().SetError(0);
      EXPECT_EQ(array->SetAt(bad, S("z")), 0);
      EXPECT_EQ(Code(*array), ERROR_INVALID_INDEX) << "the index is tested before the order";
      array->GetErrorState().SetError(0);
      EXPECT_EQ(array->RemoveAt(bad), 0);
      EXPECT_EQ(Code(*array), ERROR_INVALID_INDEX);
    }
  }
  EXPECT_EQ(sorted.SetAt(0, S("z")), 0);
  EXPECT_EQ(Code(sorted), ERROR_INVALID_STATE);
  EXPECT_EQ(Texts(sorted), (Strings{"a", "b"}));
}

TEST(KQStringArray, SetAtReplacesTextAndKeyInPlace) {
  CKQStringArray array;
  Fill(array, {"one", "two", "three"});
  array.GetErrorState().SetError(ERROR_NOT_FOUND);
  EXPECT_EQ(array.SetAt(1, S("ZWEI")), 1);
  EXPECT_EQ(Code(array), ERROR_NOT_FOUND) << "a successful SetAt records nothing";
  EXPECT_EQ(Texts(array), (Strings{"one", "ZWEI", "three"}));
  EXPECT_EQ(array.FindString(S("zwei"), 1), 1u) << "the element carries the new key";
  EXPECT_EQ(array.FindString(S("two"), 1), KQ_NO_INDEX);
}

TEST(KQStringArray, RemoveAtAndRemoveAll) {
  CKQStringArray array;
  Fill(array, {"a", "b", "c"});
  array.GetErrorState().SetError(ERROR_NOT_FOUND);
  EXPECT_EQ(array.RemoveAt(0), 1);
  EXPECT_EQ(Code(array), ERROR_SUCCESS);
  EXPECT_EQ(array.GetAt(0).ToUtf8(), "b");
  EXPECT_EQ(array.GetSize(), 2u);
  EXPECT_EQ(array.RemoveAt(1), 1);
  EXPECT_EQ(Texts(array), (Strings{"b"}));

  StringArrayProbe big;
  for (int i = 0; i < 25; ++i) {
    big.Add(S("x"), nullptr);
  }
  big.GetErrorState().SetError(ERROR_NOT_FOUND);
  EXPECT_EQ(big.RemoveAll(), 1);
  EXPECT_EQ(big.GetSize(), 0u);
  EXPECT_EQ(big.Capacity(), 40u);
  EXPECT_EQ(Code(big), ERROR_NOT_FOUND);
  EXPECT_EQ(big.RemoveAll(), 1);
}

TEST(KQStringArray, CopiesOutAreIndependentOfTheArray) {
  CKQStringArray array;
  Fill(array, {"keep me"});
  CKQString copy = array.GetAt(0);
  CKQString other = array[0];
  array.SetAt(0, S("changed"));
  array.RemoveAll();
  EXPECT_EQ(copy.ToUtf8(), "keep me");
  copy.MakeLower();
  EXPECT_EQ(other.ToUtf8(), "keep me");
}

TEST(KQStringArray, ProtectedHelpers) {
  StringArrayProbe sorted(1);
  Fill(sorted, {"b", "d"});
  const struct {
    const char* text;
    unsigned position;
  } positions[] = {{"a", 0}, {"B", 0}, {"c", 1}, {"D", 1}, {"e", 2}};
  for (const auto& p : positions) {
    CKQString text = S(p.text);
    EXPECT_EQ(sorted.FindItemPosition(&text), p.position) << p.text;
  }
  StringArrayProbe unsorted;
  Fill(unsorted, {"b", "d"});
  CKQString a = S("a");
  EXPECT_EQ(unsorted.FindItemPosition(&a), 2u) << "unsorted arrays insert at the end";

  // GetCRC hashes the text as given: both bytes of every unit, no lowering.
  const struct {
    const char* text;
    std::uint32_t crc;
  } crcs[] = {{"", 0u}, {"abc", 0xAD957AB0u}};
  for (const auto& c : crcs) {
    EXPECT_EQ(sorted.GetCRC(S(c.text)), c.crc) << c.text;
  }
  EXPECT_NE(sorted.GetCRC(S("ABC")), 0xAD957AB0u);
  EXPECT_EQ(sorted.GetCRC(S("123456789")), sorted.GetCRC(S("123456789")));

  // CreateInsertionPoint at the count moves nothing.
  unsorted.CreateInsertionPoint(unsorted.GetSize());
  EXPECT_EQ(Texts(unsorted), (Strings{"b", "d"}));
}

TEST(KQStringArray, ConcurrentAddsAndRemovesKeepOrderAndCount) {
  CKQStringArray array(1);
  constexpr int kThreads = 4;
  constexpr int kRounds = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&array, t] {
      std::mt19937 random(static_cast<unsigned>(t));
      for (int i = 0; i < kRounds; ++i) {
        std::string text = "w" + std::to_string(random() % 50);
        if (i % 3 == 0) {
          text[0] = 'W';
        }
        array.Add(S(text.c_str()), nullptr);
        if (i % 2 == 1) {
          array.RemoveAt(0);
        }
        (void)array.GetAt(0);
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  ASSERT_EQ(array.GetSize(), static_cast<unsigned>(kThreads * kRounds / 2));
  for (unsigned i = 1; i < array.GetSize(); ++i) {
    ASSERT_LE(array[i - 1].CompareNoCase(array[i]), 0) << "order broken at " << i;
  }
}
