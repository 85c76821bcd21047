// Test-only views of the arrays' protected members (capacity, growth, start-up helper).
#ifndef KQ_TEST_ACCESS_H
#define KQ_TEST_ACCESS_H

#include "KQPtrArray.h"

class PtrArrayProbe : public CKQPtrArray {
public:
  using CKQPtrArray::Alloc;
  using CKQPtrArray::CKQPtrArray;
  unsigned Capacity() const { return m_nCapacity; }
  unsigned Count() const { return m_nCount; }
};

#endif // KQ_TEST_ACCESS_H
