// The peers' case-insensitive comparison: the order the std::vector column sorts and searches
// with, and the equality its linear find uses.  The only copy of this comparator in the suite;
// a start-up check holds it against CKQString::CompareNoCase.
#include "KQBench.h"
#include "KQCaseMap.h"
#include "KQString.h"

#include <cstdint>
#include <string>

namespace kqb {
namespace {

// replaced by kq::utf16::LowerAscii once available
constexpr char16_t LowerAsciiUnit(char16_t unit) noexcept {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit;
}

// replaced by kq::casemap::CompareNoCase once available (with LoweredStream below)
//
// The lowered units of a text one at a time, as CKQString::CompareNoCase reads them: a
// surrogate pair is lowered as one code point and handed out as its two units.
class LoweredStream {
public:
  static constexpr std::uint32_t kEnd = 0x10000;

  explicit LoweredStream(std::u16string_view text) noexcept
      : m_it(text.data()), m_end(text.data() + text.size()) {}

  std::uint32_t Next() noexcept {
    if (m_pendingLow != 0) {
      const std::uint32_t low = m_pendingLow;
      m_pendingLow = 0;
      return low;
    }
    if (m_it == m_end) {
      return kEnd;
    }
    const char16_t unit = *m_it++;
    if (unit < 0x80) {
      return LowerAsciiUnit(unit);
    }
    if ((unit & 0xFC00) == 0xD800 && m_it != m_end && (*m_it & 0xFC00) == 0xDC00) {
      const char32_t cp = 0x10000 + ((unit - 0xD800u) << 10) + (*m_it++ - 0xDC00u);
      const char32_t lower = kq::casemap::LowerCodePoint(cp) - 0x10000;
      m_pendingLow = 0xDC00 + (lower & 0x3FF);
      return 0xD800 + (lower >> 10);
    }
    return kq::casemap::LowerCodePoint(unit);
  }

private:
  const char16_t* m_it;
  const char16_t* m_end;
  std::uint32_t m_pendingLow = 0;
};

} // namespace

// Units >= 0xE000 rank below surrogates, so well-formed texts compare by code point.
int CompareNoCaseU16(std::u16string_view a, std::u16string_view b) noexcept {
  LoweredStream left(a);
  LoweredStream right(b);
  for (;;) {
    std::uint32_t x = left.Next();
    std::uint32_t y = right.Next();
    if (x != y) {
      if (x == LoweredStream::kEnd || y == LoweredStream::kEnd) {
        return x == LoweredStream::kEnd ? -1 : 1;
      }
      if (x >= 0xD800 && y >= 0xD800) {
        x = x >= 0xE000 ? x - 0x800 : x + 0x2000;
        y = y >= 0xE000 ? y - 0x800 : y + 0x2000;
      }
      return x < y ? -1 : 1;
    }
    if (x == LoweredStream::kEnd) {
      return 0;
    }
  }
}

// No length test up front: the peer is the plain per-unit compare, whose early exit is the
// first unit that differs.  The ASCII path never stops inside a surrogate pair, so the rest
// handed to CompareNoCaseU16 starts on a whole code point.
bool EqualNoCaseU16(std::u16string_view a, std::u16string_view b) noexcept {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = a[i];
    const char16_t y = b[i];
    if (x < 0x80 && y < 0x80) {
      if (LowerAsciiUnit(x) != LowerAsciiUnit(y)) {
        return false;
      }
      continue;
    }
    return CompareNoCaseU16(a.substr(i), b.substr(i)) == 0;
  }
  return a.size() == b.size();
}

namespace {

// The comparator and the equality agree with CKQString::CompareNoCase on neighbouring texts,
// on scrambled copies and on texts that differ only in their last unit or in length.
template <typename> bool CheckComparator() {
  const std::vector<std::u16string>& texts = Texts();
  const std::size_t count = texts.size() < 3000 ? texts.size() : 3000;
  const auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const std::u16string& a = texts[i];
    const std::u16string scrambled = ScrambleCase(a, static_cast<std::uint32_t>(i));
    for (const std::u16string& b :
         {texts[i + 1], scrambled, scrambled.substr(0, scrambled.size() - 1), scrambled + u"\u00C9",
          a.substr(0, a.size() - 1) + u"0"}) {
      const CKQString left(a.data(), static_cast<std::uint32_t>(a.size()));
      const int ours =
          left.CompareNoCase(CKQString(b.data(), static_cast<std::uint32_t>(b.size())));
      if (sign(ours) != sign(CompareNoCaseU16(a, b))) {
        return Fail("the peers' comparator disagrees with CKQString::CompareNoCase");
      }
      if ((ours == 0) != EqualNoCaseU16(a, b) || (ours == 0) != EqualNoCaseU16(b, a)) {
        return Fail("the peers' equality disagrees with CKQString::CompareNoCase");
      }
    }
  }
  return true;
}

struct Comparator {
  static constexpr const char* kName = "the peers";
};
KQB_CHECK(CheckComparator, Comparator);

} // namespace

} // namespace kqb
