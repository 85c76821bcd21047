// A client written the standard C++ way against the installed package: range-for, comparisons,
// standard containers of strings and of arrays, printing through <<, look-ups by
// u16string_view, whole-array operations on const and temporary arrays, moves.  It is built as
// C++17 and as C++20 and uses nothing that only one of them has.  Prints what it checked and
// exits non-zero if anything misbehaves.
#include <algorithm>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQString.h"
#include "KQStringArray.h"

#if defined(KQ_EXPECTED_CXX_LEVEL)
static_assert(__cplusplus / 100 % 100 == KQ_EXPECTED_CXX_LEVEL, "built at another level");
#endif

namespace {

int g_failures = 0;

void Check(bool ok, std::string_view what) {
  std::cout << (ok ? "  ok    " : "  FAILED ") << what << '\n';
  g_failures += ok ? 0 : 1;
}

// A sorted dictionary built from UTF-8 words, as a client reading a word list would.
CKQStringArray MakeDictionary(const std::vector<std::string>& words) {
  CKQStringArray dictionary(1);
  dictionary.Reserve(static_cast<unsigned>(words.size()));
  for (const std::string& word : words) {
    bool wellFormed = false;
    const CKQString text = CKQString::FromUtf8(word, &wellFormed);
    if (wellFormed) {
      dictionary.Add(text);
    }
  }
  return dictionary; // moved out: no string is copied
}

} // namespace

int main() {
  std::vector<std::string> words;
  for (int i = 0; i < 2000; ++i) {
    words.push_back("word" + std::to_string(i % 1000)); // every word twice
  }
  words.emplace_back("Zebra");
  words.emplace_back("\xC3\xA9"
                     "clair");         // éclair
  words.emplace_back("bad \xFF byte"); // ill-formed: left out

  const CKQStringArray dictionary = MakeDictionary(words);
  Check(dictionary.GetSize() == 2002, "well-formed words only, duplicates kept");

  // Range-for and the standard containers see texts, not addresses.
  std::set<CKQString> ordered;
  std::unordered_set<CKQString> distinct;
  for (const CKQString& word : dictionary) {
    ordered.insert(word);
    distinct.insert(word);
  }
  Check(ordered.size() == 1002 && distinct.size() == 1002, "std::set and std::unordered_set");
  Check(*ordered.rbegin() == u"\u00E9clair", "ordered by code unit");
  Check(dictionary.GetAt(0) == dictionary.GetAt(1), "== compares texts");
  const CKQString zebraText(u"Zebra");
  Check(u"Zebra" == zebraText && zebraText != u"zebra" && u"Apple" < zebraText &&
            zebraText >= CKQString(u"Zeb"),
        "comparisons with the string on either side");

  // Look-ups by view, exact and without regard to case, on a const array.
  const std::u16string wanted = u"ZEBRA";
  const unsigned zebra = dictionary.FindString(std::u16string_view(wanted), 1);
  Check(zebra != KQ_NO_INDEX && dictionary.GetAt(zebra) == u"Zebra", "u16string_view look-up");
  Check(dictionary.FindString(std::u16string_view(wanted)) == KQ_NO_INDEX, "exact miss");
  Check(
      std::is_sorted(dictionary.begin(), dictionary.end(),
                     [](const CKQString& a, const CKQString& b) { return a.CompareNoCase(b) < 0; }),
      "<algorithm> over the iterators");

  // Printing through <<, as UTF-8.
  std::ostringstream line;
  line << dictionary.GetAt(dictionary.FindString(u"\u00C9CLAIR", 1));
  Check(line.str() == "\xC3\xA9"
                      "clair",
        "operator<< writes UTF-8");
  std::cout << "  last word: " << dictionary[dictionary.GetSize() - 1] << '\n';

  // Moves hand the strings over and leave the source empty and usable.
  CKQStringArray source;
  source.Add(u"kept");
  CKQStringArray target = std::move(source);
  Check(target.GetSize() == 1 && target.GetAt(0) == u"kept", "move construction");
  Check(source.IsEmpty() == 1 && source.Add(u"again") == 1, "moved-from array usable");
  target = std::move(source);
  Check(target.GetAt(0) == u"again" && source.GetSize() == 0, "move assignment");

  // Whole-array operations read const arrays and take over temporaries.
  CKQStringArray merged(1);
  merged.Append(dictionary); // a const array: read, not changed
  merged += MakeDictionary({"aardvark"});
  const CKQStringArray joined = dictionary + MakeDictionary({"zzz"});
  Check(merged.GetSize() == 2003 && merged.GetAt(0) == u"aardvark" && joined.GetSize() == 2003 &&
            dictionary.GetSize() == 2002,
        "Append, += and + of const and temporary arrays");

  // The integer array iterates as well.
  CKQUintArray numbers;
  for (unsigned i = 1; i <= 10; ++i) {
    numbers.Add(i * i);
  }
  unsigned sum = 0;
  for (unsigned value : numbers) {
    sum += value;
  }
  Check(sum == 385, "range-for over CKQUintArray");

  // Arrays of numbers in a std::vector: copies of const arrays and moves.
  std::vector<CKQUintArray> tables;
  const CKQUintArray& squares = numbers;
  for (int i = 0; i < 20; ++i) {
    tables.push_back(squares);
  }
  tables.emplace_back();
  tables.back().Add(7u);
  Check(tables.size() == 21 && tables[19].GetAt(9) == 100 && tables[20].GetAt(0) == 7,
        "std::vector of integer arrays");

  std::cout << "modern client: " << (g_failures == 0 ? "ok" : "FAILED") << '\n';
  return g_failures == 0 ? 0 : 1;
}
