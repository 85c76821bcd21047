// Start, growth and end of the storage frame.
#include "KQStorageFrame.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#include "KQPlatform.h"
#include "KQResultCodes.h"

namespace kq::frame {

void Start(void***& cell, unsigned& count, unsigned& capacity, KQLockStorage& lock) {
  platform::InitLock(lock);
  try {
    cell = new void**(nullptr);
  } catch (...) {
    platform::DeleteLock(lock);
    throw;
  }
  count = 0;
  capacity = 0;
}

void*** SharedEmptyCell() noexcept {
  static void** s_noBuffer = nullptr;
  return &s_noBuffer;
}

void End(void***& cell, unsigned& count, unsigned& capacity, KQLockStorage& lock) noexcept {
  if (cell != nullptr && cell != SharedEmptyCell()) {
    std::free(static_cast<void*>(*cell)); // NOLINT(cppcoreguidelines-no-malloc)
    delete cell;
    cell = nullptr;
  }
  count = 0;
  capacity = 0;
  platform::DeleteLock(lock);
}

int Grow(void***& cell, unsigned& capacity, unsigned slots, CKQError& error) noexcept {
  if (capacity >= slots) {
    return 1;
  }
  if (cell == SharedEmptyCell()) {
    try {
      cell = new void**(nullptr); // the same allocation operator as Start's cell
    } catch (const std::bad_alloc&) {
      error.SetError(ERROR_OUTOFMEMORY);
      return 0;
    }
  }
  // The byte size must fit in size_t (on 32-bit targets: in 32 bits); otherwise fail like a
  // refused resize rather than asking for a wrapped-around size.
  constexpr std::size_t kMaxSlotsInBytes = std::numeric_limits<std::size_t>::max() / sizeof(void*);
  const std::size_t wanted = slots; // compared as size_t: on 64-bit targets it always fits
  if (wanted > kMaxSlotsInBytes) {
    error.SetError(ERROR_OUTOFMEMORY);
    return 0;
  }
  // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): slot buffers are C-runtime blocks by design
  void* grown = std::realloc(static_cast<void*>(*cell), wanted * sizeof(void*));
  if (grown == nullptr) {
    error.SetError(ERROR_OUTOFMEMORY);
    return 0;
  }
  *cell = static_cast<void**>(grown);
  capacity = slots;
  return 1;
}

int RoomForOne(void***& cell, unsigned count, unsigned& capacity, CKQError& error) noexcept {
  if (count < capacity) {
    return 1;
  }
  const unsigned wanted = GrowthTarget(count, capacity);
  if (wanted == 0) {
    error.SetError(ERROR_OUTOFMEMORY);
    return 0;
  }
  return Grow(cell, capacity, wanted, error);
}

} // namespace kq::frame
