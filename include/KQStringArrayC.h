// The C interface to the string array: plain functions with C linkage over an opaque handle, for
// C programs and for every language or compiler that can call a C function in a shared library
// (C#, Python's ctypes, Delphi, programs built with another C++ compiler).  Valid C11 and C++.
//
// Results: functions returning int give 1 for success and 0 for failure; the index functions
// give KQ_C_NO_INDEX when there is no such element.  Beside the result every operation on an
// array records what the corresponding CKQStringArray member records (ERROR_SUCCESS after an
// add, ERROR_INVALID_INDEX for a bad index, ...), and the interface records its own failures:
// KQ_C_ERROR_INVALID_PARAMETER for a bad argument (a null text with a non-zero length, a null
// buffer with a non-zero capacity, a null source array or flat-array pointer), and
// KQ_C_ERROR_OUTOFMEMORY when memory runs out.  kq_string_array_error reads the recorded code.
// A null `array` cannot record anything: each function then returns the failure value its
// comment names.
//
// No C++ exception leaves these functions: every one is caught inside and reported as
// KQ_C_ERROR_OUTOFMEMORY (the library throws only when memory or another resource runs out, or
// for a text longer than 0xFFFFFFFF units).
//
// Text: UTF-8 (`char`) or UTF-16 (`uint16_t` units) with an explicit length in bytes or units, a
// zero inside it being part of the text, or KQ_C_ZERO_TERMINATED as the length for a text that
// ends at its first zero.  A null text is the empty text when its length is 0, and refused
// otherwise.  Ill-formed UTF-8 is read as CKQString::FromUtf8 reads it: every broken sequence
// becomes U+FFFD.  Elements read out as UTF-8 give U+FFFD for an unpaired surrogate; as UTF-16
// they give the units exactly as stored.
//
// Threads: as for CKQStringArray.  The functions that change an array, and the element reads,
// take the array's lock (an element read tests the index and takes the element under one
// holding of it, so beside a writer it gives the element or KQ_C_ERROR_INVALID_INDEX, never an
// empty text that was not there); kq_string_array_size, kq_string_array_is_sorted and the find
// functions take none, so callers keep writers away while they run.  The const functions change
// nothing but the recorded code, and that only when the call itself fails (a bad argument, out of
// memory); a search that finds nothing records nothing.
//
// Calling convention: the C default (cdecl), spelt out on Windows (KQ_C_CALL) so that a client
// compiled with another default still calls correctly.  The functions are exported from the
// KQStringArray library under their plain names.
//
// The header includes KQStringArrayVersion.h: the release it belongs to, as macros.
#ifndef KQ_STRING_ARRAY_C_H
#define KQ_STRING_ARRAY_C_H

// NOLINTBEGIN(modernize-deprecated-headers,cppcoreguidelines-macro-usage,modernize-use-using): C
#include <stddef.h>
#include <stdint.h>

#include "KQStringArrayVersion.h"
#include "KQStringArray_export.h"

// The calling convention of every function below: __cdecl on Windows, the default elsewhere.
#if defined(_WIN32) && !defined(KQ_C_CALL)
#define KQ_C_CALL __cdecl
#elif !defined(KQ_C_CALL)
#define KQ_C_CALL
#endif

// The index that the find functions return when nothing matches (0xFFFFFFFF, as KQ_NO_INDEX).
#define KQ_C_NO_INDEX 0xFFFFFFFFu
// A text length meaning "up to the first zero".
#define KQ_C_ZERO_TERMINATED ((size_t)-1)

// The result codes that kq_string_array_error returns are the Windows system error codes that
// KQResultCodes.h (C++ only) names ERROR_SUCCESS, ERROR_OUTOFMEMORY, ...  This one: success.
#define KQ_C_ERROR_SUCCESS 0u
// Out of memory (or another resource), ERROR_OUTOFMEMORY.
#define KQ_C_ERROR_OUTOFMEMORY 14u
// A bad argument, ERROR_INVALID_PARAMETER.
#define KQ_C_ERROR_INVALID_PARAMETER 87u
// No such element, ERROR_NOT_FOUND (recorded by no function of this interface: its searches are
// the const ones).
#define KQ_C_ERROR_NOT_FOUND 1168u
// An index at or beyond the count, ERROR_INVALID_INDEX.
#define KQ_C_ERROR_INVALID_INDEX 1413u
// A replacement in a sorted array, ERROR_INVALID_STATE.
#define KQ_C_ERROR_INVALID_STATE 5023u

#ifdef __cplusplus
extern "C" {
#endif

// The version of the library running the call, "MAJOR.MINOR.PATCH" ("1.4.0"): the
// KQSTRINGARRAY_VERSION_STRING of KQStringArrayVersion.h it was built with, which a client may
// compare with the one it was compiled against.  A static string, never NULL and never to be
// released.  Records nothing and takes no lock.
KQSTRINGARRAY_EXPORT const char* KQ_C_CALL kq_version(void);

// A string array (a CKQStringArray behind an opaque handle).  Made by kq_string_array_new,
// released by kq_string_array_free.
typedef struct kq_string_array kq_string_array;

// A new empty array, kept in case-insensitive order when `sorted` is non-zero (stored unchanged,
// as kq_string_array_is_sorted returns it).  NULL when out of memory.
KQSTRINGARRAY_EXPORT kq_string_array* KQ_C_CALL kq_string_array_new(int sorted);
// Releases the array and its strings.  NULL is allowed (nothing happens).
KQSTRINGARRAY_EXPORT void KQ_C_CALL kq_string_array_free(kq_string_array* array);

// The sorted flag as given to kq_string_array_new; the number of elements.  0 for NULL.  Record
// nothing.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_is_sorted(const kq_string_array* array);
KQSTRINGARRAY_EXPORT uint32_t KQ_C_CALL kq_string_array_size(const kq_string_array* array);

// The code recorded by the last operation that recorded one (0 for a new array);
// KQ_C_ERROR_INVALID_PARAMETER for NULL.
KQSTRINGARRAY_EXPORT uint32_t KQ_C_CALL kq_string_array_error(const kq_string_array* array);

// Inserts a copy of the text at its place (sorted) or at the end (unsorted) and writes the
// position through `index` when that is not NULL.  1 with KQ_C_ERROR_SUCCESS recorded; 0 with
// KQ_C_ERROR_OUTOFMEMORY or KQ_C_ERROR_INVALID_PARAMETER, the array unchanged and nothing
// written.  0 for NULL.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_add_utf8(kq_string_array* array,
                                                            const char* text, size_t length,
                                                            uint32_t* index);
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_add_utf16(kq_string_array* array,
                                                             const uint16_t* text, size_t length,
                                                             uint32_t* index);

// Adds `count` texts at once, stored back to back at `units` (UTF-16) or `text` (UTF-8), text i
// being `lengths[i]` units or bytes long (explicit lengths only; zeros inside count).  The way
// to load many strings: a sorted array orders them all at once and merges them in, where one
// add per string would move up to all the later elements each time.  1 with
// KQ_C_ERROR_SUCCESS recorded (nothing recorded for count 0); out of memory, 0 with
// KQ_C_ERROR_OUTOFMEMORY and a prefix of the texts added.  0 with KQ_C_ERROR_INVALID_PARAMETER
// and nothing added for NULL `lengths` (or NULL units) with texts to add, or a length of
// KQ_C_ZERO_TERMINATED or more than 0xFFFFFFFF units.  0 for NULL `array`.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_add_many_utf8(kq_string_array* array,
                                                                 const char* text,
                                                                 const size_t* lengths,
                                                                 size_t count);
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_add_many_utf16(kq_string_array* array,
                                                                  const uint16_t* units,
                                                                  const size_t* lengths,
                                                                  size_t count);

// Replaces the text of element `index` of an unsorted array.  1; 0 with KQ_C_ERROR_INVALID_INDEX
// for a bad index, KQ_C_ERROR_INVALID_STATE on a sorted array, KQ_C_ERROR_OUTOFMEMORY or
// KQ_C_ERROR_INVALID_PARAMETER, the element unchanged.  0 for NULL.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_set_utf8(kq_string_array* array, uint32_t index,
                                                            const char* text, size_t length);
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_set_utf16(kq_string_array* array, uint32_t index,
                                                             const uint16_t* text, size_t length);

// Index of the first element equal to the text (exactly, or without regard to case when
// `no_case` is non-zero), or KQ_C_NO_INDEX.  A search that finds nothing records nothing; a bad
// argument (KQ_C_ERROR_INVALID_PARAMETER) or, for UTF-8, no memory for the converted text
// (KQ_C_ERROR_OUTOFMEMORY) gives KQ_C_NO_INDEX with that code recorded.  KQ_C_NO_INDEX for NULL.
KQSTRINGARRAY_EXPORT uint32_t KQ_C_CALL kq_string_array_find_utf8(const kq_string_array* array,
                                                                  const char* text, size_t length,
                                                                  int no_case);
KQSTRINGARRAY_EXPORT uint32_t KQ_C_CALL kq_string_array_find_utf16(const kq_string_array* array,
                                                                   const uint16_t* text,
                                                                   size_t length, int no_case);

// Copies element `index` into `buffer` and returns the element's length in bytes (utf8) or units
// (utf16) without the terminator.  When `capacity` is non-zero the copy is always
// zero-terminated: a text that does not fit (the result is >= `capacity`) is cut to the longest
// prefix of whole characters that fits before the terminator, so a surrogate pair or a UTF-8
// sequence is never split.  A NULL buffer with capacity 0 asks for the length only.  Returns
// (size_t)-1 and records KQ_C_ERROR_INVALID_INDEX for a bad index, KQ_C_ERROR_INVALID_PARAMETER
// for a NULL buffer with a non-zero capacity, or KQ_C_ERROR_OUTOFMEMORY (utf8: the conversion);
// the buffer is then untouched.  (size_t)-1 for NULL.
KQSTRINGARRAY_EXPORT size_t KQ_C_CALL kq_string_array_get_utf8(kq_string_array* array,
                                                               uint32_t index, char* buffer,
                                                               size_t capacity);
KQSTRINGARRAY_EXPORT size_t KQ_C_CALL kq_string_array_get_utf16(kq_string_array* array,
                                                                uint32_t index, uint16_t* buffer,
                                                                size_t capacity);

// Removes element `index`: 1 with KQ_C_ERROR_SUCCESS, or 0 with KQ_C_ERROR_INVALID_INDEX.  0 for
// NULL.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_remove_at(kq_string_array* array,
                                                             uint32_t index);
// Removes every element; the reserved room stays.  1; 0 for NULL.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_remove_all(kq_string_array* array);

// Adds every string of `source`, in `source`'s order, each at `target`'s own place for it;
// `source` may be `target` (its elements present at the start are added once each).  1; out of
// memory, 0 with KQ_C_ERROR_OUTOFMEMORY recorded in `target` and the strings before the failing
// one added.  A NULL `source`: 0 with KQ_C_ERROR_INVALID_PARAMETER.  0 for a NULL `target`.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_append(kq_string_array* target,
                                                          kq_string_array* source);

// The flat array: stores in `*flat` a new NULL-terminated block of pointers to zero-terminated
// UTF-16 copies of the elements, writes their number through `count` when that is not NULL, and
// returns 1, recording nothing.  The block is the caller's until kq_string_array_free_memory_array
// takes it back (through any array: the array serves only for the recorded code).  0 with
// KQ_C_ERROR_INVALID_PARAMETER for a NULL `flat`, or with KQ_C_ERROR_OUTOFMEMORY, `*flat` then
// NULL and nothing left allocated.  0 for a NULL `array`.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_create_memory_array(kq_string_array* array,
                                                                       const uint16_t*** flat,
                                                                       uint32_t* count);
// Releases a flat array made by kq_string_array_create_memory_array (of any array) and sets
// `*flat` to NULL: 1.  0 with KQ_C_ERROR_INVALID_PARAMETER, releasing nothing and leaving `*flat`
// as it was, when `flat` or `*flat` is NULL or `*flat` is no such block still live (one made
// elsewhere, an address inside one, one already released): the library keeps a process-wide
// list of the live blocks and reads nothing of a block that is not in it.  Releases exactly the
// copies it made that are still in the block's slots, never an entry the caller put in.  0 for
// a NULL `array`, releasing nothing.
KQSTRINGARRAY_EXPORT int KQ_C_CALL kq_string_array_free_memory_array(kq_string_array* array,
                                                                     const uint16_t*** flat);

#ifdef __cplusplus
} // extern "C"
#endif
// NOLINTEND(modernize-deprecated-headers,cppcoreguidelines-macro-usage,modernize-use-using)

#endif // KQ_STRING_ARRAY_C_H
