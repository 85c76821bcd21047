// kqdemo: shows what the arrays of KQStringArray do, on built-in sample data or on a file.
//
// Usage: kqdemo [FILE]   -- FILE is UTF-8 text whose words replace the built-in sample.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

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

// True for the bytes that end a word: ASCII white space and every ASCII punctuation character
// (the same set in every locale; bytes of multi-byte UTF-8 sequences are never separators).
bool IsSeparator(char c) {
  const auto byte = static_cast<unsigned char>(c);
  const bool space = byte == ' ' || (byte >= '\t' && byte <= '\r'); // \t \n \v \f \r
  const bool punctuation = (byte >= '!' && byte <= '/') || (byte >= ':' && byte <= '@') ||
                           (byte >= '[' && byte <= '`') || (byte >= '{' && byte <= '~');
  return space || punctuation;
}

// Adds each word of `text`: the runs of bytes between separators (IsSeparator).
void AddWords(CKQStringArray& words, std::string_view text) {
  std::string word;
  auto flush = [&] {
    if (!word.empty()) {
      words.Add(CKQString::FromUtf8(word), nullptr);
      word.clear();
    }
  };
  for (char c : text) {
    if (IsSeparator(c)) {
      flush();
    } else {
      word.push_back(c);
    }
  }
  flush();
}

// Prints the title line, then one element per line (a long FILE gives a long list, not a long
// line).
void PrintArray(const char* title, const CKQStringArray& words) {
  std::printf("  %s (%u):\n", title, words.GetSize());
  for (const CKQString& word : words) {
    const std::string utf8 = word.ToUtf8();
    std::printf("    %s\n", utf8.c_str());
  }
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

// The words to sort: the built-in sample, or the contents of FILE.
struct Input {
  std::string_view text;
  const char* file; // null: the built-in sample
};

// Ill-formed UTF-8 sequences in `text`.  FromUtf8 replaces each of them by one U+FFFD, so they
// are the U+FFFD units of the decoded text less the U+FFFD that the text spells out well-formed
// (the bytes EF BF BD always decode as exactly that: EF never continues another sequence).
std::size_t CountIllFormed(std::string_view text) {
  const CKQString decoded = CKQString::FromUtf8(text);
  const char16_t* units = decoded.Data();
  const auto replaced =
      static_cast<std::size_t>(std::count(units, units + decoded.GetLength(), u'\uFFFD'));
  constexpr std::string_view kSpelled = "\xEF\xBF\xBD";
  std::size_t spelled = 0;
  for (std::size_t at = text.find(kSpelled); at != std::string_view::npos;
       at = text.find(kSpelled, at + kSpelled.size())) {
    ++spelled;
  }
  return replaced - spelled;
}

void ShowStringArray(const Input& input) {
  std::puts("== CKQStringArray: wide strings in case-insensitive order ==");
  // Add many, order once: the words go into an unsorted array (each Add appends), and one
  // Append into the sorted array sorts and merges them all, O(n log n) however long FILE is.
  CKQStringArray loaded;
  AddWords(loaded, input.text);
  CKQStringArray words(1);
  words.Append(loaded);
  if (input.file != nullptr) {
    std::printf("  %s: %zu bytes, %u words, %zu ill-formed UTF-8 sequences replaced by U+FFFD\n",
                input.file, input.text.size(), words.GetSize(), CountIllFormed(input.text));
  }
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

  if (input.file == nullptr) {
    // Concatenation, on the built-in sample only: FILE mode shows the file's words alone.
    CKQStringArray extra; // unsorted: keeps arrival order
    AddWords(extra, "zebra Apple mango");
    CKQStringArray both = words + extra; // a sorted copy of `words` with `extra` merged in
    PrintArray("unsorted extra", extra);
    PrintArray("words + extra", both);
    words = std::move(both);
  }

  const unsigned short** flat = nullptr;
  const int count = words.CreateMemoryArray(&flat);
  std::printf("  flat array of %d strings holds %lu UTF-16 units\n", count, CountUnits(flat));
  words.FreeMemoryArray(&flat);
}

constexpr const char* kUsage =
    "usage: kqdemo [FILE]\n"
    "\n"
    "Shows what the three arrays of KQStringArray do.  The string-array part sorts the words of\n"
    "a built-in sample, or of FILE when one is given.\n"
    "\n"
    "FILE  UTF-8 text, split into words at ASCII white space and every ASCII punctuation\n"
    "      character (!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~).  Ill-formed UTF-8 is replaced by\n"
    "      U+FFFD and the number of sequences replaced is reported; an empty file gives 0 words.\n"
    "      The file's words are printed sorted without regard to case, one per line.\n"
    "\n"
    "Exit status: 0 on success, 1 when FILE cannot be read (the system's reason is printed),\n"
    "2 for a wrong command line.\n";

// Reads all of `path` into `text`.  On failure returns false with the system's reason.
bool ReadFile(const char* path, std::string& text, std::string& reason) {
  // A directory opens on some systems and fails only on reading, on others it does not open at
  // all: ask first, so both give the same reason.
  std::error_code ignored; // a path that does not exist is reported by the open below
  if (std::filesystem::is_directory(path, ignored)) {
    reason = std::make_error_code(std::errc::is_a_directory).message();
    return false;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    reason = std::generic_category().message(errno);
    return false;
  }
  char buffer[64 * 1024];
  std::size_t got = 0;
  errno = 0;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
    text.append(buffer, got);
  }
  const bool failed = std::ferror(file) != 0;
  const int error = errno != 0 ? errno : EIO; // read only when `failed`
  std::fclose(file);
  if (failed) {
    reason = std::generic_category().message(error);
    return false;
  }
  return true;
}

} // namespace

// The command line and FILE are checked before anything is printed, so a bad argument ends the
// program with its reason alone.
int main(int argc, char** argv) {
  if (argc > 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  Input input{kSample, nullptr};
  std::string contents;
  if (argc == 2) {
    const std::string_view argument = argv[1];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::string reason;
    if (!ReadFile(argv[1], contents, reason)) {
      std::fprintf(stderr, "kqdemo: cannot read %s: %s\n", argv[1], reason.c_str());
      return 1;
    }
    input = Input{contents, argv[1]};
  }
  ShowPointerArray();
  ShowUintArray();
  ShowStringArray(input);
  return 0;
}
