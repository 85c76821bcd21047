// Simple lowercase mapping over the generated two-stage table (see KQCaseTable.h), and the
// case-insensitive comparison built on it.
#include "KQCaseMap.h"

#include <cstdint>

namespace kq::casemap {

using utf16::CombinePair;
using utf16::HighSurrogateOf;
using utf16::IsHighSurrogate;
using utf16::IsLowSurrogate;
using utf16::LowSurrogateOf;

char32_t LowerCodePoint(char32_t cp) noexcept {
  if (cp >= table::kTableLimit) {
    return cp;
  }
  return (cp & ~char32_t{0xFFFF}) | ((cp + table::Delta(cp)) & 0xFFFF);
}

// One pass, O(count).  Each step reads the unit (and for a pair both units) before writing, so
// dst == src is safe; other overlaps are not.
void LowerUtf16(const char16_t* src, std::size_t count, char16_t* dst) noexcept {
  std::size_t i = 0;
  while (i < count) {
    const char16_t unit = src[i];
    if (!IsHighSurrogate(unit) || i + 1 == count || !IsLowSurrogate(src[i + 1])) {
      dst[i] = LowerBmpUnit(unit); // includes unpaired surrogates, which map to themselves
      ++i;
    } else {
      const char32_t lower = LowerCodePoint(CombinePair(unit, src[i + 1]));
      dst[i] = HighSurrogateOf(lower);
      dst[i + 1] = LowSurrogateOf(lower);
      i += 2;
    }
  }
}

namespace {

// Marks the end of a text in the unit streams below; above every 16-bit unit.
constexpr std::uint32_t kEndOfText = 0x10000;

// Streams the units of the lowercase-mapped form of a text without allocating: a supplementary
// character is lowered as one code point and handed out as its two units.  The text ends after
// `count` units or, for kZeroTerminated, at its first zero unit.
template <typename Unit, bool kZeroTerminated> class LoweredUnits {
public:
  LoweredUnits(const Unit* units, std::size_t count) noexcept : m_units(units), m_count(count) {}

  std::uint32_t Next() noexcept {
    if (m_pendingLow != 0) {
      const std::uint32_t low = m_pendingLow;
      m_pendingLow = 0;
      return low; // m_inPair stays set
    }
    m_inPair = false;
    if (AtEnd(m_index)) {
      return kEndOfText;
    }
    const char16_t unit = m_units[m_index++];
    if (IsHighSurrogate(unit) && !AtEnd(m_index) && IsLowSurrogate(m_units[m_index])) {
      const char32_t lower = LowerCodePoint(CombinePair(unit, m_units[m_index++]));
      m_pendingLow = LowSurrogateOf(lower);
      m_inPair = true;
      return HighSurrogateOf(lower);
    }
    return LowerBmpUnit(unit);
  }

  // Whether the unit Next returned last is one half of a surrogate pair; an unpaired surrogate
  // is not.
  bool InPair() const noexcept { return m_inPair; }

private:
  bool AtEnd(std::size_t index) const noexcept {
    if constexpr (kZeroTerminated) {
      return m_units[index] == 0;
    } else {
      return index == m_count;
    }
  }

  const Unit* m_units;
  std::size_t m_count;
  std::size_t m_index = 0;
  std::uint32_t m_pendingLow = 0; // second half of a lowered pair; never 0 when set
  bool m_inPair = false;
};

// Makes comparing UTF-16 unit by unit order texts by code point, ill-formed ones included.
// Only applied when both differing units are >= 0xD800: a half of a surrogate pair stands for a
// supplementary code point and keeps its rank above every BMP unit, while any other unit (U+E000
// to U+FFFF, or an unpaired surrogate, whose code point is its own value) moves below 0xD800 in
// its own order.  The same rule as ICU's u_strCompare in code point order.
constexpr std::uint32_t CodePointOrderRank(std::uint32_t unit, bool inPair) noexcept {
  return inPair ? unit : unit - 0x2800;
}

// `b` has `nb` units or, for kZeroTerminated, ends at its first zero (`nb` unused).  The common
// prefix of ASCII units is compared with one arithmetic lowering per unit; from the first unit
// on either side that is not ASCII (always a code-point boundary, since everything before it is
// ASCII) the lowered streams take over.
template <typename Unit, bool kZeroTerminated>
int Compare(const char16_t* a, std::size_t na, const Unit* b, std::size_t nb) noexcept {
  std::size_t i = 0;
  for (;; ++i) {
    const bool aEnds = i == na;
    const bool bEnds = kZeroTerminated ? b[i] == 0 : i == nb;
    if (aEnds || bEnds) {
      return aEnds == bEnds ? 0 : aEnds ? -1 : 1;
    }
    const char16_t ua = a[i];
    const char16_t ub = b[i];
    if (!utf16::IsAscii(ua) || !utf16::IsAscii(ub)) {
      break;
    }
    const char16_t la = utf16::LowerAscii(ua);
    const char16_t lb = utf16::LowerAscii(ub);
    if (la != lb) {
      return la < lb ? -1 : 1;
    }
  }
  LoweredUnits<char16_t, false> mine(a + i, na - i);
  LoweredUnits<Unit, kZeroTerminated> theirs(b + i, nb - i);
  for (;;) {
    std::uint32_t la = mine.Next();
    std::uint32_t lb = theirs.Next();
    if (la != lb) {
      if (la == kEndOfText || lb == kEndOfText) {
        return la == kEndOfText ? -1 : 1;
      }
      if (la >= 0xD800 && lb >= 0xD800) {
        la = CodePointOrderRank(la, mine.InPair());
        lb = CodePointOrderRank(lb, theirs.InPair());
      }
      return la < lb ? -1 : 1;
    }
    if (la == kEndOfText) {
      return 0;
    }
  }
}

} // namespace

int CompareNoCase(const char16_t* a, std::size_t na, const char16_t* b, std::size_t nb) noexcept {
  return Compare<char16_t, false>(a, na, b, nb);
}

int CompareNoCase(const char16_t* a, std::size_t na, const unsigned short* b) noexcept {
  return Compare<unsigned short, true>(a, na, b, 0);
}

} // namespace kq::casemap
