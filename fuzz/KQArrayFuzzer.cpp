// Differential fuzzer: decodes its input into a sequence of operations on a string array (sorted
// or not), a second string array that feeds the whole-array operations, and an integer array,
// and runs each operation side by side on a plain model built on std::vector.  After every step
// it compares the return value, the index written, the recorded code, the size and every
// element; the first difference ends the run with a message naming the step.
//
// The model follows the documented rules directly: sorted insertion goes before the first
// element e with e.CompareNoCase(new) >= 0 (a linear scan, where the array uses a binary search),
// and a search finds the first element that compares equal, exactly or without regard to case
// (a linear scan, where the array uses a binary search when sorted and scans its key block
// otherwise).  It uses CKQString's comparisons, never the arrays.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"

namespace {

constexpr int kMaxSteps = 200;
// Self-append and keeping a concatenation double the first array, and the sorted model inserts
// by a linear scan, so whole-array steps are bounded twice: the first array never grows past
// kMaxElements through them, and one input moves at most kBulkBudget elements through them.
// Steps beyond either bound are skipped, so every input runs in well under a second.
constexpr std::size_t kMaxElements = 64;
constexpr std::size_t kBulkBudget = 1024;

std::size_t g_bulkLeft = 0;

// Takes `count` elements from the input's whole-array budget; false means skip the step.
bool TakeBulk(std::size_t count) {
  if (count > g_bulkLeft) {
    return false;
  }
  g_bulkLeft -= count;
  return true;
}

int g_step = 0;
const char* g_op = "";

[[noreturn]] void Mismatch(const char* what) {
  std::fprintf(stderr, "MISMATCH at step %d (%s): %s\n", g_step, g_op, what);
  __builtin_trap();
}

void Check(bool ok, const char* what) {
  if (!ok) {
    Mismatch(what);
  }
}

bool SameText(const CKQString& a, const CKQString& b) {
  return a.GetLength() == b.GetLength() && a.Compare(b) == 0;
}

// Pieces texts are made of: case pairs, letters whose lowercase is special, supplementary
// letters (a surrogate pair each) and unpaired surrogates.
const std::u16string kPieces[] = {
    u"a",          u"A",      u"b",      u"B",      u"\u00E9", u"\u00C9", u"\u00DF",
    u"\u03A3",     u"\u03C3", u"\u03C2", u"\u0130", u"i",      u"I",      u"\U00010400",
    u"\U00010428", u"\xD800", u"\xDC00", u"\xD801", u"z",
};

CKQString MakeText(FuzzedDataProvider& in) {
  std::u16string units;
  const int pieces = in.ConsumeIntegralInRange<int>(0, 5);
  for (int i = 0; i < pieces; ++i) {
    const std::u16string& piece =
        kPieces[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kPieces) - 1)];
    // Rarely a long run, so keys are computed over more than one chunk.
    const int repeat = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? 130 : 1;
    for (int r = 0; r < repeat; ++r) {
      units += piece;
    }
  }
  return {units.data(), static_cast<std::uint32_t>(units.size())};
}

// The first array, with its reservation reachable: Alloc grows the slots and the key block
// together to any size, not only by doubling.
class FuzzArray : public CKQStringArray {
public:
  using CKQStringArray::Alloc;
  using CKQStringArray::CKQStringArray;
  using CKQStringArray::operator=;
};

struct StringModel {
  int sorted = 0;
  std::vector<CKQString> items;
  std::uint32_t code = 0;

  unsigned Position(const CKQString& text) const {
    if (sorted == 0) {
      return static_cast<unsigned>(items.size());
    }
    unsigned i = 0;
    while (i < items.size() && items[i].CompareNoCase(text) < 0) {
      ++i;
    }
    return i;
  }
  unsigned Add(const CKQString& text) {
    const unsigned position = Position(text);
    items.insert(items.begin() + position, text);
    code = ERROR_SUCCESS;
    return position;
  }
  // A whole-array operation from a source sorted or not: into a sorted array, the strings of a
  // sorted source keep their relative order in front of the equal strings already held, which
  // adding them back to front gives; otherwise they go in one after another as Add puts them.
  void Append(const std::vector<CKQString>& texts, int sourceSorted) {
    if (sorted != 0 && sourceSorted != 0) {
      for (auto text = texts.rbegin(); text != texts.rend(); ++text) {
        Add(*text);
      }
      return;
    }
    for (const CKQString& text : texts) {
      Add(text);
    }
  }
  unsigned Find(const CKQString& text, bool noCase) const {
    for (unsigned i = 0; i < items.size(); ++i) {
      if (noCase ? items[i].CompareNoCase(text) == 0 : SameText(items[i], text)) {
        return i;
      }
    }
    return KQ_NO_INDEX;
  }
  unsigned Size() const { return static_cast<unsigned>(items.size()); }
};

void Compare(CKQStringArray& array, const StringModel& model, const char* which) {
  if (array.GetSize() != model.Size()) {
    Mismatch(which);
  }
  Check(array.IsEmpty() == (model.items.empty() ? 1 : 0), "IsEmpty");
  Check(array.IsSorted() == model.sorted, "sorted flag");
  Check(array.GetErrorState().GetError() == model.code, "recorded code");
  for (unsigned i = 0; i < model.Size(); ++i) {
    Check(SameText(array[i], model.items[i]), "element text");
  }
}

// An index that is valid when the array is not empty, or one at or beyond the end.
unsigned PickIndex(FuzzedDataProvider& in, unsigned size) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
  case 0:
    return KQ_NO_INDEX;
  case 1:
    return size;
  case 2:
    return size + 1;
  default:
    return size == 0 ? 0 : in.ConsumeIntegralInRange<unsigned>(0, size - 1);
  }
}

// A search key: often an element itself or its lowercase, so hits are common.
CKQString PickKey(FuzzedDataProvider& in, const StringModel& model) {
  if (model.items.empty() || in.ConsumeBool()) {
    return MakeText(in);
  }
  CKQString key = model.items[in.ConsumeIntegralInRange<std::size_t>(0, model.items.size() - 1)];
  if (in.ConsumeBool()) {
    key.MakeLower();
  }
  return key;
}

int PickFlag(FuzzedDataProvider& in) {
  const int choice = in.ConsumeIntegralInRange<int>(0, 3);
  return choice == 0 ? 0 : choice == 1 ? 1 : choice == 2 ? 7 : 0;
}

struct UintModel {
  std::vector<unsigned> items;
  std::uint32_t code = 0;
};

void Compare(CKQUintArray& array, const UintModel& model) {
  Check(array.GetSize() == model.items.size(), "integer array size");
  Check(array.GetErrorState().GetError() == model.code, "integer array code");
  for (unsigned i = 0; i < model.items.size(); ++i) {
    Check(array[i] == model.items[i], "integer element");
  }
}

// Acts as a caller that rearranges a flat array of `size` copies before handing it back: it
// nulls slots, puts in text of its own, moves, duplicates and swaps copies (the terminating slot
// included).  FreeMemoryArray must release exactly the copies still in a slot; this function
// releases the ones no slot holds any more, so the sanitizers see a leak or a double release
// wherever the rule is broken.
void RearrangeAndFree(FuzzedDataProvider& in, CKQStringArray& a, const unsigned short** flat,
                      unsigned size) {
  static const unsigned short kOwnText[] = {'o', 'w', 'n', 0};
  const std::vector<const unsigned short*> made(flat, flat + size);
  const int moves = size == 0 ? 0 : in.ConsumeIntegralInRange<int>(0, 6);
  for (int k = 0; k < moves; ++k) {
    const unsigned slot = in.ConsumeIntegralInRange<unsigned>(0, size);
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      flat[slot] = nullptr;
      break;
    case 1:
      flat[slot] = kOwnText;
      break;
    case 2:
      flat[slot] = made[in.ConsumeIntegralInRange<unsigned>(0, size - 1)];
      break;
    default:
      std::swap(flat[slot], flat[in.ConsumeIntegralInRange<unsigned>(0, size)]);
      break;
    }
  }
  std::vector<const unsigned short*> takenOut;
  for (const unsigned short* block : made) {
    if (std::find(flat, flat + size + 1, block) == flat + size + 1) {
      takenOut.push_back(block);
    }
  }
  Check(a.FreeMemoryArray(&flat) == 1 && flat == nullptr, "FreeMemoryArray");
  for (const unsigned short* block : takenOut) {
    ::operator delete(const_cast<unsigned short*>(block)); // NOLINT: the caller's now
  }
  Check(kOwnText[0] == 'o', "the caller's own text was left alone");
}

void StringStep(FuzzedDataProvider& in, FuzzArray& a, StringModel& ma, CKQStringArray& b,
                StringModel& mb) {
  const unsigned size = ma.Size();
  switch (const int op = in.ConsumeIntegralInRange<int>(0, 15)) {
  case 0:
  case 1: {
    g_op = op == 0 ? "Add" : "Alloc and Add";
    const CKQString text = MakeText(in);
    if (op == 1) {
      // Sized from the text, so the input decodes as before: up to a few hundred slots more.
      Check(a.Alloc(size + 1 + text.GetLength()) == 1, "Alloc result");
    }
    const bool withIndex = in.ConsumeBool();
    unsigned index = 12345;
    Check(a.Add(text, withIndex ? &index : nullptr) == 1, "Add result");
    const unsigned expected = ma.Add(text);
    Check(index == (withIndex ? expected : 12345u), "Add index");
    break;
  }
  case 2: {
    g_op = "GetAt";
    const unsigned index = PickIndex(in, size);
    const CKQString got = a.GetAt(index);
    if (index < size) {
      Check(SameText(got, ma.items[index]), "GetAt text");
    } else {
      Check(got.GetLength() == 0, "GetAt of a bad index");
      ma.code = ERROR_INVALID_INDEX;
    }
    break;
  }
  case 3: {
    g_op = "operator[]";
    const unsigned index = PickIndex(in, size);
    const CKQString got = a[index];
    Check(index < size ? SameText(got, ma.items[index]) : got.GetLength() == 0, "operator[]");
    break;
  }
  case 4: {
    g_op = "SetAt";
    const unsigned index = PickIndex(in, size);
    const CKQString text = MakeText(in);
    const int result = a.SetAt(index, text);
    if (index >= size) {
      Check(result == 0, "SetAt of a bad index");
      ma.code = ERROR_INVALID_INDEX;
    } else if (ma.sorted != 0) {
      Check(result == 0, "SetAt on a sorted array");
      ma.code = ERROR_INVALID_STATE;
    } else {
      Check(result == 1, "SetAt result");
      ma.items[index] = text;
    }
    break;
  }
  case 5: {
    g_op = "RemoveAt";
    const unsigned index = PickIndex(in, size);
    const int result = a.RemoveAt(index);
    if (index < size) {
      Check(result == 1, "RemoveAt result");
      ma.items.erase(ma.items.begin() + index);
      ma.code = ERROR_SUCCESS;
    } else {
      Check(result == 0, "RemoveAt of a bad index");
      ma.code = ERROR_INVALID_INDEX;
    }
    break;
  }
  case 6:
    g_op = "RemoveAll";
    Check(a.RemoveAll() == 1, "RemoveAll result");
    ma.items.clear();
    break;
  case 7:
  case 8: {
    g_op = "FindString";
    const CKQString key = PickKey(in, ma);
    const bool noCase = in.ConsumeBool();
    const unsigned expected = ma.Find(key, noCase);
    Check(a.FindString(key, noCase ? 1 : 0) == expected, "FindString index");
    if (expected == KQ_NO_INDEX) {
      ma.code = ERROR_NOT_FOUND;
    }
    break;
  }
  case 9: {
    g_op = "Add to the second array";
    const CKQString text = MakeText(in);
    Check(b.Add(text, nullptr) == 1, "second Add");
    mb.Add(text);
    break;
  }
  case 10: {
    const bool self = in.ConsumeBool();
    g_op = self ? "Append(self)" : "Append";
    const std::vector<CKQString> added = self ? ma.items : mb.items;
    const int addedSorted = self ? ma.sorted : mb.sorted;
    if (ma.items.size() + added.size() > kMaxElements || !TakeBulk(added.size())) {
      break;
    }
    Check(a.Append(self ? a : b) == 1, "Append result");
    ma.Append(added, addedSorted);
    break;
  }
  case 11: {
    const bool self = in.ConsumeBool();
    g_op = self ? "Copy(self)" : "Copy";
    if (!TakeBulk(mb.items.size())) {
      break;
    }
    Check(a.Copy(self ? a : b) == 1, "Copy result");
    if (!self) {
      ma.items.clear();
      ma.Append(mb.items, mb.sorted);
    }
    break;
  }
  case 12: {
    const bool self = in.ConsumeBool();
    g_op = self ? "self-assignment" : "assignment";
    if (!TakeBulk(mb.items.size())) {
      break;
    }
    CKQStringArray& source = self ? a : b;
    a = source;
    if (!self) {
      ma.sorted = mb.sorted;
      ma.items.clear();
      ma.Append(mb.items, mb.sorted);
      ma.code = mb.code;
    }
    break;
  }
  case 13: {
    g_op = "operator+ and copy constructor";
    if (!TakeBulk(2 * ma.items.size() + mb.items.size())) {
      break;
    }
    const CKQStringArray& constA = a;
    CKQStringArray sum = constA + b;
    StringModel msum;
    msum.sorted = ma.sorted;
    msum.Append(ma.items, ma.sorted);
    msum.Append(mb.items, mb.sorted);
    Compare(sum, msum, "operator+ size");
    CKQStringArray copy(a);
    StringModel mcopy;
    mcopy.sorted = ma.sorted;
    mcopy.Append(ma.items, ma.sorted);
    Compare(copy, mcopy, "copy size");
    if (in.ConsumeBool() && msum.items.size() <= kMaxElements) {
      a = sum; // continue with the concatenation
      ma.sorted = msum.sorted;
      ma.items.clear();
      ma.Append(msum.items, msum.sorted);
      ma.code = msum.code;
    }
    break;
  }
  case 14: {
    g_op = "CreateMemoryArray";
    const unsigned short** flat = nullptr;
    Check(a.CreateMemoryArray(&flat) == static_cast<int>(size), "CreateMemoryArray count");
    Check(flat != nullptr && flat[size] == nullptr, "flat array terminated");
    for (unsigned i = 0; i < size; ++i) {
      Check(SameText(CKQString(flat[i]), ma.items[i]), "flat entry");
    }
    if (size > 0 && in.ConsumeBool()) {
      g_op = "FreeMemoryArray of an address inside a flat array";
      const unsigned short** inside = flat + 1;
      Check(a.FreeMemoryArray(&inside) == 0 && inside == flat + 1, "inner address refused");
      ma.code = ERROR_INVALID_PARAMETER;
    }
    g_op = "FreeMemoryArray after the caller rearranged the entries";
    RearrangeAndFree(in, a, flat, size);
    break;
  }
  default: {
    g_op = "null arguments to the flat-array calls";
    const unsigned short** none = nullptr;
    if (in.ConsumeBool()) {
      Check(a.CreateMemoryArray(nullptr) == 0, "CreateMemoryArray(null)");
    } else {
      Check(a.FreeMemoryArray(in.ConsumeBool() ? nullptr : &none) == 0, "FreeMemoryArray(null)");
    }
    ma.code = ERROR_INVALID_PARAMETER;
    break;
  }
  }
}

void UintStep(FuzzedDataProvider& in, CKQUintArray& u, UintModel& mu, CKQUintArray& v,
              UintModel& mv) {
  const unsigned size = static_cast<unsigned>(mu.items.size());
  const unsigned value = in.ConsumeIntegralInRange<unsigned>(0, 3) == 0
                             ? in.ConsumeIntegral<unsigned>()
                             : in.ConsumeIntegralInRange<unsigned>(0, 4);
  switch (in.ConsumeIntegralInRange<int>(0, 8)) {
  case 0:
  case 1: {
    g_op = "integer Add";
    unsigned index = 12345;
    Check(u.Add(value, &index) == 1 && index == size, "integer Add");
    mu.items.push_back(value);
    mu.code = ERROR_SUCCESS;
    break;
  }
  case 2: {
    g_op = "integer GetAt";
    const unsigned index = PickIndex(in, size);
    const unsigned got = u.GetAt(index);
    Check(got == (index < size ? mu.items[index] : 0u), "integer GetAt");
    if (index >= size) {
      mu.code = ERROR_INVALID_INDEX;
    }
    break;
  }
  case 3: {
    g_op = "integer SetAt";
    const unsigned index = PickIndex(in, size);
    Check(u.SetAt(index, value) == (index < size ? 1 : 0), "integer SetAt");
    if (index < size) {
      mu.items[index] = value;
    } else {
      mu.code = ERROR_INVALID_INDEX;
    }
    break;
  }
  case 4: {
    g_op = "integer RemoveAt";
    const unsigned index = PickIndex(in, size);
    Check(u.RemoveAt(index) == (index < size ? 1 : 0), "integer RemoveAt");
    if (index < size) {
      mu.items.erase(mu.items.begin() + index);
    } else {
      mu.code = ERROR_INVALID_INDEX;
    }
    break;
  }
  case 5:
    g_op = "integer RemoveAll";
    Check(u.RemoveAll() == 1, "integer RemoveAll");
    mu.items.clear();
    break;
  case 6: {
    g_op = "integer Find";
    unsigned expected = KQ_NO_INDEX;
    for (unsigned i = 0; i < size; ++i) {
      if (mu.items[i] == value) {
        expected = i;
        break;
      }
    }
    Check(u.Find(value) == expected, "integer Find");
    mu.code = expected == KQ_NO_INDEX ? ERROR_NOT_FOUND : ERROR_SUCCESS;
    break;
  }
  case 7: {
    g_op = "integer Add to the second array";
    Check(v.Add(value) == 1, "second integer Add");
    mv.items.push_back(value);
    mv.code = ERROR_SUCCESS;
    break;
  }
  default: {
    g_op = "integer copy constructor and assignment";
    CKQUintArray copy(u);
    Compare(copy, UintModel{mu.items, 0});
    u = v;
    mu = mv;
    break;
  }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  StringModel ma;
  StringModel mb;
  ma.sorted = PickFlag(in);
  mb.sorted = PickFlag(in);
  FuzzArray a(ma.sorted);
  CKQStringArray b(mb.sorted);
  g_bulkLeft = kBulkBudget;
  CKQUintArray u;
  CKQUintArray v;
  UintModel mu;
  UintModel mv;
  for (g_step = 0; g_step < kMaxSteps && in.remaining_bytes() > 0; ++g_step) {
    if (in.ConsumeIntegralInRange<int>(0, 4) == 0) {
      UintStep(in, u, mu, v, mv);
      Compare(u, mu);
      Compare(v, mv);
    } else {
      StringStep(in, a, ma, b, mb);
      Compare(a, ma, "size");
      Compare(b, mb, "second array size");
    }
  }
  return 0;
}
