// CKQPtrArray, a growable array of untyped pointers, and CKQUintArray, the same array holding
// unsigned 32-bit integers.
//
// Invariants: m_nCount <= m_nCapacity; slots 0 .. m_nCount-1 hold the elements in order.  The
// array stores the caller's pointers as they are and owns nothing they point to.
//
// Locking: Add, SetAt, RemoveAt, RemoveAll and the destructor hold the array's re-entrant lock
// while they change it.  Reads (GetAt, operator[], Find, GetSize, IsEmpty) and assignment take no
// lock: a caller that reads while other threads write must order those calls itself.
//
// Const arrays: GetAt, Find, GetSize and IsEmpty have const overloads, and begin()/end() give
// read-only random-access iterators yielding the values, so range-for and the standard
// algorithms work; iteration takes no lock either.  The const overloads never record a code (a
// const array's error state stays as it is); they answer through their results alone.
//
// Results: operations return 1/0, an element, or an index (KQ_NO_INDEX, 0xFFFFFFFF, when nothing
// matches), and most of them also record a code from KQResultCodes.h in GetErrorState().
//
// Costs: Add is amortised O(1) (the slot buffer doubles from 10 slots); RemoveAt is one block move
// of the later slots; Find is a linear scan.
#ifndef KQ_PTR_ARRAY_H
#define KQ_PTR_ARRAY_H

#include "KQArrayIterator.h"
#include "KQObject.h"
#include "KQStringArray_export.h"

// The pointer array (see the file comment for its invariants, locking and costs).
class KQSTRINGARRAY_EXPORT CKQPtrArray : public CKQObject {
public:
  // An empty array with 10 slots reserved.
  CKQPtrArray();
  // A copy of `source`'s slots and count with a fresh error state; `source` is read unlocked.
  CKQPtrArray(CKQPtrArray& source);
  ~CKQPtrArray() override;

  // Takes `source`'s recorded code, slots and count; takes no lock.  Self-assignment is a no-op.
  CKQPtrArray& operator=(const CKQPtrArray& source);

  // Appends `value`; writes its index through `index` when that is not null.  Records
  // ERROR_SUCCESS and returns 1, or records ERROR_OUTOFMEMORY and returns 0 when the slots cannot
  // grow (the array is then unchanged).
  int Add(void* value, unsigned* index = nullptr);
  // The pointer at `index`, or null with ERROR_INVALID_INDEX recorded.
  void* GetAt(unsigned index);
  // The pointer at `index`, or null; records nothing.
  void* operator[](unsigned index) const;
  // Replaces the pointer at `index`: 1, or 0 with ERROR_INVALID_INDEX.
  int SetAt(unsigned index, void* value);
  // Removes the element at `index`, moving the later ones down: 1, or 0 with ERROR_INVALID_INDEX.
  int RemoveAt(unsigned index);
  // Sets the count to 0; the capacity stays.  Returns 1.
  int RemoveAll();
  // Index of the first slot equal to `value` (ERROR_SUCCESS), or KQ_NO_INDEX (ERROR_NOT_FOUND).
  unsigned Find(void* value);

  // The number of elements; whether there are none (1) or some (0).  Record nothing.
  unsigned GetSize();
  int IsEmpty();
  int Dump() override;

  // Const reads, recording nothing: GetAt gives null for a bad index, Find 0xFFFFFFFF
  // (KQ_NO_INDEX) when no slot matches.
  void* GetAt(unsigned index) const;
  unsigned Find(void* value) const;
  unsigned GetSize() const;
  int IsEmpty() const;

  // Read-only iteration over the pointers, in index order.
  using value_type = void*;
  using const_iterator = kq::ArrayIterator<CKQPtrArray, void*>;
  using iterator = const_iterator;
  const_iterator begin() const noexcept;
  // The position of the count read now.
  const_iterator end() const noexcept;

protected:
  // Makes room for `slots` slots; never shrinks.  1, or 0 with ERROR_OUTOFMEMORY (the buffer,
  // its contents and the capacity unchanged).
  int Alloc(unsigned slots);
  // Empties the array (count 0; the array owns nothing its slots point to) and returns 1.  It
  // keeps the frame the constructor started: the same lock, storage cell and slot buffer, the
  // capacity as it was; it reserves nothing and cannot fail.  Holds the lock.
  int Init();

  void*** m_ppStorage = nullptr; // heap cell holding the slot buffer's address (null: none yet)
  unsigned m_nCount = 0;         // used slots
  unsigned m_nCapacity = 0;      // slots the buffer has room for
  KQLockStorage m_lock{};        // re-entrant lock guarding changes

private:
  void CopySlotsFrom(const CKQPtrArray& source);
};

// The unsigned-integer array: the pointer array with a 32-bit value in each slot.
class KQSTRINGARRAY_EXPORT CKQUintArray : public CKQPtrArray {
public:
  // As the CKQPtrArray constructors and destructor.
  CKQUintArray();
  CKQUintArray(CKQUintArray& source);
  ~CKQUintArray() override;

  // As CKQPtrArray::operator=.
  CKQUintArray& operator=(const CKQUintArray& source);

  // Each member behaves as the CKQPtrArray member of the same name with the value in a slot.
  int Add(unsigned value, unsigned* index = nullptr);
  // 0 with ERROR_INVALID_INDEX for a bad index: compare `index` with GetSize() to tell it from a
  // stored 0.
  unsigned GetAt(unsigned index);
  unsigned operator[](unsigned index) const;
  int SetAt(unsigned index, unsigned value);
  unsigned Find(unsigned value);
  int Dump() override;

  // Const reads as for CKQPtrArray, with the values as unsigned integers.
  unsigned GetAt(unsigned index) const;
  unsigned Find(unsigned value) const;

  // Read-only iteration over the values, in index order.
  using value_type = unsigned;
  using const_iterator = kq::ArrayIterator<CKQUintArray, unsigned>;
  using iterator = const_iterator;
  const_iterator begin() const noexcept;
  const_iterator end() const noexcept;
};

#endif // KQ_PTR_ARRAY_H
