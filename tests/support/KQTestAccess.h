// Test-only views of the arrays' protected members (capacity, growth, start-up helpers, lock, the
// slot moves of a derived class) and the string array's merge run length and key index.
#ifndef KQ_TEST_ACCESS_H
#define KQ_TEST_ACCESS_H

#include <cstddef>
#include <cstring>

#include "KQPtrArray.h"
#include "KQStringArray.h"

class PtrArrayProbe : public CKQPtrArray {
public:
  using CKQPtrArray::Alloc;
  using CKQPtrArray::CKQPtrArray;
  using CKQPtrArray::Init;
  unsigned Capacity() const { return m_nCapacity; }
  unsigned Count() const { return m_nCount; }
};

class StringArrayProbe : public CKQStringArray {
public:
  using CKQStringArray::Alloc;
  using CKQStringArray::CKQStringArray;
  using CKQStringArray::CreateInsertionPoint;
  using CKQStringArray::FindItemPosition;
  using CKQStringArray::GetCRC;
  using CKQStringArray::InitObject;
  unsigned Capacity() const { return m_nCapacity; }
  // Moves element `from` to index `to` of the result, the others keeping their order, as a sort
  // or a reorder in a derived class would, through the protected interface alone: it opens a
  // slot with CreateInsertionPoint, stores there the item it took from another slot (items are
  // opaque to it), and closes the slot that item came from.  False, nothing moved, when the one
  // free slot this needs cannot be had.
  bool Move(unsigned from, unsigned to) {
    if (m_nCount == m_nCapacity && Alloc(m_nCapacity + 1) == 0) {
      return false;
    }
    void** slots = *m_ppStorage;
    void* item = slots[from];
    const unsigned open = to > from ? to + 1 : to; // its index while both slots hold it
    CreateInsertionPoint(open);
    slots[open] = item;
    const unsigned old = from < open ? from : from + 1;
    std::memmove(slots + old, slots + old + 1, std::size_t{m_nCount - old} * sizeof(void*));
    return true;
  }
  // The array's lock, for tests that hold it to stop the array's users at a chosen moment.
  KQLockStorage& Lock() { return m_lock; }
};

// The string array's hold for tests on the run length of its sorted merges (see
// CKQStringArray::SetMergeRunLength).
class KQStringArrayTestSeam {
public:
  static unsigned SetMergeRunLength(unsigned strings) noexcept {
    return CKQStringArray::SetMergeRunLength(strings);
  }
  static unsigned SetKeyIndexRule(unsigned scans) noexcept {
    return CKQStringArray::SetKeyIndexRule(scans);
  }
  static unsigned KnownKeys(const CKQStringArray& array) noexcept {
    return CKQStringArray::KnownKeys(array);
  }
  static bool HasKeyIndex(const CKQStringArray& array) noexcept {
    return CKQStringArray::HasKeyIndex(array);
  }
};

// Searches build key indexes by `scans` (see CKQStringArray::SetKeyIndexRule) while it lives:
// kIndexAtOnce builds one at the first search of an array of 16 elements or more, kNoIndex
// never builds one.
class ScopedKeyIndexRule {
public:
  static constexpr unsigned kIndexAtOnce = 0;
  static constexpr unsigned kNoIndex = 0xFFFFFFFFu;
  explicit ScopedKeyIndexRule(unsigned scans)
      : m_previous(KQStringArrayTestSeam::SetKeyIndexRule(scans)) {}
  ~ScopedKeyIndexRule() { KQStringArrayTestSeam::SetKeyIndexRule(m_previous); }
  ScopedKeyIndexRule(const ScopedKeyIndexRule&) = delete;
  ScopedKeyIndexRule& operator=(const ScopedKeyIndexRule&) = delete;

private:
  unsigned m_previous;
};

// Sorted merges read runs of `strings` strings while it lives (0: the built-in length), so that
// a few strings make many runs.
class ScopedMergeRunLength {
public:
  explicit ScopedMergeRunLength(unsigned strings)
      : m_previous(KQStringArrayTestSeam::SetMergeRunLength(strings)) {}
  ~ScopedMergeRunLength() { KQStringArrayTestSeam::SetMergeRunLength(m_previous); }
  ScopedMergeRunLength(const ScopedMergeRunLength&) = delete;
  ScopedMergeRunLength& operator=(const ScopedMergeRunLength&) = delete;

private:
  unsigned m_previous;
};

#endif // KQ_TEST_ACCESS_H
