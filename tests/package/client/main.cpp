// Uses each installed class once; exits non-zero if anything misbehaves.
#include <cstdio>

#include "KQError.h"
#include "KQPtrArray.h"
#include "KQResultCodes.h"

int main() {
  CKQUintArray numbers;
  for (unsigned i = 0; i < 20; ++i) {
    numbers.Add(i * 3);
  }
  const bool ok = numbers.GetSize() == 20 && numbers.Find(57) == 19 &&
                  numbers.GetAt(20) == 0 &&
                  numbers.GetErrorState().GetError() == ERROR_INVALID_INDEX;
  std::printf("package client: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
