// The pointer and integer arrays' iterators in a C++17 client: the header offers the comparisons
// that C++20 would derive from <=>, and the iterators work with the algorithms of C++17.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <type_traits>
#include <vector>

#include "KQPtrArray.h"

static_assert(__cplusplus == 201703L, "this test is built as a C++17 client");

namespace {

using UintIterator = CKQUintArray::const_iterator;
static_assert(std::is_same<std::iterator_traits<UintIterator>::iterator_category,
                           std::random_access_iterator_tag>::value,
              "random access");
static_assert(std::is_same<std::iterator_traits<UintIterator>::reference, unsigned>::value,
              "values");
static_assert(
    std::is_same<std::iterator_traits<CKQPtrArray::const_iterator>::value_type, void*>::value,
    "pointers");

TEST(KQArrayIteratorCxx17, ComparisonsOrderPositions) {
  CKQUintArray numbers;
  for (unsigned value : {10u, 20u, 30u}) {
    numbers.Add(value);
  }
  const CKQUintArray& view = numbers;
  const UintIterator first = view.begin();
  const UintIterator last = view.end();
  const struct {
    UintIterator a;
    UintIterator b;
    bool equal;
    bool less;
  } cases[] = {
      {first, first, true, false},
      {first, last, false, true},
      {last, first, false, false},
      {first + 1, last - 2, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.a != c.b, !c.equal);
    EXPECT_EQ(c.a < c.b, c.less);
    EXPECT_EQ(c.a > c.b, !c.equal && !c.less);
    EXPECT_EQ(c.a <= c.b, c.equal || c.less);
    EXPECT_EQ(c.a >= c.b, !c.less);
  }
  EXPECT_EQ(UintIterator(), UintIterator()) << "singular iterators compare equal";
}

TEST(KQArrayIteratorCxx17, AlgorithmsWalkTheValues) {
  CKQUintArray numbers;
  for (unsigned value = 1; value <= 50; ++value) {
    numbers.Add(value * 2);
  }
  const CKQUintArray& view = numbers;
  unsigned sum = 0;
  for (const auto& value : view) {
    sum += value;
  }
  EXPECT_EQ(sum, 2550u);
  EXPECT_EQ(std::accumulate(view.begin(), view.end(), 0u), 2550u);
  EXPECT_EQ(std::lower_bound(view.begin(), view.end(), 31u) - view.begin(), 15);
  EXPECT_EQ(*std::make_reverse_iterator(view.end()), 100u);
  EXPECT_EQ(view.begin()[49], 100u);

  int cells[2] = {};
  CKQPtrArray pointers;
  pointers.Add(&cells[0]);
  pointers.Add(&cells[1]);
  const std::vector<void*> seen(pointers.begin(), pointers.end());
  EXPECT_EQ(seen, (std::vector<void*>{&cells[0], &cells[1]}));
}

} // namespace
