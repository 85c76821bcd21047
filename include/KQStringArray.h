// CKQStringArray, an array of wide strings kept in arrival order or in case-insensitive order,
// with a CRC-32 key beside every element for fast search.
//
// Invariants: m_nCount <= m_nCapacity; every slot below m_nCount points to an item owned by the
// array, holding the element's text exactly as added; the element's key is the CRC-32 of the
// lowered text.  Items come from a private per-array slab.  A private key block beside the slots,
// with room for at least m_nCapacity keys, holds the key of slot i at position i for every element,
// so a search reads keys contiguously instead of through each slot's item: the members that add,
// replace or remove slots (Add, SetAt, RemoveAt, RemoveAll) move keys with them, and Alloc grows
// both together.  Two exceptions, both put right by the next member that reads or moves keys
// (FindString included) before it reads them: in a long sorted array, Add keeps the keys of
// strings it puts in the middle aside, up to a few dozen, to write them into place in one pass;
// and after CreateInsertionPoint (a derived class rearranging slots, see the protected section)
// every key is taken afresh from the items.  When m_bSorted is
// non-zero no element compares greater than the next one under CKQString::CompareNoCase; strings
// equal without regard to case keep the one added last first.
//
// Ownership: the array owns its items and their strings; callers only ever get copies (strings
// are implicitly shared, so a copy costs a reference-count step) or, through CreateMemoryArray,
// a flat array that is theirs until they hand it to FreeMemoryArray.
//
// Locking: Add, GetAt, SetAt, RemoveAt and RemoveAll hold the array's re-entrant lock; the
// whole-array operations take the source's lock for each string they read and the target's
// through Add, and assignment changes the sorted flag under the target's lock.  operator[],
// GetSize, IsEmpty and IsSorted take none, nor does FindString, except briefly to write in keys
// that sorted additions left aside (so searches may still run side by side): callers that read
// while other threads write must order those calls themselves.
//
// Costs: Add is O(log n) comparisons plus one block move of the later slots (and, below 512
// elements, of their keys) in a sorted array, amortised O(1) in an unsorted one; GetAt and
// operator[] are O(1); RemoveAt is one block move of slots and one of keys.  FindString in a
// sorted array is a binary search, O(log n) comparisons, plus (exact search) a walk over the
// elements equal without regard to case; in an unsorted array it scans the contiguous key block
// (SSE2 where the CPU has it) and compares text only where the keys agree.
//
// Beside the members above the array offers a standard C++ face: const overloads of GetAt (which
// takes the lock), GetSize, IsEmpty, IsSorted and FindString that never record a code (a const
// array's error state stays as it is); begin()/end(), read-only random-access iterators yielding
// CKQString copies through the const GetAt; Add, SetAt and FindString taking a
// std::u16string_view (and a const char16_t*, so that literals and pointers keep choosing one
// overload); moves that hand over the elements in O(1); and Reserve.
#ifndef KQ_STRING_ARRAY_H
#define KQ_STRING_ARRAY_H

#include <cstdint>
#include <string_view>

#include "KQArrayIterator.h"
#include "KQObject.h"
#include "KQString.h"
#include "KQStringArray_export.h"

// The string array (see the file comment for its invariants, ownership, locking and costs).
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
  const CKQString operator[](unsigned index) const;
  // Replaces the text of element `index` of an unsorted array and returns 1; 0 with
  // ERROR_INVALID_INDEX for a bad index, or ERROR_INVALID_STATE on a sorted array.
  int SetAt(unsigned index, CKQString text);
  // Removes element `index`: ERROR_SUCCESS and 1, or ERROR_INVALID_INDEX and 0.
  int RemoveAt(unsigned index);
  // Removes every element; the capacity stays.  Returns 1.
  int RemoveAll();

  // The sorted flag as given to the constructor; the number of elements; whether there are none
  // (1) or some (0).  Record nothing.
  int IsSorted();
  unsigned GetSize();
  int IsEmpty();
  int Dump() override;

  // Index of the first element equal to `text` (exactly, or without regard to case when `noCase`
  // is non-zero); KQ_NO_INDEX with ERROR_NOT_FOUND when none is.  Success records nothing.
  // O(log n) comparisons in a sorted array, a key scan in an unsorted one; takes no lock.
  unsigned FindString(CKQString text, int noCase = 0);

  // Adds every string of `source`, in `source`'s order, each at this array's own place for it.
  // Appending the array to itself adds the elements present at the start once each.  Returns 1;
  // out of memory, stops at the first string it cannot add and returns 0 with
  // ERROR_OUTOFMEMORY recorded, the strings before it added.
  // Like every whole-array operation it reads at most as many strings as `source` held when it
  // started (so it ends even while another thread keeps adding to `source`), stops where a
  // shrinking `source` ends, and records nothing in `source`'s error state.
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
  // Takes `source`'s sorted flag and strings, then its recorded code; the flag changes under
  // this array's lock, together with the clearing.  Self-assignment is a no-op.  Out of memory: a
  // prefix of `source`'s strings with ERROR_OUTOFMEMORY recorded.
  CKQStringArray& operator=(const CKQStringArray& source);

  // Stores in `*array` a new NULL-terminated block of pointers to zero-terminated copies of the
  // elements and returns their number (at most the count at the start; fewer when the array
  // shrinks meanwhile, the rest of the block then null).  The caller owns it until
  // FreeMemoryArray.  A null `array`: 0 with ERROR_INVALID_PARAMETER recorded.
  int CreateMemoryArray(const unsigned short*** array);
  // Releases a flat array made by any string array's CreateMemoryArray and nulls `*array`.  It
  // releases exactly the copies CreateMemoryArray made for that flat array that are still in
  // one of its slots (in any slot, past a null too, each once) and leaves every other entry
  // alone: an entry the caller put in is never released, nor a copy the caller took out.
  // Returns 1; 0 with ERROR_INVALID_PARAMETER recorded, releasing nothing, when `array` or
  // `*array` is null or `*array` is not a pointer block from CreateMemoryArray.  O(n) while the
  // copies stay in their slots, O(n log n) at worst; no system call.
  int FreeMemoryArray(const unsigned short*** array);

  // Takes `source`'s elements, slots, count and sorted flag in O(1), copying no string; a fresh
  // error state.  `source` is left empty with no slots reserved, keeps its sorted flag and stays
  // usable (its next Add reserves slots afresh).  Holds `source`'s lock.
  CKQStringArray(CKQStringArray&& source) noexcept;
  // Releases this array's elements, then takes `source`'s elements, slots, count, sorted flag and
  // recorded code in O(1) (beside the release); `source` is left empty with this array's former
  // slots, keeps its sorted flag and stays usable.  Holds both locks (in address order, so two
  // opposite moves cannot deadlock).  Moving an array onto itself leaves it unchanged.
  CKQStringArray& operator=(CKQStringArray&& source) noexcept;

  // Makes room for at least `slots` elements, so that Adds up to that count do not grow the slot
  // buffer; never shrinks.  Holds the lock.  Returns 1 (recording nothing), or 0 with
  // ERROR_OUTOFMEMORY recorded and the slots unchanged when they cannot grow or `slots` exceeds
  // the most elements an array can hold (0xFFFFFFFE).
  int Reserve(unsigned slots);

  // Add, SetAt and FindString for a view of UTF-16 text (zero units inside it are part of it).
  // They behave as the CKQString members, the string copy being made inside: when it cannot be
  // made, Add and SetAt return 0 with ERROR_OUTOFMEMORY recorded and the array unchanged (SetAt
  // still refuses a bad index or a sorted array first).  FindString builds no string: it
  // computes the key from the view itself.  The const char16_t* forms read a zero-terminated text
  // (null: the empty text) and exist so that a literal or pointer picks one overload.
  int Add(std::u16string_view text, unsigned* index = nullptr);
  int Add(const char16_t* text, unsigned* index = nullptr);
  int SetAt(unsigned index, std::u16string_view text);
  int SetAt(unsigned index, const char16_t* text);
  unsigned FindString(std::u16string_view text, int noCase = 0);
  unsigned FindString(const char16_t* text, int noCase = 0);

  // Const reads, recording nothing.  GetAt holds the lock while it copies the element and gives
  // an empty string for a bad index; FindString gives 0xFFFFFFFF (KQ_NO_INDEX) when nothing
  // matches.
  CKQString GetAt(unsigned index) const;
  int IsSorted() const;
  unsigned GetSize() const;
  int IsEmpty() const;
  unsigned FindString(CKQString text, int noCase = 0) const;
  unsigned FindString(std::u16string_view text, int noCase = 0) const;
  unsigned FindString(const char16_t* text, int noCase = 0) const;

  // Read-only iteration over copies of the elements, in index order.
  using value_type = CKQString;
  using const_iterator = kq::ArrayIterator<CKQStringArray, CKQString>;
  using iterator = const_iterator;
  const_iterator begin() const noexcept;
  // The position of the count read now.
  const_iterator end() const noexcept;

protected:
  // What a derived class may do with the slots and fields below.  The slots 0 .. m_nCount - 1
  // of the buffer *m_ppStorage hold the array's items: opaque pointers the array owns (each item
  // holds its element's text, which GetAt and operator[] give).  A derived class may read them
  // and rearrange them: move an item from one slot to another, or open a slot with
  // CreateInsertionPoint and put into it an item taken from another slot, closing the slot it
  // came from so that m_nCount ends as it was, as a sort or a reorder does.  When it hands the
  // array back, every item must sit in exactly one slot below m_nCount: an item put in twice is
  // released twice, one left out is never released, and nothing but the array's own items may go
  // in (only the array makes items).  Rearranging slots directly must follow a call of
  // CreateInsertionPoint (CreateInsertionPoint(m_nCount) moves nothing), with no other member
  // called in between: that call makes the array take every key afresh from the items at the
  // next member that reads keys, so FindString finds every element where the derived class put
  // it.  In a sorted array (m_bSorted non-zero) the binary search and the exact-match walk rely on
  // the case-insensitive order: a derived class that breaks it gets searches that may miss, and
  // Add positions that follow no order.  m_ppStorage, m_nCapacity and m_bSorted are read-only to
  // a derived class (Alloc grows the buffer, InitObject sets the flag).  Alloc, FindItemPosition
  // and CreateInsertionPoint take no lock: a derived class that shares the array between threads
  // holds m_lock around them and its own slot changes (on Windows, a CRITICAL_SECTION).

  // Makes room for `slots` slots and as many keys; never shrinks.  1, or 0 with
  // ERROR_OUTOFMEMORY, the slots, the keys and the capacity as they were.
  int Alloc(unsigned slots);
  // Empties the array as RemoveAll does (every element released), takes `sorted` as the sorted
  // flag and reserves 10 slots with Alloc(10), which keeps a larger buffer as it is.  It keeps
  // the frame the constructor started: the same lock, storage cell, slot buffer and key block.
  // Holds the lock.  Out of memory (only when the array has fewer than 10 slots: after a failed
  // reservation or a move): ERROR_OUTOFMEMORY recorded, the array empty.
  void InitObject(int sorted);
  // Where Add would insert `text`: in a sorted array the first element that does not sort before
  // it, otherwise (and when every element sorts before it) the count.  O(log n) comparisons.
  unsigned FindItemPosition(CKQString* text);
  // Moves the slots from `index` on up by one (nothing when `index` is at or past the count) and
  // marks every key to be taken afresh from the items at the next member that reads keys (O(n)
  // then, once).  The caller has made room (m_nCount < m_nCapacity), puts an item into slot
  // `index` and sets the count; it may rearrange other slots too before it calls any other
  // member (see above).
  void CreateInsertionPoint(unsigned index);
  // The CRC-32 of the text's code units as given; it lowers nothing.  The CRC-32 of a lowered
  // copy equals an element's key, but the array computes its keys in one lowering pass of its
  // own and does not call GetCRC.
  std::uint32_t GetCRC(CKQString text);

  void*** m_ppStorage = nullptr;  // heap cell holding the slot buffer's address (null: none yet)
  unsigned m_nCount = 0;          // used slots
  unsigned m_nCapacity = 0;       // slots the buffer has room for
  int m_bSorted = 0;              // non-zero: kept in case-insensitive order
  mutable KQLockStorage m_lock{}; // re-entrant lock guarding changes (const GetAt takes it too)

private:
  std::uint32_t* m_pKeys = nullptr; // key block: C-runtime block, room for >= m_nCapacity keys
  // Keys that sorted insertions put in the middle of a long array, waiting to be written into
  // the key block (null until first needed); anything that reads keys writes them in first.
  void* m_pKeyLog = nullptr;
  // The item slab (chunks from the allocation operator that the items live in, and the free
  // list of items given back); used under the lock, released by RemoveAll and the destructor.
  void* m_pItemChunks = nullptr;
  void* m_pFreeItems = nullptr;

  // The tests' hold on the run length of sorted merges (tests/support/KQTestAccess.h).
  friend class KQStringArrayTestSeam;
  // Sets how many strings a sorted merge reads into one run, for every array of the process, and
  // returns the length it replaces; 0 restores the built-in length (65,536).  The result of a
  // merge never depends on it, only the size of the blocks the merge allocates: tests use runs
  // of a few strings to merge many of them.
  static unsigned SetMergeRunLength(unsigned strings) noexcept;

  struct ConcatTag {};
  // Builds `left + right` in place, so operator+ hands out its result without a further copy.
  CKQStringArray(const CKQStringArray& left, CKQStringArray& right, ConcatTag tag);
  // Builds the array's frame: lock, storage cell, 10 slots.
  void Start(int sorted);
  // Reads `source` element by element into this array (the body of Append); false when it
  // stopped at a string it could not add (ERROR_OUTOFMEMORY recorded).
  bool AppendFrom(CKQStringArray& source);
  // AppendFrom for a sorted array: reads the strings into ordered runs first, then merges them
  // all in.
  bool MergeFrom(CKQStringArray& source);
};

#endif // KQ_STRING_ARRAY_H
