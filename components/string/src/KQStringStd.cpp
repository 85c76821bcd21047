// CKQString beside the standard library: construction from views and wide literals, equality
// and order by code unit, and UTF-8 output to streams.
#include "KQString.h"

#include <cwchar>
#include <limits>
#include <ostream>
#include <stdexcept>

namespace {

// A view of a zero-terminated text; a null `text` is the empty text.
std::u16string_view ViewOf(const char16_t* text) noexcept {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

std::strong_ordering OrderOf(int comparison) noexcept { return comparison <=> 0; }

// The length of a text to be copied into a string, which counts its units in 32 bits.
std::uint32_t StorableLength(std::size_t length) {
  if (length > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("CKQString: text too long");
  }
  return static_cast<std::uint32_t>(length);
}

} // namespace

CKQString::CKQString(std::u16string_view text)
    : CKQString(text.data(), StorableLength(text.size())) {}

#if defined(_WIN32)
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t holds one UTF-16 unit on Windows");

// The units are copied as bytes, so the text is never read through a char16_t lvalue.
CKQString::CKQString(const wchar_t* text)
    : CKQString(reinterpret_cast<const char16_t*>(text),
                text == nullptr ? 0 : StorableLength(std::wcslen(text))) {}
#endif

bool CKQString::operator==(const CKQString& other) const noexcept { return View() == other.View(); }

bool CKQString::operator==(const char16_t* text) const noexcept { return View() == ViewOf(text); }

bool CKQString::operator==(const unsigned short* text) const noexcept { return Compare(text) == 0; }

std::strong_ordering CKQString::operator<=>(const CKQString& other) const noexcept {
  return OrderOf(Compare(other));
}

std::strong_ordering CKQString::operator<=>(const char16_t* text) const noexcept {
  return OrderOf(View().compare(ViewOf(text)));
}

std::strong_ordering CKQString::operator<=>(const unsigned short* text) const noexcept {
  return OrderOf(Compare(text));
}

std::ostream& operator<<(std::ostream& out, const CKQString& text) { return out << text.ToUtf8(); }
