// CKQStringArray, an array of wide strings kept in arrival order or in case-insensitive order,
// with a CRC-32 key beside every element for fast search.
//
// Invariants: m_nCount <= m_nCapacity; every slot below m_nCount points to an item owned by the
// array, holding the element's text exactly as added and its key, the CRC-32 of the lowered
// text.  A private key block beside the slots, with room for at least m_nCapacity keys, holds
// the key of slot i at position i for every element, so a search reads keys contiguously instead
// of through each slot's item: the members that add, replace, remove or move slots (Add, SetAt,
// RemoveAt, RemoveAll, CreateInsertionPoint) move keys with them, and Alloc grows both together.
// When m_bSorted is non-zero no element compares greater than the next one under
// CKQString::CompareNoCase; strings equal without regard to case keep the one added last first.
//
// Ownership: the array owns its items and their strings; callers only ever get copies (strings
// are implicitly shared, so a copy costs a reference-count step) or, through CreateMemoryArray,
// a flat array that is theirs until they hand it to FreeMemoryArray.
//
// Locking: Add, GetAt, SetAt, RemoveAt and RemoveAll hold the array's re-entrant lock; the
// whole-array operations take it element by element through GetAt and Add.  operator[],
// FindString, GetSize, IsEmpty and IsSorted take none: callers that read while other threads
// write must order those calls themselves.
//
// Costs: Add is O(log n) comparisons plus one block move of the later slots and keys in a sorted
// array, amortised O(1) in an unsorted one; GetAt and operator[] are O(1); RemoveAt is one block
// move of slots and one of keys.  FindString in a sorted array is a binary search, O(log n)
// comparisons, plus (exact search) a walk over the elements equal without regard to case; in an
// unsorted array it scans the contiguous key block (SSE2 where the CPU has it) and compares text
// only where the keys agree.
#ifndef KQ_STRING_ARRAY_H
#define KQ_STRING_ARRAY_H

#include <cstdint>

#include "KQObject.h"
#include "KQString.h"
#include "KQStringArray_export.h"

class KQSTRINGARRAY_EXPORT CKQStringArray : public CKQObject {
public:
  // An empty array with 10 slots reserved; any non-zero `sorted` keeps it in case-insensitive
  // order and is stored unchanged (IsSorted returns it).
  explicit CKQStringArray(int sorted = 0);
  // A new array with `source`'s sorted flag and copies of its strings, read through `source`'s
  // GetAt (which takes `source`'s lock); a fresh error state.  Out of memory for a string: the
  // copy holds a prefix of `source` with ERROR_OUTOFMEMORY recorded.  std::bad_alloc passes to
  // the caller when the array's storage cell cannot be allocated.
  CKQStringArray(const CKQStringArray& source);
  ~CKQStringArray() override;

  // Inserts a copy of `text` at its place (sorted) or at the end (unsorted) and writes the
  // position through `index` when that is not null.  Records ERROR_SUCCESS and returns 1, or
  // records ERROR_OUTOFMEMORY and returns 0, the array unchanged and nothing written.
  int Add(CKQString text, unsigned* index = nullptr);
  // A copy of element `index`, or an empty string with ERROR_INVALID_INDEX recorded.
  CKQString GetAt(unsigned index);
  // A copy of element `index`, or an empty string; records nothing.
  const CKQString operator[](unsigned index) const; // NOLINT(readability-const-return-type)
  // Replaces the text of element `index` of an unsorted array and returns 1; 0 with
  // ERROR_INVALID_INDEX for a bad index, or ERROR_INVALID_STATE on a sorted array.
  int SetAt(unsigned index, CKQString text);
  // Removes element `index`: ERROR_SUCCESS and 1, or ERROR_INVALID_INDEX and 0.
  int RemoveAt(unsigned index);
  // Removes every element; the capacity stays.  Returns 1.
  int RemoveAll();

  int IsSorted();
  unsigned GetSize();
  int IsEmpty();
  int Dump() override;

  // Index of the first element equal to `text` (exactly, or without regard to case when `noCase`
  // is non-zero); 0xFFFFFFFF with ERROR_NOT_FOUND when none is.  Success records nothing.
  // O(log n) comparisons in a sorted array, a key scan in an unsorted one; takes no lock.
  unsigned FindString(CKQString text, int noCase);

  // Adds every string of `source`, in `source`'s order, each at this array's own place for it.
  // Appending the array to itself adds the elements present at the start once each.  Returns 1;
  // out of memory, stops at the first string it cannot add and returns 0 with
  // ERROR_OUTOFMEMORY recorded, the strings before it added.
  int Append(CKQStringArray& source);
  // Replaces the contents with `source`'s strings, keeping this array's sorted flag.  Copying
  // the array onto itself leaves it unchanged.  Returns what Append returns (out of memory: a
  // prefix of `source`).
  int Copy(CKQStringArray& source);
  CKQStringArray& operator+=(CKQStringArray& source);
  // A new array: a copy of this one (with its sorted flag) with `source`'s strings appended.
  // Out of memory as for the copy constructor: a prefix of this array's strings followed by
  // `source`'s, with ERROR_OUTOFMEMORY recorded.
  CKQStringArray operator+(CKQStringArray& source) const;
  // Takes `source`'s sorted flag and strings, then its recorded code.  Self-assignment is a
  // no-op.  Out of memory: a prefix of `source`'s strings with ERROR_OUTOFMEMORY recorded.
  CKQStringArray& operator=(const CKQStringArray& source);

  // Stores in `*array` a new NULL-terminated block of pointers to zero-terminated copies of the
  // elements and returns their number.  The caller owns it until FreeMemoryArray.
  int CreateMemoryArray(const unsigned short*** array);
  // Releases a flat array made by any string array's CreateMemoryArray and nulls `*array`;
  // entries that cannot be written (e.g. read-only text the caller put there) are skipped.
  // Returns 1, or 0 with ERROR_INVALID_PARAMETER recorded when `array` or `*array` is null.
  int FreeMemoryArray(const unsigned short*** array);

protected:
  // Makes room for `slots` slots and as many keys; never shrinks.  1, or 0 with
  // ERROR_OUTOFMEMORY, the slots, the keys and the capacity as they were.
  int Alloc(unsigned slots);
  // Starts an empty frame with the given sorted flag and reserves 10 slots.  Meant for a frame
  // that has not been started: it releases nothing the array already holds.
  void InitObject(int sorted);
  // Where Add would insert `text`: in a sorted array the first element that does not sort before
  // it, otherwise (and when every element sorts before it) the count.  O(log n) comparisons.
  unsigned FindItemPosition(CKQString* text);
  // Moves the slots from `index` on, with their keys, up by one; the caller has made room, fills
  // the slot (Add stores the new item and its key there) and updates the count.
  void CreateInsertionPoint(unsigned index);
  // The CRC-32 of the text's code units as given (callers pass a lowered copy for a key).
  std::uint32_t GetCRC(CKQString text);

  void*** m_ppStorage = nullptr; // heap cell holding the slot buffer's address (null: none yet)
  unsigned m_nCount = 0;         // used slots
  unsigned m_nCapacity = 0;      // slots the buffer has room for
  int m_bSorted = 0;             // non-zero: kept in case-insensitive order
  KQLockStorage m_lock{};        // re-entrant lock guarding changes

private:
  std::uint32_t* m_pKeys = nullptr; // key block: C-runtime block, room for >= m_nCapacity keys

  struct ConcatTag {};
  // Builds `left + right` in place, so operator+ hands out its result without a further copy.
  CKQStringArray(const CKQStringArray& left, CKQStringArray& right, ConcatTag tag);
  // Builds the array's frame: lock, storage cell, 10 slots.
  void Start(int sorted);
  // Reads `source` element by element into this array (the body of Append); false when it
  // stopped at a string it could not add (ERROR_OUTOFMEMORY recorded).
  bool AppendFrom(CKQStringArray& source);
};

#endif // KQ_STRING_ARRAY_H
