// Allocation-failure sweep: every mutating operation of the three arrays runs once with the first
// allocation failing, once with the second failing, and so on, until a run completes without
// reaching the armed failure.  After every run the operation has either succeeded or reported
// exactly its documented failure, the contents are unchanged, fully updated or (for the
// whole-array operations) updated with a prefix of what was to be added, the array's lock is
// free, and every block allocated since the run began has been released.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "KQFaultInjection.h"
#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQSearchModel.h"
#include "KQStringArray.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

constexpr unsigned kUntouched = 777;

// Fault points covered by the whole binary; printed once all sweeps have run.
long g_faultPoints = 0;

class SweepReport : public testing::Environment {
public:
  void TearDown() override {
    std::printf("[  SWEEP   ] %ld allocation fault points covered\n", g_faultPoints);
  }
};
[[maybe_unused]] testing::Environment* const g_report =
    testing::AddGlobalTestEnvironment(new SweepReport);

const Strings kSource = {"delta",   "Alpha", "charlie", "BRAVO", "alpha",  "echo",
                         "Foxtrot", "golf",  "Hotel",   "india", "JULIET", "kilo"};

// Where a sorted array inserts `text`: before the first element that does not sort before it.
std::size_t ModelPosition(int sorted, const Strings& contents, const std::string& text) {
  if (sorted == 0) {
    return contents.size();
  }
  const CKQString wanted = S(text.c_str());
  std::size_t i = 0;
  while (i < contents.size() && S(contents[i].c_str()).CompareNoCase(wanted) < 0) {
    ++i;
  }
  return i;
}

// `contents` after a whole-array operation added the first `count` texts of `added`: one at a
// time, as Add puts them, except that into a sorted array the first `keptInOrder` texts (those
// read from a sorted source) keep their relative order in front of their equals, as adding them
// back to front does.
Strings Model(int sorted, Strings contents, const Strings& added, std::size_t count,
              std::size_t keptInOrder = 0) {
  const auto insert = [&](std::size_t i) {
    contents.insert(contents.begin() +
                        static_cast<std::ptrdiff_t>(ModelPosition(sorted, contents, added[i])),
                    added[i]);
  };
  const std::size_t inOrder = sorted != 0 ? std::min(count, keptInOrder) : 0;
  for (std::size_t i = inOrder; i > 0; --i) {
    insert(i - 1);
  }
  for (std::size_t i = inOrder; i < count; ++i) {
    insert(i);
  }
  return contents;
}

Strings Concat(Strings first, const Strings& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// Runs `op` with the `n`-th allocation from now on failing; disarms however `op` ends.
template <typename Op> auto Armed(long n, Op op) {
  kqtest::ScopedFault fault(n);
  return op();
}

// Runs `attempt(n)` for n = 1, 2, ... until an attempt does not reach its armed failure.  Each
// attempt builds its arrays, arms the failure around the operation alone, checks the outcome and
// destroys the arrays; the live-block count must then be back where it was.
template <typename Attempt> void Sweep(const std::string& name, Attempt attempt) {
  long points = 0;
  for (long n = 1;; ++n) {
    SCOPED_TRACE(name + ": allocation " + std::to_string(n) + " fails");
    const long live = kqtest::LiveAllocations();
    attempt(n);
    const bool fired = kqtest::FaultHappened();
    EXPECT_EQ(kqtest::LiveAllocations(), live) << "blocks leaked or released twice";
    if (!fired || testing::Test::HasFailure() || n > 1000) {
      break;
    }
    ++points;
  }
  g_faultPoints += points;
  testing::Test::RecordProperty(name, static_cast<int>(points));
}

// Runs `probe` on another thread; a lock left held by the operation under test would block it,
// so waiting is bounded and a timeout ends the process instead of hanging the suite.
template <typename Probe> void RunOnAnotherThread(Probe probe) {
  auto done = std::async(std::launch::async, probe);
  if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    std::fprintf(stderr, "FATAL: the array's lock is still held after the operation\n");
    std::abort();
  }
  done.get();
}

// Another thread can add to the array and remove what it added: the lock is free.
void ExpectLockFree(CKQStringArray& array) {
  const Strings before = Texts(array);
  RunOnAnotherThread([&array] {
    unsigned index = 0;
    if (array.Add(S("lock probe"), &index) == 1) {
      array.RemoveAt(index);
    }
  });
  EXPECT_EQ(Texts(array), before);
}

void ExpectLockFree(CKQPtrArray& array) {
  const unsigned before = array.GetSize();
  RunOnAnotherThread([&array] {
    unsigned index = 0;
    if (array.Add(nullptr, &index) == 1) {
      array.RemoveAt(index);
    }
  });
  EXPECT_EQ(array.GetSize(), before);
}

// Checks the outcome of an operation that adds the texts of `added` one at a time to `base`:
// either all were added and success was reported, or a prefix was added (possibly none) and the
// failure was reported.  The first `keptInOrder` texts come from a sorted source (see Model).
// Returns the number added.
std::size_t ExpectPrefixAdded(CKQStringArray& array, int sorted, const Strings& base,
                              const Strings& added, bool reportedSuccess,
                              std::size_t keptInOrder = 0) {
  const Strings actual = Texts(array);
  EXPECT_GE(actual.size(), base.size());
  const std::size_t count = actual.size() - std::min(actual.size(), base.size());
  EXPECT_LE(count, added.size());
  EXPECT_EQ(actual, Model(sorted, base, added, std::min(count, added.size()), keptInOrder))
      << "the array holds exactly the base and a prefix of the added texts";
  if (reportedSuccess) {
    EXPECT_EQ(count, added.size()) << "success reported, yet texts are missing";
  } else {
    EXPECT_LT(count, added.size()) << "failure reported, yet everything was added";
    EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
  }
  return count;
}

// The sweep starts threads to probe the lock, so it does not run under ThreadSanitizer (see
// kqtest::kUnderThreadSanitizer; the concurrency tests cover that ground).
using kqtest::kUnderThreadSanitizer;

class AllocationSweep : public testing::Test {
protected:
  void SetUp() override {
    if (!kqtest::FaultInjectionSupported()) {
      ASSERT_FALSE(kqtest::kFaultInjectionExpected) << "the injector does not reach the library";
      GTEST_SKIP() << "allocation failures cannot be injected on this target";
    }
    if (kUnderThreadSanitizer) {
      GTEST_SKIP() << "the injector's realloc cannot run in threads ThreadSanitizer is starting";
    }
  }
};

} // namespace

// The sweep must not pass by skipping where the libraries are built: the injector reaches both
// DLLs' allocations (through redirected imports on Windows, by interposition on ELF targets).
TEST(FaultInjector, ReachesTheAllocationsOfBothLibraries) {
  if (kqtest::kFaultInjectionExpected) {
    ASSERT_TRUE(kqtest::FaultInjectionSupported());
  }
  if (!kqtest::FaultInjectionSupported() || kUnderThreadSanitizer) {
    GTEST_SKIP() << "allocation failures cannot be injected here";
  }
  EXPECT_THROW(Armed(1, [] { return CKQString(u"text").GetLength(); }), std::bad_alloc)
      << "the string library's operator new";

  CKQStringArray array;
  Fill(array, Strings(kSource.begin(), kSource.begin() + 10)); // full: the next Add grows
  const struct {
    long failing;
    const char* what;
  } cases[] = {{1, "the array library's operator new (the item)"},
               {2, "the array library's realloc (the slots)"}};
  const CKQString text = S("new");
  for (const auto& c : cases) {
    EXPECT_EQ(Armed(c.failing, [&] { return array.Add(text, nullptr); }), 0) << c.what;
    EXPECT_TRUE(kqtest::FaultHappened()) << c.what;
    EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY) << c.what;
  }
  EXPECT_EQ(array.GetSize(), 10u);
}

TEST_F(AllocationSweep, StringArrayConstruction) {
  for (int sorted : {0, 1}) {
    Sweep("construct sorted=" + std::to_string(sorted), [sorted](long n) {
      std::optional<CKQStringArray> array;
      try {
        Armed(n, [&] { array.emplace(sorted); });
      } catch (const std::bad_alloc&) {
        EXPECT_FALSE(array.has_value());
        return; // the storage cell could not be made: nothing was built
      }
      EXPECT_EQ(array->GetSize(), 0u);
      EXPECT_EQ(array->IsSorted(), sorted);
      if (kqtest::FaultHappened()) {
        EXPECT_EQ(Code(*array), ERROR_OUTOFMEMORY) << "the first reservation failed";
      }
      EXPECT_EQ(array->Add(S("x"), nullptr), 1) << "the reservation is retried by Add";
      ExpectLockFree(*array);
    });
  }
}

TEST_F(AllocationSweep, StringArrayAdd) {
  const struct {
    int sorted;
    std::size_t prefill; // 10 makes the Add grow the slots from 10 to 20
  } cases[] = {{0, 3}, {1, 3}, {0, 10}, {1, 10}};
  for (const auto& c : cases) {
    const Strings prefill(kSource.begin(),
                          kSource.begin() + static_cast<std::ptrdiff_t>(c.prefill));
    Sweep("Add sorted=" + std::to_string(c.sorted) + " prefill=" + std::to_string(c.prefill),
          [&](long n) {
            CKQStringArray array(c.sorted);
            Fill(array, prefill);
            array.GetErrorState().SetError(ERROR_NOT_FOUND);
            const Strings before = Texts(array);
            const CKQString text = S("bravo");
            unsigned index = kUntouched;
            const int result = Armed(n, [&] { return array.Add(text, &index); });
            if (result == 1) {
              EXPECT_EQ(Code(array), ERROR_SUCCESS);
              EXPECT_EQ(Texts(array), Model(c.sorted, before, {"bravo"}, 1));
              EXPECT_EQ(index, ModelPosition(c.sorted, before, "bravo"));
            } else {
              EXPECT_EQ(result, 0);
              EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
              EXPECT_EQ(Texts(array), before);
              EXPECT_EQ(index, kUntouched) << "nothing is written through the index";
            }
            ExpectLockFree(array);
          });
  }
}

// Replacing and removing allocate nothing: the sweep must end at its first run, with the
// operation's ordinary result.
TEST_F(AllocationSweep, StringArraySetAtRemoveAtRemoveAllCannotFail) {
  const struct {
    const char* name;
    int (*op)(CKQStringArray&, const CKQString&);
    Strings expected;
    std::uint32_t code;
  } cases[] = {
      {"SetAt",
       [](CKQStringArray& a, const CKQString& t) { return a.SetAt(1, t); },
       {"delta", "new", "charlie"},
       ERROR_NOT_FOUND},
      {"RemoveAt",
       [](CKQStringArray& a, const CKQString&) { return a.RemoveAt(1); },
       {"delta", "charlie"},
       ERROR_SUCCESS},
      {"RemoveAll",
       [](CKQStringArray& a, const CKQString&) { return a.RemoveAll(); },
       {},
       ERROR_NOT_FOUND},
  };
  for (const auto& c : cases) {
    Sweep(c.name, [&c](long n) {
      CKQStringArray array;
      Fill(array, {"delta", "Alpha", "charlie"});
      array.GetErrorState().SetError(ERROR_NOT_FOUND);
      const CKQString text = S("new");
      EXPECT_EQ(Armed(n, [&] { return c.op(array, text); }), 1);
      EXPECT_FALSE(kqtest::FaultHappened()) << "no allocation expected";
      EXPECT_EQ(Texts(array), c.expected);
      EXPECT_EQ(Code(array), c.code);
      ExpectLockFree(array);
    });
  }
}

// The forms in which Append and Copy take their source: the original non-const array, a const
// one, and a temporary (which an empty target in the same order takes over instead of copying).
enum class SourceForm { kMutable, kConst, kTemporary };
const struct {
  SourceForm form;
  const char* suffix;
} kSourceForms[] = {{SourceForm::kMutable, ""},
                    {SourceForm::kConst, " (const source)"},
                    {SourceForm::kTemporary, " (temporary)"}};

int AppendAs(SourceForm form, CKQStringArray& target, CKQStringArray& source) {
  switch (form) {
  case SourceForm::kConst:
    return target.Append(std::as_const(source));
  case SourceForm::kTemporary:
    return target.Append(std::move(source));
  case SourceForm::kMutable:
    break;
  }
  return target.Append(source);
}

int CopyAs(SourceForm form, CKQStringArray& target, CKQStringArray& source) {
  switch (form) {
  case SourceForm::kConst:
    return target.Copy(std::as_const(source));
  case SourceForm::kTemporary:
    return target.Copy(std::move(source));
  case SourceForm::kMutable:
    break;
  }
  return target.Copy(source);
}

// The settings the whole-array sweeps run with: an unsorted target (no merge), and a sorted one
// whose merge reads runs of its built-in length, or of three strings so that a failure can come
// between runs.
struct MergeSetting {
  int sorted;
  unsigned runLength; // 0: the built-in length
};
constexpr MergeSetting kMergeSettings[] = {{0, 0}, {1, 0}, {1, 3}};

TEST_F(AllocationSweep, StringArrayAppendAndCopy) {
  for (const MergeSetting& setting : kMergeSettings) {
    const int sorted = setting.sorted;
    const ScopedMergeRunLength runs(setting.runLength);
    const std::string suffix =
        " sorted=" + std::to_string(sorted) + " runs of " + std::to_string(setting.runLength);
    const Strings base(kSource.begin(), kSource.begin() + 5);
    for (const auto& form : kSourceForms) {
      Sweep("Append" + suffix + form.suffix, [&](long n) {
        CKQStringArray source;
        Fill(source, kSource);
        CKQStringArray target(sorted);
        Fill(target, base);
        const Strings before = Texts(target);
        const int result = Armed(n, [&] { return AppendAs(form.form, target, source); });
        ExpectPrefixAdded(target, sorted, before, kSource, result == 1);
        if (result == 1) {
          EXPECT_EQ(Code(target), ERROR_SUCCESS);
        }
        // A filled target copies even a temporary: the source keeps its strings.
        EXPECT_EQ(Texts(source), kSource) << "the source is left alone";
        ExpectLockFree(target);
        ExpectLockFree(source);
      });
    }
    Sweep("Append(self)" + suffix, [&](long n) {
      CKQStringArray array(sorted);
      Fill(array, Strings(kSource.begin(), kSource.begin() + 8)); // 16 elements need 20 slots
      const Strings before = Texts(array);
      const int result = Armed(n, [&] { return array.Append(array); });
      ExpectPrefixAdded(array, sorted, before, before, result == 1, before.size());
      ExpectLockFree(array);
    });
    for (const auto& form : kSourceForms) {
      // An unsorted target takes a temporary over (nothing to fail); a sorted one copies it.
      Sweep("Copy" + suffix + form.suffix, [&](long n) {
        CKQStringArray source;
        Fill(source, kSource);
        CKQStringArray target(sorted);
        Fill(target, base);
        const int result = Armed(n, [&] { return CopyAs(form.form, target, source); });
        ExpectPrefixAdded(target, sorted, {}, kSource, result == 1);
        EXPECT_EQ(target.IsSorted(), sorted) << "Copy keeps the target's flag";
        ExpectLockFree(target);
        ExpectLockFree(source);
      });
    }
    Sweep("operator=" + suffix, [&](long n) {
      CKQStringArray source(sorted);
      Fill(source, kSource);
      source.GetErrorState().SetError(ERROR_NOT_FOUND);
      const Strings sourceTexts = Texts(source);
      CKQStringArray target(1 - sorted);
      Fill(target, base);
      Armed(n, [&] { target = source; });
      EXPECT_EQ(target.IsSorted(), sorted) << "assignment takes the source's flag";
      const bool complete = target.GetSize() == source.GetSize();
      ExpectPrefixAdded(target, sorted, {}, sourceTexts, complete, sourceTexts.size());
      if (complete) {
        EXPECT_EQ(Code(target), ERROR_NOT_FOUND) << "a complete copy ends with the source's code";
      }
      ExpectLockFree(target);
    });
  }
}

TEST_F(AllocationSweep, StringArrayCopyConstructorAndConcatenation) {
  for (const MergeSetting& setting : kMergeSettings) {
    const int sorted = setting.sorted;
    const ScopedMergeRunLength runs(setting.runLength);
    const std::string suffix =
        " sorted=" + std::to_string(sorted) + " runs of " + std::to_string(setting.runLength);
    Sweep("copy constructor" + suffix, [&](long n) {
      CKQStringArray source(sorted);
      Fill(source, kSource);
      const Strings sourceTexts = Texts(source);
      std::optional<CKQStringArray> copy;
      try {
        Armed(n, [&] { copy.emplace(source); });
      } catch (const std::bad_alloc&) {
        EXPECT_FALSE(copy.has_value());
        return;
      }
      EXPECT_EQ(copy->IsSorted(), sorted);
      const bool complete = copy->GetSize() == source.GetSize();
      ExpectPrefixAdded(*copy, sorted, {}, sourceTexts, complete, sourceTexts.size());
      if (complete) {
        EXPECT_EQ(Texts(*copy), sourceTexts) << "a complete copy equals its original";
      }
      ExpectLockFree(*copy);
    });
    Sweep("operator+" + suffix, [&](long n) {
      CKQStringArray left(sorted);
      Fill(left, Strings(kSource.begin(), kSource.begin() + 6));
      CKQStringArray right;
      Fill(right, Strings(kSource.begin() + 6, kSource.end()));
      const Strings added = Concat(Texts(left), Texts(right));
      const CKQStringArray& constLeft = left;
      bool threw = false;
      try {
        kqtest::FailNthAllocation(n);
        CKQStringArray sum = constLeft + right;
        kqtest::DisarmFaults();
        EXPECT_EQ(sum.IsSorted(), sorted);
        ExpectPrefixAdded(sum, sorted, {}, added, sum.GetSize() == added.size(), 6);
        ExpectLockFree(sum);
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      kqtest::DisarmFaults();
      if (threw) {
        EXPECT_TRUE(kqtest::FaultHappened());
      }
      EXPECT_EQ(left.GetSize(), 6u);
      EXPECT_EQ(right.GetSize(), 6u);
    });
  }
}

// A container asked to hold more than it can throws std::length_error before it allocates (a merge
// batch of one record per string did so on 32-bit targets for sources of some 90 million
// strings).  The merges into sorted arrays take it for the shortage it is: wherever it strikes
// (with runs of three strings: before, between or after runs), the target holds a prefix and
// reports ERROR_OUTOFMEMORY, and a copy constructor hands out that prefix, leaking nothing.  Only
// the storage cell's failure leaves the constructor, as std::bad_alloc does.
TEST_F(AllocationSweep, LengthErrorsInSortedMergesAreShortages) {
  for (unsigned runLength : {0u, 3u}) {
    const ScopedMergeRunLength runs(runLength);
    const std::string suffix = ", runs of " + std::to_string(runLength);
    const Strings base(kSource.begin(), kSource.begin() + 5);
    Sweep("Append" + suffix, [&](long n) {
      CKQStringArray source;
      Fill(source, kSource);
      CKQStringArray target(1);
      Fill(target, base);
      const Strings before = Texts(target);
      int result = -1;
      {
        const kqtest::ScopedFault fault(n, kqtest::Shortage::kLengthError);
        result = target.Append(source);
      }
      ExpectPrefixAdded(target, 1, before, kSource, result == 1);
      ExpectLockFree(target);
    });
    Sweep("copy constructor" + suffix, [&](long n) {
      CKQStringArray source(1);
      Fill(source, kSource);
      const Strings sourceTexts = Texts(source);
      std::optional<CKQStringArray> copy;
      try {
        const kqtest::ScopedFault fault(n, kqtest::Shortage::kLengthError);
        copy.emplace(source);
      } catch (const std::length_error&) {
        EXPECT_EQ(n, 1) << "only the storage cell's failure leaves the constructor";
        EXPECT_FALSE(copy.has_value());
        return;
      }
      const bool complete = copy->GetSize() == source.GetSize();
      ExpectPrefixAdded(*copy, 1, {}, sourceTexts, complete, sourceTexts.size());
      ExpectLockFree(*copy);
    });
  }
}

// Restarting a started array (InitObject, Init) keeps its frame: the same lock, storage cell and
// slot buffer.  The string array releases its elements (items, texts, item chunks, logged keys)
// and takes the new sorted flag; the pointer array only empties.  Nothing leaks, the lock stays
// usable, and the array works on as a new one would.
TEST_F(AllocationSweep, RestartingAStartedArrayReleasesWhatItHeld) {
  const struct {
    const char* name;
    int sorted;
    int newSorted;
    unsigned elements;
    bool movedFrom; // its slots handed to another array first: the restart reserves afresh
  } cases[] = {
      {"empty", 0, 1, 0, false},
      {"3 elements", 1, 0, 3, false},
      {"700 elements", 0, 1, 700, false},
      {"700 sorted elements (keys kept aside)", 1, 1, 700, false},
      {"moved from", 1, 0, 5, true},
  };
  for (const auto& c : cases) {
    Sweep(std::string("InitObject, ") + c.name, [&c](long n) {
      StringArrayProbe array(c.sorted);
      for (unsigned i = 0; i < c.elements; ++i) {
        array.Add(S(("element " + std::to_string(i * 7919 % 1000)).c_str()));
      }
      std::optional<CKQStringArray> taken;
      if (c.movedFrom) {
        taken.emplace(std::move(array));
      }
      const unsigned capacity = array.Capacity();
      Armed(n, [&] {
        array.InitObject(c.newSorted);
        return 0;
      });
      EXPECT_EQ(array.GetSize(), 0u);
      EXPECT_EQ(array.IsSorted(), c.newSorted);
      if (kqtest::FaultHappened()) {
        EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
        EXPECT_EQ(array.Capacity(), 0u);
      } else {
        EXPECT_EQ(array.Capacity(), std::max(capacity, 10u)) << "a larger buffer is kept";
      }
      Fill(array, {"b", "A", "c"});
      const Strings expected = c.newSorted != 0 ? Strings{"A", "b", "c"} : Strings{"b", "A", "c"};
      EXPECT_EQ(Texts(array), expected);
      EXPECT_EQ(array.FindString(S("C"), 1), 2u);
      ExpectLockFree(array);
    });
  }
  Sweep("CKQPtrArray::Init", [](long n) {
    PtrArrayProbe array;
    for (unsigned i = 0; i < 25; ++i) {
      array.Add(P(i + 1), nullptr);
    }
    EXPECT_EQ(Armed(n, [&] { return array.Init(); }), 1);
    EXPECT_FALSE(kqtest::FaultHappened()) << "no allocation expected";
    EXPECT_EQ(array.GetSize(), 0u);
    EXPECT_EQ(array.Capacity(), 40u) << "the slot buffer is kept";
    EXPECT_EQ(array.Add(P(7), nullptr), 1);
    EXPECT_EQ(Contents(array), std::vector<void*>{P(7)});
    ExpectLockFree(array);
  });
}

// The texts of the key index sweeps: case variants and duplicates, so that a search through the
// index goes on past the first element holding the key.
Strings IndexedTexts(unsigned count) {
  Strings texts;
  for (unsigned i = 0; i < count; ++i) {
    texts.push_back((i % 3 == 0 ? "Key " : "key ") + std::to_string(i / 2));
  }
  return texts;
}

// The search that builds an array's key index asks the C runtime for the index's block.
// Refused, the search still answers as a scan from the front does, no index is recorded and
// nothing leaks; searches go on answering, and build the index once they have done as much work
// again: at once under the index-at-once rule, under the built-in one not at the next search but
// after as many as it took the first time (which the test counts on a fresh array first).
TEST_F(AllocationSweep, BuildingTheKeyIndex) {
  const Strings texts = IndexedTexts(24);
  const struct {
    int sorted;
    bool builtInRule;
  } cases[] = {{0, false}, {1, false}, {0, true}, {1, true}};
  for (const auto& c : cases) {
    std::optional<ScopedKeyIndexRule> atOnce;
    if (!c.builtInRule) {
      atOnce.emplace(ScopedKeyIndexRule::kIndexAtOnce);
    }
    const CKQString wanted = S("KEY 7");
    unsigned searches = 0; // the searches that build a fresh array's index
    {
      CKQStringArray fresh(c.sorted);
      Fill(fresh, texts);
      while (!KQStringArrayTestSeam::HasKeyIndex(fresh)) {
        ASSERT_LT(++searches, 10000u);
        fresh.FindString(wanted, 0);
      }
    }
    long refused = 0;
    Sweep("building the key index sorted=" + std::to_string(c.sorted) +
              (c.builtInRule ? ", built-in rule" : ", at once"),
          [&](long n) {
            CKQStringArray array(c.sorted);
            Fill(array, texts);
            const std::vector<CKQString> items = Contents(array);
            const unsigned expected = LinearFind(items, wanted, 0);
            for (unsigned i = 1; i < searches; ++i) {
              ASSERT_EQ(array.FindString(wanted, 0), expected);
            }
            ASSERT_FALSE(KQStringArrayTestSeam::HasKeyIndex(array));
            EXPECT_EQ(Armed(n, [&] { return array.FindString(wanted, 0); }), expected);
            const bool failed = kqtest::FaultHappened();
            refused += failed ? 1 : 0;
            EXPECT_EQ(KQStringArrayTestSeam::HasKeyIndex(array), !failed);
            if (failed && c.builtInRule) {
              ASSERT_EQ(array.FindString(wanted, 0), expected);
              EXPECT_FALSE(KQStringArrayTestSeam::HasKeyIndex(array))
                  << "the work done before the failure does not count again";
            }
            for (unsigned i = 0; i < searches && !KQStringArrayTestSeam::HasKeyIndex(array); ++i) {
              ASSERT_TRUE(FindsAsLinearScan(array, items, wanted));
            }
            EXPECT_TRUE(KQStringArrayTestSeam::HasKeyIndex(array));
            ExpectEveryElementFound(array, S("key 99"));
            ExpectLockFree(array);
          });
    EXPECT_GT(refused, 0) << "the index's block must come from an allocation that can fail";
  }
}

// Appends to an unsorted array with a key index extend it, and now and then must grow it: new
// texts fill its table, one text again and again outgrows the positions its entries hold.  The
// sweep fails each allocation of a run of Adds: one that fails leaves the array and its index as
// they were; one whose index could not grow succeeds and drops the index.  Searches then answer
// as a scan from the front does and build the index again; nothing leaks.
TEST_F(AllocationSweep, AppendsGrowingTheKeyIndex) {
  const ScopedKeyIndexRule atOnce(ScopedKeyIndexRule::kIndexAtOnce);
  const struct {
    const char* what;
    Strings added;
  } cases[] = {
      {"new texts", IndexedTexts(100)},
      {"one text again", Strings(50, "key 3")},
  };
  for (const auto& c : cases) {
    long dropped = 0;
    Sweep(std::string("appends growing the key index: ") + c.what, [&](long n) {
      CKQStringArray array;
      Fill(array, IndexedTexts(16));
      array.FindString(S("key 1"), 1);
      ASSERT_TRUE(KQStringArrayTestSeam::HasKeyIndex(array));
      std::vector<CKQString> added;
      for (const std::string& text : c.added) {
        added.push_back(S(("+" + text).c_str()));
      }
      const Strings before = Texts(array);
      std::size_t count = 0;
      Armed(n, [&] {
        while (count < added.size() && array.Add(added[count]) == 1) {
          ++count;
        }
        return 0;
      });
      Strings expected = before;
      for (std::size_t i = 0; i < count; ++i) {
        expected.push_back(added[i].ToUtf8());
      }
      EXPECT_EQ(Texts(array), expected);
      if (count < added.size()) {
        EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
        EXPECT_TRUE(KQStringArrayTestSeam::HasKeyIndex(array)) << "a failed Add keeps the index";
      } else {
        const bool failed = kqtest::FaultHappened();
        dropped += failed ? 1 : 0;
        EXPECT_EQ(KQStringArrayTestSeam::HasKeyIndex(array), !failed)
            << "an index that could not grow is dropped";
      }
      ExpectEveryElementFound(array, S("key 99"));
      EXPECT_TRUE(KQStringArrayTestSeam::HasKeyIndex(array));
      ExpectLockFree(array);
    });
    EXPECT_GT(dropped, 0) << c.what << ": no Add had to grow the index";
  }
}

TEST_F(AllocationSweep, CreateMemoryArray) {
  for (int sorted : {0, 1}) {
    Sweep("CreateMemoryArray sorted=" + std::to_string(sorted), [sorted](long n) {
      CKQStringArray array(sorted);
      Fill(array, kSource);
      const Strings texts = Texts(array);
      const unsigned short** flat = nullptr;
      int count = -1;
      bool threw = false;
      try {
        count = Armed(n, [&] { return array.CreateMemoryArray(&flat); });
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      if (!threw) {
        EXPECT_EQ(count, static_cast<int>(texts.size()));
      }
      if (flat != nullptr) {
        // Whatever was built is a NULL-terminated prefix of the elements, freed as a whole.
        std::size_t i = 0;
        for (; flat[i] != nullptr; ++i) {
          ASSERT_LT(i, texts.size());
          EXPECT_EQ(CKQString(flat[i]).ToUtf8(), texts[i]);
        }
        EXPECT_EQ(i, threw ? i : texts.size());
        EXPECT_EQ(array.FreeMemoryArray(&flat), 1);
        EXPECT_EQ(flat, nullptr);
      } else {
        EXPECT_TRUE(threw) << "success must hand out a block";
      }
      EXPECT_EQ(Texts(array), texts);
      ExpectLockFree(array);
    });
  }
}

TEST_F(AllocationSweep, PointerArrays) {
  for (std::size_t prefill : {3u, 10u}) {
    Sweep("CKQPtrArray::Add prefill=" + std::to_string(prefill), [prefill](long n) {
      CKQPtrArray array;
      for (std::size_t i = 0; i < prefill; ++i) {
        array.Add(P(i + 1), nullptr);
      }
      array.GetErrorState().SetError(ERROR_NOT_FOUND);
      const std::vector<void*> before = Contents(array);
      unsigned index = kUntouched;
      const int result = Armed(n, [&] { return array.Add(P(99), &index); });
      std::vector<void*> expected = before;
      if (result == 1) {
        expected.push_back(P(99));
        EXPECT_EQ(index, prefill);
        EXPECT_EQ(Code(array), ERROR_SUCCESS);
      } else {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(index, kUntouched);
        EXPECT_EQ(Code(array), ERROR_OUTOFMEMORY);
      }
      EXPECT_EQ(Contents(array), expected);
      ExpectLockFree(array);
    });
  }
  Sweep("CKQUintArray::Add", [](long n) {
    CKQUintArray array;
    for (unsigned i = 0; i < 10; ++i) {
      array.Add(i);
    }
    const int result = Armed(n, [&] { return array.Add(10u); });
    EXPECT_EQ(array.GetSize(), result == 1 ? 11u : 10u);
    EXPECT_EQ(Code(array), result == 1 ? ERROR_SUCCESS : ERROR_OUTOFMEMORY);
    for (unsigned i = 0; i < array.GetSize(); ++i) {
      EXPECT_EQ(array[i], i);
    }
    ExpectLockFree(array);
  });
  Sweep("CKQPtrArray construction", [](long n) {
    std::optional<PtrArrayProbe> array;
    try {
      Armed(n, [&] { array.emplace(); });
    } catch (const std::bad_alloc&) {
      EXPECT_FALSE(array.has_value());
      return;
    }
    EXPECT_EQ(array->Capacity(), kqtest::FaultHappened() ? 0u : 10u);
    EXPECT_EQ(array->Add(P(1), nullptr), 1);
    ExpectLockFree(*array);
  });
  for (bool uints : {false, true}) {
    const std::string kind = uints ? "CKQUintArray" : "CKQPtrArray";
    Sweep(kind + " copy constructor", [uints](long n) {
      CKQUintArray source; // also a CKQPtrArray: the slots are the same
      for (unsigned i = 0; i < 25; ++i) {
        source.Add(i + 1);
      }
      source.GetErrorState().SetError(ERROR_NOT_FOUND);
      std::optional<CKQPtrArray> ptrCopy;
      std::optional<CKQUintArray> uintCopy;
      try {
        Armed(n, [&] {
          if (uints) {
            uintCopy.emplace(source);
          } else {
            ptrCopy.emplace(static_cast<CKQPtrArray&>(source));
          }
        });
      } catch (const std::bad_alloc&) {
        EXPECT_FALSE(ptrCopy.has_value() || uintCopy.has_value());
        return;
      }
      CKQPtrArray& copy = uints ? static_cast<CKQPtrArray&>(*uintCopy) : *ptrCopy;
      if (copy.GetSize() == 0) {
        EXPECT_EQ(Code(copy), ERROR_OUTOFMEMORY) << "a copy that cannot reserve stays empty";
      } else {
        EXPECT_EQ(Contents(copy), Contents(source));
        EXPECT_EQ(Code(copy), ERROR_SUCCESS) << "a fresh error state";
      }
      ExpectLockFree(copy);
    });
    Sweep(kind + " copy constructor (const source)", [uints](long n) {
      CKQUintArray source;
      for (unsigned i = 0; i < 25; ++i) {
        source.Add(i + 1);
      }
      const CKQUintArray& view = source;
      std::optional<CKQPtrArray> ptrCopy;
      std::optional<CKQUintArray> uintCopy;
      try {
        Armed(n, [&] {
          if (uints) {
            uintCopy.emplace(view);
          } else {
            ptrCopy.emplace(static_cast<const CKQPtrArray&>(view));
          }
        });
      } catch (const std::bad_alloc&) {
        EXPECT_FALSE(ptrCopy.has_value() || uintCopy.has_value());
        return;
      }
      CKQPtrArray& copy = uints ? static_cast<CKQPtrArray&>(*uintCopy) : *ptrCopy;
      if (copy.GetSize() == 0) {
        EXPECT_EQ(Code(copy), ERROR_OUTOFMEMORY) << "a copy that cannot reserve stays empty";
      } else {
        EXPECT_EQ(Contents(copy), Contents(source));
      }
      ExpectLockFree(copy);
    });
    // Moves allocate nothing (no fault point); the moved-from source grows afresh, and its
    // growth may fail, leaving it empty and its lock free.
    Sweep(kind + " moves and the moved-from array's Add", [uints](long n) {
      CKQUintArray source;
      for (unsigned i = 0; i < 25; ++i) {
        source.Add(i + 1);
      }
      CKQUintArray target;
      target.Add(77u);
      int added = 0;
      Armed(n, [&] {
        if (uints) {
          CKQUintArray moved(std::move(source));
          target = std::move(moved);
        } else {
          CKQPtrArray moved(std::move(static_cast<CKQPtrArray&>(source)));
          static_cast<CKQPtrArray&>(target) = std::move(moved);
        }
        added = source.Add(5u); // NOLINT(bugprone-use-after-move): moved-from is usable
      });
      EXPECT_EQ(target.GetSize(), 25u);
      EXPECT_EQ(target[24], 25u);
      EXPECT_EQ(source.GetSize(), added == 1 ? 1u : 0u);
      EXPECT_EQ(Code(source), added == 1 ? ERROR_SUCCESS : ERROR_OUTOFMEMORY);
      ExpectLockFree(target);
      ExpectLockFree(source);
    });
    Sweep(kind + " assignment", [uints](long n) {
      CKQUintArray source;
      for (unsigned i = 0; i < 25; ++i) {
        source.Add(i + 1);
      }
      source.GetErrorState().SetError(ERROR_NOT_FOUND);
      CKQUintArray target;
      target.Add(77u);
      Armed(n, [&] {
        if (uints) {
          target = source;
        } else {
          static_cast<CKQPtrArray&>(target) = source;
        }
      });
      if (kqtest::FaultHappened()) {
        EXPECT_EQ(Code(target), ERROR_OUTOFMEMORY);
        EXPECT_EQ(Contents(target), std::vector<void*>{P(77)}) << "keeps its own elements";
      } else {
        EXPECT_EQ(Code(target), ERROR_NOT_FOUND);
        EXPECT_EQ(Contents(target), Contents(source));
      }
      ExpectLockFree(target);
    });
  }
}

// A whole-array operation that runs out of memory stops at the string it cannot add and says
// so: the strings after it are not added past the gap, and the later successes do not
// overwrite ERROR_OUTOFMEMORY (the result would otherwise look complete).  Appending an array
// to itself reports a failed snapshot the same way instead of throwing.
// A sorted target whose slots cannot grow for the whole batch takes the first strings of the
// source that fit in the slots it has, in their places, and drops the others.  When not even
// the items for the batch can be had, it takes none.
TEST_F(AllocationSweep, SortedTargetWhoseSlotsCannotGrowTakesWhatFits) {
  // The merge's heap of runs, the run's two blocks (records and texts), the list of runs, then
  // one chunk of items for the whole run (the first chunk has room for 7 more), then the key
  // block's growth.
  const struct {
    const char* what;
    long failing;
    Strings expected;
    long newBlocks; // blocks the target holds afterwards beyond those it held before
  } cases[] = {
      {"the key block", 6, Model(1, {"old"}, kSource, 9), 1},
      {"the chunk of items", 5, {"old"}, 0},
      {"the run's texts", 3, {"old"}, 0},
  };
  ASSERT_GT(kSource.size(), 9u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CKQStringArray source;
    Fill(source, kSource);
    CKQStringArray target(1);
    Fill(target, {"old"}); // 10 slots, 9 free
    const long live = kqtest::LiveAllocations();
    EXPECT_EQ(Armed(c.failing, [&] { return target.Append(source); }), 0);
    EXPECT_TRUE(kqtest::FaultHappened());
    EXPECT_EQ(Code(target), ERROR_OUTOFMEMORY);
    EXPECT_EQ(Texts(target), c.expected);
    EXPECT_EQ(kqtest::LiveAllocations(), live + c.newBlocks) << "the batch's blocks were freed";
  }
}

TEST_F(AllocationSweep, WholeArrayOperationsReportTheFirstStringTheyCannotAdd) {
  const struct {
    const char* name;
    long failing; // which allocation of the operation fails
    int (*op)(CKQStringArray& target, CKQStringArray& source);
    Strings expected;
  } cases[] = {
      // The strings are shared, not copied: what allocates is a new chunk of items when the
      // first 8 items are used (Copy and assignment empty the target first, which frees its
      // chunks, so their first Add allocates the first chunk).
      {"Append, second chunk of items",
       1,
       [](CKQStringArray& t, CKQStringArray& s) { return t.Append(s); },
       {"old", "one", "two", "three", "four", "five", "six", "seven"}},
      {"Copy, second chunk of items",
       2,
       [](CKQStringArray& t, CKQStringArray& s) { return t.Copy(s); },
       {"one", "two", "three", "four", "five", "six", "seven", "eight"}},
      {"assignment, second chunk of items",
       2,
       [](CKQStringArray& t, CKQStringArray& s) {
         t = s;
         return t.GetErrorState().GetError() == ERROR_OUTOFMEMORY ? 0 : 1;
       },
       {"one", "two", "three", "four", "five", "six", "seven", "eight"}},
      {"Append(self), snapshot",
       1,
       [](CKQStringArray& t, CKQStringArray&) { return t.Append(t); },
       {"old"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CKQStringArray source;
    Fill(source, {"one", "two", "three", "four", "five", "six", "seven", "eight", "nine"});
    CKQStringArray target;
    Fill(target, {"old"});
    int result = -1;
    EXPECT_NO_THROW(result = Armed(c.failing, [&] { return c.op(target, source); }));
    EXPECT_TRUE(kqtest::FaultHappened());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Code(target), ERROR_OUTOFMEMORY);
    EXPECT_EQ(Texts(target), c.expected);
  }
}
