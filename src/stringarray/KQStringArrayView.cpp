// CKQStringArray Add and SetAt for std::u16string_view and zero-terminated char16_t text: the
// array makes the string copy itself, so a failed copy becomes a result code like any other
// allocation failure of Add and SetAt.
#include <new>
#include <stdexcept>
#include <utility>

#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringArray.h"

namespace {

std::u16string_view ViewOf(const char16_t* text) noexcept {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

// Makes `copy` a string holding `text`.  false, with ERROR_OUTOFMEMORY recorded, when the copy
// cannot be allocated or is longer than a string can hold.
bool CopyText(std::u16string_view text, CKQString& copy, CKQError& error) noexcept {
  try {
    copy = CKQString(text);
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  error.SetError(ERROR_OUTOFMEMORY);
  return false;
}

} // namespace

int CKQStringArray::Add(std::u16string_view text, unsigned* index) {
  CKQString copy;
  if (!CopyText(text, copy, m_error)) {
    return 0;
  }
  return Add(std::move(copy), index);
}

int CKQStringArray::Add(const char16_t* text, unsigned* index) { return Add(ViewOf(text), index); }

// The refusals come first, as in SetAt(CKQString): a bad index or a sorted array is reported
// as such and costs no copy.
int CKQStringArray::SetAt(unsigned index, std::u16string_view text) {
  if (!kq::frame::IndexInRange(index, m_nCount, m_error)) {
    return 0;
  }
  if (kq::frame::LoadFlag(m_bSorted) != 0) {
    m_error.SetError(ERROR_INVALID_STATE);
    return 0;
  }
  CKQString copy;
  if (!CopyText(text, copy, m_error)) {
    return 0;
  }
  return SetAt(index, std::move(copy));
}

int CKQStringArray::SetAt(unsigned index, const char16_t* text) {
  return SetAt(index, ViewOf(text));
}
