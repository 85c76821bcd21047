// The header of a CKQString's text buffer, and inline access to a string's text for the
// libraries of this project.
//
// A buffer is one block from the allocation operator: this header, then length + 1 units, the
// last of them zero.  The string library makes, counts and frees buffers (CKQString::Buffer in
// KQString.cpp adds only functions to this header).  The array library reads texts and shares
// them through StringAccess at every step of a search and every read-out, inline, where a call
// into the string library would cost more than the step's own work.
//
// Every text of length 0 is the one static empty buffer, which is never counted or freed, so a
// length of 0 tells that buffer apart without its address (a function-local static would be a
// different object in each shared library).
#ifndef KQ_STRING_BUFFER_H
#define KQ_STRING_BUFFER_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "KQSingleThreaded.h"
#include "KQString.h"

namespace kq {

struct StringBufferHeader {
  // Strings referring to this buffer.  Not maintained for the static empty buffer.
  std::atomic<std::size_t> refs;
  std::uint32_t length;

  // The units follow the header directly, in the same block.
  char16_t* Units() noexcept {
    return reinterpret_cast<char16_t*>(reinterpret_cast<unsigned char*>(this) +
                                       sizeof(StringBufferHeader));
  }
  const char16_t* Units() const noexcept {
    return reinterpret_cast<const char16_t*>(reinterpret_cast<const unsigned char*>(this) +
                                             sizeof(StringBufferHeader));
  }

  // The static empty buffer: never counted, never freed.
  bool IsStatic() const noexcept { return length == 0; }

  // One reference more, made from an existing one, which keeps the buffer alive: relaxed.  In
  // a process with one thread no other thread can count at the same time, so the step needs no
  // atomic read-modify-write (the C library and the C++ runtime count the same way).
  void Retain() noexcept {
    if (IsStatic()) {
      return;
    }
    if (platform::IsSingleThreaded()) {
      refs.store(refs.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    } else {
      refs.fetch_add(1, std::memory_order_relaxed);
    }
  }

  // One reference fewer; true when it was the last, and the caller frees the buffer.  acq_rel:
  // the thread that frees the buffer must see every other owner's reads done.  With one thread
  // in the process those reads are its own.
  bool Drop() noexcept {
    if (platform::IsSingleThreaded()) {
      const std::size_t left = refs.load(std::memory_order_relaxed) - 1;
      refs.store(left, std::memory_order_relaxed);
      return left == 0;
    }
    return refs.fetch_sub(1, std::memory_order_acq_rel) == 1;
  }
};

// What the copy constructor and View() of CKQString do, without a call into the string
// library.  CKQString::Buffer is standard-layout and adds no data to StringBufferHeader, so a
// pointer to it is a pointer to its header.
struct StringAccess {
  static std::u16string_view View(const CKQString& text) noexcept {
    const auto* header = reinterpret_cast<const StringBufferHeader*>(text.m_pBuffer);
    return {header->Units(), header->length};
  }

  // A copy of `text`, sharing its buffer.
  static CKQString Share(const CKQString& text) noexcept {
    reinterpret_cast<StringBufferHeader*>(text.m_pBuffer)->Retain();
    return CKQString(text.m_pBuffer);
  }
};

} // namespace kq

#endif // KQ_STRING_BUFFER_H
