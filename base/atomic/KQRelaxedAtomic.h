// Relaxed atomic load and store of a 32-bit field that other threads read without a lock: the
// arrays' counts and the error state's code.  A reader sees an old or a new value, never a torn
// one; the steps order nothing else (where order matters, a lock provides it).  Relaxed costs a
// plain move on the supported targets.  Internal to the libraries (header-only target
// KQRelaxedAtomic).
#ifndef KQ_RELAXED_ATOMIC_H
#define KQ_RELAXED_ATOMIC_H

#include <atomic>
#include <cstdint>

namespace kq::relaxed {

inline std::uint32_t Load(const std::uint32_t& field) noexcept {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): atomic_ref needs a non-const object
  return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(field))
      .load(std::memory_order_relaxed);
}

inline void Store(std::uint32_t& field, std::uint32_t value) noexcept {
  std::atomic_ref<std::uint32_t>(field).store(value, std::memory_order_relaxed);
}

} // namespace kq::relaxed

#endif // KQ_RELAXED_ATOMIC_H
