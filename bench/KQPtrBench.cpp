// The pointer-array rows of this library's CKQPtrArray and of std::vector<void*>.
#include "KQBench.h"
#include "KQPtrArray.h"
#include "KQPtrWorkloads.h"

#include <algorithm>
#include <vector>

namespace kqb {
namespace {

struct KqPtrColumn {
  static constexpr const char* kName = "KQ";
  using Container = CKQPtrArray;
  static void Add(CKQPtrArray& array, void* value) { array.Add(value); }
  static unsigned Find(CKQPtrArray& array, void* value) { return array.Find(value); }
  static void RemoveFront(CKQPtrArray& array) { array.RemoveAt(0); }
  static std::size_t Size(CKQPtrArray& array) { return array.GetSize(); }
};

struct VectorPtrColumn {
  static constexpr const char* kName = "vector";
  using Container = std::vector<void*>;
  static void Add(Container& v, void* value) { v.push_back(value); }
  static unsigned Find(const Container& v, void* value) {
    const auto it = std::find(v.begin(), v.end(), value);
    return it == v.end() ? kNoIndex : static_cast<unsigned>(it - v.begin());
  }
  static void RemoveFront(Container& v) { v.erase(v.begin()); }
  static std::size_t Size(const Container& v) { return v.size(); }
};

KQB_CHECK(CheckPtrColumn, KqPtrColumn);
KQB_CHECK(CheckPtrColumn, VectorPtrColumn);

KQB_ROW(PtrAdd, KqPtrColumn, ClassicSizes());
KQB_ROW(PtrAdd, VectorPtrColumn, ClassicSizes());
KQB_ROW(PtrFind, KqPtrColumn, ClassicSizes());
KQB_ROW(PtrFind, VectorPtrColumn, ClassicSizes());
// Removing at the front is quadratic for every column: 10^4 at most.
KQB_ROW(PtrRemoveFront, KqPtrColumn, Capped({1000, 10000}));
KQB_ROW(PtrRemoveFront, VectorPtrColumn, Capped({1000, 10000}));

} // namespace
} // namespace kqb
