// CKQStringArray::FindString: a linear scan filtered by the 32-bit keys.
//
// Every overload ends in the const scan over a view of the wanted text, which builds no string:
// the key comes from the view's units and texts are compared as views.  The non-const overloads
// add the one code the search records, ERROR_NOT_FOUND.
#include <utility>

#include "KQCaseMap.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringArray.h"
#include "KQStringItem.h"
#include "KQStringKey.h"

namespace {

std::u16string_view ViewOf(const char16_t* text) noexcept {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

// True when the lowered forms of `a` and `b` are equal, which is exactly when the shared
// case-insensitive order puts them level.  Lowering keeps the length, so texts of different
// lengths never match.  O(length), no allocation.
bool EqualNoCase(std::u16string_view a, std::u16string_view b) noexcept {
  return a.size() == b.size() &&
         (a == b || kq::casemap::CompareNoCase(a.data(), a.size(), b.data(), b.size()) == 0);
}

} // namespace

// Keys decide only that two texts may be equal: different texts can share a CRC-32 (and such
// pairs are easy to construct), so every key match is confirmed by comparing the texts, exactly
// or without regard to case.  Per element the scan costs one load of the item and one 32-bit
// compare.  No lock is taken: callers keep writers away while they search.
unsigned CKQStringArray::FindString(std::u16string_view text, int noCase) const {
  const std::uint32_t key = kq::StringKey(text.data(), text.size());
  const unsigned count = kq::frame::LoadCount(m_nCount);
  void** slots = *m_ppStorage;
  for (unsigned i = 0; i < count; ++i) {
    const kq::StringItem* item = kq::ItemAt(slots, i);
    if (item->key != key) {
      continue;
    }
    const std::u16string_view element = item->text.View();
    if (noCase != 0 ? EqualNoCase(element, text) : element == text) {
      return i;
    }
  }
  return KQ_NO_INDEX;
}

unsigned CKQStringArray::FindString(std::u16string_view text, int noCase) {
  const unsigned index = std::as_const(*this).FindString(text, noCase);
  if (index == KQ_NO_INDEX) {
    m_error.SetError(ERROR_NOT_FOUND);
  }
  return index;
}

unsigned CKQStringArray::FindString(CKQString text, int noCase) {
  return FindString(text.View(), noCase);
}

unsigned CKQStringArray::FindString(const char16_t* text, int noCase) {
  return FindString(ViewOf(text), noCase);
}

unsigned CKQStringArray::FindString(CKQString text, int noCase) const {
  return FindString(text.View(), noCase);
}

unsigned CKQStringArray::FindString(const char16_t* text, int noCase) const {
  return FindString(ViewOf(text), noCase);
}
