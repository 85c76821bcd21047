// CKQString: construction, implicit sharing, MakeLower, comparison, UTF-8 and threads.
#include "KQString.h"
#include "KQTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

using namespace kqtest;

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(KQStringConstruction, CopiesTheTextAndTerminatesIt) {
  struct Case {
    const char* name;
    CKQString string;
    std::u16string expected;
  };
  const char16_t withZero[] = {u'a', 0, u'b', u'c'};
  const Case cases[] = {
      {"default", CKQString(), u""},
      {"null unsigned short", CKQString(static_cast<const unsigned short*>(nullptr)), u""},
      {"null char16_t", CKQString(static_cast<const char16_t*>(nullptr)), u""},
      {"null with a length", CKQString(nullptr, 5), u""},
      {"empty text", CKQString(u""), u""},
      {"unsigned short", CKQString(U(u"abc")), u"abc"},
      {"char16_t", CKQString(u"h\u00E9llo \U0001F600"), u"h\u00E9llo \U0001F600"},
      {"counted, not terminated", CKQString(u"abcdef", 3), u"abc"},
      {"counted, embedded zero kept", CKQString(withZero, 4), std::u16string(withZero, 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.string.GetLength(), c.expected.size());
    EXPECT_EQ(Units(c.string), c.expected);
    EXPECT_EQ(c.string.Data()[c.string.GetLength()], 0);
    EXPECT_EQ(static_cast<const unsigned short*>(c.string),
              reinterpret_cast<const unsigned short*>(c.string.Data()));
  }
}

TEST(KQStringConstruction, EmptyStringsShareOneStaticBuffer) {
  const CKQString a;
  const CKQString b(u"");
  const CKQString c(static_cast<const char16_t*>(nullptr));
  const CKQString d = CKQString::FromUtf8("");
  EXPECT_EQ(a.Data(), b.Data());
  EXPECT_EQ(a.Data(), c.Data());
  EXPECT_EQ(a.Data(), d.Data());
}

TEST(KQStringSharing, CopiesShareTheBufferUntilOneIsLowered) {
  CKQString original(u"Hello World");
  CKQString copy(original);
  CKQString assigned;
  assigned = original;
  EXPECT_EQ(copy.Data(), original.Data());
  EXPECT_EQ(assigned.Data(), original.Data());

  copy.MakeLower();
  EXPECT_NE(copy.Data(), original.Data());
  EXPECT_EQ(Units(copy), u"hello world");
  EXPECT_EQ(Units(original), u"Hello World");
  EXPECT_EQ(Units(assigned), u"Hello World");
  EXPECT_EQ(assigned.Data(), original.Data());
}

TEST(KQStringSharing, UnsharedOrUnchangedTextIsNotCopied) {
  CKQString sole(u"ABC");
  const char16_t* before = sole.Data();
  sole.MakeLower(); // the only reference: lowered in place
  EXPECT_EQ(sole.Data(), before);
  EXPECT_EQ(Units(sole), u"abc");

  CKQString shared(u"already lower \U00010428");
  CKQString other(shared);
  shared.MakeLower(); // nothing to lower: stays shared
  EXPECT_EQ(shared.Data(), other.Data());

  { CKQString transient(sole); } // the copy is gone, so `sole` is unshared again
  sole = CKQString(u"XYZ");
  before = sole.Data();
  sole.MakeLower();
  EXPECT_EQ(sole.Data(), before);
}

TEST(KQStringSharing, MoveLeavesTheSourceEmpty) {
  CKQString source(u"moved text");
  const char16_t* data = source.Data();

  CKQString constructed(std::move(source));
  EXPECT_EQ(constructed.Data(), data);
  EXPECT_EQ(source.GetLength(), 0u); // NOLINT(bugprone-use-after-move): specified state
  EXPECT_EQ(source.Data()[0], 0);

  CKQString assigned(u"old");
  assigned = std::move(constructed);
  EXPECT_EQ(assigned.Data(), data);
  EXPECT_EQ(constructed.GetLength(), 0u); // NOLINT(bugprone-use-after-move)
}

TEST(KQStringSharing, SelfAssignmentKeepsTheText) {
  CKQString s(u"self");
  CKQString& alias = s;
  s = alias;
  EXPECT_EQ(Units(s), u"self");
  s = std::move(alias);
  EXPECT_EQ(Units(s), u"self");
}

TEST(KQStringLower, LowersEveryPlaneWithoutChangingTheLength) {
  struct Case {
    std::u16string input;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"ASCII Only 123", u"ascii only 123"},
      {u"\u00C0\u00C9\u00DE\u0178", u"\u00E0\u00E9\u00FE\u00FF"},
      {u"\u0391\u03A3\u03A9 \u0410\u042F", u"\u03B1\u03C3\u03C9 \u0430\u044F"},
      {u"\u0130\u1E9E\u212A\u2126", u"i\u00DFk\u03C9"}, // simple 1:1 forms
      {u"\uA7AE\uFF21", u"\u026A\uFF41"},               // the widest BMP jump; fullwidth
      {u"\U00010400\U000104B0\U0001E900", u"\U00010428\U000104D8\U0001E922"},
      {u"a\xD801"
       u"B",
       u"a\xD801"
       u"b"}, // unpaired high surrogate
      {u"\xDC00"
       u"C\xD801",
       u"\xDC00"
       u"c\xD801"}, // unpaired low; high at the end
  };
  for (const Case& c : cases) {
    CKQString s(c.input.data(), static_cast<std::uint32_t>(c.input.size()));
    s.MakeLower();
    EXPECT_EQ(s.GetLength(), c.input.size());
    EXPECT_EQ(Units(s), c.expected) << "input " << CKQString(c.input.c_str()).ToUtf8();
  }
}

TEST(KQStringCompare, SignTable) {
  struct Case {
    const char16_t* left;
    const char16_t* right; // may be null
    int exact;
    int noCase;
  };
  const Case cases[] = {
      {u"", nullptr, 0, 0},
      {u"a", nullptr, 1, 1},
      {u"", u"a", -1, -1},
      {u"abc", u"abc", 0, 0},
      {u"abc", u"abd", -1, -1},
      {u"abc", u"ab", 1, 1},
      {u"ab", u"abc", -1, -1},
      {u"ABC", u"abc", -1, 0},
      {u"abc", u"ABD", 1, -1},
      {u"Zebra", u"apple", -1, 1},
      // '[' lies between 'Z' and 'a': after capitals exactly, before every letter without case.
      {u"[", u"a", -1, -1},
      {u"[", u"A", 1, -1},
      {u"\u00C9t\u00E9", u"\u00E9T\u00C9", -1, 0},
      {u"Stra\u00DFe", u"STRASSE", 1, 1}, // no full case folding: U+00DF sorts after 's'
      {u"\U00010400", u"\U00010428", -1, 0},
      {u"\u212A", u"k", 1, 0},
      {u"\u03A3", u"\u03C2", -1, 1}, // capital sigma lowers to U+03C3, not final sigma
      // Code-point order: U+E000 and U+FFFD sort below supplementary characters without case,
      // while unit order puts them above the surrogates.
      {u"\uE000", u"\U00010000", 1, -1},
      {u"x\uFFFD", u"x\U0001E900", 1, -1},
      {u"\u00FF", u"\U00010000", -1, -1},
      // An unpaired surrogate is a code point of its own value: below U+E000..U+FFFF, where only
      // surrogate pairs rank above them.
      {u"\xD801\xD801", u"\uFF41", -1, -1},
      {u"\xDC00", u"\uE000", -1, -1},
      {u"\xD801\uE000", u"\U00010428", 1, -1},
  };
  for (const Case& c : cases) {
    const CKQString left(c.left);
    SCOPED_TRACE(left.ToUtf8() + " vs " + CKQString(c.right).ToUtf8());
    EXPECT_EQ(Sign(left.Compare(U(c.right))), c.exact);
    EXPECT_EQ(Sign(left.CompareNoCase(U(c.right))), c.noCase);
    if (c.right != nullptr) {
      const CKQString right(c.right);
      EXPECT_EQ(Sign(right.Compare(U(c.left))), -c.exact);
      EXPECT_EQ(Sign(right.CompareNoCase(U(c.left))), -c.noCase);
    }
  }
}

TEST(KQStringCompare, EmbeddedZeroMakesTheStringLongerThanItsView) {
  const char16_t units[] = {u'a', 0, u'b'};
  const CKQString s(units, 3);
  EXPECT_GT(s.Compare(U(u"a")), 0);
  EXPECT_GT(s.CompareNoCase(U(u"A")), 0);
  EXPECT_GT(s.CompareNoCase(U(u"A\0b")), 0); // the argument ends at its zero
}

TEST(KQStringUtf8, WellFormedTextRoundTrips) {
  const std::u16string cases[] = {
      u"",
      u"plain ASCII",
      u"\u00E9\u00DF\u0100\u07FF",
      u"\u0800\uD7FF\uE000\uFFFD\uFFFF",
      u"\U00010000\U0001F600\U0010FFFF",
  };
  for (const std::u16string& units : cases) {
    const CKQString s(units.c_str());
    const std::string utf8 = s.ToUtf8();
    EXPECT_EQ(Units(CKQString::FromUtf8(utf8)), units);
  }
  EXPECT_EQ(CKQString(u"\u00E9\U0001F600").ToUtf8(), "\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(KQStringUtf8, EveryScalarValueRoundTrips) {
  std::u16string all;
  for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      continue;
    }
    if (cp < 0x10000) {
      all.push_back(static_cast<char16_t>(cp));
    } else {
      all.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
  }
  const CKQString s(all.c_str());
  const CKQString back = CKQString::FromUtf8(s.ToUtf8());
  EXPECT_EQ(back.GetLength(), all.size());
  EXPECT_EQ(back.Compare(s), 0);
}

TEST(KQStringUtf8, IllFormedInputBecomesOneReplacementPerMaximalSubpart) {
  struct Case {
    const char* name;
    std::string_view utf8;
    std::u16string expected;
  };
  using namespace std::string_view_literals;
  const Case cases[] = {
      {"stray continuation",
       "a\x80"
       "b"sv,
       u"a\uFFFD"
       u"b"},
      {"two stray continuations", "\x80\xBF"sv, u"\uFFFD\uFFFD"},
      {"overlong two-byte lead", "\xC0\xAF"sv, u"\uFFFD\uFFFD"},
      {"C1 lead", "\xC1\xBF"sv, u"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\xAF"sv, u"\uFFFD\uFFFD\uFFFD"},
      {"overlong four-byte", "\xF0\x8F\xBF\xBF"sv, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80"sv, u"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80"sv, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"F5 lead", "\xF5\x80"sv, u"\uFFFD\uFFFD"},
      {"FF and FE", "\xFF\xFE"sv, u"\uFFFD\uFFFD"},
      {"truncated two-byte at end", "x\xC3"sv, u"x\uFFFD"},
      {"truncated three-byte at end", "\xE2\x82"sv, u"\uFFFD"},
      {"truncated four-byte at end", "\xF0\x9F\x98"sv, u"\uFFFD"},
      {"truncated, then ASCII",
       "\xF0\x9F"
       "A"sv,
       u"\uFFFD"
       u"A"},
      {"truncated, then a new lead", "\xE2\x82\xE2\x82\xAC"sv, u"\uFFFD\u20AC"},
      // The example of the Unicode standard's recommended practice.
      {"standard example", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"sv,
       u"a\uFFFD\uFFFD\uFFFD"
       u"b\uFFFD"
       u"c\uFFFD\uFFFD"
       u"d"},
      {"embedded NUL kept", "a\0b"sv, std::u16string(u"a\0b", 3)},
      {"largest scalar", "\xF4\x8F\xBF\xBF"sv, u"\U0010FFFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CKQString s = CKQString::FromUtf8(c.utf8);
    EXPECT_EQ(Units(s), c.expected);
    EXPECT_EQ(s.Data()[s.GetLength()], 0);
  }
}

TEST(KQStringUtf8, UnpairedSurrogatesBecomeReplacements) {
  struct Case {
    std::u16string units;
    std::string expected;
  };
  const Case cases[] = {
      {u"a\xD800"
       u"b",
       "a\xEF\xBF\xBD"
       "b"},
      {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {u"\xD83D", "\xEF\xBF\xBD"},
      {u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    const CKQString s(c.units.data(), static_cast<std::uint32_t>(c.units.size()));
    EXPECT_EQ(s.ToUtf8(), c.expected);
  }
}

// Many threads copy, compare and destroy copies of one buffer, and detach copies of their own;
// run under a sanitizer this also checks the reference counting.
TEST(KQStringThreads, ConcurrentCopiesOfOneString) {
  const CKQString shared(u"Shared Text \U00010400");
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&shared, &failures, t] {
      for (int round = 0; round < kRounds; ++round) {
        CKQString copy(shared);
        CKQString second;
        second = copy;
        if (second.Data() != shared.Data() || second.Compare(shared) != 0) {
          ++failures[t];
        }
        if (round % 64 == 0) {
          second.MakeLower();
          if (second.Compare(U(u"shared text \U00010428")) != 0) {
            ++failures[t];
          }
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], 0) << "thread " << t;
  }
  EXPECT_EQ(Units(shared), u"Shared Text \U00010400");
}

} // namespace
