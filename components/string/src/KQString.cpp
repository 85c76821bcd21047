// CKQString: an implicitly shared, zero-terminated UTF-16 string.
//
// Ownership: every CKQString holds exactly one reference to a Buffer.  A Buffer is one block from
// ::operator new: the header (reference count, length) followed by length + 1 units, the last
// of which is zero.  The text of a Buffer that more than one string refers to is never changed;
// a string changes its text in place only while its reference is the only one.
//
// The empty string is one static Buffer that is never counted and never freed: creating, copying
// and destroying empty strings touches no shared counter and allocates nothing.  Every text of
// length 0 uses it, so "length 0" and "the static buffer" are the same thing.
#include "KQString.h"

#include "KQCaseMap.h"
#include "KQStringBuffer.h"
#include "KQUtf16.h"
#include "KQUtf8Size.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <type_traits>

// The header's functions for making, releasing and changing buffers (KQStringBuffer.h has the
// layout and the counting that the array library shares).
struct CKQString::Buffer : kq::StringBufferHeader {
  static Buffer* Empty() noexcept {
    struct Block {
      Buffer header;
      char16_t zero;
    };
    static_assert(offsetof(Block, zero) == sizeof(Buffer), "units must follow the header");
    static constinit Block block{{{0, 0}}, 0};
    return &block.header;
  }

  // A buffer for `length` units, counted once, with its terminating zero already written;
  // the caller fills the units.  Lengths beyond 32 bits cannot be represented: length_error.
  static Buffer* Allocate(std::size_t length) {
    // The length field's limit, or on 32-bit targets the lower limit of the byte size in size_t.
    constexpr std::size_t kMaxLength = std::min<std::size_t>(
        std::numeric_limits<std::uint32_t>::max(),
        (std::numeric_limits<std::size_t>::max() - sizeof(Buffer)) / sizeof(char16_t) - 1);
    if (length > kMaxLength) {
      throw std::length_error("CKQString: text too long");
    }
    void* raw = ::operator new(Bytes(length));
    auto* buffer = ::new (raw) Buffer{{{1}, static_cast<std::uint32_t>(length)}};
    buffer->Units()[length] = 0;
    return buffer;
  }

  // A counted copy of `length` 16-bit units at `units`, or the empty buffer for length 0.
  static Buffer* CopyOf(const void* units, std::size_t length) {
    if (length == 0) {
      return Empty();
    }
    Buffer* const buffer = Allocate(length);
    std::memcpy(buffer->Units(), units, length * sizeof(char16_t));
    return buffer;
  }

  static std::size_t Bytes(std::size_t length) noexcept {
    return sizeof(Buffer) + (length + 1) * sizeof(char16_t);
  }

  void Release() noexcept {
    if (!IsStatic() && Drop()) {
      this->~Buffer();
      ::operator delete(static_cast<void*>(this));
    }
  }

  // True when the caller's reference is the only one.  The acquire pairs with the release of
  // owners that have let go, so their reads happen before the caller writes the units.
  bool IsUnshared() noexcept { return refs.load(std::memory_order_acquire) == 1; }
};

namespace {

using kq::casemap::LowerBmpUnit;
using kq::casemap::LowerCodePoint;
using kq::utf16::CombinePair;
using kq::utf16::IsHighSurrogate;
using kq::utf16::IsLowSurrogate;
using kq::utf16::IsSurrogate;

constexpr char32_t kReplacement = 0xFFFD;

template <typename Unit> std::size_t ZeroTerminatedLength(const Unit* text) noexcept {
  std::size_t length = 0;
  while (text[length] != 0) {
    ++length;
  }
  return length;
}

// Index of the first code point whose lowercase differs from it, or `count` when lowering would
// change nothing.  Always a code-point boundary, so lowering may start there.
std::size_t FirstCaseChange(const char16_t* units, std::size_t count) noexcept {
  for (std::size_t i = 0; i < count; ++i) {
    const char16_t unit = units[i];
    if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
      const char32_t cp = CombinePair(unit, units[i + 1]);
      if (LowerCodePoint(cp) != cp) {
        return i;
      }
      ++i;
    } else if (LowerBmpUnit(unit) != unit) {
      return i;
    }
  }
  return count;
}

// Decodes UTF-8, handing every code point to `emit`.  Each maximal subpart of an ill-formed
// sequence (a valid lead byte followed by the longest run of continuation bytes that could still
// belong to it) becomes one U+FFFD, and so does every byte that can start nothing; the byte that
// broke a sequence is decoded afresh.  The ranges are those of the well-formed byte sequences,
// which exclude overlongs, surrogates and values beyond U+10FFFF at the second byte.  Returns
// true when no U+FFFD was made up, that is when `utf8` is well-formed.
template <typename Emit> bool DecodeUtf8(std::string_view utf8, Emit&& emit) {
  bool wellFormed = true;
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t size = utf8.size();
  std::size_t i = 0;
  while (i < size) {
    const unsigned lead = bytes[i++];
    if (lead < 0x80) {
      emit(char32_t{lead});
      continue;
    }
    int trailing = 0;
    unsigned low = 0x80; // allowed range of the next byte
    unsigned high = 0xBF;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      trailing = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trailing = 2;
      cp = lead & 0x0F;
      low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlongs
      high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trailing = 3;
      cp = lead & 0x07;
      low = lead == 0xF0 ? 0x90 : 0x80;  // no overlongs
      high = lead == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
    } else {
      emit(kReplacement); // a stray continuation byte, C0, C1 or F5..FF
      wellFormed = false;
      continue;
    }
    bool complete = true;
    for (; trailing > 0; --trailing) {
      if (i == size || bytes[i] < low || bytes[i] > high) {
        complete = false;
        break;
      }
      cp = (cp << 6) | (bytes[i++] & 0x3Fu);
      low = 0x80;
      high = 0xBF;
    }
    emit(complete ? cp : kReplacement);
    wellFormed = wellFormed && complete;
  }
  return wellFormed;
}

// Hands every code point of UTF-16 text to `emit`; an unpaired surrogate becomes U+FFFD.
template <typename Emit> void DecodeUtf16(const char16_t* units, std::size_t count, Emit&& emit) {
  for (std::size_t i = 0; i < count; ++i) {
    const char16_t unit = units[i];
    if (!IsSurrogate(unit)) {
      emit(unit);
    } else if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
      emit(CombinePair(unit, units[++i]));
    } else {
      emit(kReplacement);
    }
  }
}

constexpr std::size_t Utf8Length(char32_t cp) noexcept {
  return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

} // namespace

CKQString::CKQString() noexcept : m_pBuffer(Buffer::Empty()) {}

CKQString::CKQString(const unsigned short* text)
    : m_pBuffer(Buffer::CopyOf(text, text == nullptr ? 0 : ZeroTerminatedLength(text))) {}

CKQString::CKQString(const char16_t* text)
    : m_pBuffer(Buffer::CopyOf(text, text == nullptr ? 0 : ZeroTerminatedLength(text))) {}

// A null `text` gives an empty string whatever `length` says: there is nothing to copy.
CKQString::CKQString(const char16_t* text, std::uint32_t length)
    : m_pBuffer(Buffer::CopyOf(text, text == nullptr ? 0 : length)) {}

CKQString::CKQString(const CKQString& other) noexcept : m_pBuffer(other.m_pBuffer) {
  m_pBuffer->Retain();
}

CKQString::CKQString(CKQString&& other) noexcept : m_pBuffer(other.m_pBuffer) {
  other.m_pBuffer = Buffer::Empty();
}

CKQString::~CKQString() { m_pBuffer->Release(); }

// Retaining before releasing makes self-assignment safe without a test for it.
// NOLINTNEXTLINE(bugprone-unhandled-self-assignment,cert-oop54-cpp)
CKQString& CKQString::operator=(const CKQString& other) noexcept {
  other.m_pBuffer->Retain(); // before the release, so self-assignment keeps the buffer
  m_pBuffer->Release();
  m_pBuffer = other.m_pBuffer;
  return *this;
}

CKQString& CKQString::operator=(CKQString&& other) noexcept {
  if (this != &other) {
    Buffer* const old = m_pBuffer;
    m_pBuffer = other.m_pBuffer;
    other.m_pBuffer = Buffer::Empty();
    old->Release();
  }
  return *this;
}

// Leaves the buffer alone when nothing changes, lowers in place when unshared and otherwise
// copies the unchanged prefix and lowers the rest into a new buffer.  If that allocation throws,
// the string keeps its old text.
void CKQString::MakeLower() {
  Buffer* const buffer = m_pBuffer;
  const std::size_t length = buffer->length;
  const char16_t* units = buffer->Units();
  const std::size_t first = FirstCaseChange(units, length);
  if (first == length) {
    return;
  }
  if (buffer->IsUnshared()) {
    kq::casemap::LowerUtf16(units + first, length - first, buffer->Units() + first);
    return;
  }
  Buffer* const lowered = Buffer::Allocate(length);
  std::memcpy(lowered->Units(), units, first * sizeof(char16_t));
  kq::casemap::LowerUtf16(units + first, length - first, lowered->Units() + first);
  m_pBuffer = lowered;
  buffer->Release();
}

std::uint32_t CKQString::GetLength() const noexcept { return m_pBuffer->length; }

CKQString::operator const unsigned short*() const noexcept {
  return reinterpret_cast<const unsigned short*>(m_pBuffer->Units());
}

const char16_t* CKQString::Data() const noexcept { return m_pBuffer->Units(); }

// Beside Data and GetLength rather than with the other standard members: the arrays compare
// through it at every step of a search, and here it reads the buffer directly.
std::u16string_view CKQString::View() const noexcept {
  // Here, where the private Buffer is complete and accessible:
  static_assert(std::is_standard_layout_v<Buffer> &&
                    sizeof(Buffer) == sizeof(kq::StringBufferHeader),
                "a buffer is its header: StringAccess reads it through a pointer to the header");
  return {m_pBuffer->Units(), m_pBuffer->length};
}

namespace {

// The other side of a comparison: a zero-terminated text (which ends at its first zero unit), or
// a counted one (whose zero units are part of it, like a CKQString's).
template <typename Unit, bool kZeroTerminated> struct OtherText {
  const Unit* units;
  std::size_t length; // counted texts only

  bool EndsAt(std::size_t i) const noexcept {
    if constexpr (kZeroTerminated) {
      return units[i] == 0;
    } else {
      return i == length;
    }
  }
};

// 0 when equal unit for unit, else the sign of the first difference; a prefix sorts first.
template <typename Unit, bool kZeroTerminated>
int CompareUnits(const char16_t* units, std::size_t length,
                 OtherText<Unit, kZeroTerminated> other) noexcept {
  for (std::size_t i = 0;; ++i) {
    const bool mineEnds = i == length;
    const bool theirsEnd = other.EndsAt(i);
    if (mineEnds || theirsEnd) {
      return mineEnds == theirsEnd ? 0 : mineEnds ? -1 : 1;
    }
    const unsigned mine = units[i];
    const unsigned theirs = other.units[i];
    if (mine != theirs) {
      return mine < theirs ? -1 : 1;
    }
  }
}

constexpr unsigned short kNoText[1] = {0};

} // namespace

// `text` ends at its first zero, while a zero unit inside this string is part of it: a string
// with an embedded zero sorts after the shorter text that its zero-terminated view shows.  The
// CKQString overloads compare whole strings.
int CKQString::Compare(const unsigned short* text) const noexcept {
  return CompareUnits(Data(), m_pBuffer->length,
                      OtherText<unsigned short, true>{text == nullptr ? kNoText : text, 0});
}

int CKQString::Compare(const CKQString& other) const noexcept {
  return CompareUnits(Data(), m_pBuffer->length,
                      OtherText<char16_t, false>{other.Data(), other.m_pBuffer->length});
}

int CKQString::CompareNoCase(const unsigned short* text) const noexcept {
  return kq::casemap::CompareNoCase(Data(), m_pBuffer->length, text == nullptr ? kNoText : text);
}

int CKQString::CompareNoCase(const CKQString& other) const noexcept {
  return kq::casemap::CompareNoCase(Data(), m_pBuffer->length, other.Data(),
                                    other.m_pBuffer->length);
}

// Two passes over the input: one to size the buffer exactly, one to fill it.  Every input byte
// yields at most one unit, except that four bytes may yield two, so nothing is lost and an
// embedded NUL byte is kept as a zero unit (counted in the length).
CKQString CKQString::FromUtf8(std::string_view utf8) { return FromUtf8(utf8, nullptr); }

CKQString CKQString::FromUtf8(std::string_view utf8, bool* wellFormed) {
  std::size_t length = 0;
  const bool valid = DecodeUtf8(utf8, [&length](char32_t cp) { length += cp >= 0x10000 ? 2 : 1; });
  if (wellFormed != nullptr) {
    *wellFormed = valid;
  }
  if (length == 0) {
    return {};
  }
  Buffer* const buffer = Buffer::Allocate(length);
  char16_t* out = buffer->Units();
  DecodeUtf8(utf8, [&out](char32_t cp) {
    if (cp < 0x10000) {
      *out++ = static_cast<char16_t>(cp);
    } else {
      *out++ = kq::utf16::HighSurrogateOf(cp);
      *out++ = kq::utf16::LowSurrogateOf(cp);
    }
  });
  return CKQString(buffer);
}

// Sizes the result first (checked: see KQUtf8Size.h), then fills it.
std::string CKQString::ToUtf8() const {
  const char16_t* units = m_pBuffer->Units();
  const std::size_t length = m_pBuffer->length;
  std::string utf8;
  utf8.resize(kq::utf8::EncodedSize(units, length, utf8.max_size()));
  char* out = utf8.data();
  DecodeUtf16(units, length, [&out](char32_t cp) {
    const auto put = [&out](char32_t byte) { *out++ = static_cast<char>(byte); };
    switch (Utf8Length(cp)) {
    case 1:
      put(cp);
      break;
    case 2:
      put(0xC0 | (cp >> 6));
      put(0x80 | (cp & 0x3F));
      break;
    case 3:
      put(0xE0 | (cp >> 12));
      put(0x80 | ((cp >> 6) & 0x3F));
      put(0x80 | (cp & 0x3F));
      break;
    default:
      put(0xF0 | (cp >> 18));
      put(0x80 | ((cp >> 12) & 0x3F));
      put(0x80 | ((cp >> 6) & 0x3F));
      put(0x80 | (cp & 0x3F));
      break;
    }
  });
  return utf8;
}
