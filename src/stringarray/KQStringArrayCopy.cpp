// CKQStringArray whole-array operations: append, copy, concatenation, copy construction and
// assignment.  Each reads the source one element at a time through GetAt (under the source's
// lock) and inserts through Add (under this array's lock), so the target applies its own order
// and computes fresh keys; no lock is held across elements.
#include <vector>

#include "KQStringArray.h"

CKQStringArray::CKQStringArray(const CKQStringArray& source) : CKQObject() {
  Start(source.m_bSorted);
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): reading takes the source's lock
  AppendFrom(const_cast<CKQStringArray&>(source));
}

CKQStringArray::CKQStringArray(const CKQStringArray& left, CKQStringArray& right, ConcatTag /*tag*/)
    : CKQStringArray(left) {
  Append(right);
}

void CKQStringArray::AppendFrom(CKQStringArray& source) {
  if (&source == this) {
    // The loop below would chase its own growth (and, sorted, read shifted elements): take the
    // elements present now, then add each once.  Copies share text, so the snapshot is cheap.
    std::vector<CKQString> snapshot;
    snapshot.reserve(GetSize());
    for (unsigned i = 0; i < GetSize(); ++i) {
      snapshot.push_back(GetAt(i));
    }
    for (CKQString& text : snapshot) {
      Add(std::move(text), nullptr);
    }
    return;
  }
  // The source's count is read afresh at every step.
  for (unsigned i = 0; i < source.GetSize(); ++i) {
    Add(source.GetAt(i), nullptr);
  }
}

int CKQStringArray::Append(CKQStringArray& source) {
  AppendFrom(source);
  return 1;
}

int CKQStringArray::Copy(CKQStringArray& source) {
  if (&source == this) {
    return 1; // the array already holds exactly its own strings
  }
  RemoveAll();
  return Append(source);
}

CKQStringArray& CKQStringArray::operator+=(CKQStringArray& source) {
  Append(source);
  return *this;
}

CKQStringArray CKQStringArray::operator+(CKQStringArray& source) const {
  return {*this, source, ConcatTag{}};
}

CKQStringArray& CKQStringArray::operator=(const CKQStringArray& source) {
  if (&source == this) {
    return *this;
  }
  m_bSorted = source.m_bSorted;
  RemoveAll();
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): reading takes the source's lock
  AppendFrom(const_cast<CKQStringArray&>(source));
  m_error = source.m_error; // last: the target ends with the source's recorded code
  return *this;
}
