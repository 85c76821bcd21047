// Helpers shared by the test binaries (linked as the test-only library KQTestSupport): UTF-8
// and UTF-16 literals to CKQString and back, array contents as plain vectors, recorded codes.
//
// Test files take them all with `using namespace kqtest;`.
#ifndef KQ_TEST_SUPPORT_H
#define KQ_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "KQPtrArray.h"
#include "KQStringArray.h"

namespace kqtest {

using Strings = std::vector<std::string>;

// The code last recorded in `object`'s error state.
std::uint32_t Code(const CKQObject& object);

// A string from UTF-8 (ill-formed input becomes U+FFFD, as CKQString::FromUtf8 does).
CKQString S(const char* utf8);
// A string of exactly these units: zero units and unpaired surrogates included.
CKQString U16(std::u16string_view units);
// The units of a whole string (embedded zero units included), and of a zero-terminated text.
std::u16string Units(const CKQString& text);
std::u16string Units(const unsigned short* text);
// A char16_t literal as the client interface's unsigned 16-bit units.
const unsigned short* U(const char16_t* text);

// The elements, in array order, as UTF-8 (read through operator[], which takes no lock).
Strings Texts(CKQStringArray& array);
// Adds every text (UTF-8) in order; returns the array.
CKQStringArray& Fill(CKQStringArray& array, const Strings& texts);

// A pointer-array element that points nowhere: the value itself is what the tests compare.
void* P(std::uintptr_t value);
// The elements, in array order (read through operator[]).
std::vector<void*> Contents(CKQPtrArray& array);

} // namespace kqtest

#endif // KQ_TEST_SUPPORT_H
