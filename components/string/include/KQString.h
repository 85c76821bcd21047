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
// of their lowered forms, so two texts compare equal without regard to case exactly when their
// lowered forms are equal.
#ifndef KQ_STRING_H
#define KQ_STRING_H

#include <cstdint>
#include <string>
#include <string_view>

#include "KQString_export.h"

class KQSTRING_EXPORT CKQString {
public:
  // An empty string (no allocation).
  CKQString() noexcept;
  // A copy of the zero-terminated `text`; a null `text` gives an empty string.
  CKQString(const unsigned short* text); // NOLINT(google-explicit-constructor)
  CKQString(const char16_t* text);       // NOLINT(google-explicit-constructor)
  // A copy of `length` units at `text` (which need not be zero-terminated).
  CKQString(const char16_t* text, std::uint32_t length);
  CKQString(const CKQString& other) noexcept;
  CKQString(CKQString&& other) noexcept;
  ~CKQString();

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

  // Conversions to and from UTF-8.  Ill-formed UTF-8 and unpaired surrogates become U+FFFD.
  static CKQString FromUtf8(std::string_view utf8);
  // Throws std::length_error, before allocating anything, when the UTF-8 form would be longer
  // than a std::string can hold (possible on 32-bit targets only), and std::bad_alloc when
  // memory runs out.
  std::string ToUtf8() const;

private:
  struct Buffer;
  explicit CKQString(Buffer* buffer) noexcept : m_pBuffer(buffer) {}

  Buffer* m_pBuffer; // never null: the empty string shares a static buffer
};

#endif // KQ_STRING_H
