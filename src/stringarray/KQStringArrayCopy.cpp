// CKQStringArray whole-array operations: append, copy, concatenation, copy construction and
// assignment.  Each reads the source one element at a time under the source's lock and inserts
// through Add (under this array's lock), so the target applies its own order and computes fresh
// keys; no lock is held across elements.
//
// Concurrency: the source's count is read once, when the operation starts, and no more strings
// than that are read, so an operation ends even while its source keeps growing (two arrays
// appended to each other at the same time, for instance).  A source that shrinks meanwhile ends
// the operation at its current end: nothing is added that was not read, and the source's error
// state is not touched.
//
// Out of memory: copying stops at the first string that cannot be added, so the target holds a
// prefix of the source (in the target's order) and ERROR_OUTOFMEMORY stays recorded; later
// strings are not added past a gap, and no later success overwrites the failure.
#include <new>
#include <vector>

#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStorageFrame.h"
#include "KQStringArray.h"
#include "KQStringItem.h"

using kq::ReadText;
using kq::frame::LoadFlag;
using kq::frame::StoreFlag;

// A copy starts with a fresh error state, not the source's.
// NOLINTNEXTLINE(bugprone-copy-constructor-init)
CKQStringArray::CKQStringArray(const CKQStringArray& source) {
  Start(LoadFlag(source.m_bSorted));
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): reading takes the source's lock
  AppendFrom(const_cast<CKQStringArray&>(source));
}

CKQStringArray::CKQStringArray(const CKQStringArray& left, CKQStringArray& right,
                               ConcatTag /*tag*/) {
  Start(LoadFlag(left.m_bSorted));
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): reading takes the source's lock
  if (AppendFrom(const_cast<CKQStringArray&>(left))) {
    AppendFrom(right); // only after all of `left`: the result is always a prefix of left + right
  }
}

bool CKQStringArray::AppendFrom(CKQStringArray& source) {
  const unsigned count = source.GetSize(); // the most strings this operation reads
  CKQString text;
  if (&source == this) {
    // Reading and inserting by index would read the array's own insertions (and, sorted,
    // shifted elements): take the elements present now, then add each once.  Copies share text,
    // so the snapshot is cheap.
    std::vector<CKQString> snapshot;
    try {
      snapshot.reserve(count); // the only allocation: at most `count` strings go in below
    } catch (const std::bad_alloc&) {
      m_error.SetError(ERROR_OUTOFMEMORY);
      return false;
    }
    for (unsigned i = 0; i < count && ReadText(m_lock, m_ppStorage, m_nCount, i, text); ++i) {
      snapshot.push_back(std::move(text));
    }
    for (CKQString& element : snapshot) {
      if (Add(std::move(element), nullptr) == 0) {
        return false;
      }
    }
    return true;
  }
  for (unsigned i = 0;
       i < count && ReadText(source.m_lock, source.m_ppStorage, source.m_nCount, i, text); ++i) {
    if (Add(std::move(text), nullptr) == 0) {
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
  {
    // Add and SetAt read the flag under the lock: it changes there, together with the clearing,
    // so no element ever sits in an array whose order it was not inserted in.
    const kq::platform::ScopedLock lock(m_lock);
    StoreFlag(m_bSorted, LoadFlag(source.m_bSorted));
    RemoveAll();
  }
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): reading takes the source's lock
  if (AppendFrom(const_cast<CKQStringArray&>(source))) {
    m_error = source.m_error; // last: the target ends with the source's recorded code
  } // otherwise ERROR_OUTOFMEMORY stays: the target holds only a prefix of the source
  return *this;
}
