// Concurrency stress: several threads use shared arrays only as the locking contract allows.
// The locked operations (Add, GetAt, SetAt, RemoveAt, RemoveAll, and the whole-array operations,
// which take the locks element by element) run freely against each other; the unlocked readers
// (operator[], FindString, GetSize) run only while a gate held by the test keeps every writer
// out.  Each run is bounded both in iterations and in time, and checks its
// invariants at the end: the count equals adds minus removes, sorted order holds, and every text
// is one that some thread added.  Run under the tsan preset it also checks for data races.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <latch>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "KQPlatform.h"
#include "KQPtrArray.h"
#include "KQResultCodes.h"
#include "KQSearchModel.h"
#include "KQStringArray.h"
#include "KQStringArrayC.h"
#include "KQTestAccess.h"
#include "KQTestSupport.h"

using namespace kqtest;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kThreads = 4;
constexpr int kIterations = 3000;
constexpr auto kTimeBudget = std::chrono::seconds(2); // per run, ample even under TSan

// Every text a thread may add; none is empty, so an empty string always means "no element".
const std::vector<std::string> kPool = {"alpha",
                                        "Alpha",
                                        "ALPHA",
                                        "beta",
                                        "Beta",
                                        "gamma",
                                        "Straße",
                                        "STRASSE",
                                        "ΣΟΦΊΑ",
                                        "σοφία",
                                        "\xF0\x90\x90\x80x",
                                        "\xF0\x90\x90\xA8X",
                                        "éclair",
                                        "Éclair"};

bool IsPoolText(const std::string& text) {
  for (const std::string& candidate : kPool) {
    if (candidate == text) {
      return true;
    }
  }
  return false;
}

// Runs `body(thread, random)` on kThreads threads until each has done kIterations steps or the
// time budget is spent.  `body` returns nothing; it is called once per step.
template <typename Body> void RunThreads(Body body) {
  const Clock::time_point deadline = Clock::now() + kTimeBudget;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&body, deadline, t] {
      std::mt19937 random(static_cast<unsigned>(1000 + t));
      for (int i = 0; i < kIterations && Clock::now() < deadline; ++i) {
        body(t, random);
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
}

// Runs `work` on another thread and fails (ending the process, since the thread cannot be
// cancelled) if it does not finish within a few seconds: a deadlock must not hang the suite.
template <typename Work> void ExpectFinishes(const char* what, Work work) {
  auto done = std::async(std::launch::async, work);
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    std::fprintf(stderr, "FATAL: %s did not finish: deadlock?\n", what);
    std::abort();
  }
  done.get();
}

std::vector<std::string> Snapshot(CKQStringArray& array) { return kqtest::Texts(array); }

// Many writers or one reader at a time.  Not std::shared_mutex: MinGW's (winpthreads' read-write
// lock) was seen under Wine to let shared holders in while the exclusive holder held it, so the
// "quiescent" reader saw writers at work.  A mutex and a condition variable keep the rule on
// every platform.
class WriterGate {
public:
  class Shared {
  public:
    explicit Shared(WriterGate& gate) : m_gate(gate) {
      std::unique_lock lock(m_gate.m_mutex);
      m_gate.m_changed.wait(lock, [this] { return !m_gate.m_exclusive; });
      ++m_gate.m_writers;
    }
    ~Shared() {
      const std::lock_guard lock(m_gate.m_mutex);
      if (--m_gate.m_writers == 0) {
        m_gate.m_changed.notify_all();
      }
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

  private:
    WriterGate& m_gate;
  };

  class Exclusive {
  public:
    explicit Exclusive(WriterGate& gate) : m_gate(gate) {
      std::unique_lock lock(m_gate.m_mutex);
      m_gate.m_changed.wait(lock, [this] { return !m_gate.m_exclusive; });
      m_gate.m_exclusive = true; // no new writer enters
      m_gate.m_changed.wait(lock, [this] { return m_gate.m_writers == 0; });
    }
    ~Exclusive() {
      const std::lock_guard lock(m_gate.m_mutex);
      m_gate.m_exclusive = false;
      m_gate.m_changed.notify_all();
    }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

  private:
    WriterGate& m_gate;
  };

private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_writers = 0;
  bool m_exclusive = false;
};

} // namespace

// Writers on a sorted array (Add, RemoveAt, GetAt, Append from a fixed source, flat arrays)
// hold the test's mutex shared; now and then one thread takes it exclusively and checks the
// array with the unlocked readers while no writer runs.
TEST(KQConcurrencyStress, SortedArrayWritersAndExclusiveReaders) {
  CKQStringArray array(1);
  CKQStringArray source; // read by Append only; nobody writes it during the run
  kqtest::Fill(source, {"gamma", "Alpha", "σοφία"});
  WriterGate gate;
  std::atomic<long> added{0};
  std::atomic<long> removed{0};
  std::atomic<int> readerFailures{0};

  RunThreads([&](int thread, std::mt19937& random) {
    const unsigned step = random() % 16;
    if (step == 15) {
      // Exclusive: the unlocked readers see a quiescent array.
      const WriterGate::Exclusive exclusive(gate);
      const unsigned size = array.GetSize();
      if (size != static_cast<unsigned>(added.load() - removed.load())) {
        ++readerFailures;
      }
      for (unsigned i = 1; i < size; ++i) {
        if (array[i - 1].CompareNoCase(array[i]) > 0) {
          ++readerFailures;
        }
      }
      const CKQString wanted = S(kPool[random() % kPool.size()].c_str());
      const unsigned found = array.FindString(wanted, 1);
      if (found != KQ_NO_INDEX && (found >= size || array[found].CompareNoCase(wanted) != 0)) {
        ++readerFailures;
      }
      return;
    }
    const WriterGate::Shared shared(gate);
    if (step < 6) {
      unsigned index = 0;
      if (array.Add(S(kPool[random() % kPool.size()].c_str()), &index) == 1) {
        ++added;
      }
    } else if (step < 9) {
      if (array.RemoveAt(random() % 8) == 1) { // often out of range: that is refused
        ++removed;
      }
    } else if (step < 12) {
      const CKQString text = array.GetAt(random() % 8);
      if (text.GetLength() != 0 && !IsPoolText(text.ToUtf8())) {
        ++readerFailures;
      }
    } else if (step == 12 && thread == 0) {
      if (array.Append(source) == 1) {
        added += 3;
      }
    } else {
      const unsigned short** flat = nullptr;
      const int count = array.CreateMemoryArray(&flat);
      for (int i = 0; i < count; ++i) {
        // An element removed while the block was built comes out empty; any text is a pool text.
        const std::string text = CKQString(flat[i]).ToUtf8();
        if (!text.empty() && !IsPoolText(text)) {
          ++readerFailures;
        }
      }
      if (flat[count] != nullptr || array.FreeMemoryArray(&flat) != 1 || flat != nullptr) {
        ++readerFailures;
      }
    }
  });

  EXPECT_EQ(readerFailures.load(), 0);
  ASSERT_EQ(array.GetSize(), static_cast<unsigned>(added.load() - removed.load()));
  const std::vector<std::string> texts = Snapshot(array);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_TRUE(IsPoolText(texts[i])) << texts[i];
    if (i > 0) {
      ASSERT_LE(array[static_cast<unsigned>(i - 1)].CompareNoCase(array[static_cast<unsigned>(i)]),
                0)
          << "order broken at " << i;
    }
  }
}

// An unsorted array under Add, SetAt, RemoveAt, GetAt and RemoveAll from every thread: all
// locked, so no gate is needed.  RemoveAll makes the count unpredictable; what is left must
// still consist of pool texts only, with keys that match them.
TEST(KQConcurrencyStress, UnsortedArrayWithRemoveAll) {
  CKQStringArray array;
  RunThreads([&](int /*thread*/, std::mt19937& random) {
    const CKQString text = S(kPool[random() % kPool.size()].c_str());
    switch (random() % 10) {
    case 0:
      array.RemoveAll();
      break;
    case 1:
    case 2:
      array.SetAt(random() % 8, text);
      break;
    case 3:
      array.RemoveAt(random() % 8);
      break;
    case 4: {
      const CKQString got = array.GetAt(random() % 8);
      if (got.GetLength() != 0) {
        EXPECT_TRUE(IsPoolText(got.ToUtf8()));
      }
      break;
    }
    default:
      array.Add(text, nullptr);
    }
  });
  for (unsigned i = 0; i < array.GetSize(); ++i) {
    const CKQString text = array[i];
    ASSERT_TRUE(IsPoolText(text.ToUtf8()));
    ASSERT_LE(array.FindString(text, 0), i) << "every element is found by its own key";
  }
}

// A long sorted array keeps the keys of strings added in its middle aside until something reads
// keys.  Searches are readers that run side by side without the lock, so the first searches
// after a run of additions meet while the keys still wait: each round, the threads search at
// once, and every text must be found at its index.
TEST(KQConcurrencyStress, SearchesSideBySideAfterSortedAdditions) {
  CKQStringArray array(1);
  std::vector<CKQString> model; // the same texts in the array's order
  std::mt19937 random(5);
  const auto add = [&](int times) {
    for (int i = 0; i < times; ++i) {
      // Distinct texts, so each has exactly one index.
      const CKQString text = S(("w" + std::to_string(random())).c_str());
      unsigned index = 0;
      ASSERT_EQ(array.Add(text, &index), 1);
      model.insert(model.begin() + index, text);
    }
  };
  add(1000);
  for (int round = 0; round < 20; ++round) {
    add(40); // in the middle, almost always
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    const CKQStringArray& searched = array;
    std::latch start(kThreads); // all threads search first at once
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        start.arrive_and_wait();
        for (std::size_t i = static_cast<std::size_t>(t); i < model.size(); i += 7) {
          if (searched.FindString(model[i], static_cast<int>(i % 2)) != i) {
            ++failures;
          }
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    ASSERT_EQ(failures.load(), 0) << "round " << round;
  }
}

// The first searches of a fresh array, from every thread at once: no key is known yet (the first
// unsorted searches take them under the lock while the others wait or read them), and the key
// index is built while the others search, at the first search under the index-at-once rule and
// after many under the built-in one.  The elements are case variants and duplicates, so searches
// through the index often go on past the first element holding the key.  Every answer is the
// one a scan from the front gave before the threads started; at the end every key is known and
// the index is there.
TEST(KQConcurrencyStress, FirstSearchesOfAFreshArrayMeet) {
  constexpr unsigned kElements = 1500;
  std::mt19937 random(11);
  // "w<number>é" in random case: 600 numbers among 1500 elements, so that most have duplicates
  // and case variants; numbers from 600 on are in no element.
  const auto variant = [&random](unsigned number) {
    return std::string(random() % 2 == 0 ? "w" : "W") + std::to_string(number) +
           (random() % 2 == 0 ? "\xC3\xA9" : "\xC3\x89");
  };
  std::vector<std::string> texts;
  for (unsigned i = 0; i < kElements; ++i) {
    texts.push_back(variant(static_cast<unsigned>(random() % 600)));
  }
  struct Query {
    std::u16string text;
    int noCase;
    unsigned expected;
  };
  const struct {
    const char* name;
    std::optional<unsigned> rule; // none: the built-in rule
  } rules[] = {{"index at once", ScopedKeyIndexRule::kIndexAtOnce}, {"built-in rule", {}}};
  for (const auto& rule : rules) {
    std::optional<ScopedKeyIndexRule> scoped;
    if (rule.rule) {
      scoped.emplace(*rule.rule);
    }
    for (int sorted : {0, 1}) {
      SCOPED_TRACE(testing::Message() << rule.name << ", sorted " << sorted);
      // The answers of a scan from the front, over the elements as a sorted or unsorted array
      // holds them (read through operator[], which takes no key).
      std::vector<Query> queries;
      {
        CKQStringArray model(sorted);
        kqtest::Fill(model, texts);
        const std::vector<CKQString> items = kqtest::Contents(model);
        for (int i = 0; i < 700; ++i) {
          const CKQString wanted = S(variant(static_cast<unsigned>(random() % 700)).c_str());
          for (int noCase : {0, 1}) {
            queries.push_back(
                {kqtest::Units(wanted), noCase, kqtest::LinearFind(items, wanted, noCase)});
          }
        }
      }
      for (int round = 0; round < 4; ++round) {
        CKQStringArray array(sorted);
        kqtest::Fill(array, texts);
        ASSERT_EQ(KQStringArrayTestSeam::KnownKeys(array), 0u);
        const CKQStringArray& searched = array;
        std::atomic<int> failures{0};
        std::latch start(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
          threads.emplace_back([&, t] {
            start.arrive_and_wait();
            const std::size_t first = queries.size() * static_cast<std::size_t>(t) / kThreads;
            for (std::size_t i = 0; i < queries.size(); ++i) {
              const Query& query = queries[(first + i) % queries.size()];
              if (searched.FindString(std::u16string_view(query.text), query.noCase) !=
                  query.expected) {
                ++failures;
              }
            }
          });
        }
        for (std::thread& thread : threads) {
          thread.join();
        }
        ASSERT_EQ(failures.load(), 0) << "round " << round;
        EXPECT_TRUE(KQStringArrayTestSeam::HasKeyIndex(array)) << "round " << round;
        EXPECT_EQ(KQStringArrayTestSeam::KnownKeys(array), kElements) << "round " << round;
      }
    }
  }
}

// Two arrays appended to each other from two threads while a third appends one to itself: the
// whole-array operations never hold one array's lock while taking another's, so nothing
// deadlocks, and the counts add up.
TEST(KQConcurrencyStress, CrossAppendsDoNotDeadlock) {
  CKQStringArray left(1);
  CKQStringArray right;
  kqtest::Fill(left, {"a", "B"});
  kqtest::Fill(right, {"c"});
  std::atomic<bool> stop{false};
  ExpectFinishes("cross appends", [&] {
    std::thread first([&] {
      for (int i = 0; i < 8 && !stop; ++i) {
        left.Append(right);
      }
    });
    std::thread second([&] {
      for (int i = 0; i < 8 && !stop; ++i) {
        right.Append(left);
      }
    });
    std::thread self([&] {
      CKQStringArray own;
      kqtest::Fill(own, {"x"});
      for (int i = 0; i < 10; ++i) {
        own.Append(own); // doubles: 2^10 elements at the end
      }
      EXPECT_EQ(own.GetSize(), 1024u);
    });
    first.join();
    second.join();
    self.join();
  });
  // Sizes depend on the interleaving, but only "a", "B" and "c" were ever added.
  for (CKQStringArray* array : {&left, &right}) {
    for (unsigned i = 0; i < array->GetSize(); ++i) {
      const std::string text = (*array)[i].ToUtf8();
      ASSERT_TRUE(text == "a" || text == "B" || text == "c") << text;
    }
  }
  for (unsigned i = 1; i < left.GetSize(); ++i) {
    ASSERT_LE(left[i - 1].CompareNoCase(left[i]), 0);
  }
}

// Two arrays appended to each other at the same time.  Each operation reads at most the strings
// its source held when it started, so both end, and neither array grows past its own strings
// plus all that the other held when it started.  An operation that chased the other's
// growth would never end: a watchdog then empties both arrays, which ends it, and fails the test.
TEST(KQConcurrencyStress, MutualAppendsEnd) {
  constexpr unsigned kEach = 3000;
  constexpr unsigned kBound = 3 * kEach; // kEach + (kEach + kEach)
  CKQStringArray left(1);
  CKQStringArray right(1);
  for (unsigned i = 0; i < kEach; ++i) {
    left.Add(S(("left " + std::to_string(i)).c_str()), nullptr);
    right.Add(S(("right " + std::to_string(i)).c_str()), nullptr);
  }
  std::atomic<int> running{2};
  std::thread first([&] {
    EXPECT_EQ(left.Append(right), 1);
    --running;
  });
  std::thread second([&] {
    EXPECT_EQ(right.Append(left), 1);
    --running;
  });
  bool overgrown = false;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  while (running.load() != 0) {
    if (left.GetSize() > kBound || right.GetSize() > kBound || Clock::now() > deadline) {
      overgrown = true;
      left.RemoveAll();
      right.RemoveAll();
    }
    std::this_thread::yield();
  }
  first.join();
  second.join();
  ASSERT_FALSE(overgrown) << "an append kept reading what the other one added";
  // The append that started first read the other array before it grew: exactly kEach strings.
  EXPECT_EQ(std::min(left.GetSize(), right.GetSize()), 2 * kEach);
  EXPECT_LE(std::max(left.GetSize(), right.GetSize()), kBound);
}

// A source emptied while a whole-array operation reads it: the operation stops at the source's
// end, adds no string the source did not hold, and records nothing in the source.  The test
// holds the source's lock to empty it while the operation waits for its next string.
TEST(KQConcurrencyStress, WholeArrayOperationsStopWhereTheSourceEnds) {
  constexpr unsigned kCount = 20000;
  const struct {
    const char* name;
    void (*run)(CKQStringArray& target, CKQStringArray& source);
  } operations[] = {
      {"Append", [](CKQStringArray& t, CKQStringArray& s) { EXPECT_EQ(t.Append(s), 1); }},
      {"Copy", [](CKQStringArray& t, CKQStringArray& s) { EXPECT_EQ(t.Copy(s), 1); }},
      {"assignment", [](CKQStringArray& t, CKQStringArray& s) { t = s; }},
  };
  for (const auto& operation : operations) {
    SCOPED_TRACE(operation.name);
    bool caughtMidway = false;
    // The operation may finish before the test takes the lock: then it tries again.
    for (int attempt = 0; attempt < 10 && !caughtMidway; ++attempt) {
      StringArrayProbe source;
      for (unsigned i = 0; i < kCount; ++i) {
        source.Add(S(("s" + std::to_string(i)).c_str()), nullptr);
      }
      source.GetErrorState().SetError(ERROR_NOT_FOUND);
      CKQStringArray target;
      std::thread reader([&] { operation.run(target, source); });
      while (target.GetSize() == 0) {
        std::this_thread::yield();
      }
      {
        kq::platform::ScopedLock hold(source.Lock());
        // Once the target stops growing, the operation waits for its next string from the source.
        for (unsigned seen = kCount + 1; seen != target.GetSize();) {
          seen = target.GetSize();
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        caughtMidway = target.GetSize() < kCount;
        source.RemoveAll();
      }
      reader.join();
      if (!caughtMidway) {
        continue;
      }
      EXPECT_LT(target.GetSize(), kCount);
      unsigned empty = 0; // every source string has text: an empty one was never there
      for (unsigned i = 0; i < target.GetSize(); ++i) {
        empty += target[i].GetLength() == 0 ? 1 : 0;
      }
      EXPECT_EQ(empty, 0u);
      EXPECT_EQ(kqtest::Code(source), ERROR_NOT_FOUND) << "reading the source records nothing";
    }
    if (!caughtMidway) {
      GTEST_SKIP() << operation.name << " always finished before the source could be emptied";
    }
  }
}

// The C interface's element reads beside a writer that keeps adding and removing the only
// element.  Each read tests the index and takes the element under one holding of the lock, so it
// gives the element ("hello", length 5) or the bad index ((size_t)-1, buffer untouched), never
// length 0: the array never holds an empty element.  (The recorded code is shared with the
// writer's own calls, so it is not read here.)
TEST(KQConcurrencyStress, CInterfaceReadsBesideAWriterGiveTheElementOrABadIndex) {
  kq_string_array* array = kq_string_array_new(0);
  ASSERT_NE(array, nullptr);
  constexpr int kCycles = 200000;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    for (int i = 0; i < kCycles && Clock::now() < deadline; ++i) {
      kq_string_array_add_utf8(array, "hello", 5, nullptr);
      kq_string_array_remove_at(array, 0);
    }
    writing = false;
  });
  long reads = 0;
  long empty = 0; // reads that gave length 0
  long wrong = 0; // any other result that is neither the element nor the bad index
  constexpr std::size_t kBadIndex = static_cast<std::size_t>(-1);
  while (writing.load()) {
    char utf8[8] = "#######";
    std::uint16_t utf16[8] = {'#', 0};
    const bool asUtf8 = reads % 2 == 0;
    const std::size_t length = asUtf8 ? kq_string_array_get_utf8(array, 0, utf8, sizeof utf8)
                                      : kq_string_array_get_utf16(array, 0, utf16, 8);
    const bool element = asUtf8 ? std::string_view(utf8) == "hello"
                                : utf16[0] == 'h' && utf16[4] == 'o' && utf16[5] == 0;
    const bool untouched = asUtf8 ? utf8[0] == '#' : utf16[0] == '#';
    ++reads;
    if (length == 0) {
      ++empty;
    } else if (!(length == 5 && element) && !(length == kBadIndex && untouched)) {
      ++wrong;
    }
  }
  writer.join();
  EXPECT_EQ(empty, 0) << "of " << reads << " reads";
  EXPECT_EQ(wrong, 0) << "of " << reads << " reads";
  kq_string_array_free(array);
}

// Assignment switches the target's sorted flag while other threads add to the target and
// replace its elements.  The flag changes under the target's lock, where Add and SetAt read it
// (ThreadSanitizer checks that), and only while the target is empty, so a sorted target stays
// in order and SetAt never replaces an element of a sorted one.
TEST(KQConcurrencyStress, AssignmentSwitchesTheSortedFlagUnderTheLock) {
  CKQStringArray sorted(1);
  CKQStringArray unsorted;
  kqtest::Fill(sorted, {"b", "A", "c"});
  kqtest::Fill(unsorted, {"z", "y"});
  CKQStringArray target;
  RunThreads([&](int thread, std::mt19937& random) {
    const CKQString text = S(kPool[random() % kPool.size()].c_str());
    if (thread == 0) {
      target = (random() % 2 == 0) ? sorted : unsorted;
    } else if (thread == 1) {
      target.SetAt(random() % 4, text);
    } else {
      target.Add(text, nullptr);
    }
  });
  if (target.IsSorted() != 0) {
    for (unsigned i = 1; i < target.GetSize(); ++i) {
      ASSERT_LE(target[i - 1].CompareNoCase(target[i]), 0) << "order broken at " << i;
    }
  }
}

// The integer array under Add, SetAt, RemoveAt and RemoveAll from every thread.  Each thread
// stores only values that carry its own number, so every slot left holds a value some thread
// wrote; without RemoveAll (second run) the count is adds minus removes.
TEST(KQConcurrencyStress, UintArrayWriters) {
  for (bool withRemoveAll : {false, true}) {
    CKQUintArray array;
    std::atomic<long> added{0};
    std::atomic<long> removed{0};
    RunThreads([&](int thread, std::mt19937& random) {
      const unsigned value =
          static_cast<unsigned>(thread + 1) * 1000u + static_cast<unsigned>(random() % 1000);
      switch (random() % 8) {
      case 0:
        if (withRemoveAll) {
          array.RemoveAll();
        }
        break;
      case 1:
        array.SetAt(random() % 16, value);
        break;
      case 2:
      case 3:
        if (array.RemoveAt(random() % 16) == 1) {
          ++removed;
        }
        break;
      default:
        if (array.Add(value) == 1) {
          ++added;
        }
      }
    });
    if (!withRemoveAll) {
      EXPECT_EQ(array.GetSize(), static_cast<unsigned>(added.load() - removed.load()));
    }
    for (unsigned i = 0; i < array.GetSize(); ++i) {
      const unsigned value = array[i];
      ASSERT_TRUE(value >= 1000 && value < (kThreads + 1) * 1000u) << value;
    }
  }
}

// The lock is re-entrant: the pointer array's destructor holds it while RemoveAll takes it
// again, and a string array appended to itself reads and inserts on one thread.  Both finish,
// on a thread other than the one that built the arrays, and leave the lock usable.
TEST(KQConcurrencyStress, LockIsReentrant) {
  auto* pointers = new CKQPtrArray;
  for (int i = 0; i < 25; ++i) {
    pointers->Add(nullptr, nullptr);
  }
  ExpectFinishes("destructor of a pointer array", [pointers] { delete pointers; });

  CKQStringArray strings(1);
  kqtest::Fill(strings, {"b", "a"});
  ExpectFinishes("Append(self)", [&strings] { EXPECT_EQ(strings.Append(strings), 1); });
  ExpectFinishes("Add after Append(self)",
                 [&strings] { EXPECT_EQ(strings.Add(S("c"), nullptr), 1); });
  EXPECT_EQ(kqtest::Texts(strings), (std::vector<std::string>{"a", "a", "b", "b", "c"}));
}
