// CKQStringArray whole-array operations: order and sorted flags, error states, independence of
// the copies, and an array used on both sides.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestSupport.h"

using namespace kqtest;

TEST(KQStringArrayCopy, AppendAppliesTheTargetsOrder) {
  CKQStringArray source;
  Fill(source, {"b", "a"});
  CKQStringArray unsorted;
  CKQStringArray sorted(1);
  EXPECT_EQ(unsorted.Append(source), 1);
  EXPECT_EQ(sorted.Append(source), 1);
  EXPECT_EQ(Texts(unsorted), (Strings{"b", "a"}));
  EXPECT_EQ(Texts(sorted), (Strings{"a", "b"}));
  sorted += source;
  EXPECT_EQ(Texts(sorted), (Strings{"a", "a", "b", "b"}));
  EXPECT_EQ(Texts(source), (Strings{"b", "a"}));
}

TEST(KQStringArrayCopy, CopiesOfASortedArrayReverseEqualWithoutCaseStrings) {
  CKQStringArray source(1);
  Fill(source, {"abc", "ABC"}); // stored as ABC, abc
  ASSERT_EQ(Texts(source), (Strings{"ABC", "abc"}));
  CKQStringArray copied(source);
  CKQStringArray assigned;
  assigned = source;
  EXPECT_EQ(Texts(copied), (Strings{"abc", "ABC"}));
  EXPECT_EQ(Texts(assigned), (Strings{"abc", "ABC"}));
  EXPECT_EQ(assigned.IsSorted(), 1);
}

TEST(KQStringArrayCopy, SortedFlagAndErrorStateRules) {
  CKQStringArray source(7);
  Fill(source, {"x", "y"});
  source.FindString(S("absent"), 1); // records ERROR_NOT_FOUND in the source

  CKQStringArray copied(source);
  EXPECT_EQ(copied.IsSorted(), 7);
  EXPECT_EQ(Code(copied), ERROR_SUCCESS) << "a fresh error state, then its own insertions";

  CKQStringArray assigned;
  CKQStringArray& result = (assigned = source);
  EXPECT_EQ(&result, &assigned);
  EXPECT_EQ(assigned.IsSorted(), 7) << "assignment takes the source's flag";
  EXPECT_EQ(Code(assigned), ERROR_NOT_FOUND) << "and, last, the source's recorded code";

  CKQStringArray target;
  Fill(target, {"old"});
  EXPECT_EQ(target.Copy(source), 1);
  EXPECT_EQ(target.IsSorted(), 0) << "Copy keeps the target's flag";
  EXPECT_EQ(Texts(target), (Strings{"x", "y"}));
}

TEST(KQStringArrayCopy, ConcatenationLeavesBothOperandsAlone) {
  CKQStringArray left(1);
  Fill(left, {"m", "c"});
  CKQStringArray right;
  Fill(right, {"z", "a"});
  const CKQStringArray& constLeft = left;
  CKQStringArray sum = constLeft + right;
  EXPECT_EQ(sum.IsSorted(), 1);
  EXPECT_EQ(Texts(sum), (Strings{"a", "c", "m", "z"}));
  EXPECT_EQ(Texts(left), (Strings{"c", "m"}));
  EXPECT_EQ(Texts(right), (Strings{"z", "a"}));

  CKQStringArray unsortedSum = right + left;
  EXPECT_EQ(unsortedSum.IsSorted(), 0);
  EXPECT_EQ(Texts(unsortedSum), (Strings{"z", "a", "c", "m"}));
}

TEST(KQStringArrayCopy, CopiesShareNothing) {
  CKQStringArray source;
  Fill(source, {"one", "two"});
  CKQStringArray assigned;
  assigned = source;
  CKQStringArray copied(source);
  source.RemoveAt(0);
  source.SetAt(0, S("changed"));
  EXPECT_EQ(Texts(assigned), (Strings{"one", "two"}));
  EXPECT_EQ(Texts(copied), (Strings{"one", "two"}));
  EXPECT_EQ(assigned.FindString(S("TWO"), 1), 1u) << "the copy has keys of its own";
}

// Using an array on both sides keeps the caller's data: Copy and assignment change nothing, and
// Append adds the elements present at the start once each.
TEST(KQStringArrayCopy, AnArrayOnBothSides) {
  for (int sorted : {0, 1}) {
    CKQStringArray array(sorted);
    Fill(array, {"b", "A", "c"});
    const Strings before = Texts(array);
    array.GetErrorState().SetError(ERROR_NOT_FOUND);

    EXPECT_EQ(array.Copy(array), 1);
    CKQStringArray& self = array;
    array = self;
    EXPECT_EQ(Texts(array), before) << "sorted=" << sorted;
    EXPECT_EQ(Code(array), ERROR_NOT_FOUND);

    EXPECT_EQ(array.Append(array), 1);
    array += array;
    EXPECT_EQ(array.GetSize(), 12u);
    if (sorted != 0) {
      EXPECT_EQ(Texts(array),
                (Strings{"A", "A", "A", "A", "b", "b", "b", "b", "c", "c", "c", "c"}));
    } else {
      EXPECT_EQ(Texts(array),
                (Strings{"b", "A", "c", "b", "A", "c", "b", "A", "c", "b", "A", "c"}));
    }
  }
}
