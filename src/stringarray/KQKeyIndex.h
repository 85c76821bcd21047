// The key index of a string array: an open-addressing table from a key to the first position
// whose element has that key.  Internal to the library; the key block (KQKeyBlock.h) owns it.
//
// One C-runtime block: this header, then `capacity` 32-bit entries, twice the number of elements
// it was built for, so it costs 8 bytes per element while it exists and stays at most half full
// until appends have grown the array by 40%.  An entry is 0 (empty) or holds, in its low
// `positionBits` bits, the position + 1, and in the bits above, the key's top bits (a
// fingerprint): a probe reads the key block only where the fingerprint agrees.  Linear probing
// from a slot taken from the key by a multiplicative hash scaled to the capacity.
//
// Each distinct key has one entry, for its first position: the index answers "where does this
// key first appear", never which text is there.  Searches confirm the text at that position and,
// for a collision or a case variant, go on as a search without the index would, from there.
//
// Built once every key is known (O(count)); searched in O(1) expected time; extended by Append in
// O(1) expected.  Never changed while searches may read it (the key block's threading rules).
#ifndef KQ_KEY_INDEX_H
#define KQ_KEY_INDEX_H

#include <cstddef>
#include <cstdint>

namespace kq {

class KeyIndex {
public:
  // No position: the key is not in the index.
  static constexpr unsigned kNone = 0xFFFFFFFFu;

  // An index over `keys[0 .. count - 1]` (count > 0), or null when the C runtime refuses the
  // block or its size does not fit.  Free() releases it.
  static KeyIndex* Build(const std::uint32_t* keys, unsigned count) noexcept;
  static void Free(KeyIndex* index) noexcept;

  // The lookup of a search: the first position holding `key` when `matches(position)` accepts its
  // element, else kNone, with `first` set to the first position holding `key` (kNone when no
  // element has it), for the caller to go on from.  An entry whose fingerprint agrees has its
  // element tried before its key is read: an element that matches has the key (texts equal,
  // exactly or without regard to case, have equal keys), so a hit reads no key at all, and the
  // key block is read only to tell a near miss from a probe that must go on.
  template <class Matches>
  unsigned Find(const std::uint32_t* keys, std::uint32_t key, Matches&& matches,
                unsigned& first) const noexcept {
    const std::uint32_t* entries = Entries();
    const std::uint32_t fingerprint = Fingerprint(key);
    unsigned slot = SlotOf(key);
    for (std::uint32_t entry = entries[slot]; entry != 0; entry = entries[slot]) {
      if ((entry & ~m_positionMask) == fingerprint) {
        const unsigned position = (entry & m_positionMask) - 1;
        if (matches(position)) {
          first = position;
          return position;
        }
        if (keys[position] == key) {
          first = position;
          return kNone;
        }
      }
      slot = slot + 1 == m_capacity ? 0 : slot + 1;
    }
    first = kNone;
    return kNone;
  }

  // Enters the element at `position` == Covered() with key `key` (nothing to enter when an
  // earlier position has that key).  False, the index unchanged, when the table is too full or
  // the position does not fit an entry: the caller builds it anew or drops it.
  bool Append(const std::uint32_t* keys, unsigned position, std::uint32_t key) noexcept;

  // The number of leading elements the index covers.
  unsigned Covered() const noexcept { return m_covered; }

private:
  KeyIndex() = default;
  std::uint32_t* Entries() noexcept;
  const std::uint32_t* Entries() const noexcept;
  unsigned SlotOf(std::uint32_t key) const noexcept;
  std::uint32_t Fingerprint(std::uint32_t key) const noexcept;
  // Enters `position` for `key` unless the key is there (room checked by the caller).
  void Enter(const std::uint32_t* keys, unsigned position, std::uint32_t key) noexcept;

  unsigned m_capacity = 0;     // entries in the table
  unsigned m_limit = 0;        // the most distinct keys before the table counts as too full
  unsigned m_used = 0;         // distinct keys entered
  unsigned m_covered = 0;      // positions 0 .. m_covered - 1 are entered
  unsigned m_positionBits = 0; // low bits of an entry holding position + 1
  std::uint32_t m_positionMask = 0;
};

} // namespace kq

#endif // KQ_KEY_INDEX_H
