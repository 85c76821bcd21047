// Hostile and edge input for all three arrays: indices at and beyond the end of empty, emptied
// and filled arrays, flat arrays rearranged by the caller, slot counts too large to
// reserve, empty strings, ill-formed UTF-8 and unpaired surrogates.  Every case gets its
// documented result and code and leaves the array as it was; none may crash.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

// The three states an array can be in when a bad index arrives.
enum class State { kNew, kEmptied, kThree };

const char* Name(State state) {
  return state == State::kNew ? "new" : state == State::kEmptied ? "emptied" : "three elements";
}

} // namespace

// Every indexed member of every class refuses the count, 0xFFFFFFFE and 0xFFFFFFFF, in a new
// array, an emptied one and a filled one, with its documented result and code; the contents stay.
TEST(KQBadInput, IndicesAtAndBeyondTheEnd) {
  for (State state : {State::kNew, State::kEmptied, State::kThree}) {
    CKQPtrArray pointers;
    CKQUintArray uints;
    CKQStringArray unsorted;
    CKQStringArray sorted(1);
    const unsigned count = state == State::kThree ? 3 : 0;
    if (state != State::kNew) {
      for (unsigned i = 0; i < 3; ++i) {
        pointers.Add(&pointers, nullptr);
        uints.Add(i + 7);
      }
      Fill(unsorted, {"a", "B", "c"});
      Fill(sorted, {"a", "B", "c"});
    }
    if (state == State::kEmptied) {
      pointers.RemoveAll();
      uints.RemoveAll();
      unsorted.RemoveAll();
      sorted.RemoveAll();
    }
    const Strings texts = Texts(unsorted);
    for (unsigned bad : {count, count + 1, 0xFFFFFFFEu, KQ_NO_INDEX}) {
      SCOPED_TRACE(std::string(Name(state)) + ", index " + std::to_string(bad));
      CKQObject* const objects[] = {&pointers, &uints, &unsorted, &sorted};
      const auto reset = [&objects] {
        for (CKQObject* object : objects) {
          object->GetErrorState().SetError(ERROR_NOT_FOUND);
        }
      };
      // operator[]: empty or null, nothing recorded.
      reset();
      EXPECT_EQ(pointers[bad], nullptr);
      EXPECT_EQ(uints[bad], 0u);
      EXPECT_EQ(unsorted[bad].GetLength(), 0u);
      EXPECT_EQ(sorted[bad].GetLength(), 0u);
      for (CKQObject* object : objects) {
        EXPECT_EQ(Code(*object), ERROR_NOT_FOUND);
      }
      // GetAt: empty or null with ERROR_INVALID_INDEX.
      EXPECT_EQ(pointers.GetAt(bad), nullptr);
      EXPECT_EQ(uints.GetAt(bad), 0u);
      EXPECT_EQ(unsorted.GetAt(bad).GetLength(), 0u);
      EXPECT_EQ(sorted.GetAt(bad).GetLength(), 0u);
      for (CKQObject* object : objects) {
        EXPECT_EQ(Code(*object), ERROR_INVALID_INDEX);
      }
      // SetAt and RemoveAt: 0 with ERROR_INVALID_INDEX (tested before the sorted array's state).
      reset();
      EXPECT_EQ(pointers.SetAt(bad, nullptr), 0);
      EXPECT_EQ(uints.SetAt(bad, 1u), 0);
      EXPECT_EQ(unsorted.SetAt(bad, S("z")), 0);
      EXPECT_EQ(sorted.SetAt(bad, S("z")), 0);
      for (CKQObject* object : objects) {
        EXPECT_EQ(Code(*object), ERROR_INVALID_INDEX);
      }
      reset();
      EXPECT_EQ(pointers.RemoveAt(bad), 0);
      EXPECT_EQ(uints.RemoveAt(bad), 0);
      EXPECT_EQ(unsorted.RemoveAt(bad), 0);
      EXPECT_EQ(sorted.RemoveAt(bad), 0);
      for (CKQObject* object : objects) {
        EXPECT_EQ(Code(*object), ERROR_INVALID_INDEX);
      }
      EXPECT_EQ(pointers.GetSize(), count);
      EXPECT_EQ(uints.GetSize(), count);
      EXPECT_EQ(Texts(unsorted), texts);
      EXPECT_EQ(Texts(sorted), texts);
    }
  }
}

// A flat array the caller rearranged before handing it back.  FreeMemoryArray releases exactly
// the blocks that CreateMemoryArray made for it and that are still in one of its slots (the
// terminating one included, past any null, each once however often it appears); it leaves alone
// every entry the caller put in and every block the caller took out.  Each case lists what the
// caller leaves in the five slots: a made block ("0".."3"), null ("-"), read-only text ("r"),
// a writable buffer of the caller's ("w") or an entry of another flat array ("o").  The caller
// then frees the made blocks that are in no slot; a block released twice or never shows as a
// crash or, under the asan preset, as a leak.
TEST(KQBadInput, FlatArraysRearrangedByTheCaller) {
  static const unsigned short kReadOnly[] = {'r', 'o', 0};
  const struct {
    const char* name;
    const char* slots;
  } cases[] = {
      {"untouched", "0123-"},
      {"read-only first", "r123-"},
      {"caller's buffer last", "012w-"},
      {"all foreign", "rwor-"},
      {"null first", "-123-"},
      {"null in the middle", "01-3-"},
      {"read-only, then null", "0r-3-"},
      {"reversed", "3210-"},
      {"swapped, one taken out", "21r3-"},
      {"duplicated", "0023-"},
      {"moved into the terminating slot", "012-3"},
      {"taken out, nothing left", "-----"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CKQStringArray array;
    Fill(array, {"one", "two", "three", "four"});
    const unsigned short** flat = nullptr;
    ASSERT_EQ(array.CreateMemoryArray(&flat), 4);
    const unsigned short** other = nullptr;
    ASSERT_EQ(array.CreateMemoryArray(&other), 4);
    unsigned short writable[] = {'w', 0};
    const std::vector<const unsigned short*> made(flat, flat + 4);
    std::vector<bool> kept(4, true);
    for (int i = 0; i < 5; ++i) {
      const char slot = c.slots[i];
      if (slot >= '0' && slot <= '3') {
        flat[i] = made[static_cast<std::size_t>(slot - '0')];
        kept[static_cast<std::size_t>(slot - '0')] = false;
      } else {
        flat[i] = slot == 'r'   ? kReadOnly
                  : slot == 'w' ? writable
                  : slot == 'o' ? other[0]
                                : nullptr;
      }
    }
    array.GetErrorState().SetError(ERROR_NOT_FOUND);
    EXPECT_EQ(array.FreeMemoryArray(&flat), 1);
    EXPECT_EQ(flat, nullptr);
    EXPECT_EQ(Code(array), ERROR_NOT_FOUND) << "success records nothing";
    EXPECT_EQ(kReadOnly[0], 'r');
    EXPECT_EQ(writable[0], 'w');
    EXPECT_EQ(CKQString(other[0]).ToUtf8(), "one") << "another flat array's entry stays its own";
    EXPECT_EQ(array.FreeMemoryArray(&other), 1);
    for (std::size_t i = 0; i < 4; ++i) {
      if (kept[i]) {
        ::operator delete(const_cast<unsigned short*>(made[i])); // NOLINT
      }
    }
  }
}

// Reserving more slots than memory holds fails cleanly; where the byte size itself overflows
// (32-bit targets) it fails without asking the C runtime.  Either way the array keeps its
// elements and capacity and records ERROR_OUTOFMEMORY; a reservation that does succeed (a 64-bit
// system may grant a huge untouched block) leaves the elements intact too.
TEST(KQBadInput, HugeSlotCounts) {
  for (unsigned slots : {0x40000001u, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(slots);
    PtrArrayProbe pointers;
    pointers.Add(&pointers, nullptr);
    StringArrayProbe strings(1);
    Fill(strings, {"kept"});
    const bool overflows = std::uint64_t{slots} * sizeof(void*) > SIZE_MAX;
    for (int which = 0; which < 2; ++which) {
      const int result = which == 0 ? pointers.Alloc(slots) : strings.Alloc(slots);
      const unsigned capacity = which == 0 ? pointers.Capacity() : strings.Capacity();
      const CKQObject& object = which == 0 ? static_cast<CKQObject&>(pointers) : strings;
      if (overflows) {
        EXPECT_EQ(result, 0) << "a byte size that overflows must be refused";
      }
      if (result == 0) {
        EXPECT_EQ(Code(object), ERROR_OUTOFMEMORY);
        EXPECT_EQ(capacity, 10u);
      } else {
        EXPECT_EQ(capacity, slots);
      }
    }
    EXPECT_EQ(pointers.GetAt(0), &pointers);
    EXPECT_EQ(pointers.Add(nullptr, nullptr), 1);
    EXPECT_EQ(Texts(strings), Strings{"kept"});
    EXPECT_EQ(strings.Add(S("more"), nullptr), 1);
  }
}

TEST(KQBadInput, OverflowingSlotCountOfAStringArray) {
  if (sizeof(void*) > 4) {
    GTEST_SKIP() << "32-bit targets only: with 8-byte slots no 32-bit slot count overflows";
  }
  StringArrayProbe strings;
  Fill(strings, {"kept"});
  EXPECT_EQ(strings.Alloc(0x40000000u), 0);
  EXPECT_EQ(Code(strings), ERROR_OUTOFMEMORY);
  EXPECT_EQ(strings.Capacity(), 10u);
  EXPECT_EQ(Texts(strings), Strings{"kept"});
}

// Empty strings are ordinary elements and keys everywhere: added, replaced in, found, appended,
// copied out.
TEST(KQBadInput, EmptyStringsEverywhere) {
  for (int sorted : {0, 1}) {
    SCOPED_TRACE(sorted);
    CKQStringArray array(sorted);
    Fill(array, {"b", "", "a"});
    unsigned index = 99;
    EXPECT_EQ(array.Add(CKQString(), &index), 1);
    EXPECT_EQ(index, sorted != 0 ? 0u : 3u) << "empty sorts first";
    EXPECT_EQ(array.Add(CKQString(static_cast<const unsigned short*>(nullptr)), nullptr), 1);
    EXPECT_EQ(array.FindString(CKQString(), 0), sorted != 0 ? 0u : 1u);
    EXPECT_EQ(array.FindString(S(""), 1), sorted != 0 ? 0u : 1u);
    array.GetErrorState().SetError(ERROR_NOT_FOUND);
    EXPECT_EQ(array.GetAt(sorted != 0 ? 0 : 1).GetLength(), 0u);
    EXPECT_EQ(Code(array), ERROR_NOT_FOUND) << "an empty element is not a bad index";
    if (sorted == 0) {
      EXPECT_EQ(array.SetAt(0, CKQString()), 1);
      EXPECT_EQ(array.FindString(S(""), 0), 0u) << "the replaced element carries the empty key";
      EXPECT_EQ(array.FindString(S("b"), 1), KQ_NO_INDEX);
    }
    CKQStringArray empties;
    Fill(empties, {"", ""});
    EXPECT_EQ(array.Append(empties), 1);
    EXPECT_EQ(array.GetSize(), 7u);
    CKQStringArray copy(array);
    EXPECT_EQ(Texts(copy).size(), 7u);
    const unsigned short** flat = nullptr;
    ASSERT_EQ(array.CreateMemoryArray(&flat), 7);
    EXPECT_EQ(flat[7], nullptr);
    EXPECT_EQ(array.FreeMemoryArray(&flat), 1);
  }
  EXPECT_EQ(CKQString().CompareNoCase(nullptr), 0);
  EXPECT_EQ(S("").Compare(nullptr), 0);
  CKQString empty;
  empty.MakeLower();
  EXPECT_EQ(empty.GetLength(), 0u);
}

// Ill-formed UTF-8 decodes to U+FFFD and the result is an ordinary element: different ill-formed
// inputs with the same replacement text find each other, in both search modes.
TEST(KQBadInput, IllFormedUtf8ThroughTheArray) {
  using namespace std::string_view_literals;
  const struct {
    const char* name;
    std::string_view stored;
    std::string_view searched; // decodes to the same units
  } cases[] = {
      {"stray continuations vs FF FE", "A\x80\xBF"sv, "a\xFF\xFE"sv},
      {"truncated pair vs overlong lead", "\xF0\x9F"sv, "\xC0"sv},
      {"encoded surrogate vs three strays", "x\xED\xA0\x80"sv, "X\x80\x80\x80"sv},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80"sv, "\xF5\xF5\xF5\xF5"sv},
  };
  CKQStringArray array(1);
  for (const auto& c : cases) {
    array.Add(CKQString::FromUtf8(c.stored), nullptr);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CKQString stored = CKQString::FromUtf8(c.stored);
    const CKQString searched = CKQString::FromUtf8(c.searched);
    EXPECT_EQ(stored.CompareNoCase(searched), 0);
    const unsigned found = array.FindString(searched, 1);
    ASSERT_NE(found, KQ_NO_INDEX);
    EXPECT_EQ(array[found].CompareNoCase(stored), 0);
  }
  // A long run of bytes that start nothing: one replacement each, no overrun.
  const std::string garbage(100000, '\xFF');
  const CKQString decoded = CKQString::FromUtf8(garbage);
  EXPECT_EQ(decoded.GetLength(), garbage.size());
  EXPECT_EQ(decoded.Data()[decoded.GetLength()], 0);
  EXPECT_EQ(array.Add(decoded, nullptr), 1);
  EXPECT_NE(array.FindString(decoded, 0), KQ_NO_INDEX);
}

// Unpaired surrogates stay as they are under MakeLower while everything around them is lowered;
// CompareNoCase and FindString treat them as ordinary units ranked above U+FFFF's BMP neighbours.
TEST(KQBadInput, UnpairedSurrogates) {
  const struct {
    const char* name;
    std::u16string text;
    std::u16string lowered;
  } lowering[] = {
      {"lone high at the end", u"AB\xD801", u"ab\xD801"},
      {"lone low at the start", u"\xDC00Q", u"\xDC00q"},
      {"two highs, then a pair", u"\xD801\xD801\xDC00", u"\xD801\xD801\xDC28"},
      {"reversed pair", u"\xDC00\xD801Z", u"\xDC00\xD801z"},
      {"high before an uppercase letter",
       u"\xD801"
       u"A",
       u"\xD801"
       u"a"},
  };
  CKQStringArray array;
  for (const auto& c : lowering) {
    SCOPED_TRACE(c.name);
    CKQString text = U16(c.text);
    const CKQString original = text;
    text.MakeLower();
    EXPECT_EQ(Units(text), c.lowered);
    EXPECT_EQ(Units(original), c.text) << "a shared original is not changed";
    EXPECT_EQ(original.CompareNoCase(text), 0);
    EXPECT_EQ(text.CompareNoCase(original), 0);
    array.Add(original, nullptr);
  }
  for (unsigned i = 0; i < std::size(lowering); ++i) {
    SCOPED_TRACE(lowering[i].name);
    EXPECT_EQ(array.FindString(U16(lowering[i].lowered), 1), i);
    EXPECT_EQ(array.FindString(U16(lowering[i].text), 0), i);
  }
  EXPECT_EQ(array.FindString(U16(u"ab\xD802"), 1), KQ_NO_INDEX);
  EXPECT_EQ(Code(array), ERROR_NOT_FOUND);

  // Order: a lone surrogate sorts by its own value, before U+FFFD (only pairs rank above
  // U+E000..U+FFFF), and a lone high before the same high completed to a pair.
  EXPECT_LT(U16(u"\xD800").CompareNoCase(U16(u"\xFFFD")), 0);
  EXPECT_LT(U16(u"\xD800").CompareNoCase(U16(u"\xD800\xDC00")), 0);
  EXPECT_LT(U16(u"\xDBFF").CompareNoCase(U16(u"\xDC00")), 0);

  // A lone high surrogate where the key is computed in two pieces (unit 127 of a long text)
  // followed by a letter: the letter is still lowered for the key, so both cases are found.
  std::u16string upper(127, u'A');
  upper += u'\xD801';
  upper += u'B';
  std::u16string lower(127, u'a');
  lower += u'\xD801';
  lower += u'b';
  CKQStringArray longTexts;
  longTexts.Add(U16(upper), nullptr);
  EXPECT_EQ(longTexts.FindString(U16(lower), 1), 0u);
  EXPECT_EQ(longTexts.FindString(U16(lower), 0), KQ_NO_INDEX);
}
