// Which calls compile and which overload they choose.  Most checks are static_asserts: this
// file failing to compile is the failure.  The calls a client of the original members writes
// (strings as CKQString, const unsigned short* or literals, FindString with its flag) must pick
// one overload as they always did; the additions must not make any of them ambiguous.
#include <gtest/gtest.h>

#include <concepts>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"

namespace {

// --- calls that must compile -------------------------------------------------------------

template <typename Text>
concept AddableText = requires(CKQStringArray& array, Text text, unsigned* index) {
  { array.Add(text) } -> std::same_as<int>;
  { array.Add(text, index) } -> std::same_as<int>;
  { array.SetAt(0u, text) } -> std::same_as<int>;
  { array.FindString(text, 1) } -> std::same_as<unsigned>;
  { array.FindString(text) } -> std::same_as<unsigned>;
};
static_assert(AddableText<CKQString>);
static_assert(AddableText<const CKQString&>);
static_assert(AddableText<const unsigned short*>);
static_assert(AddableText<const char16_t*>);
static_assert(AddableText<const char16_t (&)[4]>); // a literal such as u"abc"
static_assert(AddableText<std::u16string_view>);
static_assert(AddableText<const std::u16string&>);
#if defined(_WIN32)
static_assert(AddableText<const wchar_t*>); // through CKQString(const wchar_t*)
#endif

template <typename Text>
concept FindableInConst = requires(const CKQStringArray& array, Text text) {
  { array.FindString(text, 1) } -> std::same_as<unsigned>;
  { array.FindString(text) } -> std::same_as<unsigned>;
};
static_assert(FindableInConst<CKQString>);
static_assert(FindableInConst<const unsigned short*>);
static_assert(FindableInConst<const char16_t*>);
static_assert(FindableInConst<std::u16string_view>);

template <typename Array>
concept ConstStringReads = requires(Array& array) {
  { array.GetAt(0u) } -> std::same_as<CKQString>;
  { array.GetSize() } -> std::same_as<unsigned>;
  { array.IsEmpty() } -> std::same_as<int>;
  { array.IsSorted() } -> std::same_as<int>;
  { array[0u] } -> std::same_as<const CKQString>;
};
static_assert(ConstStringReads<const CKQStringArray>);

template <typename Array>
concept ConstUintReads = requires(Array& array) {
  { array.GetAt(0u) } -> std::same_as<unsigned>;
  { array.Find(1u) } -> std::same_as<unsigned>;
  { array.GetSize() } -> std::same_as<unsigned>;
};
static_assert(ConstUintReads<const CKQUintArray>);

// Comparisons choose the text operators, never the built-in pointer comparison (which would
// yield bool for <=> only through the pointer conversion and compare addresses).
template <typename Left, typename Right>
concept TextComparable = requires(Left left, Right right) {
  { left == right } -> std::same_as<bool>;
  { right == left } -> std::same_as<bool>;
  { left <=> right } -> std::same_as<std::strong_ordering>;
  { right <=> left } -> std::same_as<std::strong_ordering>;
};
static_assert(TextComparable<const CKQString&, const CKQString&>);
static_assert(TextComparable<const CKQString&, const char16_t*>);
static_assert(TextComparable<const CKQString&, const unsigned short*>);

// The pointer conversion stays, as the original members need it.
static_assert(std::is_convertible_v<CKQString, const unsigned short*>);
// Views and standard strings are taken only explicitly.
static_assert(!std::is_convertible_v<std::u16string_view, CKQString>);
static_assert(std::is_constructible_v<CKQString, std::u16string_view>);

// A range of texts constructs an array (with or without the sorted flag); a number, or two, never
// chooses the range constructor: CKQStringArray(1) is the sorted empty array it always was.
static_assert(std::is_constructible_v<CKQStringArray, std::u16string*, std::u16string*>);
static_assert(std::is_constructible_v<CKQStringArray, const CKQString*, const CKQString*, int>);
static_assert(
    std::is_constructible_v<CKQStringArray, const char16_t* const*, const char16_t* const*, int>);
static_assert(!std::is_constructible_v<CKQStringArray, int, int>);
static_assert(!std::is_constructible_v<CKQStringArray, unsigned, unsigned, int>);
static_assert(!std::is_convertible_v<int, CKQStringArray>); // the int constructor stays explicit

template <typename Iterator>
concept RangeAddable = requires(CKQStringArray& array, Iterator it) {
  { array.AddRange(it, it) } -> std::same_as<int>;
};
static_assert(RangeAddable<std::u16string_view*> && RangeAddable<const unsigned short**>);
static_assert(!RangeAddable<int>);

// --- calls that must not compile ---------------------------------------------------------

// (A requires-expression must sit in a template for an invalid call to read as false.)
template <typename Array>
concept CanAdd = requires(Array& array) {
  array.Add(u"x");
};
template <typename Array>
concept CanSetAt = requires(Array& array) {
  array.SetAt(0u, u"x");
};
template <typename Array>
concept CanRemoveAll = requires(Array& array) {
  array.RemoveAll();
};
static_assert(CanAdd<CKQStringArray> && !CanAdd<const CKQStringArray>);
static_assert(CanSetAt<CKQStringArray> && !CanSetAt<const CKQStringArray>);
static_assert(CanRemoveAll<CKQPtrArray> && !CanRemoveAll<const CKQPtrArray>);

// --- whole-array operations and copies: every kind of source picks one overload -----------

// Append, Copy, += and + take a non-const array (the original members, which stay as they
// were), a const one and a temporary; none of the calls is ambiguous.
template <typename Source>
concept WholeArraySource = requires(CKQStringArray& target, const CKQStringArray& left,
                                    Source&& source) {
  { target.Append(std::forward<Source>(source)) } -> std::same_as<int>;
  { target.Copy(std::forward<Source>(source)) } -> std::same_as<int>;
  { target += std::forward<Source>(source) } -> std::same_as<CKQStringArray&>;
  { left + std::forward<Source>(source) } -> std::same_as<CKQStringArray>;
};
static_assert(WholeArraySource<CKQStringArray&>);
static_assert(WholeArraySource<const CKQStringArray&>);
static_assert(WholeArraySource<CKQStringArray>);       // an xvalue (std::move) or a prvalue
static_assert(WholeArraySource<const CKQStringArray>); // a const rvalue takes the const form

// The original members keep their exact signatures (the exported symbols a client may link).
static_assert(std::is_same_v<decltype(static_cast<int (CKQStringArray::*)(CKQStringArray&)>(
                                 &CKQStringArray::Append)),
                             int (CKQStringArray::*)(CKQStringArray&)>);
static_assert(std::is_same_v<decltype(static_cast<int (CKQStringArray::*)(CKQStringArray&)>(
                                 &CKQStringArray::Copy)),
                             int (CKQStringArray::*)(CKQStringArray&)>);
static_assert(
    std::is_same_v<decltype(static_cast<CKQStringArray& (CKQStringArray::*)(CKQStringArray&)>(
                       &CKQStringArray::operator+=)),
                   CKQStringArray& (CKQStringArray::*)(CKQStringArray&)>);
static_assert(
    std::is_same_v<decltype(static_cast<CKQStringArray (CKQStringArray::*)(CKQStringArray&) const>(
                       &CKQStringArray::operator+)),
                   CKQStringArray (CKQStringArray::*)(CKQStringArray&) const>);

// The pointer and integer arrays copy from const and non-const arrays and move without throwing,
// so standard containers hold them and grow by moving.
template <typename Array>
constexpr bool kCopiesAndMoves = std::is_constructible_v<Array, Array&>&&
    std::is_copy_constructible_v<Array>&& std::is_copy_assignable_v<Array>&&
        std::is_nothrow_move_constructible_v<Array>&& std::is_nothrow_move_assignable_v<Array>;
static_assert(kCopiesAndMoves<CKQPtrArray>);
static_assert(kCopiesAndMoves<CKQUintArray>);
static_assert(kCopiesAndMoves<CKQStringArray>);

// --- the calls behave as their CKQString forms -------------------------------------------

TEST(KQOverloads, LiteralsPointersAndStringsFindTheSameElement) {
  CKQStringArray array;
  const unsigned short plain[] = {'K', 'e', 'y', 0};
  array.Add(u"other");
  array.Add(plain);
  const CKQString key(u"Key");
  const std::u16string owned(u"KEY");
  EXPECT_EQ(array.FindString(key, 0), 1u);
  EXPECT_EQ(array.FindString(plain, 0), 1u);
  EXPECT_EQ(array.FindString(u"Key", 0), 1u);
  EXPECT_EQ(array.FindString(owned, 1), 1u);
  EXPECT_EQ(array.FindString(std::u16string_view(owned), 0), KQ_NO_INDEX);
  const CKQString& first = array[0];
  EXPECT_TRUE(first == u"other");
  EXPECT_TRUE(array.GetAt(1) == plain);
}

TEST(KQOverloads, ANumberStillChoosesThePlainConstructor) {
  const CKQStringArray sorted(1);
  const CKQStringArray plain(0);
  EXPECT_EQ(sorted.IsSorted(), 1);
  EXPECT_EQ(plain.IsSorted(), 0);
  EXPECT_EQ(sorted.GetSize() + plain.GetSize(), 0u);
}

} // namespace
