// kq::ArrayIterator, the read-only random-access iterator of the arrays' begin() and end().
//
// An iterator is an array's address and a position.  Dereferencing it reads the element through
// the array's const GetAt, so it yields the element by value (a void*, an unsigned or a
// CKQString copy) and never a reference into the array: what it yields stays valid whatever
// happens to the array afterwards.  A position at or beyond the count yields what GetAt yields
// there (null, 0 or an empty string), so an iterator that outlives elements removed by another
// thread reads no freed memory; ordering reads against such changes is still the caller's
// business, as for every other read.
#ifndef KQ_ARRAY_ITERATOR_H
#define KQ_ARRAY_ITERATOR_H

#include <compare>
#include <cstddef>
#include <iterator>

namespace kq {

// Random access over `Array` positions, yielding `Value`s.  Comparing or subtracting iterators
// of different arrays is meaningless, as for the standard containers.
//
// The category is random access although `reference` is a value, as for
// std::vector<bool>::const_iterator: every algorithm that only reads works, and std::distance,
// std::advance and std::lower_bound take their O(1) steps.
template <typename Array, typename Value> class ArrayIterator {
public:
  // The standard iterator traits.
  using iterator_concept = std::random_access_iterator_tag;
  using iterator_category = std::random_access_iterator_tag;
  using value_type = Value;
  using difference_type = std::ptrdiff_t;
  using reference = Value;
  using pointer = void;

  // A singular iterator: it may be assigned to and compared with other singular iterators only.
  ArrayIterator() noexcept = default;
  // Position `index` of `array`.
  ArrayIterator(const Array* array, unsigned index) noexcept : m_array(array), m_index(index) {}

  // The element at the position, read by the array's const GetAt.
  Value operator*() const { return m_array->GetAt(m_index); }
  // The element `offset` positions away.
  Value operator[](difference_type offset) const { return *(*this + offset); }

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
  friend std::strong_ordering operator<=>(const ArrayIterator& a, const ArrayIterator& b) noexcept {
    return a.m_index <=> b.m_index;
  }

private:
  const Array* m_array = nullptr;
  unsigned m_index = 0;
};

} // namespace kq

#endif // KQ_ARRAY_ITERATOR_H
