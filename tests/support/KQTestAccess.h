// Test-only views of the arrays' protected members (capacity, growth, start-up helpers, lock) and
// the string array's merge run length and key index.
#ifndef KQ_TEST_ACCESS_H
#define KQ_TEST_ACCESS_H

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
