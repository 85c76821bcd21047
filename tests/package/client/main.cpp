// Uses each installed class once; exits non-zero if anything misbehaves.
#include <cstdio>

#include "KQError.h"
#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQString.h"
#include "KQStringArray.h"

#if defined(KQ_EXPECTED_CXX_LEVEL)
static_assert(__cplusplus / 100 % 100 == KQ_EXPECTED_CXX_LEVEL, "built at another level");
#endif

int main() {
  CKQUintArray numbers;
  for (unsigned i = 0; i < 20; ++i) {
    numbers.Add(i * 3);
  }
  bool ok = numbers.GetSize() == 20 && numbers.Find(57) == 19 && numbers.GetAt(20) == 0 &&
            numbers.GetErrorState().GetError() == ERROR_INVALID_INDEX;

  CKQStringArray words(1);
  words.Add(CKQString::FromUtf8("pear"));
  words.Add(CKQString::FromUtf8("Apple"));
  const unsigned short** flat = nullptr;
  ok = ok && words.FindString(CKQString::FromUtf8("APPLE"), 1) == 0 &&
       words.GetAt(1).ToUtf8() == "pear" && words.CreateMemoryArray(&flat) == 2 &&
       flat[2] == nullptr && words.FreeMemoryArray(&flat) == 1;

  std::printf("package client: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
