// The shared test helpers of KQTestSupport.h.
#include "KQTestSupport.h"

namespace kqtest {

std::uint32_t Code(const CKQObject& object) { return object.GetErrorState().GetError(); }

CKQString S(const char* utf8) { return CKQString::FromUtf8(utf8); }

CKQString U16(std::u16string_view units) {
  return {units.data(), static_cast<std::uint32_t>(units.size())};
}

std::u16string Units(const CKQString& text) { return {text.Data(), text.GetLength()}; }

std::u16string Units(const unsigned short* text) {
  std::u16string units;
  for (; *text != 0; ++text) {
    units.push_back(static_cast<char16_t>(*text));
  }
  return units;
}

const unsigned short* U(const char16_t* text) {
  return reinterpret_cast<const unsigned short*>(text);
}

Strings Texts(CKQStringArray& array) {
  Strings out;
  for (unsigned i = 0; i < array.GetSize(); ++i) {
    out.push_back(array[i].ToUtf8());
  }
  return out;
}

CKQStringArray& Fill(CKQStringArray& array, const Strings& texts) {
  for (const std::string& text : texts) {
    array.Add(CKQString::FromUtf8(text), nullptr);
  }
  return array;
}

void* P(std::uintptr_t value) { return reinterpret_cast<void*>(value); }

std::vector<void*> Contents(CKQPtrArray& array) {
  std::vector<void*> out;
  for (unsigned i = 0; i < array.GetSize(); ++i) {
    out.push_back(array[i]);
  }
  return out;
}

} // namespace kqtest
