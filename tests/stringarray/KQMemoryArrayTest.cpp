// CKQStringArray flat arrays: layout, independence from the string array, read-only entries,
// refusals, and arrays released by another string array.
#include <gtest/gtest.h>

#include <string>

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestSupport.h"

using namespace kqtest;

TEST(KQMemoryArray, LayoutIsNullTerminatedCopiesInArrayOrder) {
  CKQStringArray array(1);
  Fill(array, {"Beta", "", "alpha", "\xF0\x90\x90\x80"});
  const unsigned short** flat = nullptr;
  ASSERT_EQ(array.CreateMemoryArray(&flat), 4);
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(Units(flat[0]), u"");
  EXPECT_EQ(flat[0][0], 0u) << "an empty element gives a single zero unit";
  EXPECT_EQ(Units(flat[1]), u"alpha");
  EXPECT_EQ(Units(flat[2]), u"Beta");
  EXPECT_EQ(Units(flat[3]), u"\U00010400");
  EXPECT_EQ(flat[4], nullptr);
  EXPECT_EQ(Code(array), 0u) << "nothing is recorded";

  array.RemoveAll(); // the flat array is the caller's: it outlives changes and the array
  EXPECT_EQ(Units(flat[2]), u"Beta");
  EXPECT_EQ(array.FreeMemoryArray(&flat), 1);
  EXPECT_EQ(flat, nullptr);
}

TEST(KQMemoryArray, EmptyArrayAndReleaseByAnotherArray) {
  const unsigned short** flat = nullptr;
  {
    CKQStringArray maker;
    EXPECT_EQ(maker.CreateMemoryArray(&flat), 0);
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(flat[0], nullptr);
  }
  CKQStringArray releaser;
  EXPECT_EQ(releaser.FreeMemoryArray(&flat), 1);
  EXPECT_EQ(flat, nullptr);

  auto* owner = new CKQStringArray;
  Fill(*owner, {"survives"});
  owner->CreateMemoryArray(&flat);
  delete owner;
  EXPECT_EQ(Units(flat[0]), u"survives");
  EXPECT_EQ(releaser.FreeMemoryArray(&flat), 1);
}

TEST(KQMemoryArray, ReadOnlyEntriesAreSkipped) {
  static const unsigned short kReadOnly[] = {'r', 'o', 0};
  CKQStringArray array;
  Fill(array, {"one", "two"});
  const unsigned short** flat = nullptr;
  ASSERT_EQ(array.CreateMemoryArray(&flat), 2);
  // The caller swaps its own constant text in; it keeps the block it took out.
  const unsigned short* taken = flat[1];
  flat[1] = kReadOnly;
  EXPECT_EQ(array.FreeMemoryArray(&flat), 1);
  EXPECT_EQ(flat, nullptr);
  EXPECT_EQ(kReadOnly[0], 'r');
  ::operator delete(const_cast<unsigned short*>(taken));
}

TEST(KQMemoryArray, NullArgumentsAreRefused) {
  CKQStringArray array;
  EXPECT_EQ(array.FreeMemoryArray(nullptr), 0);
  EXPECT_EQ(Code(array), ERROR_INVALID_PARAMETER);
  array.GetErrorState().SetError(0);
  const unsigned short** flat = nullptr;
  EXPECT_EQ(array.FreeMemoryArray(&flat), 0);
  EXPECT_EQ(Code(array), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(flat, nullptr);
}
