// The peers' case-insensitive comparison: the order the std::vector column sorts and searches
// with, and the equality its linear find uses.  A start-up check holds both against
// CKQString::CompareNoCase.
#include "KQBench.h"
#include "KQCaseMap.h"
#include "KQString.h"
#include "KQUtf16.h"

#include <cstdint>
#include <string>

namespace kqb {

// The library's own case-insensitive order of two unit ranges (code points of the lowered
// forms), shared with CKQString::CompareNoCase: the peers sort and search in exactly the order
// the sorted array keeps.
int CompareNoCaseU16(std::u16string_view a, std::u16string_view b) noexcept {
  return kq::casemap::CompareNoCase(a.data(), a.size(), b.data(), b.size());
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
      if (kq::utf16::LowerAscii(x) != kq::utf16::LowerAscii(y)) {
        return false;
      }
      continue;
    }
    return CompareNoCaseU16(a.substr(i), b.substr(i)) == 0;
  }
  return a.size() == b.size();
}

void LowerU16(std::u16string_view text, std::u16string& out) {
  out.resize(text.size());
  kq::casemap::LowerUtf16(text.data(), text.size(), out.data());
}

namespace {

// The comparator, the equality and the equality of lowered forms agree with
// CKQString::CompareNoCase on neighbouring texts, on scrambled copies and on texts that differ
// only in their last unit or in length.
template <typename> bool CheckComparator() {
  const std::vector<std::u16string>& texts = Texts();
  std::u16string lowerA;
  std::u16string lowerB;
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
      LowerU16(a, lowerA);
      LowerU16(b, lowerB);
      if ((ours == 0) != (lowerA == lowerB)) {
        return Fail("the peers' lowering disagrees with CKQString::CompareNoCase");
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
