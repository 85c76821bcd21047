// Keys taken on demand and the key index: whatever the members that change an array did, and
// whether or not searches built an index, FindString gives what a scan from the front gives; an
// index exists only where every key is known, and changes that move or replace elements drop it.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
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

namespace {

using Seam = KQStringArrayTestSeam;

// The rules the tests run under: never an index, an index at the first search of an array of
// 16 elements or more, and an index once searches have counted some work (the built-in rule's
// way, with a rule small enough that a few hundred random steps build and drop many indexes;
// the built-in rule itself asks for hundreds of searches per index).
constexpr unsigned kAfterFewScans = 2;
struct RuleSetting {
  const char* name;
  unsigned scans;
};
const RuleSetting kRules[] = {{"no index", ScopedKeyIndexRule::kNoIndex},
                              {"index at once", ScopedKeyIndexRule::kIndexAtOnce},
                              {"index after counted work", kAfterFewScans}};

// A random number below `n`.
unsigned Below(std::mt19937& random, unsigned n) { return static_cast<unsigned>(random() % n); }

CKQString FromUnits(const std::u16string& units) {
  return {units.data(), static_cast<std::uint32_t>(units.size())};
}

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

// `units` with the case of each letter of the test's alphabet (ASCII, U+00E9/U+00C9, and the
// supplementary pair U+10400/U+10428) flipped at random: the same text without regard to case.
std::u16string ScrambleCase(std::u16string units, std::mt19937& random) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (Below(random, 2) == 0) {
      continue;
    }
    char16_t& unit = units[i];
    const bool afterD801 = i > 0 && units[i - 1] == 0xD801;
    if (unit >= u'a' && unit <= u'z') {
      unit = static_cast<char16_t>(unit - 0x20);
    } else if (unit >= u'A' && unit <= u'Z') {
      unit = static_cast<char16_t>(unit + 0x20);
    } else if (unit == 0xE9 || unit == 0xC9) {
      unit = unit == 0xE9 ? char16_t{0xC9} : char16_t{0xE9};
    } else if (afterD801 && (unit == 0xDC00 || unit == 0xDC28)) {
      unit = unit == 0xDC00 ? char16_t{0xDC28} : char16_t{0xDC00};
    }
  }
  return units;
}

// Texts drawn from a few short bases (the empty text, a zero unit inside, non-ASCII and
// supplementary letters) and numbered words, each in random case, so that arrays hold many
// duplicates and case variants: the first element holding a text's key is often a case variant
// of it, not its exact match.  The two halves of a key collision come now and then, so that the
// first element holding the key is sometimes another text altogether.  Absent texts are
// numbered words that are never picked.
class TextPool {
public:
  TextPool() {
    const auto [first, second] = FindKeyCollision();
    m_collision = {Widen(first), Widen(second)};
  }

  // The collision half that is not `text` without regard to case; null when `text` is neither.
  std::optional<CKQString> OtherHalf(const CKQString& text) const {
    for (std::size_t half = 0; half < 2; ++half) {
      if (text.CompareNoCase(FromUnits(m_collision[half])) == 0) {
        return FromUnits(m_collision[1 - half]);
      }
    }
    return std::nullopt;
  }

  CKQString Pick(std::mt19937& random) const {
    const unsigned choice = Below(random, 20);
    if (choice < 9) {
      return FromUnits(
          ScrambleCase(m_bases[Below(random, static_cast<unsigned>(m_bases.size()))], random));
    }
    if (choice < 11) {
      return Collision(random);
    }
    return Word(Below(random, 150), random);
  }

  // One of the collision halves, in random case.
  CKQString Collision(std::mt19937& random) const {
    return FromUnits(ScrambleCase(m_collision[Below(random, 2)], random));
  }

  CKQString Absent(std::mt19937& random) const { return Word(1000 + Below(random, 50), random); }

private:
  static CKQString Word(unsigned number, std::mt19937& random) {
    return FromUnits(ScrambleCase(u"w" + Widen(std::to_string(number)), random));
  }

  std::vector<std::u16string> m_collision;
  std::vector<std::u16string> m_bases{
      u"",           u"a",           u"ab", u"b", std::u16string(u"a\0b", 3), u"\u00E9t\u00E9",
      u"\U00010400", u"x\U00010400y"};
};

// Where Add puts `text` in a sorted array: in front of the first element that does not sort
// before it.
unsigned SortedPosition(const std::vector<CKQString>& items, const CKQString& text) {
  unsigned i = 0;
  while (i < items.size() && items[i].CompareNoCase(text) < 0) {
    ++i;
  }
  return i;
}

// `items` after a whole-array operation added `added`: an unsorted array takes them at its end
// in order; a sorted one puts each in front of its equals, strings from a sorted source keeping
// their order among themselves, those from an unsorted one ending as one Add after another
// leaves them (a later one in front of an earlier equal).
void AddAll(std::vector<CKQString>& items, bool sorted, const std::vector<CKQString>& added,
            bool fromSorted) {
  if (!sorted) {
    items.insert(items.end(), added.begin(), added.end());
    return;
  }
  const auto insert = [&items](const CKQString& text) {
    items.insert(items.begin() + SortedPosition(items, text), text);
  };
  if (fromSorted) {
    for (auto it = added.rbegin(); it != added.rend(); ++it) {
      insert(*it);
    }
  } else {
    for (const CKQString& text : added) {
      insert(text);
    }
  }
}

testing::AssertionResult HoldsExactly(CKQStringArray& array, const std::vector<CKQString>& model) {
  const std::vector<CKQString> items = Contents(array);
  if (items.size() != model.size()) {
    return testing::AssertionFailure()
           << items.size() << " elements where the model has " << model.size();
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].Compare(model[i]) != 0) {
      return testing::AssertionFailure() << "element " << i << " is " << Describe(items[i])
                                         << ", the model's " << Describe(model[i]);
    }
  }
  return testing::AssertionSuccess();
}

// What holds of an array's keys and index at any time: no more keys known than elements, and an
// index only over 16 elements or more, all of whose keys are known.
testing::AssertionResult KeysConsistent(const CKQStringArray& array, unsigned size) {
  const unsigned known = Seam::KnownKeys(array);
  if (known > size) {
    return testing::AssertionFailure() << known << " keys known of " << size << " elements";
  }
  if (Seam::HasKeyIndex(array) && (known != size || size < 16)) {
    return testing::AssertionFailure()
           << "an index over " << size << " elements with " << known << " keys known";
  }
  return testing::AssertionSuccess();
}

// The other array of the random test: the source of appends and copies.
struct Source {
  std::unique_ptr<CKQStringArray> array;
  std::vector<CKQString> model;
  bool sorted = false;
};

// A fresh source of up to 40 pool texts, sorted or not, searched a few times (so that under
// an index rule it may carry an index into the array that takes its elements over).
void Refill(Source& source, const TextPool& pool, std::mt19937& random) {
  source.sorted = Below(random, 2) == 0;
  source.array = std::make_unique<CKQStringArray>(source.sorted ? 1 : 0);
  source.model.clear();
  const unsigned count = Below(random, 41);
  for (unsigned i = 0; i < count; ++i) {
    const CKQString text = pool.Pick(random);
    unsigned index = KQ_NO_INDEX;
    ASSERT_EQ(source.array->Add(text, &index), 1);
    source.model.insert(source.model.begin() + index, text);
  }
  for (int i = 0; i < 3 && count != 0; ++i) {
    ASSERT_TRUE(
        FindsAsLinearScan(*source.array, source.model,
                          source.model[Below(random, static_cast<unsigned>(source.model.size()))]));
  }
}

// The forms in which Append and Copy take their source.
enum class Form { kMutable, kConst, kTemporary };

// How often the searches of a run met the cases an index must not cut short.
struct Coverage {
  long indexedSearches = 0;  // searches of an array that had an index
  long caseVariantFirst = 0; // ... exact, whose text's first equal-without-case is another case
  long collisionFirst = 0;   // ... for a collision half, the other half standing before
  long indexesDoubled = 0;   // indexes kept while their arrays grew to twice the size indexed
  long indexesCarried = 0;   // indexes that went with the elements of a move or a take-over
};

} // namespace

// Random changes through every member that changes a string array, sorted and unsorted, each
// followed by searches (elements in scrambled case, exact elements, pool texts, collision halves,
// absent texts) checked against a scan from the front of a plain model; under each rule.  After
// every change the array's index is there exactly when it must be: kept by appends, dropped by
// changes that move or replace elements, carried by moves; after searches it is there at once
// under the index-at-once rule, never under the no-index rule.  Keys known never exceed the
// elements, and a sorted array's searches without an index read no key.
TEST(KQKeyIndex, SearchesAgreeWithALinearScanUnderEveryRule) {
  const TextPool pool;
  for (const RuleSetting& rule : kRules) {
    const ScopedKeyIndexRule scoped(rule.scans);
    Coverage coverage;
    for (int sorted : {0, 1}) {
      for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(testing::Message() << rule.name << ", sorted " << sorted << ", seed " << seed);
        std::mt19937 random(seed);
        auto array = std::make_unique<StringArrayProbe>(sorted);
        std::vector<CKQString> model;
        Source source;
        unsigned indexedSize = 0; // the size at which the array's index was built, 0: none
        Refill(source, pool, random);
        ASSERT_FALSE(testing::Test::HasFatalFailure());
        for (int step = 0; step < 300; ++step) {
          SCOPED_TRACE(testing::Message() << "step " << step);
          const auto size = static_cast<unsigned>(model.size());
          const bool hadIndex = Seam::HasKeyIndex(*array);
          const bool sourceHadIndex = Seam::HasKeyIndex(*source.array);
          bool index = false; // whether the array has an index after the change
          const unsigned choice = Below(random, 100);
          if (choice < 45 || size == 0) {
            const CKQString text = pool.Pick(random);
            unsigned at = KQ_NO_INDEX;
            ASSERT_EQ(array->Add(text, &at), 1);
            ASSERT_EQ(at, sorted != 0 ? SortedPosition(model, text) : size);
            model.insert(model.begin() + at, text);
            index = hadIndex && at == size; // an append extends it; an insertion drops it
          } else if (choice < 54) {
            const unsigned at = Below(random, size);
            ASSERT_EQ(array->RemoveAt(at), 1);
            model.erase(model.begin() + at);
          } else if (choice < 62) {
            const unsigned at = Below(random, size);
            const CKQString text = pool.Pick(random);
            ASSERT_EQ(array->SetAt(at, text), sorted != 0 ? 0 : 1);
            if (sorted == 0) {
              model[at] = text;
            }
            index = hadIndex && sorted != 0; // refused in a sorted array
          } else if (choice < 66) {
            if (sorted == 0) { // a derived class's reorder
              const unsigned from = Below(random, size);
              const unsigned to = Below(random, size);
              ASSERT_TRUE(array->Move(from, to));
              const CKQString moved = model[from];
              model.erase(model.begin() + from);
              model.insert(model.begin() + to, moved);
            } else {
              index = hadIndex;
            }
          } else if (choice < 75) {
            const auto form = static_cast<Form>(Below(random, 3));
            const bool copy = choice >= 71; // Copy empties the array first
            const bool wasEmpty = copy || size == 0;
            int result = 0;
            if (form == Form::kTemporary) {
              result = copy ? array->Copy(std::move(*source.array))
                            : array->Append(std::move(*source.array));
            } else if (form == Form::kConst) {
              const CKQStringArray& read = *source.array;
              result = copy ? array->Copy(read) : array->Append(read);
            } else {
              result = copy ? array->Copy(*source.array) : array->Append(*source.array);
            }
            ASSERT_EQ(result, 1);
            if (copy) {
              model.clear();
            }
            AddAll(model, sorted != 0, source.model, source.sorted);
            // A temporary is taken over by an empty array in the same order (its index with it).
            const bool takenOver =
                form == Form::kTemporary && !source.model.empty() && source.array->GetSize() == 0;
            if (takenOver) {
              ASSERT_TRUE(wasEmpty && source.sorted == (sorted != 0));
              source.model.clear();
              index = sourceHadIndex;
              coverage.indexesCarried += index ? 1 : 0;
            } else {
              ASSERT_TRUE(HoldsExactly(*source.array, source.model)) << "the source is read only";
              // Appending to an unsorted array extends its index; a merge into a sorted one
              // drops it unless nothing came.
              index = !copy && hadIndex && (sorted == 0 || source.model.empty());
            }
          } else if (choice < 78) {
            ASSERT_EQ(array->Append(*array), 1);
            const std::vector<CKQString> before = model;
            AddAll(model, sorted != 0, before, sorted != 0);
            index = hadIndex && sorted == 0;
          } else if (choice < 81) {
            array = std::make_unique<StringArrayProbe>(*array); // copy construction
          } else if (choice < 85) {
            CKQStringArray held(std::move(*array)); // move construction and assignment
            ASSERT_FALSE(Seam::HasKeyIndex(*array)) << "the index went with the elements";
            ASSERT_EQ(Seam::KnownKeys(*array), 0u);
            ASSERT_EQ(Seam::HasKeyIndex(held), hadIndex);
            static_cast<CKQStringArray&>(*array) = std::move(held);
            index = hadIndex;
            coverage.indexesCarried += index ? 1 : 0;
          } else if (choice < 86) {
            ASSERT_EQ(array->RemoveAll(), 1);
            model.clear();
          } else if (choice < 92) {
            std::vector<std::u16string> range;
            std::vector<CKQString> added;
            for (unsigned i = Below(random, 20); i > 0; --i) {
              added.push_back(pool.Pick(random));
              range.emplace_back(added.back().Data(), added.back().GetLength());
            }
            ASSERT_EQ(array->AddRange(range.begin(), range.end()), 1);
            AddAll(model, sorted != 0, added, false);
            index = hadIndex && (sorted == 0 || added.empty());
          } else {
            Refill(source, pool, random);
            ASSERT_FALSE(testing::Test::HasFatalFailure());
            index = hadIndex;
          }
          ASSERT_TRUE(HoldsExactly(*array, model));
          const auto count = static_cast<unsigned>(model.size());
          ASSERT_EQ(Seam::HasKeyIndex(*array), index) << "after choice " << choice;
          ASSERT_TRUE(KeysConsistent(*array, count)) << "after choice " << choice;
          if (!index) {
            indexedSize = 0;
          } else if (indexedSize != 0 && count >= 2 * indexedSize) {
            ++coverage.indexesDoubled;
            indexedSize = count;
          }

          const unsigned knownBefore = Seam::KnownKeys(*array);
          std::vector<CKQString> queries;
          for (int i = 0; i < 3 && count != 0; ++i) {
            const CKQString& element = model[Below(random, count)];
            queries.push_back(FromUnits(ScrambleCase(Units(element), random)));
          }
          if (count != 0) {
            queries.push_back(model[Below(random, count)]);
          }
          queries.push_back(pool.Pick(random));
          queries.push_back(pool.Pick(random));
          queries.push_back(pool.Collision(random));
          queries.push_back(pool.Absent(random));
          for (const CKQString& text : queries) {
            if (Seam::HasKeyIndex(*array)) {
              ++coverage.indexedSearches;
              const unsigned exact = LinearFind(model, text, 0);
              const unsigned noCase = LinearFind(model, text, 1);
              coverage.caseVariantFirst += noCase != KQ_NO_INDEX && noCase != exact ? 1 : 0;
              if (const std::optional<CKQString> other = pool.OtherHalf(text)) {
                const unsigned otherAt = LinearFind(model, *other, 1);
                coverage.collisionFirst += otherAt != KQ_NO_INDEX && otherAt < noCase ? 1 : 0;
              }
            }
            ASSERT_TRUE(FindsAsLinearScan(*array, model, text));
          }
          ASSERT_TRUE(KeysConsistent(*array, count));
          const bool hasIndex = Seam::HasKeyIndex(*array);
          ASSERT_TRUE(hasIndex || !index) << "searches do not drop an index";
          if (hasIndex && !index) {
            indexedSize = count;
          }
          if (rule.scans == kAfterFewScans) {
            // An index comes only once the searches have counted enough work.
          } else if (rule.scans == ScopedKeyIndexRule::kNoIndex) {
            ASSERT_FALSE(hasIndex);
          } else {
            ASSERT_EQ(hasIndex, count >= 16) << "the first search of 16 elements builds one";
          }
          if (sorted == 0) {
            ASSERT_EQ(Seam::KnownKeys(*array), count) << "an unsorted search takes every key";
          } else if (!hasIndex) {
            ASSERT_EQ(Seam::KnownKeys(*array), knownBefore) << "a binary search reads no key";
          }
        }
      }
    }
    RecordProperty(std::string(rule.name) + ": indexed searches",
                   static_cast<int>(coverage.indexedSearches));
    if (rule.scans == ScopedKeyIndexRule::kNoIndex) {
      EXPECT_EQ(coverage.indexedSearches, 0);
      continue;
    }
    // The runs must have met what they are there for.
    EXPECT_GT(coverage.indexedSearches, 1000) << rule.name;
    EXPECT_GT(coverage.caseVariantFirst, 50) << rule.name;
    EXPECT_GT(coverage.collisionFirst, 5) << rule.name;
    EXPECT_GT(coverage.indexesDoubled, 0) << rule.name;
    EXPECT_GT(coverage.indexesCarried, 0) << rule.name;
  }
}

namespace {

// 40 elements "k00", "K00", ..., "k19", "K19": runs of two case variants (15 elements: the
// first 15 of them).  Unsorted, in that order; sorted, each upper one in front of its lower one.
void FillVariants(CKQStringArray& array, unsigned elements) {
  for (unsigned i = 0; i < elements; ++i) {
    std::string text = (i % 2 == 0 ? "k" : "K") + std::to_string(100 + i / 2).substr(1);
    ASSERT_EQ(array.Add(S(text.c_str())), 1);
  }
}

void Search(CKQStringArray& array, unsigned scans) {
  const ScopedKeyIndexRule rule(scans);
  array.FindString(S("k07"), 0);
}

} // namespace

// When keys are taken and the index kept or dropped: an array searched under the index-at-once
// rule (`primed`: every key known, an index from 16 elements) goes through one change, after
// which it knows `known` keys and has an index or not.  Whatever the change, searches then find
// every element where a scan from the front does, without an index and with one.
TEST(KQKeyIndex, KeysAreTakenWhenSearchesNeedThemAndTheIndexFollowsTheChanges) {
  using Rule = ScopedKeyIndexRule;
  const struct {
    const char* what;
    int sorted;
    unsigned elements;
    bool primed;
    void (*change)(StringArrayProbe&);
    unsigned known;
    bool index;
  } cases[] = {
      {"unsorted, never searched", 0, 40, false, [](StringArrayProbe&) {}, 0, false},
      {"unsorted, one search takes every key", 0, 40, false,
       [](StringArrayProbe& a) { Search(a, Rule::kNoIndex); }, 40, false},
      {"unsorted, 15 elements: no index even at once", 0, 15, false,
       [](StringArrayProbe& a) { Search(a, Rule::kIndexAtOnce); }, 15, false},
      {"sorted: a binary search reads no key", 1, 40, false,
       [](StringArrayProbe& a) { Search(a, Rule::kNoIndex); }, 0, false},
      {"sorted, 15 elements: no index, no key", 1, 15, false,
       [](StringArrayProbe& a) { Search(a, Rule::kIndexAtOnce); }, 0, false},
      {"sorted: building the index takes every key", 1, 40, false,
       [](StringArrayProbe& a) { Search(a, Rule::kIndexAtOnce); }, 40, true},
      {"unsorted, unsearched: Add", 0, 40, false, [](StringArrayProbe& a) { a.Add(S("new")); }, 0,
       false},
      {"unsorted, indexed: Add extends the index", 0, 40, true,
       [](StringArrayProbe& a) { a.Add(S("new")); }, 41, true},
      {"unsorted, indexed: 200 new texts (the index grows)", 0, 40, true,
       [](StringArrayProbe& a) {
         for (int i = 0; i < 200; ++i) {
           a.Add(S(("new " + std::to_string(i)).c_str()));
         }
       },
       240, true},
      {"unsorted, indexed: one text 200 times", 0, 40, true,
       [](StringArrayProbe& a) {
         for (int i = 0; i < 200; ++i) {
           a.Add(S(i % 2 == 0 ? "k03" : "K03"));
         }
       },
       240, true},
      {"unsorted, indexed: Append extends the index", 0, 40, true,
       [](StringArrayProbe& a) { a.Append(a); }, 80, true},
      {"unsorted, indexed: RemoveAt moves the keys after it", 0, 40, true,
       [](StringArrayProbe& a) { a.RemoveAt(5); }, 39, false},
      {"unsorted, indexed: SetAt keys the new text", 0, 40, true,
       [](StringArrayProbe& a) { a.SetAt(5, S("set")); }, 40, false},
      {"unsorted, indexed: a derived class moves an element", 0, 40, true,
       [](StringArrayProbe& a) { a.Move(30, 3); }, 0, false},
      {"unsorted, indexed: RemoveAll", 0, 40, true, [](StringArrayProbe& a) { a.RemoveAll(); }, 0,
       false},
      {"sorted, indexed: Add at the end extends the index", 1, 40, true,
       [](StringArrayProbe& a) { a.Add(S("z")); }, 41, true},
      {"sorted, indexed: Add in the middle", 1, 40, true,
       [](StringArrayProbe& a) { a.Add(S("k10a")); }, 22, false},
      {"sorted, indexed: a merge from the first position it changed", 1, 40, true,
       [](StringArrayProbe& a) {
         CKQStringArray more;
         Fill(more, {"z", "k10a"});
         a.Append(more);
       },
       22, false},
      {"sorted, indexed: a derived class reorders a run", 1, 40, true,
       [](StringArrayProbe& a) { a.Move(21, 20); }, 0, false},
      {"sorted, indexed: RemoveAt", 1, 40, true, [](StringArrayProbe& a) { a.RemoveAt(39); }, 39,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StringArrayProbe array(c.sorted);
    FillVariants(array, c.elements);
    ASSERT_FALSE(HasFatalFailure());
    if (c.primed) {
      Search(array, Rule::kIndexAtOnce);
      ASSERT_EQ(Seam::KnownKeys(array), c.elements);
      ASSERT_TRUE(Seam::HasKeyIndex(array));
    }
    c.change(array);
    EXPECT_EQ(Seam::KnownKeys(array), c.known);
    EXPECT_EQ(Seam::HasKeyIndex(array), c.index);
    for (const unsigned scans : {Rule::kNoIndex, Rule::kIndexAtOnce}) {
      const Rule rule(scans);
      ExpectEveryElementFound(array, S("k99"));
      ASSERT_FALSE(HasFatalFailure()) << (scans == Rule::kNoIndex ? "no index" : "indexed");
    }
    EXPECT_EQ(Seam::HasKeyIndex(array), array.GetSize() >= 16);
  }
}

// Under the built-in rule, a large array's searches count their work by sampling (a thread adds
// a search's work, sixteen times over, for about one search in sixteen), so that reader threads
// do not all write one shared word.  The index must still come after about the work that
// building it costs: 1,024 units per element plus 2,048 per key not taken, against 3,840 per
// sorted search (15 binary-search steps of 256) or the keys an unsorted one scans (9,999 here).
// A sorted array loaded in order takes every key as it goes (each Add lands last), one loaded in
// reverse order none (each lands first).  Counted without sampling the index would come at
// exactly the expected search; a broken sample (never drawn, or drawn without its weight) would
// never build it, or build it far too early or late.
TEST(KQKeyIndex, TheBuiltInRuleBuildsAfterAboutTheWorkOfBuildingOnLargeArraysToo) {
  constexpr unsigned kElements = 20000;
  const struct {
    const char* what;
    int sorted;
    bool reverse;
    unsigned known;    // keys known once the array is loaded
    unsigned expected; // searches until the index, counted exactly
  } cases[] = {
      {"sorted, loaded in order", 1, false, kElements, 1024 * kElements / 3840},
      {"sorted, loaded in reverse", 1, true, 0, 3072 * kElements / 3840},
      // The first search takes every key; sampled from the second on.
      {"unsorted", 0, false, 0, 1024 * kElements / 9999},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CKQStringArray array(c.sorted);
    for (unsigned i = 0; i < kElements; ++i) {
      std::string text = std::to_string(100000 + (c.reverse ? kElements - 1 - i : i));
      text[0] = 'w';
      ASSERT_EQ(array.Add(S(text.c_str())), 1);
    }
    EXPECT_EQ(Seam::KnownKeys(array), c.known);
    const CKQStringArray& reader = array;
    unsigned searches = 0;
    while (!Seam::HasKeyIndex(array) && searches < 4 * c.expected) {
      ++searches;
      ASSERT_EQ(reader.FindString(std::u16string_view(u"W09999"), 1), 9999u);
    }
    EXPECT_GT(searches, c.expected / 2);
    EXPECT_LT(searches, c.expected * 2);
  }
}
