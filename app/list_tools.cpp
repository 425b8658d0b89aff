// The list tools: Clear, Remove duplicates, Sort by popularity, Count and
// L <- R. The text list is the master copy; the grid rows are rebuilt from
// its lines.

#include <algorithm>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "app/form_main.h"
#include "base/collation.h"
#include "base/cp1251.h"
#include "base/int_conversion.h"
#include "base/text.h"

namespace kv {

void TFormMainModel::FillGridRowFromLine(int row, const std::string& line) {
  StrGrid1.SetCell(0, row, CopyView(line, 15, static_cast<long>(line.size())));
  StrGrid1.SetCell(1, row, CopyView(line, 1, 7));
}

void TFormMainModel::ClearButtClick() {
  MemoArea.Clear();
  StrGrid1.SetRowCount(1);
}

void TFormMainModel::RemDupButtClick() {
  // First occurrence wins; lines are equal only when identical byte for byte.
  const size_t count = MemoArea.LineCount();
  std::vector<size_t> kept;
  {
    std::unordered_set<std::string_view> seen;
    seen.reserve(count);
    for (size_t a = 0; a < count; ++a)
      if (seen.insert(MemoArea.LineView(a)).second) kept.push_back(a);
  }
  StatusBar1.SetSimpleText(std::string("Выполнено: удалено "_w1251) + IntToStr(static_cast<int64_t>(count - kept.size())) +
                           std::string(" дубликатов"_w1251));
  MemoArea.KeepLines(kept);
  for (size_t r = 0; r < kept.size(); ++r) FillGridRowFromLine(static_cast<int>(r) + 1, MemoArea.RawLine(r));
  StrGrid1.SetRowCount(static_cast<int>(kept.size()) + 1);
}

namespace {

struct SortEntry {
  std::string key;   // collation key of the line
  std::string line;
};

bool KeyLess(const SortEntry& a, const SortEntry& b) { return a.key < b.key; }

// Collation keys are the costly part of a sort; a long list shares the work
// among the processor's cores (the collator may be used from many threads).
void ComputeSortKeys(std::vector<SortEntry>& list, const TextCollator& collator) {
  constexpr size_t kLinesPerThread = 50'000;
  size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 8);
  threads = std::clamp<size_t>(list.size() / kLinesPerThread, 1, threads);
  const size_t block = (list.size() + threads - 1) / threads;
  auto work = [&](size_t part) {
    size_t end = std::min(list.size(), (part + 1) * block);
    for (size_t i = part * block; i < end; ++i) list[i].key = collator.SortKey(list[i].line);
  };
  std::vector<std::thread> helpers;
  for (size_t part = 1; part < threads; ++part) helpers.emplace_back(work, part);
  work(0);
  for (auto& t : helpers) t.join();
}

// The quicksort of the sort tool, step for step, so that lines comparing
// equal come out in the same order. The pivot is whatever entry currently
// stands at index p.
void QuickSort(std::vector<SortEntry>& list, long l, long r) {
  long i;
  do {
    i = l;
    long j = r;
    long p = (l + r) / 2;
    do {
      while (KeyLess(list[static_cast<size_t>(i)], list[static_cast<size_t>(p)])) ++i;
      while (KeyLess(list[static_cast<size_t>(p)], list[static_cast<size_t>(j)])) --j;
      if (i <= j) {
        std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
        if (p == i) p = j;
        else if (p == j) p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSort(list, l, j);
    l = i;
  } while (i < r);
}

}  // namespace

void TFormMainModel::SortButtClick() {
  const size_t n = MemoArea.LineCount();
  if (n == 0) return;
  std::vector<SortEntry> list(n);
  for (size_t i = 0; i < n; ++i) list[i].line = MemoArea.Line(i);
  ComputeSortKeys(list, DefaultCollator());
  if (n >= 2) QuickSort(list, 0, static_cast<long>(n) - 1);
  // Written back in reverse: the highest count first.
  for (size_t i = 0; i < n; ++i) {
    std::string& line = list[n - 1 - i].line;
    FillGridRowFromLine(static_cast<int>(i) + 1, line);
    MemoArea.ReplaceLineTaking(i, std::move(line));
  }
}

void TFormMainModel::Count1Click() {
  StatusBar1.SetSimpleText(IntToStr(static_cast<int64_t>(MemoArea.LineCount())) +
                           std::string(" кейвордов в списке"_w1251));
}

void TFormMainModel::LtoRClick() {
  const size_t n = MemoArea.LineCount();
  for (size_t i = 0; i < n; ++i) FillGridRowFromLine(static_cast<int>(i) + 1, MemoArea.Line(i));
  StrGrid1.SetRowCount(static_cast<int>(n) + 1);
}

}  // namespace kv
