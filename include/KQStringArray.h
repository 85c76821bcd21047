// CKQStringArray, an array of wide strings kept in arrival order or in case-insensitive order,
// with a CRC-32 key beside every element for fast search.
//
// The class's documentation says what it holds, what its operations cost and which threads may
// use it at once; its Internals section keeps the storage invariants for derived classes.
#ifndef KQ_STRING_ARRAY_H
#define KQ_STRING_ARRAY_H

#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>
#include <utility>

#include "KQArrayIterator.h"
#include "KQObject.h"
#include "KQString.h"
#include "KQStringArray_export.h"

namespace kq {

// What the string array's iterators read from a slot.  A slot points at its element's item, and
// an item begins with the element's CKQString (the library keeps that layout and checks it where
// it defines the item), so the slot's address is the string's: the iterator yields the element's
// own string, by const reference, with no copy and no reference-count step.
struct StringSlot {
  // The iterator's value and reference types, and the read of one slot.
  using value_type = CKQString;
  using reference = const CKQString&;
  static const CKQString& Read(void* slot) noexcept { return *static_cast<const CKQString*>(slot); }
};

} // namespace kq

// An array of UTF-16 strings that owns its elements, kept in arrival order or, when built sorted,
// in case-insensitive order, with the CRC-32 of each lowered text beside it for fast search.
//
// Ownership: the array owns its elements.  Callers get copies (strings are implicitly shared, so
// a copy costs a reference-count step), const references to the elements' own strings through
// the iterators, or, through CreateMemoryArray, a flat array that is theirs until they hand it to
// FreeMemoryArray.  In a sorted array, strings equal without regard to case keep the one added
// last first.
//
// Costs: Add is O(log n) comparisons plus one block move of the later slots in a sorted array,
// amortised O(1) in an unsorted one, and computes no key (keys are taken when a search first
// needs them), except that a sorted array takes the key of a string that lands last while it
// knows every key before it (a sorted list loaded in order has its keys when searches need
// them); GetAt and operator[] are O(1); RemoveAt is one block move of slots and one of the
// keys taken so far.  FindString in a sorted array is a binary search, O(log n) comparisons,
// plus (exact search) a walk over the elements equal without regard to case; in an unsorted
// array it scans the contiguous key block (SSE2 where the CPU has it), first taking the keys of
// elements added since the last search (lowering and CRC-32 of their texts, once), and compares
// text only where the keys agree.  Once searches repeat without a change in between (their work
// since the last change, counted in keys scanned, reaches what building the index costs: about
// 1,400 unsorted searches; at 10^6, 150,000 sorted ones, or 50,000 once its keys are known, as
// after loading it in order), FindString builds a key index, a hash table from key to first
// position: 8 bytes per element while it exists, O(n) to build, and every later search is O(1)
// expected.  Adds at the end keep it (computing the new key);
// any other change (a sorted Add in the middle, SetAt, RemoveAt, RemoveAll, Copy, a merge into
// a sorted array) drops it, and later searches build it again by the same rule.  Arrays of
// fewer than 16 elements never have one.  To load many strings, use AddRange or the
// iterator-range constructor (one sort and merge, where one Add per string into a sorted array
// moves up to n slots each time).
//
// Threads: Add, GetAt, SetAt, RemoveAt and RemoveAll hold the array's re-entrant lock; the
// whole-array operations take the source's lock for each string they read and the target's
// through Add (taking a temporary's elements over, and move assignment, hold both locks, in
// address order), and assignment changes the sorted flag under the target's lock.  Iteration,
// operator[], GetSize, IsEmpty and IsSorted take none, nor does FindString, except while it
// takes keys not taken yet or builds the key index (once; searches on other threads wait for it
// and then use it, so searches may still run side by side).  Any
// number of threads may make those reads at once; callers that read while other threads write
// must order those calls themselves.  Only GetAt reads an element under the lock: a thread may
// read with it beside a writer.
//
// Beside the members above the array offers a standard C++ face: const overloads of GetAt (which
// takes the lock), GetSize, IsEmpty, IsSorted and FindString that never record a code (a const
// array's error state stays as it is); begin()/end(), read-only random-access iterators yielding
// const references to the elements' own strings, read in place without the lock (O(1) a step,
// no copy, no reference-count step); Add, SetAt and FindString taking a std::u16string_view (and
// a const char16_t*, so that literals and pointers keep choosing one overload); moves that hand
// over the elements in O(1); Append, Copy, += and + for const arrays and temporaries; AddRange
// and the range constructor for loading many strings; and Reserve.
//
// ### Internals
//
// m_nCount <= m_nCapacity; every slot below m_nCount points to an item owned by the array,
// holding the element's text exactly as added; the element's key is the CRC-32 of the lowered
// text.  Items come from a private per-array slab.  A private key block beside the slots, with
// room for at least m_nCapacity keys, holds the key of slot i at position i for the leading
// elements whose keys are known, and records how many those are, so a search reads keys
// contiguously instead of through each slot's item.  Members that add or move elements compute
// no key (but a sorted Add that lands last while every earlier key is known takes its own):
// they lower the known count to the first position they changed (RemoveAt moves the
// known keys after it down), and the first search that needs keys takes the missing ones from
// the items in one pass; after CreateInsertionPoint (a derived class rearranging slots, see the
// protected section) no key is known.  The key index, when present, maps each key to the first
// position holding it and covers every element.  When
// m_bSorted is non-zero no element compares greater than the next one under
// CKQString::CompareNoCase.
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
  // O(log n) comparisons in a sorted array, a key scan in an unsorted one, O(1) expected once
  // the array has a key index (see Costs above); takes the lock only to take keys or build the
  // index.  Out of memory for the index is no error: the search scans, as without one.
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
  // Append(source); returns this array.
  CKQStringArray& operator+=(CKQStringArray& source);
  // A new array: a copy of this one (with its sorted flag) with `source`'s strings appended.
  // Out of memory as for the copy constructor: a prefix of this array's strings followed by
  // `source`'s, with ERROR_OUTOFMEMORY recorded.
  CKQStringArray operator+(CKQStringArray& source) const;

  // Append, Copy, += and + of a const array, or of a temporary (which + takes here too): the
  // same reads under `source`'s lock, the same results and codes.  `source` is left exactly as
  // it was, its error state included (as with the members above, which only read it too).
  int Append(const CKQStringArray& source);
  int Copy(const CKQStringArray& source);
  CKQStringArray& operator+=(const CKQStringArray& source);
  CKQStringArray operator+(const CKQStringArray& source) const;
  // Append, Copy and += of an array the caller gives up.  When this array is empty (after Copy's
  // clearing), is kept in the same order as `source` (both sorted or both unsorted) and has no
  // more slots reserved than `source`, it takes `source`'s elements and slots in O(1) instead of
  // copying them, keeping its own sorted flag, and records ERROR_SUCCESS when there was an
  // element (nothing otherwise); `source` is then left empty, with this array's former slots,
  // its own sorted flag and its error state as they were, and stays usable.  The result is the
  // one copying gives.  Otherwise the strings are copied as by the const overloads and `source`
  // keeps them.  The hand-over holds both locks (in address order, as move assignment does) and
  // allocates nothing; giving an array its own contents appends or copies as usual.
  int Append(CKQStringArray&& source);
  int Copy(CKQStringArray&& source);
  CKQStringArray& operator+=(CKQStringArray&& source);

  // Takes `source`'s sorted flag and strings, then its recorded code; the flag changes under
  // this array's lock, together with the clearing.  Self-assignment is a no-op.  Out of memory: a
  // prefix of `source`'s strings with ERROR_OUTOFMEMORY recorded.
  CKQStringArray& operator=(const CKQStringArray& source);

  // Stores in `*array` a new NULL-terminated block of pointers to zero-terminated copies of the
  // elements and returns their number (at most the count at the start; fewer when the array
  // shrinks meanwhile, the rest of the block then null).  The caller owns it until
  // FreeMemoryArray.  The block is entered in the library's process-wide list of live flat
  // arrays, which FreeMemoryArray consults.  A null `array`: 0 with ERROR_INVALID_PARAMETER
  // recorded.  When memory runs out std::bad_alloc reaches the caller: `*array` then holds the
  // NULL-terminated part already built (for FreeMemoryArray), or is unchanged when the pointer
  // block or its entry in the list could not be made (nothing is then left allocated).
  int CreateMemoryArray(const unsigned short*** array);
  // Releases a flat array made by any string array's CreateMemoryArray and nulls `*array`.  It
  // releases exactly the copies CreateMemoryArray made for that flat array that are still in
  // one of its slots (in any slot, past a null too, each once) and leaves every other entry
  // alone: an entry the caller put in is never released, nor a copy the caller took out.
  // Returns 1; 0 with ERROR_INVALID_PARAMETER recorded, releasing nothing and leaving `*array`
  // as it was, when `array` or `*array` is null or `*array` is no live flat array (a block made
  // elsewhere, an address inside a flat array, one already released).  It tells them apart by
  // the address alone, through the list of live flat arrays, and reads nothing of a block that
  // is not in it.  O(n) while the copies stay in their slots, O(n log n) at worst, plus
  // O(log m) for m live flat arrays; no system call, save a wait while another thread uses the
  // list.  Safe beside any other thread's CreateMemoryArray and FreeMemoryArray.
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

  // Loading many strings: prefer these to one Add per string.  A sorted array then orders the
  // whole range at once and merges it in (O(k log k + n) for k strings into n, where k Adds
  // would move up to n slots each); an unsorted one appends them in order.  Each element is
  // anything convertible to std::u16string_view (std::u16string, a literal, a const char16_t*),
  // whose text is copied, or to CKQString, whose text is shared.  The range is read once, from
  // `first` to `last`, so single-pass input iterators work.  Returns 1 with ERROR_SUCCESS
  // recorded (nothing recorded for an empty range); out of memory, 0 with ERROR_OUTOFMEMORY
  // recorded and a prefix of the range added (in this array's order), as Append.  The range must
  // not run over this array itself (Append(*this) does that).
  template <
      class InputIt,
      class = std::enable_if_t<std::is_convertible_v<
          typename std::iterator_traits<InputIt>::iterator_category, std::input_iterator_tag>>>
  int AddRange(InputIt first, InputIt last);
  // An array in the given order (as CKQStringArray(int)) holding the strings of the range (as
  // AddRange; out of memory, a prefix with ERROR_OUTOFMEMORY recorded).  Only iterators choose
  // it: CKQStringArray(0) and CKQStringArray(1) stay the plain constructor.
  template <
      class InputIt,
      class = std::enable_if_t<std::is_convertible_v<
          typename std::iterator_traits<InputIt>::iterator_category, std::input_iterator_tag>>>
  CKQStringArray(InputIt first, InputIt last, int sorted = 0) : CKQStringArray(sorted) {
    AddRange(first, last);
  }

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

  // Read-only iteration in index order over the elements themselves: *it is a const reference
  // to the CKQString the array holds (no copy), read without the lock and without a
  // reference-count step; it->View() and range-for (`for (const CKQString& s : array)`, or
  // `auto&`) work, on a non-const array too.  Any number of threads may iterate at once while no
  // thread changes the array; a thread that changes it needs the caller's ordering against
  // them (GetAt is the read that takes the lock).  A reference stays valid until its element is
  // removed (RemoveAt, RemoveAll, Copy, assignment, the destructor) or replaced (SetAt), or the
  // array's order changes; Add to an unsorted array and Reserve leave it valid even when the
  // slot buffer grows.  Dereferencing at or beyond the count is undefined, as for std::vector.
  using value_type = CKQString;
  using const_iterator = kq::ArrayIterator<kq::StringSlot>;
  using iterator = const_iterator;
  const_iterator begin() const noexcept;
  // The position of the count read now.
  const_iterator end() const noexcept;

protected:
  // @name For derived classes
  // The storage frame and the helpers the derived arrays build on.
  //
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
  // @{

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
  // @}

private:
  // Key block: C-runtime block, room for >= m_nCapacity keys, the leading ones known (keys are
  // taken when a search first needs them).
  std::uint32_t* m_pKeys = nullptr;
  // The key index (null when there is none): built by a search once searches repeat, so mutable;
  // kept in step by appends, dropped by changes that move or replace elements.
  mutable void* m_pKeyIndex = nullptr;
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
  // Sets, for every array of the process, how much searching builds a key index: once the
  // searches since the last change did work worth `scans` full key scans (`scans` x the count,
  // in keys scanned or their equivalent) plus 2,048 keys for every key not yet taken; returns
  // the rule it replaces (built in: 1,024).  0 builds the index at
  // the first search of an array of at least 16 elements; 0xFFFFFFFF never builds one.  Results
  // never depend on it.
  static unsigned SetKeyIndexRule(unsigned scans) noexcept;
  // How many leading keys of `array` are known, and whether it has a key index now.
  static unsigned KnownKeys(const CKQStringArray& array) noexcept;
  static bool HasKeyIndex(const CKQStringArray& array) noexcept;

  struct ConcatTag {};
  // Builds `left + right` in place, so operator+ hands out its result without a further copy.
  CKQStringArray(const CKQStringArray& left, const CKQStringArray& right, ConcatTag tag);
  // Builds the array's frame: lock, storage cell, 10 slots.
  void Start(int sorted);
  // Reads `source` element by element into this array (the body of Append), each element under
  // `source`'s lock; writes nothing into `source` but keys its sorted additions left aside.
  // False when it stopped at a string it could not add (ERROR_OUTOFMEMORY recorded).
  bool AppendFrom(const CKQStringArray& source);
  // AppendFrom for a sorted array: reads the strings into ordered runs first, then merges them
  // all in.
  bool MergeFrom(const CKQStringArray& source);
  // The non-const forms these three private helpers had in 1.4.0, kept because the class is
  // exported whole and its exported symbols stay; each forwards to its const form.
  CKQStringArray(const CKQStringArray& left, CKQStringArray& right, ConcatTag tag);
  bool AppendFrom(CKQStringArray& source);
  bool MergeFrom(CKQStringArray& source);
  // With both locks held: releases this array's elements, then takes `source`'s elements, count,
  // slots, keys and items, leaving `source` empty with this array's former (emptied) ones.  The
  // sorted flags and error states stay where they are.  O(1) beside the release.
  void TakeElements(CKQStringArray& source) noexcept;
};

namespace kq::detail {
// Adds one element of a range to `array` at the end (an unsorted array): as a view when it
// converts to one, else as a CKQString.
template <class Element> int AddElement(CKQStringArray& array, Element&& element) {
  using Plain = std::remove_cv_t<std::remove_reference_t<Element>>;
  if constexpr (!std::is_same_v<Plain, CKQString> &&
                std::is_convertible_v<Element&&, std::u16string_view>) {
    return array.Add(std::u16string_view(std::forward<Element>(element)), nullptr);
  } else {
    return array.Add(CKQString(std::forward<Element>(element)), nullptr);
  }
}
} // namespace kq::detail

// An unsorted array takes each string at its end.  A sorted one stages the strings in an
// unsorted array first (each text copied once, its key computed once) and merges the staged
// array in with one Append, the library's bulk path.
template <class InputIt, class> int CKQStringArray::AddRange(InputIt first, InputIt last) {
  if (IsSorted() == 0) {
    for (; first != last; ++first) {
      if (kq::detail::AddElement(*this, *first) == 0) {
        return 0; // ERROR_OUTOFMEMORY recorded; the strings before it stay
      }
    }
    return 1;
  }
  CKQStringArray staged; // grows by doubling: reserving the whole range up front measured slower
  int complete = 1;
  for (; first != last; ++first) {
    if (kq::detail::AddElement(staged, *first) == 0) {
      complete = 0; // the prefix staged so far still goes in
      break;
    }
  }
  if (staged.GetSize() == 0) {
    if (complete == 0) {
      GetErrorState().SetError(staged.GetErrorState().GetError());
    }
    return complete;
  }
  if (Append(staged) == 0) {
    return 0;
  }
  if (complete == 0) {
    GetErrorState().SetError(staged.GetErrorState().GetError());
  }
  return complete;
}

#endif // KQ_STRING_ARRAY_H
