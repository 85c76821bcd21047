// CKQStringArray whole-array operations: order and sorted flags, error states, independence of
// the copies, and an array used on both sides.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

TEST(KQStringArrayCopy, AppendAppliesTheTargetsOrder) {
  CKQStringArray source;
  Fill(source, {"b", "a"});
  CKQStringArray unsorted;
  CKQStringArray sorted(1);
  EXPECT_EQ(unsorted.Append(source), 1);
  EXPECT_EQ(sorted.Append(source), 1);
  EXPECT_EQ(Texts(unsorted), (Strings{"b", "a"}));
  EXPECT_EQ(Texts(sorted), (Strings{"a", "b"}));
  sorted += source;
  EXPECT_EQ(Texts(sorted), (Strings{"a", "a", "b", "b"}));
  EXPECT_EQ(Texts(source), (Strings{"b", "a"}));
}

// A sorted source's order is kept: every way of copying a sorted array gives its elements in
// their order, and they go in front of the equal strings the target already held.
TEST(KQStringArrayCopy, CopiesOfASortedArrayEqualTheOriginal) {
  CKQStringArray source(1);
  Fill(source, {"dog", "Dog", "DOG"}); // each Add goes in front of its equals
  const Strings original{"DOG", "Dog", "dog"};
  ASSERT_EQ(Texts(source), original);

  CKQStringArray copied(source);
  CKQStringArray assigned;
  assigned = source;
  CKQStringArray target(1);
  EXPECT_EQ(target.Copy(source), 1);
  CKQStringArray empty(1);
  const CKQStringArray& constSource = source;
  CKQStringArray sum = constSource + empty;
  for (CKQStringArray* copy : {&copied, &assigned, &target, &sum}) {
    EXPECT_EQ(Texts(*copy), original);
  }
  EXPECT_EQ(assigned.IsSorted(), 1);

  CKQStringArray held(1);
  Fill(held, {"cat", "dOg", "emu"});
  EXPECT_EQ(held.Append(source), 1);
  EXPECT_EQ(Texts(held), (Strings{"cat", "DOG", "Dog", "dog", "dOg", "emu"}));
  EXPECT_EQ(source.Append(source), 1);
  EXPECT_EQ(Texts(source), (Strings{"DOG", "Dog", "dog", "DOG", "Dog", "dog"}));
}

// Strings from an unsorted source end where adding them one by one puts them: a later string in
// front of an earlier equal, all of them in front of the target's equals.
TEST(KQStringArrayCopy, AnUnsortedSourceGoesInAsOneAddAfterAnother) {
  CKQStringArray source;
  Fill(source, {"b", "A", "B", "a", "c"});
  CKQStringArray target(1);
  Fill(target, {"a", "b"});
  EXPECT_EQ(target.Append(source), 1);
  EXPECT_EQ(Texts(target), (Strings{"a", "A", "a", "B", "b", "b", "c"}));
}

namespace {

// Where a sorted array puts `text`: before the first element that does not sort before it.
void ModelInsert(Strings& contents, const std::string& text) {
  const CKQString wanted = S(text.c_str());
  std::size_t i = 0;
  while (i < contents.size() && S(contents[i].c_str()).CompareNoCase(wanted) < 0) {
    ++i;
  }
  contents.insert(contents.begin() + static_cast<std::ptrdiff_t>(i), text);
}

// A sorted target after a whole-array operation: one Add per string, back to front for a sorted
// source (which keeps its order), front to back otherwise.
Strings ModelAppend(Strings contents, const Strings& added, bool sourceSorted) {
  if (sourceSorted) {
    for (auto text = added.rbegin(); text != added.rend(); ++text) {
      ModelInsert(contents, *text);
    }
  } else {
    for (const std::string& text : added) {
      ModelInsert(contents, text);
    }
  }
  return contents;
}

} // namespace

// Random arrays over a small alphabet, so that runs of equal-without-case strings are common:
// every whole-array operation into a sorted array matches the one-by-one model, whether the merge
// reads the source in one run or in runs of a few strings.
TEST(KQStringArrayCopy, MergesIntoASortedArrayMatchTheOneByOneModel) {
  std::mt19937 random(12345);
  const auto randomText = [&random] {
    static const char kLetters[] = {'a', 'A', 'b', 'B', 'c'};
    std::string text(random() % 4, ' ');
    for (char& letter : text) {
      letter = kLetters[random() % sizeof(kLetters)];
    }
    return text;
  };
  for (int round = 0; round < 300; ++round) {
    const unsigned runLength = round % 3 == 0 ? 0u : round % 3 == 1 ? 1u : 3u;
    const ScopedMergeRunLength runs(runLength);
    SCOPED_TRACE("round " + std::to_string(round) + ", runs of " + std::to_string(runLength));
    const bool sourceSorted = round % 2 == 0;
    CKQStringArray source(sourceSorted ? 1 : 0);
    CKQStringArray target(1);
    for (auto i = random() % 40; i > 0; --i) {
      source.Add(S(randomText().c_str()));
    }
    for (auto i = random() % 40; i > 0; --i) {
      target.Add(S(randomText().c_str()));
    }
    const Strings sourceTexts = Texts(source);
    const Strings targetTexts = Texts(target);

    CKQStringArray appended(target);
    ASSERT_EQ(Texts(appended), targetTexts);
    EXPECT_EQ(appended.Append(source), 1);
    EXPECT_EQ(Texts(appended), ModelAppend(targetTexts, sourceTexts, sourceSorted));

    CKQStringArray copied(1);
    Fill(copied, {"b"});
    EXPECT_EQ(copied.Copy(source), 1);
    EXPECT_EQ(Texts(copied), ModelAppend({}, sourceTexts, sourceSorted));

    const CKQStringArray& constTarget = target;
    CKQStringArray sum = constTarget + source;
    EXPECT_EQ(Texts(sum),
              ModelAppend(ModelAppend({}, targetTexts, true), sourceTexts, sourceSorted));

    CKQStringArray self(target);
    EXPECT_EQ(self.Append(self), 1);
    EXPECT_EQ(Texts(self), ModelAppend(targetTexts, targetTexts, true));
    if (HasFailure()) {
      break;
    }
  }
}

// A sorted merge reads its source in runs, orders each, and merges them all at once: with runs
// of one, two or three strings, every case below must end exactly as the one-by-one model says,
// as a merge in one run does (strings equal without case included, wherever the run boundaries
// fall among them).
TEST(KQStringArrayCopy, MergesInShortRunsKeepTheOrderOfOneRun) {
  const struct {
    const char* name;
    int sourceSorted;
    Strings source; // added in this order
    Strings target; // a sorted target's contents before the merge, added in this order
  } cases[] = {
      {"equal strings, unsorted source", 0, {"b", "A", "B", "a", "c", "a", "A", "b"}, {"a", "B"}},
      {"equal strings, sorted source",
       1,
       {"dog", "Dog", "DOG", "cat", "CAT", "emu", "Cat", "dOG"},
       {"dOg", "cat"}},
      {"one run of equals across every boundary", 1, {"x", "X", "x", "X", "x", "X", "x"}, {"X"}},
      {"unsorted source already in order", 0, {"a", "b", "c", "d", "e", "f", "g"}, {"c"}},
      {"unsorted source in reverse order", 0, {"g", "f", "e", "d", "c", "b", "a"}, {}},
      {"one string", 0, {"q"}, {"p", "r"}},
      {"empty source", 1, {}, {"a"}},
  };
  for (unsigned runLength : {1u, 2u, 3u}) {
    const ScopedMergeRunLength runs(runLength);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", runs of " + std::to_string(runLength));
      CKQStringArray source(c.sourceSorted);
      Fill(source, c.source);
      const Strings sourceTexts = Texts(source);
      const bool sorted = c.sourceSorted != 0;

      CKQStringArray target(1);
      Fill(target, c.target);
      const Strings targetTexts = Texts(target);
      EXPECT_EQ(target.Append(source), 1);
      EXPECT_EQ(Texts(target), ModelAppend(targetTexts, sourceTexts, sorted));

      CKQStringArray copied(1);
      EXPECT_EQ(copied.Copy(source), 1);
      EXPECT_EQ(Texts(copied), ModelAppend({}, sourceTexts, sorted));

      if (sorted) {
        const CKQStringArray& constSource = source;
        CKQStringArray constructed(constSource);
        EXPECT_EQ(Texts(constructed), sourceTexts) << "a copy of a sorted array equals it";
        CKQStringArray self(constSource);
        EXPECT_EQ(self.Append(self), 1);
        EXPECT_EQ(Texts(self), ModelAppend(sourceTexts, sourceTexts, true));
      }
      for (const std::string& text : Texts(target)) {
        EXPECT_NE(target.FindString(S(text.c_str()), 0), KQ_NO_INDEX) << text << ": keys in step";
      }
    }
  }
}

TEST(KQStringArrayCopy, SortedFlagAndErrorStateRules) {
  CKQStringArray source(7);
  Fill(source, {"x", "y"});
  source.FindString(S("absent"), 1); // records ERROR_NOT_FOUND in the source

  CKQStringArray copied(source);
  EXPECT_EQ(copied.IsSorted(), 7);
  EXPECT_EQ(Code(copied), ERROR_SUCCESS) << "a fresh error state, then its own insertions";

  CKQStringArray assigned;
  CKQStringArray& result = (assigned = source);
  EXPECT_EQ(&result, &assigned);
  EXPECT_EQ(assigned.IsSorted(), 7) << "assignment takes the source's flag";
  EXPECT_EQ(Code(assigned), ERROR_NOT_FOUND) << "and, last, the source's recorded code";

  CKQStringArray target;
  Fill(target, {"old"});
  EXPECT_EQ(target.Copy(source), 1);
  EXPECT_EQ(target.IsSorted(), 0) << "Copy keeps the target's flag";
  EXPECT_EQ(Texts(target), (Strings{"x", "y"}));
}

TEST(KQStringArrayCopy, ConcatenationLeavesBothOperandsAlone) {
  CKQStringArray left(1);
  Fill(left, {"m", "c"});
  CKQStringArray right;
  Fill(right, {"z", "a"});
  const CKQStringArray& constLeft = left;
  CKQStringArray sum = constLeft + right;
  EXPECT_EQ(sum.IsSorted(), 1);
  EXPECT_EQ(Texts(sum), (Strings{"a", "c", "m", "z"}));
  EXPECT_EQ(Texts(left), (Strings{"c", "m"}));
  EXPECT_EQ(Texts(right), (Strings{"z", "a"}));

  CKQStringArray unsortedSum = right + left;
  EXPECT_EQ(unsortedSum.IsSorted(), 0);
  EXPECT_EQ(Texts(unsortedSum), (Strings{"z", "a", "c", "m"}));
}

TEST(KQStringArrayCopy, CopiesShareNothing) {
  CKQStringArray source;
  Fill(source, {"one", "two"});
  CKQStringArray assigned;
  assigned = source;
  CKQStringArray copied(source);
  source.RemoveAt(0);
  source.SetAt(0, S("changed"));
  EXPECT_EQ(Texts(assigned), (Strings{"one", "two"}));
  EXPECT_EQ(Texts(copied), (Strings{"one", "two"}));
  EXPECT_EQ(assigned.FindString(S("TWO"), 1), 1u) << "the copy has keys of its own";
}

// Using an array on both sides keeps the caller's data: Copy and assignment change nothing, and
// Append adds the elements present at the start once each.
TEST(KQStringArrayCopy, AnArrayOnBothSides) {
  for (int sorted : {0, 1}) {
    CKQStringArray array(sorted);
    Fill(array, {"b", "A", "c"});
    const Strings before = Texts(array);
    array.GetErrorState().SetError(ERROR_NOT_FOUND);

    EXPECT_EQ(array.Copy(array), 1);
    CKQStringArray& self = array;
    array = self;
    EXPECT_EQ(Texts(array), before) << "sorted=" << sorted;
    EXPECT_EQ(Code(array), ERROR_NOT_FOUND);

    EXPECT_EQ(array.Append(array), 1);
    array += array;
    EXPECT_EQ(array.GetSize(), 12u);
    if (sorted != 0) {
      EXPECT_EQ(Texts(array),
                (Strings{"A", "A", "A", "A", "b", "b", "b", "b", "c", "c", "c", "c"}));
    } else {
      EXPECT_EQ(Texts(array),
                (Strings{"b", "A", "c", "b", "A", "c", "b", "A", "c", "b", "A", "c"}));
    }
  }
}

namespace {

std::vector<std::u16string> Units(CKQStringArray& array) {
  std::vector<std::u16string> units;
  for (unsigned i = 0; i < array.GetSize(); ++i) {
    const CKQString text = array.GetAt(i);
    units.emplace_back(text.View());
  }
  return units;
}

} // namespace

// The merge orders long batches by a summary of each text's first eight lowered units before it
// compares texts.  Texts here share stems of seven to nine units and mix units whose lowered form
// sits on either side of that summary's limits: non-ASCII letters that lower to ASCII ones
// (KELVIN SIGN, capital I with dot), DEL and '~', zero units, letters beyond ASCII, a surrogate
// pair and a lone surrogate.  Every merge must give what adding the strings one by one gives, and
// a copy of a sorted array must equal it.
TEST(KQStringArrayCopy, MergedOrderOfTextsAcrossTheSummaryLimits) {
  static const char16_t kUnits[] = {u'a',      u'A',      u'i',      u'k',      u'K',
                                    u'~',      0x7F,      0,         u'\u212A', u'\u0130',
                                    u'\u00C9', u'\u00E9', u'\uFF21', u'\uE000', 0xD800};
  static const std::u16string kStems[] = {u"",          u"abcdefg",       u"ABCDEFGH",
                                          u"abcdefgh~", u"abcdefg\u212A", u"\U00010400bcdefgh"};
  std::mt19937 random(2024);
  const auto randomText = [&random] {
    std::u16string text = kStems[random() % std::size(kStems)];
    for (auto i = random() % 4; i > 0; --i) {
      text += kUnits[random() % std::size(kUnits)];
    }
    if (random() % 8 == 0) {
      text += u"\U00010428"; // a lowered pair after the stem
    }
    return text;
  };
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    CKQStringArray unsorted;
    CKQStringArray oneByOne(1);
    for (auto i = random() % 80; i > 0; --i) {
      const std::u16string text = randomText();
      const CKQString element(text.data(), static_cast<std::uint32_t>(text.size()));
      unsorted.Add(element);
      oneByOne.Add(element);
    }
    const std::vector<std::u16string> expected = Units(oneByOne);
    for (std::size_t i = 1; i < expected.size(); ++i) {
      ASSERT_LE(
          CKQString(expected[i - 1].data(), static_cast<std::uint32_t>(expected[i - 1].size()))
              .CompareNoCase(
                  CKQString(expected[i].data(), static_cast<std::uint32_t>(expected[i].size()))),
          0);
    }
    CKQStringArray merged(1);
    EXPECT_EQ(merged.Append(unsorted), 1);
    EXPECT_EQ(Units(merged), expected);
    CKQStringArray copied(oneByOne);
    EXPECT_EQ(Units(copied), expected);
    if (HasFailure()) {
      break;
    }
  }
}

namespace {

// A single-pass iterator over a vector: AddRange must read each element once, in order.
template <typename Element> class InputOnly {
public:
  using iterator_category = std::input_iterator_tag;
  using value_type = Element;
  using difference_type = std::ptrdiff_t;
  using pointer = const Element*;
  using reference = const Element&;

  InputOnly(const std::vector<Element>* elements, std::size_t at)
      : m_elements(elements), m_at(at) {}
  const Element& operator*() const { return (*m_elements)[m_at]; }
  InputOnly& operator++() {
    ++m_at;
    return *this;
  }
  bool operator==(const InputOnly& other) const { return m_at == other.m_at; }
  bool operator!=(const InputOnly& other) const { return m_at != other.m_at; }

private:
  const std::vector<Element>* m_elements;
  std::size_t m_at;
};

} // namespace

// Loading a range, in any of the element types and iterator kinds AddRange takes, leaves what
// one Add per string leaves, in both orders and onto elements already there.
TEST(KQStringArrayCopy, RangesLoadAsOneAddAfterAnother) {
  std::mt19937 random(777);
  const auto randomText = [&random] {
    static const char16_t kLetters[] = {u'a', u'A', u'b', u'B', u'\u00C9', u'\u00E9'};
    std::u16string text(random() % 4, u' ');
    for (char16_t& letter : text) {
      letter = kLetters[random() % std::size(kLetters)];
    }
    return text;
  };
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int sorted = round % 2;
    std::vector<std::u16string> owned(random() % 40);
    for (std::u16string& text : owned) {
      text = randomText();
    }
    std::vector<CKQString> strings;
    std::vector<const char16_t*> pointers;
    for (const std::u16string& text : owned) {
      strings.emplace_back(std::u16string_view(text));
      pointers.push_back(text.c_str());
    }
    CKQStringArray model(sorted);
    model.Add(u"b");
    model.Add(u"A");
    for (const std::u16string& text : owned) {
      model.Add(std::u16string_view(text));
    }
    const Strings expected = Texts(model);

    std::vector<CKQStringArray> loaded;
    for (int kind = 0; kind < 4; ++kind) {
      CKQStringArray& array = loaded.emplace_back(sorted);
      array.Add(u"b");
      array.Add(u"A");
      int result = 0;
      switch (kind) {
      case 0:
        result = array.AddRange(owned.begin(), owned.end());
        break;
      case 1:
        result = array.AddRange(strings.cbegin(), strings.cend());
        break;
      case 2:
        result = array.AddRange(pointers.begin(), pointers.end());
        break;
      default:
        result = array.AddRange(InputOnly(&owned, 0), InputOnly(&owned, owned.size()));
        break;
      }
      EXPECT_EQ(result, 1) << "kind " << kind;
      EXPECT_EQ(Texts(array), expected) << "kind " << kind;
    }
    CKQStringArray constructed(owned.begin(), owned.end(), sorted);
    CKQStringArray fromScratch(sorted);
    for (const std::u16string& text : owned) {
      fromScratch.Add(std::u16string_view(text));
    }
    EXPECT_EQ(Texts(constructed), Texts(fromScratch));
    EXPECT_EQ(constructed.IsSorted(), sorted);
    if (HasFailure()) {
      break;
    }
  }
}

// An added range records success; an empty one records nothing; CKQString elements share their
// text with the array's element (no copy).
TEST(KQStringArrayCopy, RangeResultsAndCodes) {
  for (const int sorted : {0, 1}) {
    SCOPED_TRACE(sorted);
    CKQStringArray array(sorted);
    array.GetErrorState().SetError(ERROR_NOT_FOUND);
    const std::vector<std::u16string> none;
    EXPECT_EQ(array.AddRange(none.begin(), none.end()), 1);
    EXPECT_EQ(array.GetErrorState().GetError(), static_cast<std::uint32_t>(ERROR_NOT_FOUND));
    const std::vector<CKQString> texts = {CKQString(u"one"), CKQString(u"two")};
    EXPECT_EQ(array.AddRange(texts.begin(), texts.end()), 1);
    EXPECT_EQ(array.GetErrorState().GetError(), static_cast<std::uint32_t>(ERROR_SUCCESS));
    EXPECT_EQ(array[0].Data(), texts[0].Data()); // the very text, shared
  }
}
