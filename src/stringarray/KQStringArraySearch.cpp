// CKQStringArray::FindString: a binary search in sorted arrays, a key scan in unsorted ones.
//
// Every overload ends in the const search over a view of the wanted text, which builds no
// string: the key comes from the view's units and texts are compared as views.  The non-const
// overloads add the one code the search records, ERROR_NOT_FOUND.
#include <utility>

#include "KQKeyBlock.h"
#include "KQKeyScan.h"
#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringArray.h"
#include "KQStringItem.h"
#include "KQStringKey.h"

namespace {

std::u16string_view ViewOf(const char16_t* text) noexcept {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

// The sorted case.  The result is the index a scan from the front would give, the first match,
// because CKQString::CompareNoCase returns 0 exactly when the lowered forms of the two texts are
// equal (the string component guarantees it) and orders texts totally otherwise: then the
// elements equal to `text` without regard to case form one run of neighbours in a sorted array,
// the lower bound is the first of them, and an exact match, being equal without regard to case
// too, can only lie inside that run.  Texts in the run have equal lowered forms and so the key
// of `text`: an exact search walks the run and stops at the first key that differs, without
// reading that element's item.  O(log n) comparisons, plus the run's length for an exact search.
unsigned FindSorted(void** slots, const std::uint32_t* keys, unsigned count,
                    std::u16string_view text, bool noCase) noexcept {
  unsigned i = kq::LowerBoundNoCase(slots, count, text);
  if (i == count || kq::CompareNoCase(kq::ItemAt(slots, i)->text, text) != 0) {
    return KQ_NO_INDEX; // no element equals `text` even without regard to case
  }
  if (noCase || kq::StringAccess::View(kq::ItemAt(slots, i)->text) == text) {
    return i;
  }
  const std::uint32_t key = kq::StringKey(text.data(), text.size());
  for (++i; i < count && keys[i] == key; ++i) {
    const CKQString& element = kq::ItemAt(slots, i)->text;
    if (kq::StringAccess::View(element) == text) {
      return i;
    }
    if (kq::CompareNoCase(element, text) != 0) {
      break; // past the run: a different text with the same key
    }
  }
  return KQ_NO_INDEX;
}

// The unsorted case: the key block is scanned for the key of `text`, and text is compared only
// where the keys agree.  Keys decide only that two texts may be equal: different texts can share
// a CRC-32 (and such pairs are easy to construct), so every key match is confirmed by comparing
// the texts, exactly or without regard to case.
unsigned FindUnsorted(void** slots, const std::uint32_t* keys, unsigned count,
                      std::u16string_view text, bool noCase) noexcept {
  const std::uint32_t key = kq::StringKey(text.data(), text.size());
  for (std::size_t i = kq::keyscan::Find(keys, 0, count, key); i < count;
       i = kq::keyscan::Find(keys, i + 1, count, key)) {
    const CKQString& element = kq::ItemAt(slots, static_cast<unsigned>(i))->text;
    if (noCase ? kq::CompareNoCase(element, text) == 0 : kq::StringAccess::View(element) == text) {
      return static_cast<unsigned>(i);
    }
  }
  return KQ_NO_INDEX;
}

} // namespace

// No lock is taken to search: callers keep writers away while they search.  Only keys still
// logged by sorted insertions, or keys gone stale after a derived class rearranged the slots, are
// put in place first, under the lock, so that searches running side by side do not write the
// block together.
unsigned CKQStringArray::FindString(std::u16string_view text, int noCase) const {
  if (kq::KeyBlock::Pending(m_pKeys, m_pKeyLog)) {
    const kq::platform::ScopedLock lock(m_lock);
    kq::KeyBlock::Settle(m_pKeys, m_pKeyLog, *m_ppStorage, kq::frame::LoadCount(m_nCount));
  }
  const unsigned count = kq::frame::LoadCount(m_nCount);
  void** slots = *m_ppStorage;
  return kq::frame::LoadFlag(m_bSorted) != 0
             ? FindSorted(slots, m_pKeys, count, text, noCase != 0)
             : FindUnsorted(slots, m_pKeys, count, text, noCase != 0);
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
