// kq::ArrayIterator, the read-only random-access iterator of the arrays' begin() and end().
//
// An iterator is an array's storage cell (the heap cell holding the address of its slot buffer)
// and a position.  Dereferencing it reads the slot at that position in place: it takes no lock,
// records nothing and steps no reference count.  What it yields depends on the array (the Slot
// policy): the string array's element itself, by const reference (see KQStringArray.h), and the
// pointer and integer arrays' values, by value.
//
// Threads follow the standard containers' rule: any number of threads may iterate over an array,
// and read it in other ways, at the same time, while no thread changes it; a thread that changes
// the array (Add, SetAt, RemoveAt, RemoveAll, assignment, Reserve, moves) needs the caller to
// order it against every iterating thread.  The array's lock does not cover iteration; the locked
// read is GetAt.
//
// An iterator names a position, not an element: it reads whatever element stands there when it
// is dereferenced, and it stays usable while the slot buffer grows (it reads the buffer's
// address afresh from the cell each time).  Dereferencing a position at or beyond the count is
// undefined, as for std::vector; begin() to end() reads only positions below the count end() was
// made with.  Moving an array hands its cell to the target, so iterators follow the elements.
//
// Header for C++17 and C++20 clients: C++20 clients get operator<=> (and operator== gives !=),
// C++17 clients get the six comparison operators spelt out.
#ifndef KQ_ARRAY_ITERATOR_H
#define KQ_ARRAY_ITERATOR_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

#if __has_include(<version>)
#include <version>
#endif
// The same test guards operator<=> below.
#if defined(__cpp_impl_three_way_comparison) && defined(__cpp_lib_three_way_comparison) &&         \
    __cpp_impl_three_way_comparison >= 201907L && __cpp_lib_three_way_comparison >= 201907L
#include <compare>
#endif

namespace kq {

// Slot policies: what an iterator yields for one slot (a void* in the slot buffer).
//
// The pointer array's slots are its values.
struct PointerSlot {
  // The iterator's value and reference types, and the read of one slot.
  using value_type = void*;
  using reference = void*;
  static void* Read(void* slot) noexcept { return slot; }
};

// The integer array's slots hold its values zero-extended to a pointer's width.
struct UintSlot {
  // The iterator's value and reference types, and the read of one slot.
  using value_type = unsigned;
  using reference = unsigned;
  static unsigned Read(void* slot) noexcept {
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(slot));
  }
};

// Random access over the positions of one array, yielding `Slot::reference`s.  Comparing or
// subtracting iterators of different arrays is meaningless, as for the standard containers.
// A default-constructed (singular) iterator may be assigned to and compared with other singular
// iterators only.
template <typename Slot> class ArrayIterator {
public:
  // The standard iterator traits.  `pointer` is the element's address where `reference` is a
  // reference (operator-> exists then), void where the iterator yields values.
  using iterator_concept = std::random_access_iterator_tag;
  using iterator_category = std::random_access_iterator_tag;
  using value_type = typename Slot::value_type;
  using difference_type = std::ptrdiff_t;
  using reference = typename Slot::reference;
  using pointer =
      std::conditional_t<std::is_reference_v<reference>, std::add_pointer_t<reference>, void>;

  ArrayIterator() noexcept = default;
  // Position `index` of the array whose storage cell is `cell`.
  ArrayIterator(void** const* cell, unsigned index) noexcept : m_cell(cell), m_index(index) {}

  // The element at the position, read in place.  Undefined at or beyond the count.
  reference operator*() const noexcept { return Slot::Read((*m_cell)[m_index]); }
  // The element's address, for iterators that yield references (the string array's).
  template <typename Reference = reference,
            typename = std::enable_if_t<std::is_reference_v<Reference>>>
  pointer operator->() const noexcept {
    return &**this;
  }
  // The element `offset` positions away.
  reference operator[](difference_type offset) const noexcept { return *(*this + offset); }

  // The position in the array.
  unsigned Index() const noexcept { return m_index; }

  // Steps: positions are counted modulo 2^32 like the arrays' indices.
  ArrayIterator& operator++() noexcept {
    ++m_index;
    return *this;
  }
  // NOLINTNEXTLINE(cert-dcl21-cpp): std::incrementable wants the iterator itself, not const
  ArrayIterator operator++(int) noexcept {
    ArrayIterator before = *this;
    ++m_index;
    return before;
  }
  ArrayIterator& operator--() noexcept {
    --m_index;
    return *this;
  }
  // NOLINTNEXTLINE(cert-dcl21-cpp): as operator++(int)
  ArrayIterator operator--(int) noexcept {
    ArrayIterator before = *this;
    --m_index;
    return before;
  }
  ArrayIterator& operator+=(difference_type offset) noexcept {
    m_index = static_cast<unsigned>(static_cast<difference_type>(m_index) + offset);
    return *this;
  }
  ArrayIterator& operator-=(difference_type offset) noexcept { return *this += -offset; }

  // Arithmetic and comparison as for pointers into one array.
  friend ArrayIterator operator+(ArrayIterator it, difference_type offset) noexcept {
    return it += offset;
  }
  friend ArrayIterator operator+(difference_type offset, ArrayIterator it) noexcept {
    return it += offset;
  }
  friend ArrayIterator operator-(ArrayIterator it, difference_type offset) noexcept {
    return it -= offset;
  }
  friend difference_type operator-(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return static_cast<difference_type>(a.m_index) - static_cast<difference_type>(b.m_index);
  }
  friend bool operator==(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return a.m_index == b.m_index;
  }
#if defined(__cpp_impl_three_way_comparison) && defined(__cpp_lib_three_way_comparison) &&         \
    __cpp_impl_three_way_comparison >= 201907L && __cpp_lib_three_way_comparison >= 201907L
  // Orders positions as pointers into one array; gives <, >, <= and >= (C++20).
  friend std::strong_ordering operator<=>(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return a.m_index <=> b.m_index;
  }
#else
  // The comparisons operator<=> and operator== give C++20 clients, spelt out for C++17.
  friend bool operator!=(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return a.m_index != b.m_index;
  }
  friend bool operator<(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return a.m_index < b.m_index;
  }
  friend bool operator>(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return a.m_index > b.m_index;
  }
  friend bool operator<=(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return a.m_index <= b.m_index;
  }
  friend bool operator>=(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return a.m_index >= b.m_index;
  }
#endif

private:
  void** const* m_cell = nullptr;
  unsigned m_index = 0;
};

} // namespace kq

#endif // KQ_ARRAY_ITERATOR_H
