// CKQString, the wide-string class in which the arrays keep their elements.
//
// Text is UTF-16 in 16-bit code units, terminated by a zero unit.  Copies are O(1): copies share
// one immutable, atomically reference-counted buffer, and a string detaches (gets a buffer of its
// own) only when it is changed, by MakeLower or by assigning other text.  Copies may be handed to
// other threads; one CKQString object itself must not be changed by one thread while another
// uses it.
//
// Case: MakeLower applies the Unicode simple lowercase mapping to every character (surrogate
// pairs included), which never changes the length.  CompareNoCase orders texts by the code points
// of their lowered forms (an unpaired surrogate counts as the code point of its own value, below
// U+E000), so two texts compare equal without regard to case exactly when their lowered forms
// are equal.
//
// Equality and order (==, !=, <, <=, >, >=, and <=> for clients that have it) compare texts
// exactly, code unit by code unit, as Compare does, with the string on either side; they take
// precedence over the conversion to a pointer, so two strings never compare by address.
// std::hash<CKQString> agrees with ==, so strings serve as keys of the standard containers, and
// operator<< writes a string to a std::ostream as UTF-8.
//
// Language levels: the header serves C++17 and C++20 clients.  Where the client has three-way
// comparison, CKQString declares operator<=> and the compiler derives <, <=, >, >=, != and the
// reversed forms (u"x" == text) from it and from ==; without it, inline functions at the end of
// this header give the same operators, built on Compare.  The library itself is built as C++20,
// so the <=> members are always there in the library.
#ifndef KQ_STRING_H
#define KQ_STRING_H

// `<version>` (C++20) says which library features there are; C++17's __has_include tells
// whether it exists at all.  `<compare>` only where the client has three-way comparison.
#if __has_include(<version>)
#include <version>
#endif
#if defined(__cpp_impl_three_way_comparison) && defined(__cpp_lib_three_way_comparison)
#include <compare>
#endif
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "KQString_export.h"

namespace kq {
struct StringAccess;
} // namespace kq

// A UTF-16 string (see the file comment for sharing, threads and case).
class KQSTRING_EXPORT CKQString {
public:
  // An empty string (no allocation).
  CKQString() noexcept;
  // A copy of the zero-terminated `text`; a null `text` gives an empty string.
  CKQString(const unsigned short* text); // NOLINT(google-explicit-constructor)
  CKQString(const char16_t* text);       // NOLINT(google-explicit-constructor)
  // A copy of `length` units at `text` (which need not be zero-terminated).
  CKQString(const char16_t* text, std::uint32_t length);
  // A copy of the units of `text`, zero units inside it included.  More than 0xFFFFFFFF units
  // throw std::length_error.
  explicit CKQString(std::u16string_view text);
#if defined(_WIN32)
  // A copy of the zero-terminated wide `text` (wchar_t is a UTF-16 unit on Windows); a null
  // `text` gives an empty string.
  CKQString(const wchar_t* text); // NOLINT(google-explicit-constructor)
#endif
  // Copies share the text (O(1)); a moved-from string is empty.
  CKQString(const CKQString& other) noexcept;
  CKQString(CKQString&& other) noexcept;
  ~CKQString();

  // Assignment: this string then shares `other`'s text; a moved-from `other` is empty.
  CKQString& operator=(const CKQString& other) noexcept;
  CKQString& operator=(CKQString&& other) noexcept;

  // Lowers the text in place (Unicode simple lowercase mapping); the length stays.
  void MakeLower();

  // Code units before the terminating zero.
  std::uint32_t GetLength() const noexcept;

  // The zero-terminated text; valid and unchanged while this object lives unchanged.
  operator const unsigned short*() const noexcept; // NOLINT(google-explicit-constructor)
  // The same text as char16_t.
  const char16_t* Data() const noexcept;
  // The whole text, GetLength() units at Data(); valid while this object lives unchanged.
  std::u16string_view View() const noexcept;

  // 0 when the texts are equal unit for unit; otherwise the sign of the first differing unit.
  // A null `text` compares as empty.
  int Compare(const unsigned short* text) const noexcept;
  // Negative, 0 or positive as this text sorts before, with or after `text` without regard to
  // case.  A null `text` compares as empty.
  int CompareNoCase(const unsigned short* text) const noexcept;
  // The same comparisons against the whole of `other`: a zero unit inside a string is part of
  // it (the pointer forms above see a text only up to its first zero).
  int Compare(const CKQString& other) const noexcept;
  int CompareNoCase(const CKQString& other) const noexcept;

  // True when both texts hold the same code units; the pointer forms read `text` up to its first
  // zero unit, and a null `text` is the empty text.  `a != b` is the negation, and `text == a`
  // the same test.
  bool operator==(const CKQString& other) const noexcept;
  bool operator==(const char16_t* text) const noexcept;
  bool operator==(const unsigned short* text) const noexcept;
#if defined(__cpp_impl_three_way_comparison) && defined(__cpp_lib_three_way_comparison)
  // The order of Compare: code unit by code unit, a prefix before the longer text.  <, <=, >, >=
  // follow from it, with the string on either side.  (C++17 clients get the same operators from
  // the inline functions at the end of this header.)
  std::strong_ordering operator<=>(const CKQString& other) const noexcept;
  std::strong_ordering operator<=>(const char16_t* text) const noexcept;
  std::strong_ordering operator<=>(const unsigned short* text) const noexcept;
#endif

  // Conversions to and from UTF-8.  Ill-formed UTF-8 and unpaired surrogates become U+FFFD.
  static CKQString FromUtf8(std::string_view utf8);
  // FromUtf8, also writing through `wellFormed` (when not null) whether `utf8` was well-formed,
  // that is whether no U+FFFD stands for a broken sequence (a U+FFFD spelt out in the input is
  // well-formed).
  static CKQString FromUtf8(std::string_view utf8, bool* wellFormed);
  // Throws std::length_error, before allocating anything, when the UTF-8 form would be longer
  // than a std::string can hold (possible on 32-bit targets only), and std::bad_alloc when
  // memory runs out.
  std::string ToUtf8() const;

private:
  struct Buffer;
  explicit CKQString(Buffer* buffer) noexcept : m_pBuffer(buffer) {}
  // The project's own libraries read and share texts inline (not part of the interface).
  friend struct kq::StringAccess;

  Buffer* m_pBuffer; // never null: the empty string shares a static buffer
};

// Writes the text as UTF-8 (as ToUtf8 gives it), padded to the stream's width like a
// std::string.
KQSTRING_EXPORT std::ostream& operator<<(std::ostream& out, const CKQString& text);

#if !(defined(__cpp_impl_three_way_comparison) && defined(__cpp_lib_three_way_comparison))
namespace kq {
// For clients without three-way comparison (C++17), which get the operators that C++20 derives
// from == and <=> as the inline functions below (not exported: each client compiles them): the
// sign of the order of `string` and the other text, as operator<=> gives it.  Compare for a
// string or an unsigned short text; for a char16_t text its view, as the library's own
// operator<=> compares it (a null text is the empty text).
inline int Order(const CKQString& string, const CKQString& other) noexcept {
  return string.Compare(other);
}
inline int Order(const CKQString& string, const unsigned short* text) noexcept {
  return string.Compare(text);
}
inline int Order(const CKQString& string, const char16_t* text) noexcept {
  return string.View().compare(text == nullptr ? std::u16string_view() : std::u16string_view(text));
}

} // namespace kq

// The text first: the same test as the member with the string first.
inline bool operator==(const char16_t* text, const CKQString& string) noexcept {
  return string == text;
}
inline bool operator==(const unsigned short* text, const CKQString& string) noexcept {
  return string == text;
}
#if defined(_WIN32)
// A wide text first, as C++20 reverses `text == L"..."`: the text is converted to a string, as
// the other operators convert it (which may throw std::bad_alloc).
inline bool operator==(const wchar_t* text, const CKQString& string) {
  return string == CKQString(text);
}
#endif

// The negations of ==.
inline bool operator!=(const CKQString& a, const CKQString& b) noexcept { return !(a == b); }
inline bool operator!=(const CKQString& string, const char16_t* text) noexcept {
  return !(string == text);
}
inline bool operator!=(const char16_t* text, const CKQString& string) noexcept {
  return !(string == text);
}
inline bool operator!=(const CKQString& string, const unsigned short* text) noexcept {
  return !(string == text);
}
inline bool operator!=(const unsigned short* text, const CKQString& string) noexcept {
  return !(string == text);
}

// The order of Compare between two strings.
inline bool operator<(const CKQString& a, const CKQString& b) noexcept {
  return kq::Order(a, b) < 0;
}
inline bool operator>(const CKQString& a, const CKQString& b) noexcept {
  return kq::Order(a, b) > 0;
}
inline bool operator<=(const CKQString& a, const CKQString& b) noexcept {
  return kq::Order(a, b) <= 0;
}
inline bool operator>=(const CKQString& a, const CKQString& b) noexcept {
  return kq::Order(a, b) >= 0;
}

// The same order between a string and a char16_t text, on either side.
inline bool operator<(const CKQString& string, const char16_t* text) noexcept {
  return kq::Order(string, text) < 0;
}
inline bool operator>(const CKQString& string, const char16_t* text) noexcept {
  return kq::Order(string, text) > 0;
}
inline bool operator<=(const CKQString& string, const char16_t* text) noexcept {
  return kq::Order(string, text) <= 0;
}
inline bool operator>=(const CKQString& string, const char16_t* text) noexcept {
  return kq::Order(string, text) >= 0;
}
inline bool operator<(const char16_t* text, const CKQString& string) noexcept {
  return kq::Order(string, text) > 0;
}
inline bool operator>(const char16_t* text, const CKQString& string) noexcept {
  return kq::Order(string, text) < 0;
}
inline bool operator<=(const char16_t* text, const CKQString& string) noexcept {
  return kq::Order(string, text) >= 0;
}
inline bool operator>=(const char16_t* text, const CKQString& string) noexcept {
  return kq::Order(string, text) <= 0;
}

// And between a string and an unsigned short text, on either side.
inline bool operator<(const CKQString& string, const unsigned short* text) noexcept {
  return kq::Order(string, text) < 0;
}
inline bool operator>(const CKQString& string, const unsigned short* text) noexcept {
  return kq::Order(string, text) > 0;
}
inline bool operator<=(const CKQString& string, const unsigned short* text) noexcept {
  return kq::Order(string, text) <= 0;
}
inline bool operator>=(const CKQString& string, const unsigned short* text) noexcept {
  return kq::Order(string, text) >= 0;
}
inline bool operator<(const unsigned short* text, const CKQString& string) noexcept {
  return kq::Order(string, text) > 0;
}
inline bool operator>(const unsigned short* text, const CKQString& string) noexcept {
  return kq::Order(string, text) < 0;
}
inline bool operator<=(const unsigned short* text, const CKQString& string) noexcept {
  return kq::Order(string, text) >= 0;
}
inline bool operator>=(const unsigned short* text, const CKQString& string) noexcept {
  return kq::Order(string, text) <= 0;
}
#endif

namespace std {
// Hashes the code units, as std::hash<std::u16string_view> hashes the same text: equal strings
// hash equally.
template <> struct hash<CKQString> {
  // The hash of `text`'s code units.
  std::size_t operator()(const CKQString& text) const noexcept {
    return std::hash<std::u16string_view>{}(text.View());
  }
};
} // namespace std

#endif // KQ_STRING_H
