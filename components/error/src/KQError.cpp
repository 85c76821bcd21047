// Out-of-line members of the error component (they anchor its virtual table in this library).
#include "KQError.h"

#include <atomic>

namespace {

// Relaxed atomic steps: the code carries no ordering, only its own value.
std::uint32_t Load(const std::uint32_t& code) noexcept {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): atomic_ref needs a non-const object
  return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(code))
      .load(std::memory_order_relaxed);
}

void Store(std::uint32_t& code, std::uint32_t value) noexcept {
  std::atomic_ref<std::uint32_t>(code).store(value, std::memory_order_relaxed);
}

} // namespace

CKQError::CKQError(const CKQError& other) : m_nCode(Load(other.m_nCode)) {}

CKQError::~CKQError() = default;

// Self-assignment stores the code it loaded: harmless.
const CKQError& CKQError::operator=(const CKQError& other) { // NOLINT(cert-oop54-cpp)
  Store(m_nCode, Load(other.m_nCode));
  return *this;
}

std::int32_t CKQError::SetError(std::uint32_t code) {
  Store(m_nCode, code);
  return 1;
}

std::uint32_t CKQError::GetError() const { return Load(m_nCode); }
