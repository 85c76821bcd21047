// CKQStringArray flat arrays: a NULL-terminated block of pointers to zero-terminated copies of
// the elements, handed to the caller and taken back.
#include <cstring>
#include <limits>
#include <new>

#include "KQPlatform.h"
#include "KQResultCodes.h"
#include "KQStringArray.h"

namespace {

// A block of `count` objects of type T from the allocation operator.  When the byte size does
// not fit in size_t, the largest size is requested instead, so the allocator throws rather than
// hand out a block smaller than the caller will fill.
template <typename T> T* AllocateBlock(std::size_t count) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  const std::size_t bytes = count > kMax / sizeof(T) ? kMax : count * sizeof(T);
  return static_cast<T*>(::operator new(bytes));
}

} // namespace

// Every entry of the pointer block is null from the start, so a block whose building failed
// midway is still terminated and can be handed to FreeMemoryArray.  The copy never writes past
// the entries allocated for the count read at the start, even if another thread adds meanwhile.
int CKQStringArray::CreateMemoryArray(const unsigned short*** array) {
  const unsigned count = GetSize();
  const std::size_t entries = std::size_t{count} + 1;
  const auto** block = AllocateBlock<const unsigned short*>(
      entries < count ? std::numeric_limits<std::size_t>::max() : entries);
  std::memset(static_cast<void*>(block), 0, entries * sizeof(*block));
  *array = block;

  unsigned copied = 0;
  for (; copied < count && copied < GetSize(); ++copied) {
    const CKQString text = GetAt(copied);
    const std::size_t units = std::size_t{text.GetLength()} + 1; // with the terminating zero
    auto* copy = AllocateBlock<unsigned short>(units);
    std::memcpy(copy, static_cast<const unsigned short*>(text), units * sizeof(unsigned short));
    block[copied] = copy;
  }
  return static_cast<int>(copied);
}

int CKQStringArray::FreeMemoryArray(const unsigned short*** array) {
  if (array == nullptr || *array == nullptr) {
    m_error.SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const unsigned short** block = *array;
  for (std::size_t i = 0; block[i] != nullptr; ++i) {
    // The probe tells writable from read-only memory, not whose block an entry is: read-only
    // text that a caller put in an entry is skipped, but any writable entry is released as a
    // block of CreateMemoryArray, so callers hand back only what CreateMemoryArray gave them.
    if (kq::platform::IsWritable2(block[i])) {
      // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): the flat array hands out const text
      ::operator delete(const_cast<unsigned short*>(block[i]));
    }
  }
  ::operator delete(static_cast<void*>(block));
  *array = nullptr;
  return 1;
}
