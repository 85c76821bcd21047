// The generated table against ICU's u_tolower for every code point.
#include "KQCaseMap.h"
#include "KQCaseTable.h"

#include <gtest/gtest.h>

#include <unicode/uchar.h>
#include <unicode/uversion.h>

#include <cstdint>
#include <string>

namespace {

TEST(KQCaseMapIcu, EveryCodePointMatchesIcu) {
  UVersionInfo version;
  u_getUnicodeVersion(version);
  char text[U_MAX_VERSION_STRING_LENGTH];
  u_versionToString(version, text);
  if (std::string(text) != kq::casemap::table::kUnicodeVersion) {
    GTEST_SKIP() << "table is Unicode " << kq::casemap::table::kUnicodeVersion
                 << ", installed ICU has Unicode " << text << ": regenerate the table";
  }
  std::size_t mismatches = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const auto expected = static_cast<std::uint32_t>(u_tolower(static_cast<UChar32>(cp)));
    const auto actual = static_cast<std::uint32_t>(kq::casemap::LowerCodePoint(cp));
    if (actual != expected && ++mismatches <= 10) {
      ADD_FAILURE() << std::hex << "U+" << static_cast<std::uint32_t>(cp) << ": " << actual
                    << ", ICU " << expected;
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

} // namespace
