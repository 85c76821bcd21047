// The Qt 5 columns: QStringList beside the string arrays, QList<void*> beside the pointer
// arrays.  Built only when Qt 5 Core is found.
#include "KQBench.h"
#include "KQBenchHeap.h"
#include "KQPtrWorkloads.h"
#include "KQStringWorkloads.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <string_view>
#include <vector>

namespace kqb {
namespace {

bool QtLess(const QString& a, const QString& b) {
  return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

unsigned QtFind(const QStringList& list, const QString& q, Qt::CaseSensitivity cs) {
  for (int i = 0; i < list.size(); ++i) {
    if (QString::compare(list.at(i), q, cs) == 0) {
      return static_cast<unsigned>(i);
    }
  }
  return kNoIndex;
}

struct QtColumn {
  static constexpr const char* kName = "QStringList";
  static constexpr int kThreads = 1;
  using Text = QString;
  using Unsorted = QStringList;
  using Sorted = QStringList;

  static QString Make(const std::u16string& text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<int>(text.size()));
  }
  static const std::vector<QString>& Texts() { return PreparedTexts<QtColumn>(); }
  static const char16_t* Units(const QString& text) {
    return reinterpret_cast<const char16_t*>(text.utf16());
  }
  static std::size_t Length(const QString& text) { return static_cast<std::size_t>(text.size()); }
  static std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()),
            static_cast<std::size_t>(text.size())};
  }
  static std::size_t Size(const QStringList& list) { return static_cast<std::size_t>(list.size()); }

  static void Add(QStringList& list, const QString& text) { list.append(text); }
  static void AddSorted(QStringList& list, const QString& text) {
    const auto it = std::lower_bound(list.cbegin(), list.cend(), text, QtLess);
    list.insert(static_cast<int>(it - list.cbegin()), text);
  }
  static void BuildSorted(QStringList& list, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      list.append(Texts()[i]);
    }
    list.sort(Qt::CaseInsensitive);
  }
  static void AppendToSorted(QStringList& list, const QStringList& more) {
    const auto mid = list.size();
    list.append(more);
    std::stable_sort(list.begin() + mid, list.end(), QtLess);
    std::inplace_merge(list.begin(), list.begin() + mid, list.end(), QtLess);
  }

  static QString ReadOut(const QStringList& list, std::size_t i) {
    return list.at(static_cast<int>(i));
  }
  static unsigned FindNoCase(const QStringList& list, const QString& q) {
    return QtFind(list, q, Qt::CaseInsensitive);
  }
  static unsigned FindExact(const QStringList& list, const QString& q) {
    return QtFind(list, q, Qt::CaseSensitive);
  }
  static unsigned FindSorted(const QStringList& list, const QString& q) {
    const auto it = std::lower_bound(list.cbegin(), list.cend(), q, QtLess);
    return it == list.cend() || QString::compare(*it, q, Qt::CaseInsensitive) != 0
               ? kNoIndex
               : static_cast<unsigned>(it - list.cbegin());
  }

  static void RemoveFront(QStringList& list) { list.removeAt(0); }
  static void Append(QStringList& target, const QStringList& source) { target.append(source); }
  static void Copy(QStringList& target, const QStringList& source) { target = source; }
  static QStringList Plus(const QStringList& left, const QStringList& right) {
    return left + right;
  }

  static const unsigned short** CreateFlat(QStringList& list) {
    return HandMadeFlat<QtColumn>(list);
  }
  static void FreeFlat(QStringList&, const unsigned short** flat) { FreeFlatByLoop(flat); }
};

struct QtTwoThreads : QtColumn {
  static constexpr const char* kName = "QStringList_2threads";
  static constexpr int kThreads = 2;
};

struct QtPtrColumn {
  static constexpr const char* kName = "QList";
  using Container = QList<void*>;
  static void Add(Container& list, void* value) { list.append(value); }
  static unsigned Find(const Container& list, void* value) {
    const int at = list.indexOf(value);
    return at < 0 ? kNoIndex : static_cast<unsigned>(at);
  }
  static void RemoveFront(Container& list) { list.removeAt(0); }
  static std::size_t Size(const Container& list) { return static_cast<std::size_t>(list.size()); }
};

KQB_CHECK(CheckStringColumn, QtColumn);
KQB_CHECK(CheckPtrColumn, QtPtrColumn);

KQB_ROW(AddUnsorted, QtColumn, ScaleSizes());
KQB_ROW(CopyOut, QtColumn, ScaleSizes());
KQB_ROW(ConstRangeFor, QtColumn, Capped({100000, 1000000}));
KQB_WALL_ROW(ConcurrentRangeFor, QtColumn, Capped({100000, 1000000}));
KQB_WALL_ROW(ConcurrentRangeFor, QtTwoThreads, Capped({100000, 1000000}));
KQB_ROW(AddSorted, QtColumn, ClassicSizes());
KQB_ROW(SortedBuild, QtColumn, ScaleSizes());
KQB_ROW(AppendToSorted, QtColumn, Capped({100000}));
KQB_ROW(FindNoCasePresent, QtColumn, ScaleSizes());
KQB_ROW(FindNoCaseAbsent, QtColumn, ScaleSizes());
KQB_ROW(FindSorted, QtColumn, ScaleSizes());
KQB_ROW(FindExact, QtColumn, ClassicSizes());
KQB_ROW(RemoveFront, QtColumn, Capped({1000, 10000}));
KQB_ROW(Append, QtColumn, ClassicSizes());
KQB_ROW(Copy, QtColumn, ClassicSizes());
KQB_ROW(Plus, QtColumn, ClassicSizes());
KQB_ROW(MemoryArray, QtColumn, ClassicSizes());
KQB_HEAP_ROW(QtColumn);
KQB_ROW(PtrAdd, QtPtrColumn, ClassicSizes());
KQB_ROW(PtrFind, QtPtrColumn, ClassicSizes());
KQB_ROW(PtrRemoveFront, QtPtrColumn, Capped({1000, 10000}));

} // namespace
} // namespace kqb
