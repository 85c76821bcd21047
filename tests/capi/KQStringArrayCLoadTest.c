/* KQStringArray.dll as a client without its import library sees it: loaded with LoadLibraryW,
   every function named on the command line (the build passes those that KQStringArrayC.h
   declares) looked up by its plain name with GetProcAddress, then a short session through the
   pointers.  Compiled as C; linked with nothing of the project. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <windows.h>

/* The interface as such a client declares it itself: cdecl functions over an opaque handle. */
typedef struct kq_string_array kq_string_array;
typedef kq_string_array*(__cdecl* NewFn)(int);
typedef void(__cdecl* FreeFn)(kq_string_array*);
typedef int(__cdecl* ReadIntFn)(const kq_string_array*);
typedef uint32_t(__cdecl* ReadUintFn)(const kq_string_array*);
typedef int(__cdecl* AddUtf8Fn)(kq_string_array*, const char*, size_t, uint32_t*);
typedef uint32_t(__cdecl* FindUtf16Fn)(const kq_string_array*, const uint16_t*, size_t, int);
typedef size_t(__cdecl* GetUtf8Fn)(kq_string_array*, uint32_t, char*, size_t);
typedef int(__cdecl* RemoveAtFn)(kq_string_array*, uint32_t);

static int g_failures = 0;
#define CHECK(condition)                                                                           \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                \
      ++g_failures;                                                                                \
    }                                                                                              \
  } while (0)

/* GetProcAddress's result as a plain function pointer, to be cast to the function's type. */
typedef void (*AnyFn)(void);
static AnyFn Lookup(HMODULE dll, const char* name) { return (AnyFn)GetProcAddress(dll, name); }

int main(int argc, char** argv) {
  static const uint16_t kPear[] = {'P', 'E', 'A', 'R', 0};
  HMODULE dll = NULL;
  int i = 1;
  if (argc < 2) {
    fprintf(stderr, "usage: %s FUNCTION...\n", argv[0]);
    return 2;
  }
  dll = LoadLibraryW(L"KQStringArray.dll");
  if (dll == NULL) {
    fprintf(stderr, "LoadLibraryW(KQStringArray.dll) failed: error %lu\n", GetLastError());
    return 1;
  }
  for (; i < argc; ++i) {
    if (Lookup(dll, argv[i]) == NULL) {
      fprintf(stderr, "GetProcAddress(%s) failed\n", argv[i]);
      ++g_failures;
    }
  }
  if (g_failures == 0) {
    const NewFn newArray = (NewFn)Lookup(dll, "kq_string_array_new");
    const FreeFn freeArray = (FreeFn)Lookup(dll, "kq_string_array_free");
    const ReadIntFn isSorted = (ReadIntFn)Lookup(dll, "kq_string_array_is_sorted");
    const ReadUintFn size = (ReadUintFn)Lookup(dll, "kq_string_array_size");
    const ReadUintFn error = (ReadUintFn)Lookup(dll, "kq_string_array_error");
    const AddUtf8Fn addUtf8 = (AddUtf8Fn)Lookup(dll, "kq_string_array_add_utf8");
    const FindUtf16Fn findUtf16 = (FindUtf16Fn)Lookup(dll, "kq_string_array_find_utf16");
    const GetUtf8Fn getUtf8 = (GetUtf8Fn)Lookup(dll, "kq_string_array_get_utf8");
    const RemoveAtFn removeAt = (RemoveAtFn)Lookup(dll, "kq_string_array_remove_at");
    kq_string_array* array = newArray(1);
    uint32_t index = 99;
    char buffer[16];
    CHECK(array != NULL);
    if (array != NULL) {
      CHECK(isSorted(array) == 1);
      CHECK(addUtf8(array, "pear", (size_t)-1, &index) == 1 && index == 0);
      CHECK(addUtf8(array, "apple", 5, &index) == 1 && index == 0);
      CHECK(size(array) == 2 && error(array) == 0);
      CHECK(findUtf16(array, kPear, (size_t)-1, 1) == 1);
      CHECK(findUtf16(array, kPear, 4, 0) == 0xFFFFFFFFu);
      CHECK(getUtf8(array, 1, buffer, sizeof buffer) == 4 && strcmp(buffer, "pear") == 0);
      CHECK(getUtf8(array, 2, buffer, sizeof buffer) == (size_t)-1 && error(array) == 1413);
      CHECK(removeAt(array, 0) == 1 && size(array) == 1);
      freeArray(array);
    }
  }
  FreeLibrary(dll);
  if (g_failures != 0) {
    fprintf(stderr, "%d checks failed\n", g_failures);
    return 1;
  }
  printf("KQStringArray.dll: all %d C functions found by name, the session passed\n", argc - 1);
  return 0;
}
