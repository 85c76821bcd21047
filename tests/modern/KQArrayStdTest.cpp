// The arrays beside the standard library: const reads that record nothing, iterators, view
// overloads, moves and Reserve.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <iterator>
#include <latch>
#include <numeric>
#include <random>
#include <ranges>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "KQPlatform.h"
#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

// A code no operation records, set before a const call to show that it stays.
constexpr std::uint32_t kUntouched = 4242;

std::vector<std::u16string> Units(const CKQStringArray& array) {
  std::vector<std::u16string> out;
  for (const CKQString& text : array) {
    out.emplace_back(text.View());
  }
  return out;
}

// --- const reads -------------------------------------------------------------------------

TEST(KQArrayConst, StringArrayAnswersWithoutRecording) {
  CKQStringArray array(3);
  Fill(array, {"beta", "Alpha"});
  array.GetErrorState().SetError(kUntouched);
  const CKQStringArray& view = array;
  EXPECT_EQ(view.GetSize(), 2u);
  EXPECT_EQ(view.IsEmpty(), 0);
  EXPECT_EQ(view.IsSorted(), 3);
  EXPECT_EQ(view.GetAt(0), u"Alpha");
  EXPECT_EQ(view.GetAt(2), u"");
  EXPECT_EQ(view.GetAt(KQ_NO_INDEX), u"");
  EXPECT_EQ(view.FindString(u"BETA", 1), 1u);
  EXPECT_EQ(view.FindString(CKQString(u"beta")), 1u);
  EXPECT_EQ(view.FindString(u"gamma"sv), KQ_NO_INDEX);
  EXPECT_EQ(view.FindString(u"BETA"), KQ_NO_INDEX);
  EXPECT_EQ(Code(array), kUntouched);
  EXPECT_EQ(CKQStringArray().IsEmpty(), 1);

  // The non-const namesakes still record.
  EXPECT_EQ(array.GetAt(2), u"");
  EXPECT_EQ(Code(array), ERROR_INVALID_INDEX);
  EXPECT_EQ(array.FindString(u"gamma"), KQ_NO_INDEX);
  EXPECT_EQ(Code(array), ERROR_NOT_FOUND);
}

TEST(KQArrayConst, PointerAndIntegerArraysAnswerWithoutRecording) {
  int a = 0;
  int b = 0;
  CKQPtrArray pointers;
  pointers.Add(&a);
  pointers.Add(nullptr);
  pointers.GetErrorState().SetError(kUntouched);
  const CKQPtrArray& pointerView = pointers;
  EXPECT_EQ(pointerView.GetSize(), 2u);
  EXPECT_EQ(pointerView.IsEmpty(), 0);
  EXPECT_EQ(pointerView.GetAt(0), &a);
  EXPECT_EQ(pointerView.GetAt(2), nullptr);
  EXPECT_EQ(pointerView.Find(nullptr), 1u);
  EXPECT_EQ(pointerView.Find(&b), KQ_NO_INDEX);
  EXPECT_EQ(Code(pointers), kUntouched);

  CKQUintArray numbers;
  for (unsigned value : {7u, 0u, KQ_NO_INDEX}) {
    numbers.Add(value);
  }
  numbers.GetErrorState().SetError(kUntouched);
  const CKQUintArray& numberView = numbers;
  EXPECT_EQ(numberView.GetSize(), 3u);
  EXPECT_EQ(numberView.GetAt(0), 7u);
  EXPECT_EQ(numberView.GetAt(3), 0u);
  EXPECT_EQ(numberView.Find(KQ_NO_INDEX), 2u);
  EXPECT_EQ(numberView.Find(8u), KQ_NO_INDEX);
  EXPECT_EQ(Code(numbers), kUntouched);
  EXPECT_EQ(numbers.Find(8u), KQ_NO_INDEX);
  EXPECT_EQ(Code(numbers), ERROR_NOT_FOUND);
  EXPECT_EQ(numbers.Find(0u), 1u);
  EXPECT_EQ(Code(numbers), ERROR_SUCCESS);
}

// --- iterators ---------------------------------------------------------------------------

// Every array is a random-access, sized standard range, const or not: a non-const array's
// begin() and end() are the const ones.
template <typename Array> constexpr bool IsRandomAccessSizedRange() {
  using Iterator = typename Array::const_iterator;
  static_assert(std::random_access_iterator<Iterator>);
  static_assert(std::ranges::random_access_range<Array>);
  static_assert(std::ranges::random_access_range<const Array>);
  static_assert(std::ranges::sized_range<Array>);
  static_assert(std::ranges::sized_range<const Array>);
  static_assert(std::is_same_v<std::ranges::iterator_t<Array>, Iterator>);
  static_assert(std::is_same_v<std::iter_value_t<Iterator>, typename Array::value_type>);
  static_assert(std::is_same_v<typename std::iterator_traits<Iterator>::iterator_category,
                               std::random_access_iterator_tag>);
  return true;
}
static_assert(IsRandomAccessSizedRange<CKQStringArray>());
static_assert(IsRandomAccessSizedRange<CKQPtrArray>());
static_assert(IsRandomAccessSizedRange<CKQUintArray>());

// The string array yields its elements themselves, by const reference, with operator->; the
// pointer and integer arrays yield their values.
static_assert(
    std::is_same_v<std::iter_reference_t<CKQStringArray::const_iterator>, const CKQString&>);
static_assert(std::is_same_v<std::iterator_traits<CKQStringArray::const_iterator>::pointer,
                             const CKQString*>);
static_assert(std::is_same_v<std::iter_reference_t<CKQPtrArray::const_iterator>, void*>);
static_assert(std::is_same_v<std::iter_reference_t<CKQUintArray::const_iterator>, unsigned>);
static_assert(std::is_same_v<std::iter_value_t<CKQUintArray::const_iterator>, unsigned>);

TEST(KQArrayIterators, WalkTheElementsInIndexOrder) {
  CKQStringArray sorted(1);
  Fill(sorted, {"pear", "Apple", "fig", "apple"});
  EXPECT_EQ(Units(sorted), (std::vector<std::u16string>{u"apple", u"Apple", u"fig", u"pear"}));

  const auto first = sorted.begin();
  const auto last = sorted.end();
  EXPECT_EQ(last - first, 4);
  EXPECT_EQ(std::distance(first, last), 4);
  EXPECT_EQ(first[2], u"fig");
  EXPECT_EQ(*(last - 1), u"pear");
  EXPECT_EQ((first + 3).Index(), 3u);
  EXPECT_TRUE(first < last);
  EXPECT_EQ(std::count(first, last, CKQString(u"fig")), 1);
  EXPECT_EQ(std::find(first, last, CKQString(u"Apple")) - first, 1);

  // A sorted array is ordered by CompareNoCase, so the standard binary search works on it.
  const auto byNoCase = [](const CKQString& a, const CKQString& b) {
    return a.CompareNoCase(b) < 0;
  };
  EXPECT_EQ(std::lower_bound(first, last, CKQString(u"FIG"), byNoCase) - first, 2);
  EXPECT_TRUE(std::is_sorted(first, last, byNoCase));

  std::vector<std::u16string> backwards;
  for (auto it = std::make_reverse_iterator(last); it != std::make_reverse_iterator(first); ++it) {
    backwards.emplace_back((*it).View());
  }
  EXPECT_EQ(backwards, (std::vector<std::u16string>{u"pear", u"fig", u"Apple", u"apple"}));

  const CKQStringArray empty;
  EXPECT_EQ(empty.begin(), empty.end());
}

TEST(KQArrayIterators, PointerAndIntegerArraysYieldTheirValues) {
  CKQUintArray numbers;
  for (unsigned i = 1; i <= 100; ++i) {
    numbers.Add(i);
  }
  unsigned sum = 0;
  for (unsigned value : numbers) {
    sum += value;
  }
  EXPECT_EQ(sum, 5050u);
  EXPECT_EQ(std::accumulate(numbers.begin(), numbers.end(), 0u), 5050u);
  EXPECT_EQ(*std::max_element(numbers.begin(), numbers.end()), 100u);

  int slots[3] = {};
  CKQPtrArray pointers;
  for (int& slot : slots) {
    pointers.Add(&slot);
  }
  std::vector<void*> seen(pointers.begin(), pointers.end());
  EXPECT_EQ(seen, (std::vector<void*>{&slots[0], &slots[1], &slots[2]}));
}

TEST(KQArrayIterators, YieldTheElementsThemselves) {
  CKQStringArray array;
  Fill(array, {"one", "two", "three"});
  const CKQStringArray& view = array;
  const auto first = view.begin();
  EXPECT_EQ(first->View(), u"one");
  EXPECT_EQ((first + 2)->GetLength(), 5u);
  EXPECT_EQ(&*first, &*view.begin()) << "every read reaches the same object";
  EXPECT_EQ(&first[1], &*(first + 1));
  EXPECT_EQ(first.operator->(), &*first);
  EXPECT_EQ(&*(view.end() - 1), &first[2]);

  // A non-const array iterates too, with `auto&` bound to the elements.
  std::vector<const CKQString*> seen;
  for (auto& w : array) {
    seen.push_back(&w);
  }
  ASSERT_EQ(seen.size(), 3u);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i], &first[static_cast<std::ptrdiff_t>(i)]);
  }
}

// A reference names an element, wherever the slot buffer is: reads of every kind, and adds and
// a reservation that move the slot buffer several times, leave each element's string where it
// was, holding its text (the sanitizer builds would see a reference into freed memory).
TEST(KQArrayIterators, ReferencesStayValidAcrossReadsAndAppends) {
  StringArrayProbe array;
  Fill(array, {"e0", "e1", "e2", "e3", "e4"});
  const CKQStringArray& view = array;
  std::vector<const CKQString*> elements;
  for (const CKQString& element : view) {
    elements.push_back(&element);
  }
  const CKQString& firstElement = *view.begin();

  EXPECT_EQ(view.GetAt(1), u"e1");
  EXPECT_EQ(array.GetAt(2), u"e2");
  EXPECT_EQ(array[3], u"e3");
  EXPECT_EQ(array.FindString(u"E4", 1), 4u);
  CKQStringArray copy(array);
  CKQStringArray appended;
  EXPECT_EQ(appended.Append(array), 1);
  const unsigned short** flat = nullptr;
  EXPECT_EQ(array.CreateMemoryArray(&flat), 5);
  EXPECT_EQ(array.FreeMemoryArray(&flat), 1);

  const unsigned capacity = array.Capacity();
  for (unsigned i = 5; i < 300; ++i) {
    ASSERT_EQ(array.Add(CKQString::FromUtf8("e" + std::to_string(i))), 1);
  }
  EXPECT_EQ(array.Reserve(5000), 1);
  EXPECT_GT(array.Capacity(), capacity) << "the slot buffer grew";

  EXPECT_EQ(firstElement, u"e0");
  for (std::size_t i = 0; i < elements.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(&view.begin()[static_cast<std::ptrdiff_t>(i)], elements[i]);
    EXPECT_EQ(*elements[i], CKQString::FromUtf8("e" + std::to_string(i)));
  }
}

// Readers share a const array as they share a const std::vector: four threads walk the three
// arrays at once, with range-for, operator[] and FindString, while no thread writes (the tsan
// build checks that no read writes).  Each thread must see every element.
TEST(KQArrayIterators, FourThreadsIterateAConstArrayAtOnce) {
  constexpr unsigned kCount = 2000;
  constexpr int kThreads = 4;
  CKQStringArray sorted(1);
  CKQUintArray numbers;
  CKQPtrArray pointers;
  std::vector<unsigned> order(kCount);
  std::iota(order.begin(), order.end(), 0u);
  std::mt19937 random(21);
  std::shuffle(order.begin(), order.end(), random); // sorted adds land all over the array
  std::size_t expectedUnits = 0;
  for (unsigned& i : order) {
    const CKQString text = CKQString::FromUtf8("w" + std::to_string(i));
    expectedUnits += text.GetLength();
    sorted.Add(text);
    numbers.Add(i);
    pointers.Add(&i);
  }
  const CKQStringArray& words = sorted;
  const CKQUintArray& values = numbers;
  const CKQPtrArray& addresses = pointers;

  struct Seen {
    std::size_t units = 0;
    std::uint64_t valueSum = 0;
    unsigned pointersInOrder = 0;
    unsigned found = 0;
    unsigned outOfOrder = 0;
  };
  std::vector<Seen> seen(kThreads);
  std::latch start(kThreads);
  std::vector<std::thread> readers;
  for (int t = 0; t < kThreads; ++t) {
    readers.emplace_back([&, t] {
      Seen& mine = seen[static_cast<std::size_t>(t)];
      start.arrive_and_wait();
      const CKQString* previous = nullptr;
      for (const CKQString& word : words) {
        mine.units += word.GetLength();
        mine.outOfOrder += previous != nullptr && previous->CompareNoCase(word) > 0 ? 1 : 0;
        previous = &word;
      }
      for (unsigned value : values) {
        mine.valueSum += value;
      }
      unsigned index = 0;
      for (void* address : addresses) {
        mine.pointersInOrder += address == &order[index++] ? 1 : 0;
      }
      for (unsigned i = static_cast<unsigned>(t); i < kCount; i += kThreads) {
        mine.found += words.FindString(words[i], 0) == i ? 1 : 0;
      }
    });
  }
  for (std::thread& reader : readers) {
    reader.join();
  }
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    const Seen& mine = seen[static_cast<std::size_t>(t)];
    EXPECT_EQ(mine.units, expectedUnits);
    EXPECT_EQ(mine.valueSum, std::uint64_t{kCount} * (kCount - 1) / 2);
    EXPECT_EQ(mine.pointersInOrder, kCount);
    EXPECT_EQ(mine.found, kCount / kThreads);
    EXPECT_EQ(mine.outOfOrder, 0u);
  }
}

// Iteration takes no lock: it runs to the end while another thread holds the array's lock,
// where the const GetAt would wait.
TEST(KQArrayIterators, IterationRunsWhileAnotherThreadHoldsTheLock) {
  StringArrayProbe array;
  Fill(array, {"alpha", "beta", "gamma"});
  const CKQStringArray& view = array;
  std::latch held(1);
  std::latch release(1);
  std::thread holder([&] {
    const kq::platform::ScopedLock hold(array.Lock());
    held.count_down();
    release.wait();
  });
  held.wait();
  auto reading = std::async(std::launch::async, [&view] {
    std::u16string joined;
    for (const CKQString& text : view) {
      joined += text.View();
    }
    return joined;
  });
  const bool finished = reading.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  release.count_down();
  holder.join();
  EXPECT_TRUE(finished) << "iteration waited for the lock";
  EXPECT_EQ(reading.get(), u"alphabetagamma");
}

// The const GetAt is the read that may run beside a writer: it copies the element under the
// lock, so a writer that moves the slot buffer meanwhile cannot pull the element away mid-read
// (the sanitizer builds would see that), and every element read is the one at its index.
TEST(KQArrayIterators, ConstGetAtBesideAWriterReadsWholeElements) {
  CKQStringArray array;
  const auto textOf = [](unsigned i) { return CKQString::FromUtf8("w" + std::to_string(i)); };
  constexpr unsigned kCount = 4000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (unsigned i = 0; i < kCount; ++i) {
      array.Add(textOf(i));
    }
    done = true;
  });
  const CKQStringArray& view = array;
  unsigned mismatches = 0;
  unsigned reads = 0;
  while (!done) {
    const unsigned size = view.GetSize();
    for (unsigned i = 0; i < size; ++i) {
      mismatches += view.GetAt(i) == textOf(i) ? 0 : 1;
      ++reads;
    }
  }
  writer.join();
  EXPECT_EQ(mismatches, 0u) << "of " << reads << " reads";
  EXPECT_EQ(view.end() - view.begin(), kCount);
}

// --- view overloads ----------------------------------------------------------------------

TEST(KQArrayViews, AddAndFindTakeViewsAndStandardStrings) {
  CKQStringArray array;
  const std::u16string owned = u"Owned";
  unsigned index = KQ_NO_INDEX;
  EXPECT_EQ(array.Add(owned, &index), 1);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(array.Add(u"a\0b"sv, &index), 1);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(array.Add(static_cast<const char16_t*>(nullptr)), 1);
  EXPECT_EQ(Code(array), ERROR_SUCCESS);
  EXPECT_EQ(Units(array), (std::vector<std::u16string>{u"Owned", u"a\0b"s, u""}));

  const struct {
    std::u16string_view text;
    int noCase;
    unsigned expected;
  } cases[] = {
      {u"Owned", 0, 0},  {u"OWNED", 1, 0},  {u"OWNED", 0, KQ_NO_INDEX},
      {u"a\0b"sv, 0, 1}, {u"A\0B"sv, 1, 1}, {u"a", 0, KQ_NO_INDEX}, // the part before the zero
      {u"", 0, 2},       {u"", 1, 2},       {u"Owned\0"sv, 0, KQ_NO_INDEX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::u16string(c.text)) + " noCase " +
                 std::to_string(c.noCase));
    array.GetErrorState().SetError(kUntouched);
    EXPECT_EQ(array.FindString(c.text, c.noCase), c.expected);
    EXPECT_EQ(Code(array), c.expected == KQ_NO_INDEX ? ERROR_NOT_FOUND : kUntouched);
    // The same answer as the search through a CKQString of the same text.
    EXPECT_EQ(array.FindString(CKQString(c.text), c.noCase), c.expected);
  }
  EXPECT_EQ(array.FindString(std::u16string(u"owned"), 1), 0u);
  EXPECT_EQ(array.FindString(u"a"), KQ_NO_INDEX); // a literal ends at its zero
}

// Case-insensitive matches of long texts: the view is lowered in chunks, and a surrogate pair
// across a chunk boundary must still be lowered as one character.
TEST(KQArrayViews, CaseInsensitiveSearchLowersPairsAcrossChunks) {
  CKQStringArray array;
  std::vector<std::u16string> stored;
  std::vector<std::u16string> wanted;
  for (std::size_t prefix : {0u, 62u, 63u, 64u, 127u, 200u}) {
    stored.push_back(std::u16string(prefix, u'A') + u"\U00010400\u00C9" + std::u16string(70, u'Z'));
    wanted.push_back(std::u16string(prefix, u'a') + u"\U00010428\u00E9" + std::u16string(70, u'z'));
  }
  for (const std::u16string& text : stored) {
    array.Add(text);
  }
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    EXPECT_EQ(array.FindString(wanted[i], 1), i) << "prefix of case " << i;
    EXPECT_EQ(array.FindString(wanted[i], 0), KQ_NO_INDEX);
    EXPECT_EQ(array.FindString(stored[i], 0), i);
  }
}

TEST(KQArrayViews, SetAtRefusesFirstThenReplacesTextAndKey) {
  CKQStringArray array;
  Fill(array, {"one", "two"});
  EXPECT_EQ(array.SetAt(2, u"x"sv), 0);
  EXPECT_EQ(Code(array), ERROR_INVALID_INDEX);
  EXPECT_EQ(array.SetAt(1, std::u16string(u"Zwei")), 1);
  EXPECT_EQ(array.SetAt(0, u"Eins"), 1);
  EXPECT_EQ(Texts(array), (std::vector<std::string>{"Eins", "Zwei"}));
  EXPECT_EQ(array.FindString(u"zwei", 1), 1u);
  EXPECT_EQ(array.FindString(u"two", 1), KQ_NO_INDEX);

  CKQStringArray sorted(1);
  Fill(sorted, {"a"});
  EXPECT_EQ(sorted.SetAt(0, u"b"sv), 0);
  EXPECT_EQ(Code(sorted), ERROR_INVALID_STATE);
  EXPECT_EQ(sorted.SetAt(1, u"b"), 0);
  EXPECT_EQ(Code(sorted), ERROR_INVALID_INDEX);
}

// --- moves -------------------------------------------------------------------------------

static_assert(std::is_nothrow_move_constructible_v<CKQStringArray>);
static_assert(std::is_nothrow_move_assignable_v<CKQStringArray>);

TEST(KQArrayMoves, ConstructionTakesTheElementsAndLeavesTheSourceUsable) {
  StringArrayProbe source(7);
  Fill(source, {"b", "C", "a"});
  source.GetErrorState().SetError(kUntouched);
  const unsigned capacity = source.Capacity();

  StringArrayProbe moved(std::move(source));
  EXPECT_EQ(Texts(moved), (std::vector<std::string>{"a", "b", "C"}));
  EXPECT_EQ(moved.IsSorted(), 7);
  EXPECT_EQ(moved.Capacity(), capacity);
  EXPECT_EQ(Code(moved), ERROR_SUCCESS) << "a fresh error state";
  EXPECT_EQ(moved.FindString(u"c", 1), 2u);

  // NOLINTBEGIN(bugprone-use-after-move,clang-analyzer-cplusplus.Move): the moved-from state is
  // what is tested
  EXPECT_EQ(source.GetSize(), 0u);
  EXPECT_EQ(source.IsEmpty(), 1);
  EXPECT_EQ(source.Capacity(), 0u);
  EXPECT_EQ(source.IsSorted(), 7);
  EXPECT_EQ(source.begin(), source.end());
  EXPECT_EQ(source.GetAt(0), u"");
  EXPECT_EQ(source.FindString(u"a"), KQ_NO_INDEX);
  const unsigned short** flat = nullptr;
  EXPECT_EQ(source.CreateMemoryArray(&flat), 0);
  EXPECT_EQ(source.FreeMemoryArray(&flat), 1);
  EXPECT_EQ(source.RemoveAll(), 1);

  // Moving a moved-from array hands over nothing and leaves both usable.
  StringArrayProbe again(std::move(source));
  EXPECT_EQ(again.GetSize(), 0u);
  for (CKQStringArray* usable :
       {static_cast<CKQStringArray*>(&source), static_cast<CKQStringArray*>(&again)}) {
    Fill(*usable, {"z", "Y", "x"});
    EXPECT_EQ(Texts(*usable), (std::vector<std::string>{"x", "Y", "z"})) << "still sorted";
  }
  EXPECT_GE(source.Capacity(), 3u);
  EXPECT_EQ(source.Reserve(100), 1);
  // NOLINTEND(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
}

TEST(KQArrayMoves, AssignmentReplacesTheTargetAndHandsItsSlotsToTheSource) {
  StringArrayProbe source(0);
  Fill(source, {"s1", "s2"});
  source.GetErrorState().SetError(kUntouched);
  StringArrayProbe target(1);
  for (int i = 0; i < 30; ++i) {
    target.Add(CKQString::FromUtf8("t" + std::to_string(i)));
  }
  const unsigned targetCapacity = target.Capacity();
  const unsigned sourceCapacity = source.Capacity();

  CKQStringArray& targetBase = target;
  targetBase = std::move(static_cast<CKQStringArray&>(source));
  EXPECT_EQ(Texts(target), (std::vector<std::string>{"s1", "s2"}));
  EXPECT_EQ(target.IsSorted(), 0);
  EXPECT_EQ(Code(target), kUntouched) << "assignment takes the recorded code";
  EXPECT_EQ(target.Capacity(), sourceCapacity);

  // NOLINTBEGIN(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
  EXPECT_EQ(source.GetSize(), 0u);
  EXPECT_EQ(source.IsSorted(), 0);
  EXPECT_EQ(source.Capacity(), targetCapacity) << "the target's former slots";
  Fill(source, {"again"});
  EXPECT_EQ(Texts(source), (std::vector<std::string>{"again"}));
  // NOLINTEND(bugprone-use-after-move,clang-analyzer-cplusplus.Move)

  CKQStringArray& alias = target;
  targetBase = std::move(alias);
  EXPECT_EQ(Texts(target), (std::vector<std::string>{"s1", "s2"})) << "self-move changes nothing";
}

// Opposite moves between two arrays on two threads: the locks are taken in one order, so the
// threads never wait for each other in a cycle.
TEST(KQArrayMoves, OppositeMovesOnTwoThreadsDoNotDeadlock) {
  CKQStringArray a;
  CKQStringArray b;
  Fill(a, {"x"});
  constexpr int kRounds = 20000;
  // NOLINTBEGIN(bugprone-use-after-move): moved-from arrays are usable, and used here
  std::thread left([&] {
    for (int i = 0; i < kRounds; ++i) {
      a = std::move(b);
    }
  });
  std::thread right([&] {
    for (int i = 0; i < kRounds; ++i) {
      b = std::move(a);
    }
  });
  // NOLINTEND(bugprone-use-after-move)
  left.join();
  right.join();
  EXPECT_LE(a.GetSize() + b.GetSize(), 1u);
}

// --- whole-array operations on const and temporary sources ------------------------------

// The ways a whole-array operation can take its source: `source` is the array to read, `keep`
// says whether the caller keeps it (a const or non-const lvalue) or gives it up (an rvalue).
enum class SourceForm { kMutable, kConst, kTemporary };

const char* Name(SourceForm form) {
  switch (form) {
  case SourceForm::kMutable:
    return "non-const";
  case SourceForm::kConst:
    return "const";
  case SourceForm::kTemporary:
    return "temporary";
  }
  return "?";
}

struct WholeArrayOp {
  const char* name;
  // Runs the operation on `target` with `source` in the given form; returns its result (1 for
  // the operators).
  int (*run)(CKQStringArray& target, CKQStringArray& source, SourceForm form);
};

template <typename Op> int WithForm(CKQStringArray& source, SourceForm form, Op op) {
  switch (form) {
  case SourceForm::kMutable:
    return op(source);
  case SourceForm::kConst:
    return op(std::as_const(source));
  case SourceForm::kTemporary:
    return op(std::move(source));
  }
  return -1;
}

const WholeArrayOp kWholeArrayOps[] = {
    {"Append",
     [](CKQStringArray& t, CKQStringArray& s, SourceForm f) {
       return WithForm(
           s, f, [&](auto&& source) { return t.Append(std::forward<decltype(source)>(source)); });
     }},
    {"Copy",
     [](CKQStringArray& t, CKQStringArray& s, SourceForm f) {
       return WithForm(
           s, f, [&](auto&& source) { return t.Copy(std::forward<decltype(source)>(source)); });
     }},
    {"+=",
     [](CKQStringArray& t, CKQStringArray& s, SourceForm f) {
       return WithForm(s, f, [&](auto&& source) {
         return &(t += std::forward<decltype(source)>(source)) == &t ? 1 : 0;
       });
     }},
    {"+",
     [](CKQStringArray& t, CKQStringArray& s, SourceForm f) {
       return WithForm(s, f, [&](auto&& source) {
         t = std::as_const(t) + std::forward<decltype(source)>(source);
         return 1;
       });
     }},
};

// A const source and a non-const one give the same result and the same recorded code, and the
// source is left exactly as it was, its code included: the members only read it.  Every target
// and source order, the source sorted with a different flag value than the target.
TEST(KQArrayWholeOps, ConstSourcesGiveWhatNonConstOnesGive) {
  for (const WholeArrayOp& op : kWholeArrayOps) {
    for (int targetSorted : {0, 1}) {
      for (int sourceSorted : {0, 7}) {
        SCOPED_TRACE(std::string(op.name) + " target sorted " + std::to_string(targetSorted) +
                     " source sorted " + std::to_string(sourceSorted));
        std::vector<Strings> results;
        std::vector<std::uint32_t> codes;
        for (SourceForm form : {SourceForm::kMutable, SourceForm::kConst}) {
          CKQStringArray source(sourceSorted);
          Fill(source, {"b", "B", "a", "c"});
          source.GetErrorState().SetError(kUntouched);
          const Strings sourceTexts = Texts(source);
          CKQStringArray target(targetSorted);
          Fill(target, {"b", "z"});
          EXPECT_EQ(op.run(target, source, form), 1) << Name(form);
          results.push_back(Texts(target));
          codes.push_back(Code(target));
          EXPECT_EQ(Texts(source), sourceTexts) << Name(form);
          EXPECT_EQ(Code(source), kUntouched) << Name(form) << ": nothing recorded in the source";
        }
        EXPECT_EQ(results[1], results[0]);
        EXPECT_EQ(codes[1], codes[0]);
        EXPECT_EQ(codes[0], ERROR_SUCCESS);
      }
    }
  }
}

// A temporary gives the result a const source gives.  Append, Copy and += hand its elements
// over in O(1) when that is the same result: the target empty (Copy empties it), kept in the
// same order as the source, with no more slots reserved than the source; the target keeps its
// own flag, and the source is left empty with the target's former slots, its flag and code.
// Otherwise the strings are copied and the source keeps them.
TEST(KQArrayWholeOps, TemporariesHandTheirElementsOverOnlyWhenThatGivesTheSameResult) {
  const struct {
    const char* what;
    int targetSorted;
    int sourceSorted;
    bool targetFilled;
    unsigned targetReserve; // 0: the 10 slots of a new array
    bool handOverAppend;    // by Append and +=
    bool handOverCopy;      // by Copy, which empties the target first
  } cases[] = {
      {"empty unsorted from unsorted", 0, 0, false, 0, true, true},
      {"empty sorted from sorted (other flag value)", 1, 7, false, 0, true, true},
      {"empty sorted from unsorted", 1, 0, false, 0, false, false},
      {"empty unsorted from sorted", 0, 1, false, 0, false, false},
      {"filled unsorted from unsorted", 0, 0, true, 0, false, true},
      {"filled sorted from sorted", 1, 1, true, 0, false, true},
      {"more slots reserved than the source", 0, 0, false, 1000, false, false},
  };
  for (const auto& c : cases) {
    for (const WholeArrayOp& op : kWholeArrayOps) {
      SCOPED_TRACE(std::string(c.what) + ", " + op.name);
      const bool isCopy = std::string(op.name) == "Copy";
      const bool handOver = std::string(op.name) == "+" ? false
                            : isCopy                    ? c.handOverCopy
                                                        : c.handOverAppend;
      const auto makeSource = [&] {
        StringArrayProbe source(c.sourceSorted);
        Fill(source, {"b", "B", "a", "c", "a"});
        source.GetErrorState().SetError(kUntouched);
        return source;
      };
      const auto makeTarget = [&] {
        StringArrayProbe target(c.targetSorted);
        if (c.targetFilled) {
          Fill(target, {"b", "z"});
        }
        if (c.targetReserve != 0) {
          target.Reserve(c.targetReserve);
        }
        target.GetErrorState().SetError(kUntouched);
        return target;
      };
      StringArrayProbe expected = makeTarget();
      StringArrayProbe constSource = makeSource();
      EXPECT_EQ(op.run(expected, constSource, SourceForm::kConst), 1);

      StringArrayProbe target = makeTarget();
      StringArrayProbe source = makeSource();
      const Strings sourceTexts = Texts(source);
      const unsigned targetCapacity = target.Capacity();
      const unsigned sourceCapacity = source.Capacity();
      EXPECT_EQ(op.run(target, source, SourceForm::kTemporary), 1);
      EXPECT_EQ(Texts(target), Texts(expected));
      EXPECT_EQ(target.IsSorted(), c.targetSorted) << "the target keeps its flag";
      EXPECT_EQ(Code(target), Code(expected));
      // NOLINTBEGIN(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
      EXPECT_EQ(source.IsSorted(), c.sourceSorted);
      EXPECT_EQ(Code(source), kUntouched) << "nothing recorded in the source";
      if (handOver) {
        EXPECT_EQ(source.GetSize(), 0u) << "the elements were handed over";
        EXPECT_EQ(target.Capacity(), sourceCapacity);
        EXPECT_EQ(source.Capacity(), targetCapacity) << "the target's former slots";
        Fill(source, {"again"});
        EXPECT_EQ(Texts(source), (Strings{"again"})) << "the source stays usable";
      } else {
        EXPECT_EQ(Texts(source), sourceTexts) << "the strings were copied";
      }
      // NOLINTEND(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
    }
  }
}

// An empty temporary handed over records nothing; an array given its own contents appends or
// copies them as usual.
TEST(KQArrayWholeOps, EmptyAndSelfTemporaries) {
  CKQStringArray target;
  target.GetErrorState().SetError(kUntouched);
  EXPECT_EQ(target.Append(CKQStringArray()), 1);
  EXPECT_EQ(target.GetSize(), 0u);
  EXPECT_EQ(Code(target), kUntouched);

  for (int sorted : {0, 1}) {
    CKQStringArray array(sorted);
    Fill(array, {"b", "a"});
    EXPECT_EQ(array.Append(std::move(array)), 1);
    // NOLINTBEGIN(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
    EXPECT_EQ(array.GetSize(), 4u) << "sorted " << sorted << ": its elements once more";
    EXPECT_EQ(array.Copy(std::move(array)), 1);
    EXPECT_EQ(array.GetSize(), 4u) << "sorted " << sorted << ": unchanged";
    array += std::move(array);
    EXPECT_EQ(array.GetSize(), 8u);
    // NOLINTEND(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
  }
}

// Concatenations of temporaries and const arrays chain as values do.
TEST(KQArrayWholeOps, ConcatenationsOfConstAndTemporaryArrays) {
  CKQStringArray a;
  Fill(a, {"a"});
  const CKQStringArray b = [] {
    CKQStringArray made;
    Fill(made, {"b"});
    return made;
  }();
  const CKQStringArray sum = a + b + (b + a);
  EXPECT_EQ(Units(sum), (std::vector<std::u16string>{u"a", u"b", u"b", u"a"}));
  CKQStringArray sorted(1);
  sorted += a + b;
  sorted += b;
  EXPECT_EQ(Units(sorted), (std::vector<std::u16string>{u"a", u"b", u"b"}));
}

// --- standard containers of arrays -------------------------------------------------------

// A std::vector of pointer or integer arrays: copies of const arrays go in, temporaries move in,
// growth moves the arrays (nothrow moves), erasing moves the later ones down, and copying the
// vector copies every array.  Each array keeps its own elements throughout.
TEST(KQArrayVector, PointerAndIntegerArraysLiveInStdVector) {
  static_assert(std::is_nothrow_move_constructible_v<CKQPtrArray>);
  static_assert(std::is_nothrow_move_constructible_v<CKQUintArray>);

  const auto make = [](unsigned first, unsigned count) {
    CKQUintArray array;
    for (unsigned i = 0; i < count; ++i) {
      array.Add(first + i);
    }
    return array;
  };
  const auto values = [](const CKQUintArray& array) {
    return std::vector<unsigned>(array.begin(), array.end());
  };
  const auto expected = [](unsigned first, unsigned count) {
    std::vector<unsigned> out(count);
    std::iota(out.begin(), out.end(), first);
    return out;
  };

  std::vector<CKQUintArray> arrays;
  const CKQUintArray kept = make(1000, 3);
  arrays.push_back(kept); // a copy of a const array
  for (unsigned i = 1; i < 40; ++i) {
    arrays.push_back(make(i * 100, i % 13)); // temporaries, moved in; the vector grows often
  }
  ASSERT_EQ(arrays.size(), 40u);
  EXPECT_EQ(values(arrays[0]), expected(1000, 3));
  EXPECT_EQ(values(kept), expected(1000, 3)) << "the copied array keeps its elements";
  for (unsigned i = 1; i < 40; ++i) {
    EXPECT_EQ(values(arrays[i]), expected(i * 100, i % 13)) << "array " << i;
  }

  arrays.erase(arrays.begin() + 1); // move-assigns the later arrays down
  EXPECT_EQ(values(arrays[1]), expected(200, 2));
  arrays[1].Add(7u);
  EXPECT_EQ(values(arrays[1]).back(), 7u);

  const std::vector<CKQUintArray> copies = arrays; // copies of const arrays
  arrays[2].RemoveAll();
  EXPECT_EQ(values(copies[2]), expected(300, 3));
  EXPECT_EQ(values(copies[1]).back(), 7u);

  std::vector<CKQPtrArray> pointers(3);
  int slot = 0;
  pointers[1].Add(&slot);
  pointers.emplace_back(std::as_const(pointers[1]));
  pointers.resize(50); // growth moves them
  EXPECT_EQ(pointers[1].GetAt(0), &slot);
  EXPECT_EQ(pointers[3].GetAt(0), &slot);
  EXPECT_EQ(pointers[49].GetSize(), 0u);
  EXPECT_EQ(pointers[49].Add(&slot), 1);
}

// --- Reserve -----------------------------------------------------------------------------

TEST(KQArrayReserve, GrowsOnceAndNeverShrinks) {
  StringArrayProbe array;
  EXPECT_EQ(array.Reserve(1000), 1);
  EXPECT_EQ(array.Capacity(), 1000u);
  for (unsigned i = 0; i < 1000; ++i) {
    array.Add(u"x");
  }
  EXPECT_EQ(array.Capacity(), 1000u) << "no growth up to the reserved count";
  array.GetErrorState().SetError(kUntouched);
  EXPECT_EQ(array.Reserve(10), 1);
  EXPECT_EQ(array.Capacity(), 1000u);
  EXPECT_EQ(Code(array), kUntouched) << "success records nothing";
}

TEST(KQArrayReserve, MoreThanAnArrayCanHoldIsRefused) {
  StringArrayProbe array;
  Fill(array, {"kept"});
  const unsigned capacity = array.Capacity();
  EXPECT_EQ(array.Reserve(KQ_NO_INDEX), 0);
  EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
  EXPECT_EQ(array.Capacity(), capacity);
  EXPECT_EQ(Texts(array), (std::vector<std::string>{"kept"}));
}

} // namespace
