// CKQStringArray flat arrays: layout, independence from the string array, entries the caller
// put in, refusals, and arrays released by another string array.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#if !defined(_WIN32)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQStringArrayC.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

// Hands `block` to the member and to the C function (which share the code): each must refuse it
// with 0 and ERROR_INVALID_PARAMETER, leave the pointer as it was and release nothing.  Reading
// anything in front of the block shows as a crash or, under the asan preset, as a report.
void ExpectRefusedBothWays(const unsigned short** block) {
  {
    SCOPED_TRACE("CKQStringArray::FreeMemoryArray");
    CKQStringArray array;
    const unsigned short** passed = block;
    EXPECT_EQ(array.FreeMemoryArray(&passed), 0);
    EXPECT_EQ(Code(array), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(passed, block) << "left as it was";
  }
  {
    SCOPED_TRACE("kq_string_array_free_memory_array");
    kq_string_array* array = kq_string_array_new(0);
    ASSERT_NE(array, nullptr);
    auto** passed = reinterpret_cast<const std::uint16_t**>(block);
    EXPECT_EQ(kq_string_array_free_memory_array(array, &passed), 0);
    EXPECT_EQ(kq_string_array_error(array), KQ_C_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reinterpret_cast<const unsigned short**>(passed), block) << "left as it was";
    kq_string_array_free(array);
  }
}

} // namespace

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
// released: one of the caller's own (inside a larger array of the caller's), and an address
// inside a real flat array.  The real one is still released whole afterwards.
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

// Two pointers from malloc: nothing lies in front of them that FreeMemoryArray may read.  A flat
// array already released: its address is no flat array any more, and nothing of it is read again.
TEST(KQMemoryArray, ForeignAndReleasedBlocksAreRefusedWithoutAReadOutsideThem) {
  unsigned short text[] = {'t', 0};
  auto** owned = static_cast<const unsigned short**>(std::malloc(2 * sizeof(unsigned short*)));
  ASSERT_NE(owned, nullptr);
  owned[0] = text;
  owned[1] = nullptr;
  ExpectRefusedBothWays(owned);
  EXPECT_EQ(owned[0], text);
  EXPECT_EQ(text[0], 't');
  std::free(static_cast<void*>(owned));

  for (const bool throughC : {false, true}) {
    SCOPED_TRACE(throughC ? "released through the C function" : "released through the member");
    CKQStringArray array;
    Fill(array, {"one", "two"});
    const unsigned short** flat = nullptr;
    ASSERT_EQ(array.CreateMemoryArray(&flat), 2);
    const unsigned short** const released = flat;
    if (throughC) {
      kq_string_array* handle = kq_string_array_new(0);
      auto** passed = reinterpret_cast<const std::uint16_t**>(flat);
      EXPECT_EQ(kq_string_array_free_memory_array(handle, &passed), 1);
      kq_string_array_free(handle);
    } else {
      EXPECT_EQ(array.FreeMemoryArray(&flat), 1);
    }
    ExpectRefusedBothWays(released);
  }
}

// A two-pointer block at the very start of a page whose predecessor cannot be read: any read in
// front of the block faults.
TEST(KQMemoryArray, BlockAfterAnInaccessiblePageIsRefused) {
#if defined(_WIN32)
  GTEST_SKIP() << "the guard page is made with POSIX mmap and mprotect";
#else
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  ASSERT_EQ(mprotect(pages, page, PROT_NONE), 0);
  static const unsigned short kText[] = {'t', 0};
  auto** block = reinterpret_cast<const unsigned short**>(static_cast<char*>(pages) + page);
  block[0] = kText;
  block[1] = nullptr;
  ExpectRefusedBothWays(block);
  EXPECT_EQ(block[0], kText);
  munmap(pages, 2 * page);
#endif
}
