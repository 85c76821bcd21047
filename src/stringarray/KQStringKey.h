// The search key of a string-array element: the CRC-32 of its text after simple lowercase
// mapping, fed as UTF-16 code units in order, each as its low byte then its high byte.  Texts
// that differ only in case therefore share a key.  Internal to the library.
#ifndef KQ_STRING_KEY_H
#define KQ_STRING_KEY_H

#include <cstddef>
#include <cstdint>

namespace kq {

// Units lowered per step into StringKey()'s stack buffer.  A step ends one unit early rather
// than split a surrogate pair, so the chunking never shows in the result.
inline constexpr std::size_t kStringKeyChunkUnits = 128;

// The key of `length` UTF-16 units at `text` (null allowed when `length` is 0); 0 for the empty
// text.  One pass, O(length), no allocation.
std::uint32_t StringKey(const char16_t* text, std::size_t length) noexcept;

} // namespace kq

#endif // KQ_STRING_KEY_H
