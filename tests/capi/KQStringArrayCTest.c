/* The C interface from C: every function of KQStringArrayC.h, compiled as C11.  Prints each
   failed check and exits non-zero when any failed. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "KQStringArrayC.h"

static int g_failures = 0;

static void Check(int ok, const char* what, const char* file, int line) {
  if (!ok) {
    fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    ++g_failures;
  }
}
#define CHECK(condition) Check((condition) != 0, #condition, __FILE__, __LINE__)

/* Up to 15 units of an ASCII text, zero-terminated. */
typedef struct {
  uint16_t units[16];
} Wide;

static Wide W(const char* ascii) {
  Wide wide;
  size_t i = 0;
  memset(&wide, 0, sizeof wide);
  for (; ascii[i] != '\0' && i + 1 < sizeof wide.units / sizeof wide.units[0]; ++i) {
    wide.units[i] = (uint16_t)(unsigned char)ascii[i];
  }
  return wide;
}

/* Whether element `index` reads back as exactly `expected` (`length` bytes) in UTF-8. */
static int ElementIs(kq_string_array* array, uint32_t index, const char* expected, size_t length) {
  char buffer[64];
  const size_t got = kq_string_array_get_utf8(array, index, buffer, sizeof buffer);
  return got == length && memcmp(buffer, expected, length) == 0 && buffer[length] == '\0';
}

static void TestConstants(void) {
  CHECK(KQ_C_NO_INDEX == 0xFFFFFFFFu);
  CHECK(KQ_C_ZERO_TERMINATED == SIZE_MAX);
  CHECK(KQ_C_ERROR_SUCCESS == 0 && KQ_C_ERROR_OUTOFMEMORY == 14);
  CHECK(KQ_C_ERROR_INVALID_PARAMETER == 87 && KQ_C_ERROR_NOT_FOUND == 1168);
  CHECK(KQ_C_ERROR_INVALID_INDEX == 1413 && KQ_C_ERROR_INVALID_STATE == 5023);
}

/* The library's own version and the headers' agree, and the string spells the three numbers. */
static void TestVersion(void) {
  char numbers[32];
  const char* running = kq_version();
  snprintf(numbers, sizeof numbers, "%d.%d.%d", KQSTRINGARRAY_VERSION_MAJOR,
           KQSTRINGARRAY_VERSION_MINOR, KQSTRINGARRAY_VERSION_PATCH);
  CHECK(strcmp(numbers, KQSTRINGARRAY_VERSION_STRING) == 0);
  CHECK(running != NULL && strcmp(running, KQSTRINGARRAY_VERSION_STRING) == 0);
  CHECK(kq_version() == running); /* one static string */
  printf("KQStringArray %s\n", running != NULL ? running : "(null)");
}

static void TestNewAndFree(void) {
  kq_string_array* plain = kq_string_array_new(0);
  kq_string_array* sorted = kq_string_array_new(5);
  CHECK(plain != NULL && sorted != NULL);
  CHECK(kq_string_array_size(plain) == 0 && kq_string_array_error(plain) == KQ_C_ERROR_SUCCESS);
  CHECK(kq_string_array_is_sorted(plain) == 0);
  CHECK(kq_string_array_is_sorted(sorted) == 5); /* the flag as given */
  kq_string_array_free(plain);
  kq_string_array_free(sorted);
  kq_string_array_free(NULL);
}

/* UTF-8 in, UTF-16 and UTF-8 out: explicit and zero-terminated lengths, zero bytes inside a
   counted text, and ill-formed input, which becomes U+FFFD as CKQString::FromUtf8 makes it. */
static void TestUtf8RoundTrip(void) {
  static const struct {
    const char* text;
    size_t length;
    uint16_t units[4];
    size_t unitCount;
    const char* back; /* the element read out as UTF-8 */
    size_t backLength;
  } kCases[] = {
      {"pear", KQ_C_ZERO_TERMINATED, {'p', 'e', 'a', 'r'}, 4, "pear", 4},
      {"pear", 2, {'p', 'e'}, 2, "pe", 2},
      {"a\0b", 3, {'a', 0, 'b'}, 3, "a\0b", 3},
      {"\xC3\xA9t\xC3\xA9", KQ_C_ZERO_TERMINATED, {0xE9, 't', 0xE9}, 3, "\xC3\xA9t\xC3\xA9", 5},
      {"\xF0\x9F\x98\x80", 4, {0xD83D, 0xDE00}, 2, "\xF0\x9F\x98\x80", 4},
      {"\xFF", 1, {0xFFFD}, 1, "\xEF\xBF\xBD", 3},
      {"ab\xC3", KQ_C_ZERO_TERMINATED, {'a', 'b', 0xFFFD}, 3, "ab\xEF\xBF\xBD", 5},
      {NULL, 0, {0}, 0, "", 0},
      {"", KQ_C_ZERO_TERMINATED, {0}, 0, "", 0},
  };
  size_t i = 0;
  for (; i < sizeof kCases / sizeof kCases[0]; ++i) {
    kq_string_array* array = kq_string_array_new(0);
    uint32_t index = 77;
    uint16_t units[8];
    const int before = g_failures;
    CHECK(kq_string_array_add_utf8(array, kCases[i].text, kCases[i].length, &index) == 1);
    CHECK(index == 0 && kq_string_array_error(array) == KQ_C_ERROR_SUCCESS);
    CHECK(kq_string_array_get_utf16(array, 0, units, 8) == kCases[i].unitCount);
    CHECK(memcmp(units, kCases[i].units, kCases[i].unitCount * sizeof(uint16_t)) == 0);
    CHECK(ElementIs(array, 0, kCases[i].back, kCases[i].backLength));
    if (g_failures != before) {
      fprintf(stderr, "  in UTF-8 case %u\n", (unsigned)i);
    }
    kq_string_array_free(array);
  }
}

/* UTF-16 in: units are kept exactly, an unpaired surrogate too (read out as U+FFFD in UTF-8). */
static void TestUtf16(void) {
  static const uint16_t kLone[] = {'x', 0xD800, 0};
  static const uint16_t kWithZero[] = {'a', 0, 'b'};
  kq_string_array* array = kq_string_array_new(0);
  uint16_t units[8];
  uint32_t index = 0;
  CHECK(kq_string_array_add_utf16(array, kLone, KQ_C_ZERO_TERMINATED, &index) == 1 && index == 0);
  CHECK(kq_string_array_add_utf16(array, kWithZero, 3, &index) == 1 && index == 1);
  CHECK(kq_string_array_add_utf16(array, NULL, 0, NULL) == 1);
  CHECK(kq_string_array_size(array) == 3);
  CHECK(kq_string_array_get_utf16(array, 0, units, 8) == 2 && units[1] == 0xD800 && units[2] == 0);
  CHECK(ElementIs(array, 0, "x\xEF\xBF\xBD", 4));
  CHECK(kq_string_array_get_utf16(array, 1, units, 8) == 3 && memcmp(units, kWithZero, 6) == 0);
  CHECK(kq_string_array_get_utf16(array, 2, units, 8) == 0 && units[0] == 0);
  kq_string_array_free(array);
}

/* A sorted array keeps case-insensitive order, the texts equal without regard to case with the
   one added last first, and reports each insertion's position. */
static void TestSortedOrder(void) {
  static const struct {
    const char* text;
    uint32_t index;
  } kAdds[] = {{"banana", 0}, {"Apple", 0}, {"cherry", 2}, {"apple", 0}};
  static const char* const kOrder[] = {"apple", "Apple", "banana", "cherry"};
  kq_string_array* array = kq_string_array_new(1);
  size_t i = 0;
  for (; i < sizeof kAdds / sizeof kAdds[0]; ++i) {
    uint32_t index = 99;
    CHECK(kq_string_array_add_utf8(array, kAdds[i].text, KQ_C_ZERO_TERMINATED, &index) == 1);
    CHECK(index == kAdds[i].index);
  }
  for (i = 0; i < 4; ++i) {
    CHECK(ElementIs(array, (uint32_t)i, kOrder[i], strlen(kOrder[i])));
  }
  kq_string_array_free(array);
}

/* Exact and case-insensitive search in both encodings; a search that finds nothing records
   nothing (the const search). */
static void TestFind(void) {
  kq_string_array* array = kq_string_array_new(0);
  const Wide pear = W("pear");
  const Wide upper = W("PEAR");
  kq_string_array_add_utf8(array, "Pear", KQ_C_ZERO_TERMINATED, NULL);
  kq_string_array_add_utf8(array, "pear", KQ_C_ZERO_TERMINATED, NULL);
  kq_string_array_add_utf8(array, "\xFF", 1, NULL);
  CHECK(kq_string_array_find_utf8(array, "pear", KQ_C_ZERO_TERMINATED, 0) == 1);
  CHECK(kq_string_array_find_utf8(array, "PEAR", 4, 1) == 0);
  CHECK(kq_string_array_find_utf8(array, "pearl", 4, 0) == 1); /* the length counts */
  CHECK(kq_string_array_find_utf8(array, "\xEF\xBF\xBD", 3, 0) == 2);
  CHECK(kq_string_array_find_utf8(array, "\xC0", 1, 0) == 2); /* ill-formed: U+FFFD */
  CHECK(kq_string_array_find_utf16(array, pear.units, KQ_C_ZERO_TERMINATED, 0) == 1);
  CHECK(kq_string_array_find_utf16(array, upper.units, 4, 1) == 0);
  CHECK(kq_string_array_find_utf16(array, upper.units, 4, 0) == KQ_C_NO_INDEX);
  CHECK(kq_string_array_find_utf8(array, "plum", KQ_C_ZERO_TERMINATED, 1) == KQ_C_NO_INDEX);
  CHECK(kq_string_array_find_utf8(array, NULL, 0, 0) == KQ_C_NO_INDEX); /* no empty element */
  CHECK(kq_string_array_error(array) == KQ_C_ERROR_SUCCESS);
  kq_string_array_free(array);
}

/* Replacing elements: unsorted arrays only, valid indices only. */
static void TestSet(void) {
  kq_string_array* plain = kq_string_array_new(0);
  kq_string_array* sorted = kq_string_array_new(1);
  const Wide plum = W("plum");
  kq_string_array_add_utf8(plain, "pear", KQ_C_ZERO_TERMINATED, NULL);
  kq_string_array_add_utf8(sorted, "pear", KQ_C_ZERO_TERMINATED, NULL);
  CHECK(kq_string_array_set_utf8(plain, 0, "fig\xFF", 4) == 1 &&
        ElementIs(plain, 0, "fig\xEF\xBF\xBD", 6));
  CHECK(kq_string_array_set_utf16(plain, 0, plum.units, KQ_C_ZERO_TERMINATED) == 1);
  CHECK(ElementIs(plain, 0, "plum", 4));
  CHECK(kq_string_array_set_utf8(plain, 1, "x", 1) == 0);
  CHECK(kq_string_array_error(plain) == KQ_C_ERROR_INVALID_INDEX);
  CHECK(kq_string_array_set_utf16(plain, KQ_C_NO_INDEX, plum.units, 4) == 0);
  CHECK(kq_string_array_error(plain) == KQ_C_ERROR_INVALID_INDEX);
  CHECK(kq_string_array_set_utf8(sorted, 0, "x", 1) == 0);
  CHECK(kq_string_array_error(sorted) == KQ_C_ERROR_INVALID_STATE);
  CHECK(kq_string_array_set_utf16(sorted, 0, plum.units, 4) == 0);
  CHECK(kq_string_array_error(sorted) == KQ_C_ERROR_INVALID_STATE &&
        ElementIs(sorted, 0, "pear", 4));
  kq_string_array_free(plain);
  kq_string_array_free(sorted);
}

/* Reading into short buffers: always terminated, never a split character, the whole length
   returned, nothing written past `capacity`; the length alone for a NULL buffer. */
static void TestGetBuffers(void) {
  /* "a", U+00E9 (2 bytes, 1 unit), U+1F600 (4 bytes, 2 units) */
  static const char kText[] = "a\xC3\xA9\xF0\x9F\x98\x80";
  static const struct {
    size_t capacity;
    size_t bytesKept; /* UTF-8 bytes copied before the terminator */
    size_t unitsKept; /* UTF-16 units copied before the terminator */
  } kCases[] = {{1, 0, 0}, {2, 1, 1}, {3, 1, 2}, {4, 3, 2}, {5, 3, 4},
                {6, 3, 4}, {7, 3, 4}, {8, 7, 4}, {9, 7, 4}};
  static const uint16_t kUnits[] = {'a', 0xE9, 0xD83D, 0xDE00};
  kq_string_array* array = kq_string_array_new(0);
  size_t i = 0;
  kq_string_array_add_utf8(array, kText, KQ_C_ZERO_TERMINATED, NULL);
  CHECK(kq_string_array_get_utf8(array, 0, NULL, 0) == 7);
  CHECK(kq_string_array_get_utf16(array, 0, NULL, 0) == 4);
  for (; i < sizeof kCases / sizeof kCases[0]; ++i) {
    const size_t capacity = kCases[i].capacity;
    const size_t kept = kCases[i].unitsKept;
    const int before = g_failures;
    char bytes[12];
    uint16_t units[12];
    memset(bytes, '#', sizeof bytes);
    memset(units, 0x23, sizeof units);
    CHECK(kq_string_array_get_utf8(array, 0, bytes, capacity) == 7);
    CHECK(memcmp(bytes, kText, kCases[i].bytesKept) == 0 && bytes[kCases[i].bytesKept] == '\0');
    CHECK(capacity >= sizeof bytes || bytes[capacity] == '#');
    CHECK(kq_string_array_get_utf16(array, 0, units, capacity) == 4);
    CHECK(memcmp(units, kUnits, kept * sizeof(uint16_t)) == 0 && units[kept] == 0);
    CHECK(units[capacity] == 0x2323);
    if (g_failures != before) {
      fprintf(stderr, "  at capacity %u\n", (unsigned)capacity);
      break;
    }
  }
  {
    char untouched = '#';
    CHECK(kq_string_array_get_utf8(array, 0, &untouched, 0) == 7 && untouched == '#');
    CHECK(kq_string_array_get_utf8(array, 1, &untouched, 1) == (size_t)-1 && untouched == '#');
    CHECK(kq_string_array_error(array) == KQ_C_ERROR_INVALID_INDEX);
  }
  kq_string_array_free(array);
}

static void TestRemove(void) {
  kq_string_array* array = kq_string_array_new(0);
  kq_string_array_add_utf8(array, "one", KQ_C_ZERO_TERMINATED, NULL);
  kq_string_array_add_utf8(array, "two", KQ_C_ZERO_TERMINATED, NULL);
  kq_string_array_add_utf8(array, "three", KQ_C_ZERO_TERMINATED, NULL);
  CHECK(kq_string_array_remove_at(array, 3) == 0);
  CHECK(kq_string_array_error(array) == KQ_C_ERROR_INVALID_INDEX);
  CHECK(kq_string_array_remove_at(array, 1) == 1);
  CHECK(kq_string_array_error(array) == KQ_C_ERROR_SUCCESS);
  CHECK(kq_string_array_size(array) == 2 && ElementIs(array, 1, "three", 5));
  CHECK(kq_string_array_remove_all(array) == 1 && kq_string_array_size(array) == 0);
  CHECK(kq_string_array_add_utf8(array, "again", 5, NULL) == 1 && kq_string_array_size(array) == 1);
  kq_string_array_free(array);
}

/* Appending keeps the target's order rule; an array appended to itself doubles once. */
static void TestAppend(void) {
  kq_string_array* plain = kq_string_array_new(0);
  kq_string_array* sorted = kq_string_array_new(1);
  kq_string_array_add_utf8(plain, "b", 1, NULL);
  kq_string_array_add_utf8(plain, "A", 1, NULL);
  kq_string_array_add_utf8(sorted, "c", 1, NULL);
  CHECK(kq_string_array_append(sorted, plain) == 1);
  CHECK(kq_string_array_size(sorted) == 3 && ElementIs(sorted, 0, "A", 1));
  CHECK(ElementIs(sorted, 1, "b", 1) && ElementIs(sorted, 2, "c", 1));
  CHECK(kq_string_array_append(plain, plain) == 1 && kq_string_array_size(plain) == 4);
  CHECK(ElementIs(plain, 2, "b", 1) && ElementIs(plain, 3, "A", 1));
  CHECK(kq_string_array_append(plain, NULL) == 0);
  CHECK(kq_string_array_error(plain) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_size(plain) == 4);
  kq_string_array_free(plain);
  kq_string_array_free(sorted);
}

/* Many texts in one call: back to back with their lengths, in either encoding; a sorted array
   orders them as one add after another would (the later of two equal-without-case texts
   first). */
static void TestAddMany(void) {
  static const char kNarrow[] = "pearAppleapplefig";
  static const size_t kNarrowLengths[] = {4, 5, 5, 3};
  static const uint16_t kWide[] = {'z', 'a', 0, 'b', 'Y'};
  static const size_t kWideLengths[] = {1, 2, 0, 2};
  static const size_t kBadLengths[] = {1, KQ_C_ZERO_TERMINATED};
  kq_string_array* sorted = kq_string_array_new(1);
  kq_string_array* plain = kq_string_array_new(0);
  CHECK(kq_string_array_add_many_utf8(sorted, kNarrow, kNarrowLengths, 4) == 1);
  CHECK(kq_string_array_error(sorted) == KQ_C_ERROR_SUCCESS);
  CHECK(kq_string_array_size(sorted) == 4 && ElementIs(sorted, 0, "apple", 5));
  CHECK(ElementIs(sorted, 1, "Apple", 5) && ElementIs(sorted, 2, "fig", 3));
  CHECK(ElementIs(sorted, 3, "pear", 4));
  CHECK(kq_string_array_add_many_utf16(plain, kWide, kWideLengths, 4) == 1);
  CHECK(kq_string_array_size(plain) == 4 && ElementIs(plain, 0, "z", 1));
  CHECK(ElementIs(plain, 1, "a\0", 2) && ElementIs(plain, 2, "", 0));
  CHECK(ElementIs(plain, 3, "bY", 2));
  /* Nothing to add; refused arguments add nothing. */
  CHECK(kq_string_array_add_many_utf16(plain, NULL, NULL, 0) == 1);
  CHECK(kq_string_array_add_many_utf8(plain, kNarrow, NULL, 2) == 0);
  CHECK(kq_string_array_error(plain) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_add_many_utf8(plain, kNarrow, kBadLengths, 2) == 0);
  CHECK(kq_string_array_add_many_utf16(plain, NULL, kWideLengths, 2) == 0);
  CHECK(kq_string_array_error(plain) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_size(plain) == 4);
  CHECK(kq_string_array_add_many_utf8(NULL, kNarrow, kNarrowLengths, 4) == 0);
  kq_string_array_free(sorted);
  kq_string_array_free(plain);
}

/* The flat array: terminated, independent of the array, released through any array. */
static void TestMemoryArray(void) {
  kq_string_array* array = kq_string_array_new(0);
  kq_string_array* other = kq_string_array_new(0);
  const uint16_t** flat = NULL;
  const Wide one = W("one");
  const Wide three = W("three");
  uint32_t count = 0;
  kq_string_array_add_utf8(array, "one", KQ_C_ZERO_TERMINATED, NULL);
  kq_string_array_add_utf8(array, "", 0, NULL);
  kq_string_array_add_utf8(array, "three", KQ_C_ZERO_TERMINATED, NULL);
  CHECK(kq_string_array_create_memory_array(array, &flat, &count) == 1);
  CHECK(count == 3 && flat != NULL);
  if (flat != NULL) {
    kq_string_array_remove_all(array); /* the copies are the caller's */
    CHECK(memcmp(flat[0], one.units, 4 * sizeof(uint16_t)) == 0);
    CHECK(flat[1][0] == 0);
    CHECK(memcmp(flat[2], three.units, 6 * sizeof(uint16_t)) == 0);
    CHECK(flat[3] == NULL);
  }
  CHECK(kq_string_array_free_memory_array(other, &flat) == 1 && flat == NULL);
  CHECK(kq_string_array_free_memory_array(other, &flat) == 0);
  CHECK(kq_string_array_error(other) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_create_memory_array(array, &flat, NULL) == 1 && flat != NULL);
  CHECK(flat != NULL && flat[0] == NULL); /* empty now */
  CHECK(kq_string_array_free_memory_array(array, &flat) == 1 && flat == NULL);
  CHECK(kq_string_array_create_memory_array(array, NULL, &count) == 0);
  CHECK(kq_string_array_error(array) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_free_memory_array(array, NULL) == 0);
  kq_string_array_free(array);
  kq_string_array_free(other);
}

/* Bad arguments are refused with KQ_C_ERROR_INVALID_PARAMETER and change nothing. */
static void TestBadArguments(void) {
  kq_string_array* array = kq_string_array_new(0);
  uint32_t index = 7;
  kq_string_array_add_utf8(array, "kept", 4, NULL);
  CHECK(kq_string_array_add_utf8(array, NULL, 3, &index) == 0 && index == 7);
  CHECK(kq_string_array_error(array) == KQ_C_ERROR_INVALID_PARAMETER);
  kq_string_array_add_utf8(array, "x", 1, NULL);
  kq_string_array_remove_at(array, 1); /* records success */
  CHECK(kq_string_array_add_utf16(array, NULL, KQ_C_ZERO_TERMINATED, &index) == 0 && index == 7);
  CHECK(kq_string_array_error(array) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_set_utf8(array, 0, NULL, 1) == 0 && ElementIs(array, 0, "kept", 4));
  CHECK(kq_string_array_set_utf16(array, 0, NULL, 2) == 0 && ElementIs(array, 0, "kept", 4));
  CHECK(kq_string_array_find_utf8(array, NULL, 2, 0) == KQ_C_NO_INDEX);
  kq_string_array_remove_at(array, 9);
  CHECK(kq_string_array_find_utf16(array, NULL, KQ_C_ZERO_TERMINATED, 0) == KQ_C_NO_INDEX);
  CHECK(kq_string_array_error(array) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_get_utf8(array, 0, NULL, 5) == (size_t)-1);
  CHECK(kq_string_array_get_utf16(array, 0, NULL, 1) == (size_t)-1);
  CHECK(kq_string_array_error(array) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_size(array) == 1);
  kq_string_array_free(array);
}

/* A NULL array: nothing to record, each function returns its documented failure value. */
static void TestNullArray(void) {
  const uint16_t unit = 'x';
  const uint16_t** flat = NULL;
  kq_string_array* some = kq_string_array_new(0);
  uint32_t index = 5;
  char byte = '#';
  uint16_t wide = 0x2323;
  CHECK(kq_string_array_is_sorted(NULL) == 0 && kq_string_array_size(NULL) == 0);
  CHECK(kq_string_array_error(NULL) == KQ_C_ERROR_INVALID_PARAMETER);
  CHECK(kq_string_array_add_utf8(NULL, "x", 1, &index) == 0 && index == 5);
  CHECK(kq_string_array_add_utf16(NULL, &unit, 1, &index) == 0 && index == 5);
  CHECK(kq_string_array_set_utf8(NULL, 0, "x", 1) == 0);
  CHECK(kq_string_array_set_utf16(NULL, 0, &unit, 1) == 0);
  CHECK(kq_string_array_find_utf8(NULL, "x", 1, 0) == KQ_C_NO_INDEX);
  CHECK(kq_string_array_find_utf16(NULL, &unit, 1, 1) == KQ_C_NO_INDEX);
  CHECK(kq_string_array_get_utf8(NULL, 0, &byte, 1) == (size_t)-1 && byte == '#');
  CHECK(kq_string_array_get_utf16(NULL, 0, &wide, 1) == (size_t)-1 && wide == 0x2323);
  CHECK(kq_string_array_remove_at(NULL, 0) == 0 && kq_string_array_remove_all(NULL) == 0);
  CHECK(kq_string_array_append(NULL, some) == 0 && kq_string_array_size(some) == 0);
  CHECK(kq_string_array_create_memory_array(NULL, &flat, &index) == 0 && flat == NULL);
  CHECK(kq_string_array_create_memory_array(some, &flat, NULL) == 1);
  CHECK(kq_string_array_free_memory_array(NULL, &flat) == 0 && flat != NULL);
  CHECK(kq_string_array_free_memory_array(some, &flat) == 1);
  CHECK(kq_string_array_error(some) == KQ_C_ERROR_SUCCESS);
  kq_string_array_free(some);
}

int main(void) {
  TestConstants();
  TestVersion();
  TestNewAndFree();
  TestUtf8RoundTrip();
  TestUtf16();
  TestSortedOrder();
  TestFind();
  TestSet();
  TestGetBuffers();
  TestRemove();
  TestAppend();
  TestAddMany();
  TestMemoryArray();
  TestBadArguments();
  TestNullArray();
  if (g_failures != 0) {
    fprintf(stderr, "%d checks failed\n", g_failures);
    return 1;
  }
  printf("all checks of the C interface passed\n");
  return 0;
}
