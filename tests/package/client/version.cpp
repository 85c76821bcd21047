// The release as a client sees it, three ways: the installed version header, the library's
// kq_version() and the package's version (KQ_PACKAGE_VERSION: the CMake package's
// KQStringArray_VERSION, or what `pkg-config --modversion` says), which must all be one.  Built as
// C++17, the oldest level the public headers serve.
#include <cstdio>
#include <cstring>

#include "KQStringArrayC.h"
#include "KQStringArrayVersion.h"

#ifndef KQ_PACKAGE_VERSION
#error "build with -DKQ_PACKAGE_VERSION=\"<the package's version>\""
#endif

int main() {
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, "%d.%d.%d", KQSTRINGARRAY_VERSION_MAJOR,
                KQSTRINGARRAY_VERSION_MINOR, KQSTRINGARRAY_VERSION_PATCH);
  const char* running = kq_version();
  std::printf("version client: header %s (%s), library %s, package %s\n",
              KQSTRINGARRAY_VERSION_STRING, numbers, running, KQ_PACKAGE_VERSION);
  const bool ok = std::strcmp(numbers, KQSTRINGARRAY_VERSION_STRING) == 0 &&
                  std::strcmp(running, KQSTRINGARRAY_VERSION_STRING) == 0 &&
                  std::strcmp(KQ_PACKAGE_VERSION, KQSTRINGARRAY_VERSION_STRING) == 0;
  std::printf("version client: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
