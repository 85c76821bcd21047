// The suite's shared data (sizes, texts, queries, pointer values) and its two registries: the
// benchmark rows and the start-up checks that make every column prove it does the same job
// before anything is timed.
#include "KQBench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <utility>

namespace kqb {
namespace {

constexpr std::uint32_t kSeed = 20240611;
// The second text set of the append-to-sorted row is this many texts after the first.
constexpr std::size_t kAppendN = 100000;

// Letters whose simple lowercase equals their simple case folding, in upper/lower pairs.
constexpr char16_t kNonAscii[][2] = {{u'\u00C9', u'\u00E9'}, {u'\u00C4', u'\u00E4'},
                                     {u'\u00D6', u'\u00F6'}, {u'\u00D1', u'\u00F1'},
                                     {u'\u03A3', u'\u03C3'}, {u'\u0416', u'\u0436'}};

char16_t RandomLetter(std::mt19937& rng) {
  const auto pick = rng() % 100;
  const bool upper = (rng() & 1) != 0;
  if (pick < 5) { // a few non-ASCII letters
    return kNonAscii[rng() % std::size(kNonAscii)][upper ? 0 : 1];
  }
  const auto letter = static_cast<char16_t>(rng() % 26);
  return static_cast<char16_t>((upper ? u'A' : u'a') + letter);
}

std::u16string RandomText(std::mt19937& rng, std::size_t units) {
  std::u16string text(units, u' ');
  for (char16_t& unit : text) {
    unit = RandomLetter(rng);
  }
  return text;
}

std::size_t RandomLength(std::mt19937& rng) { return 8 + rng() % 33; } // 8..40 units

std::u16string Scramble(std::u16string text, std::mt19937& rng) {
  for (char16_t& unit : text) {
    if ((rng() & 1) == 0) {
      continue;
    }
    if (unit >= u'a' && unit <= u'z') {
      unit = static_cast<char16_t>(unit - 32);
    } else if (unit >= u'A' && unit <= u'Z') {
      unit = static_cast<char16_t>(unit + 32);
    } else {
      for (const auto& pair : kNonAscii) {
        if (unit == pair[0] || unit == pair[1]) {
          unit = unit == pair[0] ? pair[1] : pair[0];
          break;
        }
      }
    }
  }
  return text;
}

std::vector<std::int64_t> AsArgs(const std::vector<std::size_t>& sizes) {
  return {sizes.begin(), sizes.end()};
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Sizes

std::size_t MaxN() {
  static const std::size_t maxN = [] {
    const char* text = std::getenv("KQ_BENCH_MAX_N");
    if (text == nullptr || *text == '\0') {
      return kLargestN;
    }
    const unsigned long long value = std::strtoull(text, nullptr, 10);
    return value < 16 ? std::size_t{16} : std::min<std::size_t>(kLargestN, value);
  }();
  return maxN;
}

std::vector<std::int64_t> Capped(std::initializer_list<std::size_t> sizes) {
  std::vector<std::size_t> out;
  for (std::size_t n : sizes) {
    if (n <= MaxN()) {
      out.push_back(n);
    }
  }
  if (out.empty()) {
    out.push_back(MaxN());
  }
  return AsArgs(out);
}

std::vector<std::int64_t> ScaleSizes() { return Capped({1000, 10000, 100000, 1000000}); }
std::vector<std::int64_t> ClassicSizes() { return Capped({1000, 10000, 100000}); }

// ---------------------------------------------------------------------------------------------
// Prepared data

std::size_t PoolSize() { return std::max(MaxN(), 2 * std::min(kAppendN, MaxN())); }

const std::vector<std::u16string>& Texts() {
  static const std::vector<std::u16string> texts = [] {
    std::mt19937 rng(kSeed);
    std::vector<std::u16string> out;
    out.reserve(PoolSize());
    for (std::size_t i = 0; i < PoolSize(); ++i) {
      out.push_back(RandomText(rng, RandomLength(rng)));
    }
    return out;
  }();
  return texts;
}

std::vector<std::u16string> FixedLengthTexts(std::size_t count, std::size_t units) {
  std::mt19937 rng(kSeed + 1);
  std::vector<std::u16string> out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(RandomText(rng, units));
  }
  return out;
}

std::u16string ScrambleCase(std::u16string text, std::uint32_t seed) {
  std::mt19937 rng(seed);
  return Scramble(std::move(text), rng);
}

const std::vector<std::uint32_t>& SortedOrder(std::size_t n) {
  static std::map<std::size_t, std::unique_ptr<std::vector<std::uint32_t>>> cache;
  std::unique_ptr<std::vector<std::uint32_t>>& slot = cache[n];
  if (!slot) {
    const std::vector<std::u16string>& texts = Texts();
    slot = std::make_unique<std::vector<std::uint32_t>>(n);
    for (std::size_t i = 0; i < n; ++i) {
      (*slot)[i] = static_cast<std::uint32_t>(i);
    }
    std::stable_sort(slot->begin(), slot->end(), [&texts](std::uint32_t a, std::uint32_t b) {
      return LessNoCaseU16(texts[a], texts[b]);
    });
  }
  return *slot;
}

std::size_t QueryCount(std::size_t n) {
  return std::max<std::size_t>(100, std::min<std::size_t>(1000, 100000000 / n));
}

const QuerySet& Queries(std::size_t n) {
  static std::map<std::size_t, std::unique_ptr<QuerySet>> cache;
  std::unique_ptr<QuerySet>& slot = cache[n];
  if (!slot) {
    slot = std::make_unique<QuerySet>();
    std::mt19937 rng(kSeed + static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < QueryCount(n); ++i) {
      const std::u16string& present = Texts()[rng() % n];
      slot->presentExact.push_back(present);
      slot->presentScrambled.push_back(Scramble(present, rng));
      std::u16string absent = RandomText(rng, RandomLength(rng));
      absent[rng() % absent.size()] = static_cast<char16_t>(u'0' + rng() % 10);
      slot->absent.push_back(std::move(absent));
    }
  }
  return *slot;
}

std::vector<std::u16string> RepeatedQueries(std::size_t n) {
  std::mt19937 rng(kSeed + 11 + static_cast<std::uint32_t>(n));
  std::vector<std::u16string> out;
  out.reserve(kRepeatedLookUps);
  for (std::size_t i = 0; i < kRepeatedLookUps; i += 2) {
    out.push_back(Scramble(Texts()[rng() % n], rng));
    std::u16string absent = RandomText(rng, RandomLength(rng));
    absent[rng() % absent.size()] = static_cast<char16_t>(u'0' + rng() % 10);
    out.push_back(std::move(absent));
  }
  return out;
}

std::vector<void*> Pointers(std::size_t n) {
  static std::vector<char> targets(kLargestN);
  std::vector<void*> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = &targets[i];
  }
  return out;
}

std::vector<void*> PointerQueries(std::size_t n) {
  const std::vector<void*> all = Pointers(n);
  std::mt19937 rng(kSeed + 7);
  std::vector<void*> out(QueryCount(n));
  for (void*& q : out) {
    q = all[rng() % n];
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Registries

namespace {

std::vector<std::pair<std::string, CheckFn>>& Checks() {
  static std::vector<std::pair<std::string, CheckFn>> checks;
  return checks;
}

double Smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
double Largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

} // namespace

bool RegisterRow(const char* workload, const char* column, WorkloadFn fn,
                 const std::vector<std::int64_t>& args, std::int64_t iterations, bool wallTime) {
  const std::string name = std::string(workload) + "/" + column;
  benchmark::internal::Benchmark* row = benchmark::RegisterBenchmark(name.c_str(), fn);
  for (std::int64_t arg : args) {
    row->Arg(arg);
  }
  if (iterations != 0) {
    row->Iterations(iterations);
  }
  if (wallTime) {
    row->UseManualTime();
  }
  row->ComputeStatistics("min", Smallest)->ComputeStatistics("max", Largest);
  return true;
}

bool RegisterCheck(std::string name, CheckFn check) {
  Checks().emplace_back(std::move(name), check);
  return true;
}

bool RunChecks() {
  bool ok = true;
  for (const auto& [name, check] : Checks()) {
    if (!check()) {
      std::fprintf(stderr, "  in: %s\n", name.c_str());
      ok = false;
    }
  }
  return ok;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "check failed: %s\n", what.c_str());
  return false;
}

} // namespace kqb
