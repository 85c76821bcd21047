// CKQUintArray: the pointer array's behaviour with unsigned 32-bit values, including the values
// that double as "bad index" and "not found" answers.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQTestSupport.h"

using namespace kqtest;

TEST(KQUintArray, StoresFullRangeValuesUnchanged) {
  CKQUintArray array;
  const unsigned values[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
  for (unsigned v : values) {
    unsigned index = 0;
    ASSERT_EQ(array.Add(v, &index), 1);
    EXPECT_EQ(array.GetAt(index), v);
  }
  for (unsigned i = 0; i < 5; ++i) {
    EXPECT_EQ(array[i], values[i]);
    EXPECT_EQ(array.Find(values[i]), i);
    EXPECT_EQ(Code(array), ERROR_SUCCESS);
  }
  EXPECT_EQ(array.SetAt(0, 42u), 1);
  EXPECT_EQ(array.GetAt(0), 42u);
}

TEST(KQUintArray, ZeroAndAllOnesAreToldApartByCodeAndSize) {
  CKQUintArray array;
  array.Add(0u);
  EXPECT_EQ(array.GetAt(0), 0u);
  EXPECT_EQ(Code(array), ERROR_SUCCESS) << "a good GetAt records nothing";
  EXPECT_EQ(array.GetAt(1), 0u);
  EXPECT_EQ(Code(array), ERROR_INVALID_INDEX);
  EXPECT_EQ(array[1], 0u);

  EXPECT_EQ(array.Find(0xFFFFFFFFu), KQ_NO_INDEX);
  EXPECT_EQ(Code(array), ERROR_NOT_FOUND);
  array.Add(0xFFFFFFFFu);
  EXPECT_EQ(array.Find(0xFFFFFFFFu), 1u);
  EXPECT_EQ(Code(array), ERROR_SUCCESS);
}

TEST(KQUintArray, CopiesFollowThePointerArrayRules) {
  CKQUintArray source;
  for (unsigned i = 0; i < 11; ++i) {
    source.Add(i);
  }
  source.Find(99);
  CKQUintArray copy(source);
  EXPECT_EQ(Code(copy), 0u);
  CKQUintArray assigned;
  CKQUintArray& result = (assigned = source);
  EXPECT_EQ(&result, &assigned);
  EXPECT_EQ(Code(assigned), ERROR_NOT_FOUND);
  source.RemoveAt(0);
  for (CKQUintArray* array : {&copy, &assigned}) {
    ASSERT_EQ(array->GetSize(), 11u);
    EXPECT_EQ(array->GetAt(0), 0u);
    EXPECT_EQ(array->GetAt(10), 10u);
  }
}

// Copies from const arrays and moves keep every value, as the pointer array's do.
TEST(KQUintArray, ConstCopiesAndMovesKeepTheValues) {
  CKQUintArray source;
  for (unsigned v : {0u, 7u, 0xFFFFFFFFu}) {
    source.Add(v);
  }
  const std::vector<unsigned> values{0u, 7u, 0xFFFFFFFFu};
  const auto valuesOf = [](const CKQUintArray& array) {
    return std::vector<unsigned>(array.begin(), array.end());
  };
  const CKQUintArray& view = source;
  const CKQUintArray copy(view);
  EXPECT_EQ(valuesOf(copy), values);

  CKQUintArray moved(std::move(source));
  EXPECT_EQ(valuesOf(moved), values);
  // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move): moved-from is usable
  EXPECT_EQ(source.GetSize(), 0u);

  CKQUintArray assigned;
  assigned.Add(42u);
  moved.Find(5u); // records ERROR_NOT_FOUND
  CKQUintArray& result = (assigned = std::move(moved));
  EXPECT_EQ(&result, &assigned);
  EXPECT_EQ(valuesOf(assigned), values);
  EXPECT_EQ(Code(assigned), ERROR_NOT_FOUND) << "move assignment takes the recorded code";
  EXPECT_EQ(moved.Add(3u), 1); // NOLINT(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
  EXPECT_EQ(valuesOf(moved), std::vector<unsigned>{3u});
}
