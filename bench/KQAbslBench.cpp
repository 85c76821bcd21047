// The flat_hash_map column of the repeated-find rows: what a user who wants fast
// case-insensitive look-ups in a list of strings writes beside the list, an
// absl::flat_hash_map from each element's lowered text to its first index.  Built only when
// Abseil is found.
#include "KQBench.h"
#include "KQStringWorkloads.h"

#include <absl/container/flat_hash_map.h>

#include <string>
#include <string_view>
#include <vector>

namespace kqb {
namespace {

// The strings in arrival order and the index beside them: the lowered text of every element to
// the position of the first element with that lowered text.  A look-up lowers the query into
// the buffer the list keeps for it (so it allocates nothing once the buffer has grown to the
// longest query) and finds the lowered text: O(length of the query) expected.
struct IndexedList {
  std::vector<std::u16string> texts;
  absl::flat_hash_map<std::u16string, unsigned> firstIndex;
  std::u16string lowered;
};

// The column policy of the repeated-find workloads and their check (the members they use).
// One container serves both rows: the index does not care about the order of the list.
struct FlatHashMapColumn {
  static constexpr const char* kName = "flat_hash_map";
  using Text = std::u16string;
  using Unsorted = IndexedList;
  using Sorted = IndexedList;

  static std::u16string Make(const std::u16string& text) { return text; }
  static const std::vector<std::u16string>& Texts() { return kqb::Texts(); }
  static std::u16string_view View(const std::u16string& text) { return text; }
  static std::size_t Size(const IndexedList& list) { return list.texts.size(); }

  // Appends a copy of the text and indexes it unless an element equal to it without regard to
  // case came before.
  static void Add(IndexedList& list, const std::u16string& text) {
    LowerU16(text, list.lowered);
    list.firstIndex.try_emplace(list.lowered, static_cast<unsigned>(list.texts.size()));
    list.texts.push_back(text);
  }
  static void BuildSorted(IndexedList& list, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      Add(list, Texts()[i]);
    }
  }
  static const std::u16string& ReadOut(const IndexedList& list, std::size_t i) {
    return list.texts[i];
  }

  static unsigned FindNoCase(IndexedList& list, const std::u16string& q) {
    LowerU16(q, list.lowered);
    const auto it = list.firstIndex.find(list.lowered);
    return it == list.firstIndex.end() ? kNoIndex : it->second;
  }
  static unsigned FindSorted(IndexedList& list, const std::u16string& q) {
    return FindNoCase(list, q);
  }
};

KQB_CHECK(CheckRepeatedFind, FlatHashMapColumn);

KQB_ROW(FindRepeated, FlatHashMapColumn, Capped({10000, 100000, 1000000}));
KQB_ROW(FindRepeatedSorted, FlatHashMapColumn, Capped({100000, 1000000}));

} // namespace
} // namespace kqb
