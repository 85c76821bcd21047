// Out-of-line members of the error component (they anchor its virtual table in this library).
#include "KQError.h"

CKQError::~CKQError() = default;

const CKQError& CKQError::operator=(const CKQError& other) {
  m_nCode = other.m_nCode;
  return *this;
}

std::int32_t CKQError::SetError(std::uint32_t code) {
  m_nCode = code;
  return 1;
}

std::uint32_t CKQError::GetError() const { return m_nCode; }
