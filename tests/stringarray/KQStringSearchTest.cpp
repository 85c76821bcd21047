// CKQStringArray::FindString: exact and case-insensitive search, first match wins, and a key
// collision never passes for a match; in sorted arrays (binary search) and unsorted ones (key
// scan) alike, checked against a scan from the front on random arrays.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "KQKeyCollision.h"
#include "KQResultCodes.h"
#include "KQSearchModel.h"
#include "KQStringArray.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

TEST(KQStringSearch, ExactAndCaseInsensitiveMatches) {
  CKQStringArray array;
  Fill(array, {"Alpha", "beta", "", "beta"});
  const struct {
    const char* text;
    int noCase;
    unsigned expected;
  } cases[] = {
      {"ALPHA", 1, 0},
      {"ALPHA", 0, KQ_NO_INDEX},
      {"Alpha", 0, 0},
      {"BETA", 1, 1},
      {"beta", 0, 1},
      {"", 0, 2},
      {"", 1, 2},
      {"gamma", 1, KQ_NO_INDEX},
      {"alph", 1, KQ_NO_INDEX},
      {"Alpha ", 0, KQ_NO_INDEX},
  };
  for (const auto& c : cases) {
    array.GetErrorState().SetError(ERROR_INVALID_INDEX);
    EXPECT_EQ(array.FindString(S(c.text), c.noCase), c.expected)
        << '"' << c.text << "\" noCase=" << c.noCase;
    EXPECT_EQ(Code(array), c.expected == KQ_NO_INDEX ? ERROR_NOT_FOUND : ERROR_INVALID_INDEX)
        << "a miss records ERROR_NOT_FOUND; a hit keeps the previous code";
  }
}

TEST(KQStringSearch, SortedArrayFindsTheExactCaseOrTheFirstWithout) {
  CKQStringArray array(1);
  Fill(array, {"abc", "ABC"}); // stored as ABC, abc
  EXPECT_EQ(array.FindString(S("abc"), 1), 0u);
  EXPECT_EQ(array.FindString(S("abc"), 0), 1u);
  EXPECT_EQ(array.FindString(S("ÀBC"), 1), KQ_NO_INDEX);

  CKQStringArray empty;
  EXPECT_EQ(empty.FindString(S(""), 1), KQ_NO_INDEX);
  EXPECT_EQ(Code(empty), ERROR_NOT_FOUND);
}

TEST(KQStringSearch, NonAsciiAndSupplementaryCaseVariantsMatch) {
  CKQStringArray array;
  Fill(array, {"ΣΟΦΊΑ", "Straße", "\xF0\x90\x90\x80x"}); // U+10400 followed by x
  EXPECT_EQ(array.FindString(S("σοφία"), 1), 0u);
  EXPECT_EQ(array.FindString(S("STRAßE"), 1), 1u);
  EXPECT_EQ(array.FindString(S("\xF0\x90\x90\xA8X"), 1), 2u); // U+10428 followed by X
  EXPECT_EQ(array.FindString(S("\xF0\x90\x90\xA8X"), 0), KQ_NO_INDEX);
}

TEST(KQStringSearch, KeyCollisionIsNotAMatch) {
  const auto [first, second] = FindKeyCollision();
  ASSERT_NE(first, second);
  ASSERT_EQ(KeyOfLowerAscii(first), KeyOfLowerAscii(second)) << first << " / " << second;

  CKQStringArray allowList;
  Fill(allowList, {first});
  std::string upper = second;
  for (char& c : upper) {
    c = static_cast<char>(c - 'a' + 'A');
  }
  for (int noCase : {0, 1}) {
    EXPECT_EQ(allowList.FindString(S(second.c_str()), noCase), KQ_NO_INDEX) << "noCase=" << noCase;
    EXPECT_EQ(Code(allowList), ERROR_NOT_FOUND);
  }
  EXPECT_EQ(allowList.FindString(S(upper.c_str()), 1), KQ_NO_INDEX);
  Fill(allowList, {second});
  EXPECT_EQ(allowList.FindString(S(upper.c_str()), 1), 1u) << "the real match after the collision";
}

// A zero unit inside a string is part of it: such strings are found and ordered by their whole
// text, not by the part before the zero.
TEST(KQStringSearch, EmbeddedZeroUnitsAreText) {
  const char16_t withZero[] = {u'a', 0, u'B'};
  const CKQString aZeroB(withZero, 3);
  const char16_t withZeroLower[] = {u'A', 0, u'b'};
  const CKQString aZeroBOtherCase(withZeroLower, 3);
  CKQStringArray sorted(1);
  Fill(sorted, {"a", "ab"});
  unsigned index = KQ_NO_INDEX;
  sorted.Add(aZeroB, &index);
  EXPECT_EQ(index, 1u) << "after its prefix 'a', before 'ab'";
  EXPECT_EQ(sorted.FindString(aZeroB, 0), 1u);
  EXPECT_EQ(sorted.FindString(aZeroBOtherCase, 1), 1u);
  EXPECT_EQ(sorted.FindString(aZeroBOtherCase, 0), KQ_NO_INDEX);
  EXPECT_EQ(sorted.FindString(S("a"), 0), 0u) << "the prefix is another string";
  EXPECT_EQ(aZeroB.Compare(aZeroB), 0);
  EXPECT_EQ(aZeroB.CompareNoCase(aZeroBOtherCase), 0);
  EXPECT_GT(aZeroB.CompareNoCase(static_cast<const unsigned short*>(aZeroB)), 0)
      << "the pointer form sees only the text before the zero";
}

namespace {

CKQString FromUnits(const std::u16string& units) {
  return {units.data(), static_cast<std::uint32_t>(units.size())};
}

// Texts from a small alphabet of case pairs (ASCII, Latin-1, a supplementary pair), a zero unit
// and the two halves of a key collision, so that equal-without-case runs, case variants,
// embedded zeros and key collisions are all common.
class TextPool {
public:
  explicit TextPool(unsigned maxPieces) : m_maxPieces(maxPieces) {
    const auto [first, second] = FindKeyCollision();
    std::u16string upper;
    for (char c : second) {
      upper.push_back(static_cast<char16_t>(c - 'a' + 'A'));
    }
    m_pieces.push_back(std::u16string(first.begin(), first.end()));
    m_pieces.push_back(std::u16string(second.begin(), second.end()));
    m_pieces.push_back(upper);
  }

  CKQString Pick(std::mt19937& random) const {
    std::u16string units;
    const unsigned pieces = static_cast<unsigned>(random() % (m_maxPieces + 1));
    for (unsigned i = 0; i < pieces; ++i) {
      // The collision halves are long; keep them rare so the short pieces still form runs.
      const std::size_t choice =
          random() % 16 == 0 ? random() % m_pieces.size() : random() % (m_pieces.size() - 3);
      units += m_pieces[choice];
    }
    return FromUnits(units);
  }

private:
  unsigned m_maxPieces;
  std::vector<std::u16string> m_pieces{
      u"a",      u"A",      u"b",          u"B",         std::u16string(1, u'\0'),
      u"\u00E9", u"\u00C9", u"\U00010400", u"\U00010428"};
};

// The first element of the model that does not sort before `text`: where Add puts it in a
// sorted array.
unsigned SortedPosition(const std::vector<CKQString>& items, const CKQString& text) {
  unsigned i = 0;
  while (i < items.size() && items[i].CompareNoCase(text) < 0) {
    ++i;
  }
  return i;
}

} // namespace

// Random sequences of the members that add, replace, remove and reserve, on sorted and unsorted
// arrays; after every step a sample of searches (elements, their lowered forms, random texts)
// must agree with a scan from the front of a plain model.  Copies, made through the whole-array
// paths, must search consistently with their own contents too.
TEST(KQStringSearch, AgreesWithALinearScanAfterRandomChanges) {
  const TextPool pool(3);
  for (int sorted : {0, 1, 7}) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
      SCOPED_TRACE(testing::Message() << "sorted " << sorted << ", seed " << seed);
      std::mt19937 random(seed);
      StringArrayProbe array(sorted);
      std::vector<CKQString> model;
      for (int step = 0; step < 400; ++step) {
        const unsigned size = static_cast<unsigned>(model.size());
        const auto choice = static_cast<unsigned>(random() % 100);
        if (choice < 55 || size == 0) {
          const CKQString text = pool.Pick(random);
          unsigned index = KQ_NO_INDEX;
          ASSERT_EQ(array.Add(text, &index), 1);
          const unsigned expected = sorted != 0 ? SortedPosition(model, text) : size;
          ASSERT_EQ(index, expected);
          model.insert(model.begin() + expected, text);
        } else if (choice < 75) {
          const unsigned index = static_cast<unsigned>(random() % size);
          ASSERT_EQ(array.RemoveAt(index), 1);
          model.erase(model.begin() + index);
        } else if (choice < 90) {
          const unsigned index = static_cast<unsigned>(random() % size);
          const CKQString text = pool.Pick(random);
          ASSERT_EQ(array.SetAt(index, text), sorted != 0 ? 0 : 1);
          if (sorted == 0) {
            model[index] = text;
          }
        } else if (choice < 96) {
          ASSERT_EQ(array.Alloc(array.Capacity() + static_cast<unsigned>(random() % 40)), 1);
        } else if (choice < 98) {
          ASSERT_EQ(array.RemoveAll(), 1);
          model.clear();
        } else {
          CKQStringArray copy(array);
          const std::vector<CKQString> copied = Contents(copy);
          ASSERT_EQ(copied.size(), model.size());
          for (const CKQString& text : copied) {
            ASSERT_TRUE(FindsAsLinearScan(copy, copied, text)) << "in a copy";
          }
        }
        for (int sample = 0; sample < 6 && !model.empty(); ++sample) {
          CKQString text = model[random() % model.size()];
          ASSERT_TRUE(FindsAsLinearScan(array, model, text)) << "step " << step;
          text.MakeLower();
          ASSERT_TRUE(FindsAsLinearScan(array, model, text)) << "step " << step;
        }
        for (int sample = 0; sample < 6; ++sample) {
          ASSERT_TRUE(FindsAsLinearScan(array, model, pool.Pick(random))) << "step " << step;
        }
      }
      ASSERT_EQ(Contents(array).size(), model.size());
      for (unsigned i = 0; i < model.size(); ++i) {
        ASSERT_EQ(array[i].Compare(model[i]), 0) << "element " << i;
      }
    }
  }
}

// Sorted arrays made of long runs of equal-without-case strings (a handful of short texts added
// thousands of times): every text of the alphabet is found where a scan from the front finds it,
// also after elements were removed from the runs.
TEST(KQStringSearch, SortedArraysWithLongRunsOfEqualsAgreeWithALinearScan) {
  const TextPool pool(2);
  std::mt19937 random(99);
  std::vector<CKQString> queries;
  for (int i = 0; i < 400; ++i) {
    queries.push_back(pool.Pick(random));
  }
  CKQStringArray array(1);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(array.Add(pool.Pick(random), nullptr), 1);
  }
  for (int round = 0; round < 2; ++round) {
    const std::vector<CKQString> items = Contents(array);
    for (std::size_t i = 1; i < items.size(); ++i) {
      ASSERT_LE(items[i - 1].CompareNoCase(items[i]), 0) << "the array keeps its order";
    }
    for (const CKQString& text : queries) {
      ASSERT_TRUE(FindsAsLinearScan(array, items, text)) << "round " << round;
    }
    for (int i = 0; i < 1000; ++i) {
      array.RemoveAt(static_cast<unsigned>(random() % array.GetSize()));
    }
  }
}

// A long sorted array defers the keys of strings added in its middle and writes them in when
// something reads or moves keys.  Runs of additions of every length around the deferral's
// capacity, each followed by one of the members that read or move keys, must leave searches
// agreeing with a scan from the front; so must arrays merged from and into such an array, and
// an array that took over its elements by moving.
TEST(KQStringSearch, LongSortedArraysSearchRightAfterRunsOfAdditions) {
  const TextPool pool(4);
  std::mt19937 random(2024);
  CKQStringArray array(1);
  std::vector<CKQString> model;
  const auto add = [&](int times) {
    for (int i = 0; i < times; ++i) {
      const CKQString text = pool.Pick(random);
      unsigned index = KQ_NO_INDEX;
      ASSERT_EQ(array.Add(text, &index), 1);
      ASSERT_EQ(index, SortedPosition(model, text));
      model.insert(model.begin() + index, text);
    }
  };
  const auto searchesAgree = [&](CKQStringArray& searched, const std::vector<CKQString>& items) {
    for (int sample = 0; sample < 40; ++sample) {
      ASSERT_TRUE(FindsAsLinearScan(searched, items, items[random() % items.size()]));
      ASSERT_TRUE(FindsAsLinearScan(searched, items, pool.Pick(random)));
    }
  };
  add(700);
  searchesAgree(array, model);
  for (int run : {1, 2, 63, 64, 65, 129, 300}) {
    SCOPED_TRACE(testing::Message() << "a run of " << run << " additions");
    // Searched directly.
    add(run);
    searchesAgree(array, model);
    // Removing an element moves the keys after it.
    add(run);
    const unsigned removed = static_cast<unsigned>(random() % model.size());
    ASSERT_EQ(array.RemoveAt(removed), 1);
    model.erase(model.begin() + removed);
    searchesAgree(array, model);
    // A merge reads the source's keys; a merge into the array moves its own.
    add(run);
    CKQStringArray merged(1);
    ASSERT_EQ(merged.Append(array), 1);
    searchesAgree(merged, model);
    add(run);
    CKQStringArray few(1);
    Fill(few, {"b", "A", "\u00E9"});
    ASSERT_EQ(array.Append(few), 1);
    for (unsigned i = 0; i < few.GetSize(); ++i) {
      model.insert(model.begin() + SortedPosition(model, few[i]), few[i]);
    }
    ASSERT_EQ(Contents(array).size(), model.size());
    searchesAgree(array, model);
    // The keys not yet written in go with the elements when an array is moved.
    add(run);
    CKQStringArray taken(std::move(array));
    searchesAgree(taken, model);
    array = std::move(taken);
    searchesAgree(array, model);
  }
  const std::vector<CKQString> items = Contents(array);
  ASSERT_EQ(items.size(), model.size());
  for (unsigned i = 0; i < items.size(); ++i) {
    ASSERT_EQ(items[i].Compare(model[i]), 0) << "element " << i;
  }
}

// What a derived class moves through the protected interface is found where it put it: by the key
// scan of an unsorted array, and by the binary search and the exact-match walk of a sorted one
// (whose order the moves keep).  Adding and removing afterwards keep searches in step.
TEST(KQStringSearch, ElementsADerivedClassMovedAreFoundWhereItPutThem) {
  const struct {
    const char* name;
    int sorted;
    Strings added;
    std::vector<std::pair<unsigned, unsigned>> moves; // from, to
    Strings expected;
  } cases[] = {
      {"banana moved in front of cherry",
       0,
       {"apple", "cherry", "banana"},
       {{2, 1}},
       {"apple", "banana", "cherry"}},
      {"the first to the end", 0, {"a", "b", "c", "d"}, {{0, 3}}, {"b", "c", "d", "a"}},
      {"reversed",
       0,
       {"a", "b", "c", "d", "e"},
       {{4, 0}, {4, 1}, {4, 2}, {4, 3}},
       {"e", "d", "c", "b", "a"}},
      {"every slot in use: the slots grow first",
       0,
       {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       {{9, 0}},
       {"10", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
      {"sorted: a run of equals reordered",
       1,
       {"Banana", "banana", "BANANA", "apple", "cherry"},
       {{3, 1}, {2, 3}},
       {"apple", "Banana", "banana", "BANANA", "cherry"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StringArrayProbe array(c.sorted);
    Fill(array, c.added);
    for (const auto& [from, to] : c.moves) {
      ASSERT_TRUE(array.Move(from, to));
    }
    ASSERT_EQ(Texts(array), c.expected);
    for (unsigned i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(array.FindString(S(c.expected[i].c_str()), 0), i) << c.expected[i];
    }
    ExpectEveryElementFound(array, S("durian"));
    EXPECT_EQ(array.RemoveAt(0), 1);
    EXPECT_EQ(array.Add(S("Cherry")), 1);
    ExpectEveryElementFound(array, S("durian"));
  }
}

// The same on long arrays: an unsorted one (scanned with SSE2 where the CPU has it) after random
// moves, and a sorted one holding keys put aside by its additions, its runs of equals reordered.
TEST(KQStringSearch, LongArraysADerivedClassRearrangedSearchRight) {
  const TextPool pool(4);
  std::mt19937 random(99);
  for (int sorted : {0, 1}) {
    SCOPED_TRACE(testing::Message() << "sorted " << sorted);
    StringArrayProbe array(sorted);
    for (int i = 0; i < 700; ++i) {
      array.Add(pool.Pick(random));
    }
    for (int move = 0; move < 40; ++move) {
      const auto count = array.GetSize();
      if (sorted == 0) {
        ASSERT_TRUE(array.Move(static_cast<unsigned>(random() % count),
                               static_cast<unsigned>(random() % count)));
        continue;
      }
      // In a sorted array, an element moves within its run of equals only.
      const auto at = static_cast<unsigned>(random() % (count - 1));
      if (array[at].CompareNoCase(array[at + 1]) == 0) {
        ASSERT_TRUE(array.Move(at + 1, at));
      }
      array.Add(pool.Pick(random)); // keys put aside again before the next move
    }
    ExpectEveryElementFound(array, FromUnits(u"absent"));
  }
}
