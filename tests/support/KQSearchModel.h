// The documented result of CKQStringArray::FindString, computed by a scan from the front over a
// plain copy of the elements, and the check that an array's search agrees with it.  For
// GoogleTest binaries (the check is an assertion result).
#ifndef KQ_SEARCH_MODEL_H
#define KQ_SEARCH_MODEL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "KQResultCodes.h"
#include "KQStringArray.h"
#include "KQTestSupport.h"

namespace kqtest {

// The first element equal to `text` unit for unit (noCase 0), or without regard to case
// (CompareNoCase() == 0, equal lowered forms); KQ_NO_INDEX when there is none.
inline unsigned LinearFind(const std::vector<CKQString>& items, const CKQString& text, int noCase) {
  for (unsigned i = 0; i < items.size(); ++i) {
    if (noCase != 0 ? items[i].CompareNoCase(text) == 0 : items[i].Compare(text) == 0) {
      return i;
    }
  }
  return KQ_NO_INDEX;
}

// A text's units in hexadecimal, for failure messages.
inline std::string Describe(const CKQString& text) {
  std::string out;
  for (std::uint32_t i = 0; i < text.GetLength(); ++i) {
    char unit[8];
    std::snprintf(unit, sizeof unit, "%s%04X", i == 0 ? "" : " ", unsigned{text.Data()[i]});
    out += unit;
  }
  return "[" + out + "]";
}

// The elements, in array order (read through operator[], which takes no lock and no key).
inline std::vector<CKQString> Contents(CKQStringArray& array) {
  std::vector<CKQString> items;
  for (unsigned i = 0; i < array.GetSize(); ++i) {
    items.push_back(array[i]);
  }
  return items;
}

// FindString of `text` in both modes gives what LinearFind gives on `items` (the array's
// contents); a miss records ERROR_NOT_FOUND, a hit leaves the recorded code alone.
inline testing::AssertionResult FindsAsLinearScan(CKQStringArray& array,
                                                  const std::vector<CKQString>& items,
                                                  const CKQString& text) {
  for (int noCase : {0, 1}) {
    const unsigned expected = LinearFind(items, text, noCase);
    array.GetErrorState().SetError(ERROR_INVALID_INDEX);
    const unsigned found = array.FindString(text, noCase);
    const std::uint32_t code = Code(array);
    const std::uint32_t expectedCode =
        expected == KQ_NO_INDEX ? ERROR_NOT_FOUND : ERROR_INVALID_INDEX;
    if (found != expected || code != expectedCode) {
      return testing::AssertionFailure()
             << "FindString(" << Describe(text) << ", " << noCase << ") gave " << found
             << " recording " << code << "; a scan from the front gives " << expected
             << " recording " << expectedCode << " (sorted " << array.IsSorted() << ", "
             << items.size() << " elements)";
    }
  }
  return testing::AssertionSuccess();
}

// Every element is found where it is, exactly and without regard to case, and a text that is
// not there is not.
inline void ExpectEveryElementFound(CKQStringArray& array, const CKQString& absent) {
  const std::vector<CKQString> items = Contents(array);
  for (const CKQString& item : items) {
    ASSERT_TRUE(FindsAsLinearScan(array, items, item));
    CKQString lowered = item;
    lowered.MakeLower();
    ASSERT_TRUE(FindsAsLinearScan(array, items, lowered));
  }
  ASSERT_TRUE(FindsAsLinearScan(array, items, absent));
}

} // namespace kqtest

#endif // KQ_SEARCH_MODEL_H
