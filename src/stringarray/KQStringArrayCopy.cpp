// CKQStringArray whole-array operations: append, copy, concatenation, copy construction and
// assignment.  Each reads the source one element at a time through GetAt (under the source's
// lock) and inserts through Add (under this array's lock), so the target applies its own order
// and computes fresh keys; no lock is held across elements.
//
// Out of memory: copying stops at the first string that cannot be added, so the target holds a
// prefix of the source (in the target's order) and ERROR_OUTOFMEMORY stays recorded; later
// strings are not added past a gap, and no later success overwrites the failure.
#include <new>
#include <vector>

#include "KQResultCodes.h"
#include "KQStringArray.h"

// A copy starts with a fresh error state, not the source's.
// NOLINTNEXTLINE(bugprone-copy-constructor-init)
CKQStringArray::CKQStringArray(const CKQStringArray& source) {
  Start(source.m_bSorted);
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): reading takes the source's lock
  AppendFrom(const_cast<CKQStringArray&>(source));
}

CKQStringArray::CKQStringArray(const CKQStringArray& left, CKQStringArray& right,
                               ConcatTag /*tag*/) {
  Start(left.m_bSorted);
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): reading takes the source's lock
  if (AppendFrom(const_cast<CKQStringArray&>(left))) {
    AppendFrom(right); // only after all of `left`: the result is always a prefix of left + right
  }
}

bool CKQStringArray::AppendFrom(CKQStringArray& source) {
  if (&source == this) {
    // The loop below would chase its own growth (and, sorted, read shifted elements): take the
    // elements present now, then add each once.  Copies share text, so the snapshot is cheap.
    const unsigned count = GetSize();
    std::vector<CKQString> snapshot;
    try {
      snapshot.reserve(count); // the only allocation: at most `count` strings go in below
    } catch (const std::bad_alloc&) {
      m_error.SetError(ERROR_OUTOFMEMORY);
      return false;
    }
    for (unsigned i = 0; i < count && i < GetSize(); ++i) {
      snapshot.push_back(GetAt(i));
    }
    for (CKQString& text : snapshot) {
      if (Add(std::move(text), nullptr) == 0) {
        return false;
      }
    }
    return true;
  }
  // The source's count is read afresh at every step.
  for (unsigned i = 0; i < source.GetSize(); ++i) {
    if (Add(source.GetAt(i), nullptr) == 0) {
      return false;
    }
  }
  return true;
}

int CKQStringArray::Append(CKQStringArray& source) { return AppendFrom(source) ? 1 : 0; }

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
  if (AppendFrom(const_cast<CKQStringArray&>(source))) {
    m_error = source.m_error; // last: the target ends with the source's recorded code
  } // otherwise ERROR_OUTOFMEMORY stays: the target holds only a prefix of the source
  return *this;
}
