// The size of a text's UTF-8 form, worked out and checked before anything is allocated.
//
// CKQString::ToUtf8 sizes its result with EncodedSize first and fills it afterwards.  A UTF-16
// unit yields at most three bytes (an unpaired surrogate becomes U+FFFD, three bytes; a pair
// yields four bytes for two units), so a 32-bit length needs up to 3 x (2^32 - 1) bytes: a sum in
// a 32-bit size_t wraps above about 1.43 G units and would size the result too small.  The sum
// is kept in 64 bits, which no 32-bit length can overflow, and compared with what the result can
// hold.
#ifndef KQ_UTF8_SIZE_H
#define KQ_UTF8_SIZE_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace kq::utf8 {

// Bytes in the UTF-8 form of `count` UTF-16 units at `units`, as ToUtf8 writes it.  Throws
// std::length_error when they are more than `limit` (the most the result can hold).  O(count);
// allocates nothing.
inline std::size_t EncodedSize(const char16_t* units, std::size_t count, std::size_t limit) {
  std::uint64_t bytes = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char16_t unit = units[i];
    if (unit < 0x80) {
      bytes += 1;
    } else if (unit < 0x800) {
      bytes += 2;
    } else if ((unit & 0xFC00) == 0xD800 && i + 1 < count && (units[i + 1] & 0xFC00) == 0xDC00) {
      bytes += 4; // a surrogate pair: one supplementary code point
      ++i;
    } else {
      bytes += 3; // the rest of the BMP, and an unpaired surrogate as U+FFFD
    }
  }
  if (bytes > limit) {
    throw std::length_error("CKQString: UTF-8 form too long");
  }
  return static_cast<std::size_t>(bytes);
}

} // namespace kq::utf8

#endif // KQ_UTF8_SIZE_H
