// The C interface: each function checks its arguments, calls the CKQStringArray member that does
// the work and turns every exception into a recorded code, so that nothing but plain values
// crosses into C.
//
// The handle is a struct around one CKQStringArray (a subclass of it that adds only the locked
// element read of kq_string_array_get_*).  Functions taking a const handle read
// through the const members (which record nothing); when such a call itself fails they record
// the failure through the handle all the same: every handle is made non-const by
// kq_string_array_new, and the error state is stored atomically, so that is sound even while
// other threads read the array.
#include "KQStringArrayC.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQStringArrayVersion.h"
#include "KQStringItem.h"

namespace kq::capi {

// The array behind a handle: a CKQStringArray that adds no data and one read.  An element read
// must test the index and take the element under one holding of the array's lock, as GetAt
// does; testing GetSize() first and calling GetAt afterwards would let a writer remove the
// element in between, and the read would come back as an empty element instead of a bad index.
class HandleArray final : public CKQStringArray {
public:
  explicit HandleArray(int sorted) : CKQStringArray(sorted) {}

  // A shared copy of element `index`, taken under the lock, with `found` true; an empty string
  // with `found` false when `index` is at or beyond the count at that moment.  Records nothing;
  // allocates nothing (one reference-count step).
  CKQString ReadAt(unsigned index, bool& found) noexcept {
    return kq::ReadShared(m_lock, m_ppStorage, m_nCount, index, found);
  }
};

} // namespace kq::capi

struct kq_string_array {
  explicit kq_string_array(int sorted) : array(sorted) {}
  kq::capi::HandleArray array; // the array the handle stands for
};

// The C types are the C++ interface's own, so values and pointers pass unconverted.
static_assert(std::is_same_v<std::uint32_t, unsigned>, "uint32_t is the arrays' index type");
static_assert(std::is_same_v<std::uint16_t, unsigned short>, "uint16_t is the flat arrays' unit");
static_assert(sizeof(char16_t) == sizeof(std::uint16_t), "one UTF-16 unit either way");
static_assert(KQ_C_NO_INDEX == KQ_NO_INDEX);
static_assert(KQ_C_ERROR_SUCCESS == ERROR_SUCCESS && KQ_C_ERROR_OUTOFMEMORY == ERROR_OUTOFMEMORY &&
              KQ_C_ERROR_INVALID_PARAMETER == ERROR_INVALID_PARAMETER &&
              KQ_C_ERROR_NOT_FOUND == ERROR_NOT_FOUND &&
              KQ_C_ERROR_INVALID_INDEX == ERROR_INVALID_INDEX &&
              KQ_C_ERROR_INVALID_STATE == ERROR_INVALID_STATE);

namespace {

constexpr std::size_t kNoLength = static_cast<std::size_t>(-1);

void Record(const kq_string_array* handle, std::uint32_t code) noexcept {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): the handle is never const (see above)
  const_cast<kq_string_array*>(handle)->array.GetErrorState().SetError(code);
}

// `body()`, or `failed` with ERROR_OUTOFMEMORY recorded when it throws: the library throws only
// when memory or another resource runs out, or for a text too long for a string.
template <typename Result, typename Body>
Result Guarded(const kq_string_array* handle, Result failed, Body body) noexcept {
  try {
    return body();
  } catch (...) {
    Record(handle, ERROR_OUTOFMEMORY);
    return failed;
  }
}

// The length of the caller's text in units: `length`, or up to the first zero for
// KQ_C_ZERO_TERMINATED.  A null text is the empty text for length 0 and refused (false) otherwise.
template <typename Unit> bool MeasureText(const Unit* text, std::size_t& length) noexcept {
  if (text == nullptr) {
    return length == 0;
  }
  if (length == KQ_C_ZERO_TERMINATED) {
    length = 0;
    while (text[length] != 0) {
      ++length;
    }
  }
  return true;
}

// The caller's text as the C++ interface takes it, or false for a refused one.
bool ViewOf(const char* text, std::size_t length, std::string_view& view) noexcept {
  if (!MeasureText(text, length)) {
    return false;
  }
  view = text == nullptr ? std::string_view() : std::string_view(text, length);
  return true;
}

// The units are only ever copied (memcpy) or compared as values, never written, so reading them
// as char16_t is reading the same 16 bits.
bool ViewOf(const std::uint16_t* text, std::size_t length, std::u16string_view& view) noexcept {
  if (!MeasureText(text, length)) {
    return false;
  }
  view = text == nullptr ? std::u16string_view()
                         : std::u16string_view(reinterpret_cast<const char16_t*>(text), length);
  return true;
}

// The common frame of the functions taking a text: `failed` for a null handle, `failed` with
// ERROR_INVALID_PARAMETER recorded for a refused text, else `call(view)` under Guarded.
template <typename Result, typename Unit, typename Call>
Result WithText(const kq_string_array* handle, const Unit* text, std::size_t length, Result failed,
                Call call) noexcept {
  if (handle == nullptr) {
    return failed;
  }
  std::basic_string_view<std::conditional_t<sizeof(Unit) == 1, char, char16_t>> view;
  if (!ViewOf(text, length, view)) {
    Record(handle, ERROR_INVALID_PARAMETER);
    return failed;
  }
  return Guarded(handle, failed, [&] { return call(view); });
}

// The texts of an add_many call as views, one after another from `units`; false (nothing
// made) for a refused argument: texts without lengths or units, or a length that is no length.
template <typename Unit>
bool SplitTexts(const Unit* units, const std::size_t* lengths, std::size_t count,
                std::vector<std::basic_string_view<Unit>>& views) {
  if (count != 0 && lengths == nullptr) {
    return false;
  }
  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (lengths[i] > 0xFFFFFFFFu || total + lengths[i] < total) {
      return false; // KQ_C_ZERO_TERMINATED among them
    }
    total += lengths[i];
  }
  if (total != 0 && units == nullptr) {
    return false;
  }
  views.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    views.emplace_back(units, lengths[i]);
    units += lengths[i];
  }
  return true;
}

// The common frame of the add_many functions: `SplitTexts`, then `add(views)` under Guarded.
template <typename Unit, typename Add>
int AddMany(kq_string_array* handle, const Unit* units, const std::size_t* lengths,
            std::size_t count, Add add) noexcept {
  if (handle == nullptr) {
    return 0;
  }
  return Guarded(handle, 0, [&] {
    std::vector<std::basic_string_view<Unit>> views;
    if (!SplitTexts(units, lengths, count, views)) {
      Record(handle, ERROR_INVALID_PARAMETER);
      return 0;
    }
    return add(views);
  });
}

// How many of `text`'s units fit before the terminator in `capacity` (non-zero) units without
// splitting a character: a UTF-8 sequence keeps its continuation bytes, a surrogate pair its
// low half.
std::size_t FittingPrefix(std::string_view text, std::size_t capacity) noexcept {
  std::size_t n = capacity - 1;
  if (n >= text.size()) {
    return text.size();
  }
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0U) == 0x80U) {
    --n; // text[n], the first byte left out, continues the sequence before it
  }
  return n;
}

std::size_t FittingPrefix(std::u16string_view text, std::size_t capacity) noexcept {
  const std::size_t n = capacity - 1;
  if (n >= text.size()) {
    return text.size();
  }
  const bool splitsPair = n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF &&
                          text[n] >= 0xDC00 && text[n] <= 0xDFFF;
  return splitsPair ? n - 1 : n;
}

// Copies what fits of `text` into `buffer` (zero-terminated; nothing for capacity 0) and
// returns the whole length.
template <typename Unit, typename Source>
std::size_t CopyOut(std::basic_string_view<Source> text, Unit* buffer, std::size_t capacity) {
  static_assert(sizeof(Unit) == sizeof(Source));
  if (capacity != 0) {
    const std::size_t n = FittingPrefix(text, capacity);
    std::memcpy(buffer, text.data(), n * sizeof(Unit));
    buffer[n] = 0;
  }
  return text.size();
}

// The common frame of the element reads: kNoLength for a null handle, kNoLength with
// ERROR_INVALID_PARAMETER for a null buffer with room, or with ERROR_INVALID_INDEX for a bad
// index (as GetAt records it); else `copy(element)` under Guarded.  The index is tested and the
// element taken under one holding of the array's lock, so a writer beside the read gives either
// the element or the bad index, never an empty element that was not there.  The element is a
// shared copy of the array's string: taking it allocates nothing, and `copy` reads it after the
// lock is left.
template <typename Unit, typename Copy>
std::size_t ReadElement(kq_string_array* handle, std::uint32_t index, const Unit* buffer,
                        std::size_t capacity, Copy copy) noexcept {
  if (handle == nullptr) {
    return kNoLength;
  }
  if (buffer == nullptr && capacity != 0) {
    Record(handle, ERROR_INVALID_PARAMETER);
    return kNoLength;
  }
  return Guarded(handle, kNoLength, [&] {
    bool found = false;
    const CKQString element = handle->array.ReadAt(index, found);
    if (!found) {
      Record(handle, ERROR_INVALID_INDEX);
      return kNoLength;
    }
    return copy(element);
  });
}

} // namespace

// The string is compiled into the library: it names the release of the library itself, not of
// the headers a client was built with.
const char* KQ_C_CALL kq_version() { return KQSTRINGARRAY_VERSION_STRING; }

kq_string_array* KQ_C_CALL kq_string_array_new(int sorted) {
  try {
    return new kq_string_array(sorted);
  } catch (...) {
    return nullptr;
  }
}

void KQ_C_CALL kq_string_array_free(kq_string_array* array) { delete array; }

int KQ_C_CALL kq_string_array_is_sorted(const kq_string_array* array) {
  return array == nullptr ? 0 : array->array.IsSorted();
}

std::uint32_t KQ_C_CALL kq_string_array_size(const kq_string_array* array) {
  return array == nullptr ? 0 : array->array.GetSize();
}

std::uint32_t KQ_C_CALL kq_string_array_error(const kq_string_array* array) {
  return array == nullptr ? ERROR_INVALID_PARAMETER : array->array.GetErrorState().GetError();
}

int KQ_C_CALL kq_string_array_add_utf8(kq_string_array* array, const char* text, std::size_t length,
                                       std::uint32_t* index) {
  return WithText(array, text, length, 0, [&](std::string_view utf8) {
    return array->array.Add(CKQString::FromUtf8(utf8), index);
  });
}

int KQ_C_CALL kq_string_array_add_utf16(kq_string_array* array, const std::uint16_t* text,
                                        std::size_t length, std::uint32_t* index) {
  return WithText(array, text, length, 0,
                  [&](std::u16string_view utf16) { return array->array.Add(utf16, index); });
}

int KQ_C_CALL kq_string_array_add_many_utf8(kq_string_array* array, const char* text,
                                            const std::size_t* lengths, std::size_t count) {
  return AddMany(array, text, lengths, count, [&](const std::vector<std::string_view>& texts) {
    // Decoded first (out of memory there adds nothing: the empty prefix), then added in one go.
    std::vector<CKQString> strings;
    strings.reserve(texts.size());
    for (const std::string_view utf8 : texts) {
      strings.push_back(CKQString::FromUtf8(utf8));
    }
    return array->array.AddRange(strings.begin(), strings.end());
  });
}

int KQ_C_CALL kq_string_array_add_many_utf16(kq_string_array* array, const std::uint16_t* units,
                                             const std::size_t* lengths, std::size_t count) {
  // The units are only ever copied, so reading them as char16_t reads the same 16 bits.
  return AddMany(array, reinterpret_cast<const char16_t*>(units), lengths, count,
                 [&](const std::vector<std::u16string_view>& texts) {
                   return array->array.AddRange(texts.begin(), texts.end());
                 });
}

int KQ_C_CALL kq_string_array_set_utf8(kq_string_array* array, std::uint32_t index,
                                       const char* text, std::size_t length) {
  return WithText(array, text, length, 0, [&](std::string_view utf8) {
    return array->array.SetAt(index, CKQString::FromUtf8(utf8));
  });
}

int KQ_C_CALL kq_string_array_set_utf16(kq_string_array* array, std::uint32_t index,
                                        const std::uint16_t* text, std::size_t length) {
  return WithText(array, text, length, 0,
                  [&](std::u16string_view utf16) { return array->array.SetAt(index, utf16); });
}

// The searches read through the const members: no match records nothing.
std::uint32_t KQ_C_CALL kq_string_array_find_utf8(const kq_string_array* array, const char* text,
                                                  std::size_t length, int no_case) {
  return WithText(array, text, length, KQ_NO_INDEX, [&](std::string_view utf8) {
    const CKQStringArray& strings = array->array;
    return strings.FindString(CKQString::FromUtf8(utf8), no_case);
  });
}

std::uint32_t KQ_C_CALL kq_string_array_find_utf16(const kq_string_array* array,
                                                   const std::uint16_t* text, std::size_t length,
                                                   int no_case) {
  return WithText(array, text, length, KQ_NO_INDEX, [&](std::u16string_view utf16) {
    const CKQStringArray& strings = array->array;
    return strings.FindString(utf16, no_case);
  });
}

std::size_t KQ_C_CALL kq_string_array_get_utf8(kq_string_array* array, std::uint32_t index,
                                               char* buffer, std::size_t capacity) {
  return ReadElement(array, index, buffer, capacity, [&](const CKQString& element) {
    const std::string utf8 = element.ToUtf8();
    return CopyOut(std::string_view(utf8), buffer, capacity);
  });
}

std::size_t KQ_C_CALL kq_string_array_get_utf16(kq_string_array* array, std::uint32_t index,
                                                std::uint16_t* buffer, std::size_t capacity) {
  return ReadElement(array, index, buffer, capacity, [&](const CKQString& element) {
    return CopyOut(element.View(), buffer, capacity);
  });
}

int KQ_C_CALL kq_string_array_remove_at(kq_string_array* array, std::uint32_t index) {
  if (array == nullptr) {
    return 0;
  }
  return Guarded(array, 0, [&] { return array->array.RemoveAt(index); });
}

int KQ_C_CALL kq_string_array_remove_all(kq_string_array* array) {
  if (array == nullptr) {
    return 0;
  }
  return Guarded(array, 0, [&] { return array->array.RemoveAll(); });
}

int KQ_C_CALL kq_string_array_append(kq_string_array* target, kq_string_array* source) {
  if (target == nullptr) {
    return 0;
  }
  if (source == nullptr) {
    Record(target, ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Guarded(target, 0, [&] { return target->array.Append(source->array); });
}

// CreateMemoryArray lets the allocator's exception through with the part already built in
// `made` (terminated, so FreeMemoryArray takes it back); here that part is released at once.
int KQ_C_CALL kq_string_array_create_memory_array(kq_string_array* array,
                                                  const std::uint16_t*** flat,
                                                  std::uint32_t* count) {
  if (array == nullptr) {
    return 0;
  }
  if (flat == nullptr) {
    Record(array, ERROR_INVALID_PARAMETER);
    return 0;
  }
  const unsigned short** made = nullptr;
  const int built = Guarded(array, 0, [&] {
    const int n = array->array.CreateMemoryArray(&made);
    if (count != nullptr) {
      *count = static_cast<std::uint32_t>(n);
    }
    return 1;
  });
  if (built == 0 && made != nullptr) {
    array->array.FreeMemoryArray(&made); // throws nothing; nulls `made`
    Record(array, ERROR_OUTOFMEMORY);
    made = nullptr;
  }
  *flat = made;
  return built;
}

int KQ_C_CALL kq_string_array_free_memory_array(kq_string_array* array,
                                                const std::uint16_t*** flat) {
  if (array == nullptr) {
    return 0;
  }
  if (flat == nullptr || *flat == nullptr) {
    Record(array, ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Guarded(array, 0, [&] { return array->array.FreeMemoryArray(flat); });
}
