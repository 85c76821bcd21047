// CKQUintArray: the pointer array reading its slots as unsigned 32-bit integers.
//
// Each value travels through a pointer-sized slot unchanged (zero-extended on 64-bit targets), so
// every member is the pointer array's member of the same name.
#include <cstdint>

#include "KQPtrArray.h"

namespace {
void* ToSlot(unsigned value) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the slot holds the value, never dereferenced
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(value));
}
unsigned FromSlot(void* slot) {
  return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(slot));
}
} // namespace

CKQUintArray::CKQUintArray() = default;

CKQUintArray::CKQUintArray(CKQUintArray& source) = default;

CKQUintArray::CKQUintArray(const CKQUintArray& source) = default;

CKQUintArray::CKQUintArray(CKQUintArray&& source) noexcept = default;

CKQUintArray::~CKQUintArray() = default;

CKQUintArray& CKQUintArray::operator=(const CKQUintArray& source) = default;

CKQUintArray& CKQUintArray::operator=(CKQUintArray&& source) noexcept = default;

int CKQUintArray::Add(unsigned value, unsigned* index) {
  return CKQPtrArray::Add(ToSlot(value), index);
}

unsigned CKQUintArray::GetAt(unsigned index) { return FromSlot(CKQPtrArray::GetAt(index)); }

unsigned CKQUintArray::operator[](unsigned index) const {
  return FromSlot(CKQPtrArray::operator[](index));
}

int CKQUintArray::SetAt(unsigned index, unsigned value) {
  return CKQPtrArray::SetAt(index, ToSlot(value));
}

unsigned CKQUintArray::Find(unsigned value) { return CKQPtrArray::Find(ToSlot(value)); }

int CKQUintArray::Dump() { return 0; }

unsigned CKQUintArray::GetAt(unsigned index) const { return FromSlot(CKQPtrArray::GetAt(index)); }

unsigned CKQUintArray::Find(unsigned value) const { return CKQPtrArray::Find(ToSlot(value)); }

CKQUintArray::const_iterator CKQUintArray::begin() const noexcept { return {m_ppStorage, 0}; }

CKQUintArray::const_iterator CKQUintArray::end() const noexcept { return {m_ppStorage, GetSize()}; }
