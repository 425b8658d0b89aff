// The list tools: Clear, Remove duplicates, Sort by popularity, Count and
// L <- R. The text list is the master copy; the grid rows are rebuilt from
// its lines.

#include <algorithm>
#include <string_view>
#include <vector>

#include "app/form_main.h"
#include "app/line_order.h"
#include "base/collation.h"
#include "base/cp1251.h"
#include "base/int_conversion.h"
#include "base/text.h"

namespace kv {

void TFormMainModel::FillGridRowFromLine(int row, std::string_view line) {
  StrGrid1.SetCell(0, row, CopyView(line, 15, static_cast<long>(line.size())));
  StrGrid1.SetCell(1, row, CopyView(line, 1, 7));
}

void TFormMainModel::ReserveGridForLines() {
  const int rows = static_cast<int>(MemoArea.LineCount());
  // Every one of these rows is rewritten next: texts of an earlier fill
  // would only be copied into the new room and dropped.
  StrGrid1.ClearRows(1, rows);
  // The cells filled from a line hold fewer bytes than the line and its line
  // end, which also cover the cells' lengths.
  StrGrid1.Reserve(rows + 1, MemoArea.TextLength());
}

void TFormMainModel::ClearButtClick() {
  MemoArea.Clear();
  StrGrid1.SetRowCount(1);
}

void TFormMainModel::RemDupButtClick() {
  const size_t count = MemoArea.LineCount();
  const std::vector<size_t> kept = FirstOccurrences(MemoArea);
  StatusBar1.SetSimpleText(std::string("Выполнено: удалено "_w1251) + IntToStr(static_cast<int64_t>(count - kept.size())) +
                           std::string(" дубликатов"_w1251));
  MemoArea.KeepLines(kept);
  ReserveGridForLines();
  for (size_t r = 0; r < kept.size(); ++r) FillGridRowFromLine(static_cast<int>(r) + 1, MemoArea.RawLine(r));
  StrGrid1.SetRowCount(static_cast<int>(kept.size()) + 1);
}

void TFormMainModel::SortButtClick() {
  const size_t n = MemoArea.LineCount();
  if (n == 0) return;
  // Written back in reverse: the highest count first.
  std::vector<uint32_t> order = SortedLineOrder(MemoArea, DefaultCollator());
  std::reverse(order.begin(), order.end());
  ReserveGridForLines();
  for (size_t i = 0; i < n; ++i) FillGridRowFromLine(static_cast<int>(i) + 1, MemoArea.LineView(order[i]));
  MemoArea.ReorderLines(order);
}

void TFormMainModel::Count1Click() {
  StatusBar1.SetSimpleText(IntToStr(static_cast<int64_t>(MemoArea.LineCount())) +
                           std::string(" кейвордов в списке"_w1251));
}

void TFormMainModel::LtoRClick() {
  const size_t n = MemoArea.LineCount();
  ReserveGridForLines();
  for (size_t i = 0; i < n; ++i) FillGridRowFromLine(static_cast<int>(i) + 1, MemoArea.LineView(i));
  StrGrid1.SetRowCount(static_cast<int>(n) + 1);
}

}  // namespace kv
