// kqdemo: shows what the arrays of KQStringArray do, on built-in sample data.
#include <cstdio>

#include "KQPtrArray.h"
#include "KQResultCodes.h"

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
  std::printf("  GetAt(%u) -> %s, recorded code %u (ERROR_INVALID_INDEX is %u)\n",
              names.GetSize(), missing == nullptr ? "null" : "?",
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

} // namespace

int main() {
  ShowPointerArray();
  ShowUintArray();
  return 0;
}
