// CKQStringArray flat arrays: layout, independence from the string array, entries the caller
// put in, refusals, and arrays released by another string array.
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

// Entries the caller puts in, read-only or writable, are never released; neither are the blocks
// it took out.  Everything FreeMemoryArray made and still finds in the array goes.
TEST(KQMemoryArray, EntriesTheCallerPutInAreLeftAlone) {
  static const unsigned short kReadOnly[] = {'r', 'o', 0};
  unsigned short writable[] = {'w', 0};
  CKQStringArray array;
  Fill(array, {"one", "two", "three"});
  const unsigned short** flat = nullptr;
  ASSERT_EQ(array.CreateMemoryArray(&flat), 3);
  const unsigned short* taken[] = {flat[0], flat[1]};
  flat[0] = writable;
  flat[1] = kReadOnly;
  EXPECT_EQ(array.FreeMemoryArray(&flat), 1);
  EXPECT_EQ(flat, nullptr);
  EXPECT_EQ(writable[0], 'w');
  EXPECT_EQ(kReadOnly[0], 'r');
  for (const unsigned short* block : taken) {
    EXPECT_EQ(Units(block).size(), 3u) << "the caller's now";
    ::operator delete(const_cast<unsigned short*>(block)); // NOLINT
  }
}

TEST(KQMemoryArray, NullArgumentsAreRefused) {
  CKQStringArray array;
  Fill(array, {"x"});
  EXPECT_EQ(array.CreateMemoryArray(nullptr), 0);
  EXPECT_EQ(Code(array), ERROR_INVALID_PARAMETER);
  array.GetErrorState().SetError(0);
  EXPECT_EQ(array.FreeMemoryArray(nullptr), 0);
  EXPECT_EQ(Code(array), ERROR_INVALID_PARAMETER);
  array.GetErrorState().SetError(0);
  const unsigned short** flat = nullptr;
  EXPECT_EQ(array.FreeMemoryArray(&flat), 0);
  EXPECT_EQ(Code(array), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(flat, nullptr);
}

// A pointer block that CreateMemoryArray did not hand out is refused and nothing in it is
// released: one of the caller's own (the words before it readable, as in any larger array), and
// an address inside a real flat array.  The real one is still released whole afterwards.
TEST(KQMemoryArray, PointerBlocksNotMadeHereAreRefused) {
  CKQStringArray array;
  Fill(array, {"one", "two"});
  const unsigned short** real = nullptr;
  ASSERT_EQ(array.CreateMemoryArray(&real), 2);
  unsigned short text[] = {'t', 0};
  const unsigned short* storage[8] = {text, text, text, text, text, real[0], real[1], nullptr};
  const unsigned short** const foreign[] = {storage + 4, real + 1};
  for (const unsigned short** block : foreign) {
    const unsigned short** passed = block;
    array.GetErrorState().SetError(0);
    EXPECT_EQ(array.FreeMemoryArray(&passed), 0);
    EXPECT_EQ(Code(array), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(passed, block) << "left as it was";
  }
  EXPECT_EQ(text[0], 't');
  EXPECT_EQ(Units(real[0]), u"one");
  EXPECT_EQ(array.FreeMemoryArray(&real), 1);
  EXPECT_EQ(real, nullptr);
}
