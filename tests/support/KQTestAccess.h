// Test-only views of the arrays' protected members (capacity, growth, start-up helper, lock).
#ifndef KQ_TEST_ACCESS_H
#define KQ_TEST_ACCESS_H

#include "KQPtrArray.h"
#include "KQStringArray.h"

class PtrArrayProbe : public CKQPtrArray {
public:
  using CKQPtrArray::Alloc;
  using CKQPtrArray::CKQPtrArray;
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
  unsigned Capacity() const { return m_nCapacity; }
  // The array's lock, for tests that hold it to stop the array's users at a chosen moment.
  KQLockStorage& Lock() { return m_lock; }
};

#endif // KQ_TEST_ACCESS_H
