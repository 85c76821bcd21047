// The object base: deleting any array through a CKQObject pointer destroys it completely, every
// array's Dump returns 0, and arrays made with `new` are aligned for the lock they hold.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"

TEST(KQObject, ArraysDeleteThroughTheBaseAndDumpReturnsZero) {
  std::unique_ptr<CKQObject> objects[] = {std::make_unique<CKQPtrArray>(),
                                          std::make_unique<CKQUintArray>()};
  for (auto& object : objects) {
    EXPECT_EQ(object->Dump(), 0);
    EXPECT_EQ(object->GetErrorState().GetError(), 0u);
  }
  // Leak detection (asan preset) fails this test if a destructor is skipped.
  auto* uints = new CKQUintArray;
  for (unsigned i = 0; i < 25; ++i) {
    uints->Add(i);
  }
  CKQPtrArray* asPtrArray = uints;
  delete asPtrArray;
}

namespace {

template <typename Array> bool IsAligned(const Array* array) {
  return reinterpret_cast<std::uintptr_t>(array) % alignof(Array) == 0;
}

} // namespace

// An array made with `new` lives in a block of the plain allocation operator, which guarantees
// only the C runtime's heap alignment (8 on 32-bit Windows).  Every such array must still meet
// its class's alignment, which the lock room inside it sets; blocks of varying sizes in between
// move the arrays across the heap's alignment classes.
TEST(KQObject, ArraysMadeWithNewMeetTheirAlignment) {
  constexpr std::size_t kRounds = 64;
  std::vector<std::unique_ptr<CKQObject>> arrays;
  std::vector<std::unique_ptr<char[]>> spacers;
  for (std::size_t i = 0; i < kRounds; ++i) {
    spacers.push_back(std::make_unique<char[]>(1 + i % 24));
    auto* pointers = new CKQPtrArray;
    arrays.emplace_back(pointers);
    spacers.push_back(std::make_unique<char[]>(1 + i % 7));
    auto* uints = new CKQUintArray;
    arrays.emplace_back(uints);
    auto* strings = new CKQStringArray(static_cast<int>(i % 2));
    arrays.emplace_back(strings);
    ASSERT_TRUE(IsAligned(pointers))
        << "CKQPtrArray at " << pointers << " wants " << alignof(CKQPtrArray);
    ASSERT_TRUE(IsAligned(uints)) << "CKQUintArray at " << uints << " wants "
                                  << alignof(CKQUintArray);
    ASSERT_TRUE(IsAligned(strings))
        << "CKQStringArray at " << strings << " wants " << alignof(CKQStringArray);
    // The lock inside works at that address.
    ASSERT_EQ(strings->Add(CKQString(u"x")), 1);
    ASSERT_EQ(pointers->Add(strings), 1);
  }
}

namespace {

// A code no call records: where it survives a call, the call recorded nothing.
constexpr std::uint32_t kEarlier = 12345;

// One call on an array holding two elements, and the code it leaves (kEarlier: none).
template <typename Array> struct Recording {
  const char* call;
  void (*run)(Array& array);
  std::uint32_t expected;
  int sorted = 1; // string arrays only
};

const Recording<CKQPtrArray> kPointerRecordings[] = {
    {"Add", [](CKQPtrArray& a) { a.Add(nullptr); }, ERROR_SUCCESS},
    {"GetAt hit", [](CKQPtrArray& a) { a.GetAt(1); }, kEarlier},
    {"GetAt miss", [](CKQPtrArray& a) { a.GetAt(2); }, ERROR_INVALID_INDEX},
    {"operator[] miss", [](CKQPtrArray& a) { (void)a[2]; }, kEarlier},
    {"SetAt hit", [](CKQPtrArray& a) { a.SetAt(0, nullptr); }, kEarlier},
    {"SetAt miss", [](CKQPtrArray& a) { a.SetAt(2, nullptr); }, ERROR_INVALID_INDEX},
    {"RemoveAt hit", [](CKQPtrArray& a) { a.RemoveAt(0); }, kEarlier},
    {"RemoveAt miss", [](CKQPtrArray& a) { a.RemoveAt(2); }, ERROR_INVALID_INDEX},
    {"RemoveAll", [](CKQPtrArray& a) { a.RemoveAll(); }, kEarlier},
    {"Find hit", [](CKQPtrArray& a) { a.Find(nullptr); }, ERROR_SUCCESS},
    {"Find miss",
     [](CKQPtrArray& a) {
       int absent = 0;
       a.Find(&absent);
     },
     ERROR_NOT_FOUND},
    {"operator=",
     [](CKQPtrArray& a) {
       CKQPtrArray source;
       source.GetErrorState().SetError(ERROR_NOT_FOUND);
       a = source;
     },
     ERROR_NOT_FOUND},
};

const Recording<CKQStringArray> kStringRecordings[] = {
    {"Add", [](CKQStringArray& a) { a.Add(CKQString(u"x")); }, ERROR_SUCCESS},
    {"GetAt hit", [](CKQStringArray& a) { a.GetAt(1); }, kEarlier},
    {"GetAt miss", [](CKQStringArray& a) { a.GetAt(2); }, ERROR_INVALID_INDEX},
    {"operator[] miss", [](CKQStringArray& a) { (void)a[2]; }, kEarlier},
    {"SetAt hit", [](CKQStringArray& a) { a.SetAt(0, CKQString(u"y")); }, kEarlier, 0},
    {"SetAt sorted", [](CKQStringArray& a) { a.SetAt(0, CKQString(u"y")); }, ERROR_INVALID_STATE},
    {"SetAt miss", [](CKQStringArray& a) { a.SetAt(2, CKQString(u"y")); }, ERROR_INVALID_INDEX, 0},
    {"RemoveAt hit", [](CKQStringArray& a) { a.RemoveAt(0); }, ERROR_SUCCESS},
    {"RemoveAt miss", [](CKQStringArray& a) { a.RemoveAt(2); }, ERROR_INVALID_INDEX},
    {"RemoveAll", [](CKQStringArray& a) { a.RemoveAll(); }, kEarlier},
    {"FindString hit", [](CKQStringArray& a) { a.FindString(CKQString(u"BETA"), 1); }, kEarlier},
    {"FindString miss", [](CKQStringArray& a) { a.FindString(CKQString(u"BETA"), 0); },
     ERROR_NOT_FOUND},
    {"Append",
     [](CKQStringArray& a) {
       CKQStringArray source;
       source.Add(CKQString(u"gamma"));
       a.Append(source);
     },
     ERROR_SUCCESS},
    {"Append of an empty array",
     [](CKQStringArray& a) {
       CKQStringArray source;
       a.Append(source);
     },
     kEarlier},
    {"operator=",
     [](CKQStringArray& a) {
       CKQStringArray source;
       source.GetErrorState().SetError(ERROR_NOT_FOUND);
       a = source;
     },
     ERROR_NOT_FOUND},
    {"CreateMemoryArray, FreeMemoryArray",
     [](CKQStringArray& a) {
       const unsigned short** flat = nullptr;
       a.CreateMemoryArray(&flat);
       a.FreeMemoryArray(&flat);
     },
     kEarlier},
    {"FreeMemoryArray(nullptr)", [](CKQStringArray& a) { a.FreeMemoryArray(nullptr); },
     ERROR_INVALID_PARAMETER},
};

} // namespace

// The error state answers only for the calls that record a code: a successful FindString or
// operator[] leaves the code of an earlier call in place, which a caller must not take for theirs.
TEST(KQObject, EachCallRecordsWhatTheReadmeSays) {
  for (const auto& r : kPointerRecordings) {
    CKQPtrArray array;
    array.Add(&array);
    array.Add(nullptr);
    array.GetErrorState().SetError(kEarlier);
    r.run(array);
    EXPECT_EQ(array.GetErrorState().GetError(), r.expected) << "CKQPtrArray::" << r.call;
  }
  for (const auto& r : kStringRecordings) {
    CKQStringArray array(r.sorted);
    array.Add(CKQString(u"alpha"));
    array.Add(CKQString(u"Beta"));
    array.GetErrorState().SetError(kEarlier);
    r.run(array);
    EXPECT_EQ(array.GetErrorState().GetError(), r.expected) << "CKQStringArray::" << r.call;
  }
}
