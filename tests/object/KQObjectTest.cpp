// The object base: deleting any array through a CKQObject pointer destroys it completely, and
// every array's Dump returns 0.
#include <gtest/gtest.h>

#include <memory>

#include "KQPtrArray.h"

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
