// The error component: a fresh state holds 0, SetError replaces, assignment copies.
#include <gtest/gtest.h>

#include "KQError.h"

TEST(KQError, RecordsReplacesAndCopies) {
  CKQError error;
  EXPECT_EQ(error.GetError(), 0u);
  error.SetError(1413);
  error.SetError(14);
  EXPECT_EQ(error.GetError(), 14u);

  CKQError other;
  const CKQError& result = (other = error);
  EXPECT_EQ(&result, &other);
  EXPECT_EQ(other.GetError(), 14u);
  error.SetError(0);
  EXPECT_EQ(other.GetError(), 14u) << "a copy is independent of its source";
}
