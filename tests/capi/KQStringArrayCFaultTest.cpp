// The C interface when memory runs out: every function that allocates runs with its first
// allocation failing, then its second, and so on until it completes.  After each run it has
// either succeeded, or returned its documented failure value with KQ_C_ERROR_OUTOFMEMORY
// recorded and the array as before (append: a prefix added), no exception has left it, and
// every block allocated since the run began has been released.  The functions that need no
// memory are shown not to allocate at all.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "KQFaultInjection.h"
#include "KQStringArrayC.h"

namespace {

using Texts = std::vector<std::string>;

// A handle filled with `texts`, released when it goes.
class Handle {
public:
  explicit Handle(int sorted, const Texts& texts = {}) : m_array(kq_string_array_new(sorted)) {
    for (const std::string& text : texts) {
      kq_string_array_add_utf8(m_array, text.data(), text.size(), nullptr);
    }
  }
  ~Handle() { kq_string_array_free(m_array); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  kq_string_array* get() const { return m_array; }
  std::uint32_t Code() const { return kq_string_array_error(m_array); }
  Texts Contents() const {
    Texts texts;
    for (std::uint32_t i = 0; i < kq_string_array_size(m_array); ++i) {
      std::string text(kq_string_array_get_utf8(m_array, i, nullptr, 0), '\0');
      kq_string_array_get_utf8(m_array, i, text.data(), text.size() + 1);
      texts.push_back(text);
    }
    return texts;
  }

private:
  kq_string_array* m_array;
};

// Long enough that no string keeps it in place: every conversion and copy allocates.
const std::string kLong(40, 'q');
const Texts kBase = {"delta", "Alpha", "charlie", kLong};

// Runs `attempt` with the n-th allocation failing, for n = 1, 2, ... until a run does not reach
// its failure; returns the number of runs that did.  `attempt` builds its handles before it arms
// the failure (through Armed) and checks the outcome; the live-block count must then be back
// where it was.
long Sweep(const std::function<void(long)>& attempt) {
  for (long n = 1; n <= 1000; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
    const long live = kqtest::LiveAllocations();
    attempt(n);
    EXPECT_EQ(kqtest::LiveAllocations(), live) << "blocks leaked or released twice";
    if (!kqtest::FaultHappened() || testing::Test::HasFailure()) {
      return n - 1;
    }
  }
  ADD_FAILURE() << "still failing after 1000 allocations";
  return 0;
}

template <typename Call> auto Armed(long n, Call call) {
  const kqtest::ScopedFault fault(n);
  return call();
}

class CInterfaceOutOfMemory : public testing::Test {
protected:
  void SetUp() override {
    if (!kqtest::FaultInjectionSupported()) {
      GTEST_SKIP() << "allocation failures cannot be injected on this target";
    }
  }
};

TEST_F(CInterfaceOutOfMemory, NewGivesNullOrAnArray) {
  const long points = Sweep([](long n) {
    kq_string_array* array = Armed(n, [] { return kq_string_array_new(1); });
    if (array != nullptr) {
      EXPECT_EQ(kq_string_array_size(array), 0U);
      EXPECT_EQ(kq_string_array_add_utf8(array, "x", 1, nullptr), 1);
    }
    kq_string_array_free(array);
  });
  EXPECT_GE(points, 1);
}

// Add and set, in both encodings and both orders: all or nothing.
TEST_F(CInterfaceOutOfMemory, AddAndSetChangeAllOrNothing) {
  const std::u16string wide(40, u'w');
  const auto* units = reinterpret_cast<const std::uint16_t*>(wide.data());
  const std::string narrow(40, 'n');
  struct Case {
    const char* name;
    int sorted;
    std::function<int(kq_string_array*)> call;
    Texts after; // the contents after success
  };
  const std::vector<Case> cases = {
      {"add_utf8",
       1,
       [&](kq_string_array* a) { return kq_string_array_add_utf8(a, narrow.data(), 40, nullptr); },
       {"Alpha", "charlie", "delta", narrow, kLong}},
      {"add_utf16",
       0,
       [&](kq_string_array* a) { return kq_string_array_add_utf16(a, units, 40, nullptr); },
       {"delta", "Alpha", "charlie", kLong, std::string(40, 'w')}},
      {"set_utf8",
       0,
       [&](kq_string_array* a) { return kq_string_array_set_utf8(a, 1, narrow.data(), 40); },
       {"delta", narrow, "charlie", kLong}},
      {"set_utf16",
       0,
       [&](kq_string_array* a) { return kq_string_array_set_utf16(a, 1, units, 40); },
       {"delta", std::string(40, 'w'), "charlie", kLong}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const long points = Sweep([&c](long n) {
      const Handle array(c.sorted, kBase);
      const Texts before = array.Contents();
      if (Armed(n, [&] { return c.call(array.get()); }) == 1) {
        EXPECT_EQ(array.Contents(), c.after);
      } else {
        EXPECT_EQ(array.Code(), KQ_C_ERROR_OUTOFMEMORY);
        EXPECT_EQ(array.Contents(), before);
      }
    });
    EXPECT_GE(points, 1) << "the operation allocates, so some run must fail";
  }
}

// The UTF-8 reads convert, so they can run out: the failure value, the code, the buffer as it
// was.
TEST_F(CInterfaceOutOfMemory, Utf8ReadsReportTheFailure) {
  long points = Sweep([](long n) {
    const Handle array(0, kBase);
    std::string buffer(64, '#');
    const std::size_t length = Armed(
        n, [&] { return kq_string_array_get_utf8(array.get(), 3, buffer.data(), buffer.size()); });
    if (length == static_cast<std::size_t>(-1)) {
      EXPECT_EQ(array.Code(), KQ_C_ERROR_OUTOFMEMORY);
      EXPECT_EQ(buffer, std::string(64, '#'));
    } else {
      EXPECT_EQ(buffer.substr(0, length), kLong);
    }
  });
  EXPECT_GE(points, 1);
  points = Sweep([](long n) {
    const Handle array(0, kBase);
    const std::uint32_t index = Armed(
        n, [&] { return kq_string_array_find_utf8(array.get(), kLong.data(), kLong.size(), 1); });
    if (index == KQ_C_NO_INDEX) {
      EXPECT_EQ(array.Code(), KQ_C_ERROR_OUTOFMEMORY);
    } else {
      EXPECT_EQ(index, 3U);
    }
  });
  EXPECT_GE(points, 1);
}

// Appending stops at the first string it cannot add: a prefix of the source is added.  The
// strings are shared, so what can fail is the second chunk of items, for the ninth element.
TEST_F(CInterfaceOutOfMemory, AppendAddsAPrefix) {
  const Texts extra = {"echo", kLong + "x", "foxtrot", "golf", "hotel"};
  const long points = Sweep([&extra](long n) {
    const Handle target(0, kBase);
    const Handle source(0, extra);
    const int result = Armed(n, [&] { return kq_string_array_append(target.get(), source.get()); });
    const Texts got = target.Contents();
    ASSERT_GE(got.size(), kBase.size());
    const std::size_t added = got.size() - kBase.size();
    Texts expected = kBase;
    expected.insert(expected.end(), extra.begin(),
                    extra.begin() + static_cast<std::ptrdiff_t>(added));
    EXPECT_EQ(got, expected);
    EXPECT_EQ(result == 1, added == extra.size());
    if (result == 0) {
      EXPECT_EQ(target.Code(), KQ_C_ERROR_OUTOFMEMORY);
    }
  });
  EXPECT_GE(points, 1);
}

// Many texts in one call stop at the first they cannot add, in either order: a prefix of the
// texts goes in (in the array's own order), with the code.
TEST_F(CInterfaceOutOfMemory, AddManyAddsAPrefix) {
  const Texts extra = {"echo", kLong + "x", "Bravo", "golf", "hotel"};
  std::string joined;
  std::vector<std::size_t> lengths;
  for (const std::string& text : extra) {
    joined += text;
    lengths.push_back(text.size());
  }
  for (const int sorted : {0, 1}) {
    SCOPED_TRACE(sorted);
    const long points = Sweep([&](long n) {
      const Handle target(sorted, kBase);
      const int result = Armed(n, [&] {
        return kq_string_array_add_many_utf8(target.get(), joined.data(), lengths.data(),
                                             lengths.size());
      });
      const Texts got = target.Contents();
      ASSERT_GE(got.size(), kBase.size());
      const std::size_t added = got.size() - kBase.size();
      const Handle expected(sorted, kBase);
      for (std::size_t i = 0; i < added; ++i) {
        kq_string_array_add_utf8(expected.get(), extra[i].data(), extra[i].size(), nullptr);
      }
      EXPECT_EQ(got, expected.Contents());
      EXPECT_EQ(result == 1, added == extra.size());
      if (result == 0) {
        EXPECT_EQ(target.Code(), KQ_C_ERROR_OUTOFMEMORY);
      }
    });
    EXPECT_GE(points, 1);
  }
}

// A flat array that cannot be finished is released at once: *flat is NULL, nothing leaks.
TEST_F(CInterfaceOutOfMemory, FlatArrayIsWholeOrNone) {
  const long points = Sweep([](long n) {
    const Handle array(0, kBase);
    const std::uint16_t** flat = nullptr;
    std::uint32_t count = 99;
    if (Armed(n, [&] { return kq_string_array_create_memory_array(array.get(), &flat, &count); }) ==
        1) {
      ASSERT_NE(flat, nullptr);
      EXPECT_EQ(count, kBase.size());
      EXPECT_EQ(flat[kBase.size()], nullptr);
      EXPECT_EQ(kq_string_array_free_memory_array(array.get(), &flat), 1);
    } else {
      EXPECT_EQ(flat, nullptr);
      EXPECT_EQ(count, 99U);
      EXPECT_EQ(array.Code(), KQ_C_ERROR_OUTOFMEMORY);
    }
  });
  EXPECT_GE(points, 2) << "the pointer block and at least one copy";
}

// Reading UTF-16, searching UTF-16, removing and the plain reads allocate nothing.
TEST_F(CInterfaceOutOfMemory, TheOtherFunctionsNeedNoMemory) {
  const Handle array(1, kBase);
  const std::u16string alpha = u"ALPHA";
  std::vector<std::uint16_t> buffer(64);
  {
    const kqtest::ScopedFault fault(1);
    EXPECT_EQ(kq_string_array_get_utf16(array.get(), 3, buffer.data(), buffer.size()), 40U);
    EXPECT_EQ(kq_string_array_find_utf16(array.get(),
                                         reinterpret_cast<const std::uint16_t*>(alpha.data()),
                                         alpha.size(), 1),
              0U);
    EXPECT_EQ(kq_string_array_size(array.get()), 4U);
    EXPECT_EQ(kq_string_array_is_sorted(array.get()), 1);
    EXPECT_EQ(kq_string_array_remove_at(array.get(), 0), 1);
    EXPECT_EQ(kq_string_array_remove_all(array.get()), 1);
    EXPECT_FALSE(kqtest::FaultHappened());
  }
  EXPECT_EQ(kq_string_array_size(array.get()), 0U);
}

} // namespace
