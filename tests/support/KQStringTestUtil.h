// Helpers for the string-array tests: UTF-8 literals to CKQString, contents as UTF-8, codes.
#ifndef KQ_STRING_TEST_UTIL_H
#define KQ_STRING_TEST_UTIL_H

#include <cstdint>
#include <string>
#include <vector>

#include "KQStringArray.h"

namespace kqtest {

inline CKQString S(const char* utf8) { return CKQString::FromUtf8(utf8); }

inline std::vector<std::string> Texts(CKQStringArray& array) {
  std::vector<std::string> out;
  for (unsigned i = 0; i < array.GetSize(); ++i) {
    out.push_back(array[i].ToUtf8());
  }
  return out;
}

inline CKQStringArray& Fill(CKQStringArray& array, const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    array.Add(CKQString::FromUtf8(text), nullptr);
  }
  return array;
}

inline std::uint32_t Code(const CKQObject& object) { return object.GetErrorState().GetError(); }

} // namespace kqtest

#endif // KQ_STRING_TEST_UTIL_H
