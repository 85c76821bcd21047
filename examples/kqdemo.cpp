// kqdemo: shows what the arrays of KQStringArray do, on built-in sample data.
//
// Usage: kqdemo [FILE]   -- FILE is UTF-8 text whose words replace the built-in sample.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"

namespace {

void ShowPointerArray() {
  std::puts("== CKQPtrArray: a growable array of untyped pointers ==");
  static const char* const kNames[] = {"alpha", "beta", "gamma", "delta"};
  CKQPtrArray names;
  for (const char* name : kNames) {
    unsigned index = 0;
    names.Add(const_cast<char*>(name), &index); // the array never writes through the pointers
    std::printf("  Add(\"%s\") -> index %u\n", name, index);
  }
  names.RemoveAt(1);
  std::printf("  after RemoveAt(1): %u elements:", names.GetSize());
  for (unsigned i = 0; i < names.GetSize(); ++i) {
    std::printf(" %s", static_cast<const char*>(names[i]));
  }
  std::printf("\n  Find(\"delta\") -> %u\n", names.Find(const_cast<char*>(kNames[3])));

  // A bad index returns null and leaves its reason in the error state.
  void* missing = names.GetAt(names.GetSize());
  std::printf("  GetAt(%u) -> %s, recorded code %u (ERROR_INVALID_INDEX is %u)\n", names.GetSize(),
              missing == nullptr ? "null" : "?",
              static_cast<unsigned>(names.GetErrorState().GetError()),
              static_cast<unsigned>(ERROR_INVALID_INDEX));
}

void ShowUintArray() {
  std::puts("== CKQUintArray: the same array holding unsigned 32-bit integers ==");
  CKQUintArray squares;
  for (unsigned i = 1; i <= 12; ++i) { // the 11th value grows the array past its first 10 slots
    squares.Add(i * i);
  }
  std::printf("  %u squares:", squares.GetSize());
  for (unsigned i = 0; i < squares.GetSize(); ++i) {
    std::printf(" %u", squares[i]);
  }
  std::printf("\n  Find(49) -> %u\n", squares.Find(49));
  unsigned absent = squares.Find(50);
  std::printf("  Find(50) -> 0x%08X, recorded code %u (ERROR_NOT_FOUND is %u)\n", absent,
              static_cast<unsigned>(squares.GetErrorState().GetError()),
              static_cast<unsigned>(ERROR_NOT_FOUND));

  CKQUintArray copy(squares);
  squares.RemoveAll();
  std::printf("  a copy keeps its %u elements after the original is cleared\n", copy.GetSize());
}

constexpr std::string_view kSample =
    "The quick brown Fox jumps over the lazy dog. Über den Zaun springt der Fuchs, "
    "the DOG sleeps; ΣΟΦΊΑ and σοφία are one word without regard to case.";

// Adds each word of `text` (runs of characters other than space and punctuation).
void AddWords(CKQStringArray& words, std::string_view text) {
  std::string word;
  auto flush = [&] {
    if (!word.empty()) {
      words.Add(CKQString::FromUtf8(word), nullptr);
      word.clear();
    }
  };
  for (char c : text) {
    if (std::string_view(" \t\r\n.,;:!?\"()").find(c) != std::string_view::npos) {
      flush();
    } else {
      word.push_back(c);
    }
  }
  flush();
}

void PrintArray(const char* title, CKQStringArray& words) {
  std::printf("  %s (%u):", title, words.GetSize());
  for (unsigned i = 0; i < words.GetSize(); ++i) {
    std::printf(" %s", words[i].ToUtf8().c_str());
  }
  std::printf("\n");
}

std::string Index(unsigned index) {
  return index == KQ_NO_INDEX ? std::string("none") : std::to_string(index);
}

// A C-style consumer of wide strings: counts the units of a NULL-terminated array.
unsigned long CountUnits(const unsigned short* const* texts) {
  unsigned long units = 0;
  for (; *texts != nullptr; ++texts) {
    for (const unsigned short* unit = *texts; *unit != 0; ++unit) {
      ++units;
    }
  }
  return units;
}

void ShowStringArray(std::string_view text) {
  std::puts("== CKQStringArray: wide strings in case-insensitive order ==");
  CKQStringArray words(1);
  AddWords(words, text);
  PrintArray("sorted words", words);

  CKQString missing = words.GetAt(words.GetSize());
  std::printf("  GetAt(%u) -> \"%s\", recorded code %u (ERROR_INVALID_INDEX is %u)\n",
              words.GetSize(), missing.ToUtf8().c_str(),
              static_cast<unsigned>(words.GetErrorState().GetError()),
              static_cast<unsigned>(ERROR_INVALID_INDEX));

  for (const char* query : {"FOX", "dog", "Σοφία", "cat"}) {
    const CKQString wanted = CKQString::FromUtf8(query);
    const unsigned anyCase = words.FindString(wanted, 1);
    const unsigned exact = words.FindString(wanted, 0);
    std::printf("  FindString(\"%s\"): without case -> %s, exact -> %s\n", query,
                Index(anyCase).c_str(), Index(exact).c_str());
  }

  CKQStringArray extra; // unsorted: keeps arrival order
  AddWords(extra, "zebra Apple mango");
  CKQStringArray both = words + extra; // a sorted copy of `words` with `extra` merged in
  PrintArray("unsorted extra", extra);
  PrintArray("words + extra", both);

  const unsigned short** flat = nullptr;
  const int count = both.CreateMemoryArray(&flat);
  std::printf("  flat array of %d strings holds %lu UTF-16 units\n", count, CountUnits(flat));
  both.FreeMemoryArray(&flat);
}

} // namespace

int main(int argc, char** argv) {
  ShowPointerArray();
  ShowUintArray();
  if (argc > 1) {
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "kqdemo: cannot read %s\n", argv[1]);
      return 1;
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ShowStringArray(text);
  } else {
    ShowStringArray(kSample);
  }
  return 0;
}
