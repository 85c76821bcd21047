// CKQPtrArray, a growable array of untyped pointers, and CKQUintArray, the same array holding
// unsigned 32-bit integers.
//
// Each class's own documentation says what it holds, what its operations cost and which threads
// may use it at once; its Internals section keeps the storage invariants for derived classes.
#ifndef KQ_PTR_ARRAY_H
#define KQ_PTR_ARRAY_H

#include "KQArrayIterator.h"
#include "KQObject.h"
#include "KQStringArray_export.h"

// A growable, index-addressed array of untyped pointers.  It stores the caller's pointers as they
// are and owns nothing they point to.
//
// Results: operations return 1/0, an element, or an index (KQ_NO_INDEX, 0xFFFFFFFF, when nothing
// matches), and most of them also record a code from KQResultCodes.h in GetErrorState().
//
// Costs: Add is amortised O(1) (the slot buffer doubles from 10 slots); GetAt and operator[] are
// O(1); RemoveAt is one block move of the later slots; Find is a linear scan; copies copy the
// slots, moves hand them over in O(1) (so a std::vector of arrays grows by moving them).
//
// Threads: Add, SetAt, RemoveAt, RemoveAll and the destructor hold the array's re-entrant lock
// while they change it, the move constructor the source's and move assignment both arrays'.
// Reads (GetAt, operator[], Find, GetSize, IsEmpty, iteration), copies and copy assignment take
// no lock: any number of threads may read at once, and a caller that reads while other threads
// write must order those calls itself.
//
// Const arrays: GetAt, Find, GetSize and IsEmpty have const overloads, and begin()/end() give
// read-only random-access iterators yielding the values (by value: a void* or an unsigned read
// from the slot in place), so range-for and the standard algorithms work.  The const overloads
// never record a code (a const array's error state stays as it is); they answer through their
// results alone.
//
// ### Internals
//
// m_nCount <= m_nCapacity; slots 0 .. m_nCount-1 of the buffer whose address *m_ppStorage holds
// are the elements in order.
class KQSTRINGARRAY_EXPORT CKQPtrArray : public CKQObject {
public:
  // An empty array with 10 slots reserved.
  CKQPtrArray();
  // A copy of `source`'s slots and count, with as many slots reserved as `source` has and a
  // fresh error state; `source` is read unlocked and left as it was.  When the slots cannot be
  // reserved the copy is empty with ERROR_OUTOFMEMORY recorded; std::bad_alloc passes to the
  // caller when the storage cell cannot be allocated.
  CKQPtrArray(CKQPtrArray& source);
  CKQPtrArray(const CKQPtrArray& source);
  ~CKQPtrArray() override;

  // Takes `source`'s recorded code, slots and count; takes no lock.  Self-assignment is a no-op.
  // When the slots cannot grow, records ERROR_OUTOFMEMORY and keeps this array's elements.
  CKQPtrArray& operator=(const CKQPtrArray& source);

  // Takes `source`'s slots and count in O(1), allocating nothing; a fresh error state.  `source`
  // is left empty with no slots reserved and stays usable (its next Add reserves slots afresh,
  // and fails as any first reservation may).  Holds `source`'s lock.
  CKQPtrArray(CKQPtrArray&& source) noexcept;
  // Takes `source`'s slots, count and recorded code in O(1); `source` is left empty with this
  // array's former slots and stays usable.  Holds both locks (in address order, so two opposite
  // moves cannot deadlock).  Moving an array onto itself leaves it unchanged.
  CKQPtrArray& operator=(CKQPtrArray&& source) noexcept;

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

  // Read-only iteration over the pointers, in index order, by value; no lock.  Any number of
  // threads may iterate at once while no thread changes the array.  Dereferencing at or beyond
  // the count is undefined, as for std::vector.
  using value_type = void*;
  using const_iterator = kq::ArrayIterator<kq::PointerSlot>;
  using iterator = const_iterator;
  const_iterator begin() const noexcept;
  // The position of the count read now.
  const_iterator end() const noexcept;

protected:
  // @name For derived classes
  // The storage frame and the helpers the derived arrays build on.
  // @{

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
  // @}

private:
  void CopySlotsFrom(const CKQPtrArray& source);
};

// The unsigned-integer array: the pointer array with a 32-bit value in each slot.
class KQSTRINGARRAY_EXPORT CKQUintArray : public CKQPtrArray {
public:
  // As the CKQPtrArray constructors and destructor.
  CKQUintArray();
  CKQUintArray(CKQUintArray& source);
  CKQUintArray(const CKQUintArray& source);
  CKQUintArray(CKQUintArray&& source) noexcept;
  ~CKQUintArray() override;

  // As the CKQPtrArray assignments.
  CKQUintArray& operator=(const CKQUintArray& source);
  CKQUintArray& operator=(CKQUintArray&& source) noexcept;

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

  // Read-only iteration over the values, in index order, by value; as for CKQPtrArray.
  using value_type = unsigned;
  using const_iterator = kq::ArrayIterator<kq::UintSlot>;
  using iterator = const_iterator;
  const_iterator begin() const noexcept;
  const_iterator end() const noexcept;
};

#endif // KQ_PTR_ARRAY_H
