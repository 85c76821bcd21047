// Exceptions thrown inside one DLL reach a handler in another module, and the libraries stay
// usable afterwards.  With a compiler runtime linked into each module separately, such an
// exception would end the process instead.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include "KQResultCodes.h"
#include "KQString.h"
#include "KQStringArray.h"

namespace {

enum class Thrown { LengthError, BadAlloc };

struct OversizedText {
  const char* name;
  std::uint32_t length;
  Thrown expected;
};

// Lengths the constructor rejects before it reads a unit of the (one-unit) source text: one past
// what a 32-bit size can describe, and one whose block no 32-bit address space can hold.
const OversizedText kOversized[] = {
    {"LengthBeyondSizeT", 0xFFFFFFFFu, Thrown::LengthError},
    {"BlockBeyondAddressSpace", 0x7FFFFF00u, Thrown::BadAlloc},
};

void PrintTo(const OversizedText& c, std::ostream* out) {
  *out << c.name << " (" << c.length << ")";
}

class DllBoundary : public testing::TestWithParam<OversizedText> {};

} // namespace

TEST_P(DllBoundary, ExceptionFromTheStringDllReachesTheCaller) {
  if (sizeof(void*) > 4) {
    GTEST_SKIP() << "32-bit targets only: with a 64-bit size_t these lengths are representable "
                    "and the constructor would try to copy gigabytes from a one-unit text";
  }
  const OversizedText& c = GetParam();
  bool caught = false;
  try {
    CKQString text(u"x", c.length);
    ADD_FAILURE() << "constructed a string of " << text.GetLength() << " units";
  } catch (const std::length_error&) {
    caught = c.expected == Thrown::LengthError;
  } catch (const std::bad_alloc&) {
    caught = c.expected == Thrown::BadAlloc;
  }
  EXPECT_TRUE(caught) << "the wrong exception arrived";

  // Both libraries work on after the exception.
  CKQStringArray array(1);
  unsigned index = 99;
  EXPECT_EQ(array.Add(CKQString(u"after"), &index), 1);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(array.FindString(CKQString(u"AFTER"), 1), 0u);
  EXPECT_EQ(array.GetErrorState().GetError(), ERROR_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Oversized, DllBoundary, testing::ValuesIn(kOversized),
                         [](const testing::TestParamInfo<OversizedText>& suffix) {
                           return std::string(suffix.param.name);
                         });
