// Out-of-line members of the error component (they anchor its virtual table in this library).
// The code goes through the relaxed atomic steps that the arrays use for their counts: it
// carries no ordering, only its own value.
#include "KQError.h"

#include "KQRelaxedAtomic.h"

using kq::relaxed::Load;
using kq::relaxed::Store;

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
