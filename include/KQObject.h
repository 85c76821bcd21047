// CKQObject, the abstract base of every array, and the opaque room each array keeps for its lock.
//
// CKQObject is defined entirely in this header and is not exported: it carries the error state
// (one CKQError) and declares the virtual operations common to all arrays.
#ifndef KQ_OBJECT_H
#define KQ_OBJECT_H

#include "KQError.h"

// Room for the platform's re-entrant lock (a critical section on Windows, a recursive mutex
// elsewhere).  Only the library's platform layer reads or writes the bytes; clients never touch
// them.  The size covers every supported target and is checked where the lock is built.
//
// Alignment: 8 covers every lock the platform layer builds (pointer or `long` members) and is
// what the allocation operator of every supported target guarantees, so an array made with `new`
// is properly aligned.  std::max_align_t would not do: on 32-bit Windows it asks for 16 while the
// C runtime's heap, and with it operator new, hands out blocks aligned to 8 only.
struct KQLockStorage {
  alignas(8) unsigned char bytes[64]; // the platform's lock object
};

// The abstract base of the arrays: their error state and their common virtual operations.
class CKQObject {
public:
  // A fresh error state (code 0); copies carry the error state along.
  CKQObject() = default;
  CKQObject(const CKQObject&) = default;
  CKQObject& operator=(const CKQObject&) = default;
  virtual ~CKQObject() = default;

  // Does nothing in every array; returns 0.
  virtual int Dump() = 0;

  // The error state: the code recorded by the last operation that recorded one.
  CKQError& GetErrorState() { return m_error; }
  const CKQError& GetErrorState() const { return m_error; }

protected:
  // @name For derived classes
  // @{
  CKQError m_error; // the code recorded by the last operation that recorded one
  // @}
};

#endif // KQ_OBJECT_H
