#include <gtest/gtest.h>

#include <functional>

#include "tests/app/form_fixture.h"

namespace kv::test {
namespace {

using Lines = std::vector<std::string>;

TEST_F(FormTest, ShowingTheWindowSetsColumnWidthsAndHeaders) {
  EXPECT_EQ(form.StrGrid1.ColWidth(0), 192);
  EXPECT_EQ(form.StrGrid1.ColWidth(1), 130);
  EXPECT_EQ(GridRows(0, 0), Lines{"Кейворд|Всего запросов"});
  EXPECT_EQ(form.StrGrid1.RowCount(), 1);
  EXPECT_EQ(form.SpinEdMaxKw.Text(), "1");
  EXPECT_EQ(form.SpinEdKwPM.Text(), "1");
  EXPECT_EQ(form.SpinEdKwPM.MaxValue(), 99999);
  EXPECT_EQ(Status(), "");
}

TEST_F(FormTest, ClearEmptiesTheListAndHidesGridRowsKeepingTheirCells) {
  SetList({"    351   -   кот"});
  form.LtoRClick();
  form.StatusBar1.SetSimpleText("kept");
  form.ClearButtClick();
  EXPECT_EQ(form.MemoArea.LineCount(), 0u);
  EXPECT_EQ(form.StrGrid1.RowCount(), 1);
  EXPECT_EQ(GridRows(1, 1), Lines{"кот|    351"});  // stored, hidden
  EXPECT_EQ(Status(), "kept");
}

TEST_F(FormTest, RemoveDuplicatesKeepsFirstOccurrencesByteForByte) {
  SetList({"x", "X", "x", "x "});
  form.RemDupButtClick();
  EXPECT_EQ(ListLines(), (Lines{"x", "X", "x "}));
  EXPECT_EQ(Status(), "Выполнено: удалено 1 дубликатов");
  EXPECT_EQ(form.StrGrid1.RowCount(), 4);
  EXPECT_EQ(form.MemoArea.Text(), "x\r\nX\r\nx \r\n");
}

TEST_F(FormTest, RemoveDuplicatesOnAnEmptyListReportsNone) {
  form.StrGrid1.SetRowCount(5);
  form.RemDupButtClick();
  EXPECT_EQ(Status(), "Выполнено: удалено 0 дубликатов");
  EXPECT_EQ(form.MemoArea.LineCount(), 0u);
  EXPECT_EQ(form.StrGrid1.RowCount(), 1);
}

TEST_F(FormTest, RemoveDuplicatesRewritesGridRowsThatWereOutOfStep) {
  SetList({"     42   -   собака", "    351   -   кот", "     42   -   собака", "      5   -   ёж", "    351   -   кот"});
  form.StrGrid1.SetCell(0, 1, "stale");
  form.RemDupButtClick();
  EXPECT_EQ(Status(), "Выполнено: удалено 2 дубликатов");
  EXPECT_EQ(GridRows(1, 3), (Lines{"собака|     42", "кот|    351", "ёж|      5"}));
  EXPECT_EQ(form.StrGrid1.RowCount(), 4);
}

TEST_F(FormTest, RemoveDuplicatesComparesLinesCutAt4096) {
  std::string long_a = std::string(4096, 'a') + "1", long_b = std::string(4096, 'a') + "2";
  form.MemoArea.SetText(long_a + "\r\n" + long_b + "\r\n");
  form.RemDupButtClick();
  EXPECT_EQ(form.MemoArea.LineCount(), 1u);
  EXPECT_EQ(form.MemoArea.Line(0), std::string(4096, 'a'));
}

TEST_F(FormTest, SortPutsTheHighestCountFirstAndLeavesTheRowCount) {
  SetList({"      5   -   ёж", "    351   -   кот", "     42   -   собака"});
  form.StrGrid1.SetRowCount(2);
  form.SortButtClick();
  EXPECT_EQ(ListLines(), (Lines{"    351   -   кот", "     42   -   собака", "      5   -   ёж"}));
  EXPECT_EQ(GridRows(1, 3), (Lines{"кот|    351", "собака|     42", "ёж|      5"}));
  EXPECT_EQ(form.StrGrid1.RowCount(), 2);
  EXPECT_EQ(Status(), "");
}

TEST_F(FormTest, SortOrdersEqualCountsByKeywordDescending) {
  SetList({"    351   -   арбуз", "    351   -   Вишня", "    351   -   банан"});
  form.SortButtClick();
  EXPECT_EQ(ListLines(), (Lines{"    351   -   Вишня", "    351   -   банан", "    351   -   арбуз"}));
}

TEST_F(FormTest, SortPlacesLongCountsByTheirCharacters) {
  SetList({"12345678   -   a", "2000000   -   b", "    351   -   c"});
  form.SortButtClick();
  EXPECT_EQ(ListLines(), (Lines{"2000000   -   b", "12345678   -   a", "    351   -   c"}));
}

TEST_F(FormTest, SortKeepsTheQuicksortOrderOfLinesThatCompareEqual) {
  // All four compare equal when case is ignored; their order after the sort
  // follows the exchanges of the quicksort, then the reversal.
  SetList({"    351   -   ab", "    351   -   Ab", "    351   -   aB", "    351   -   AB"});
  form.SortButtClick();
  EXPECT_EQ(ListLines(), (Lines{"    351   -   Ab", "    351   -   ab", "    351   -   AB", "    351   -   aB"}));
}

TEST_F(FormTest, SortingAnEmptyLastLineWithoutLineEndKeepsCountAndTextInStep) {
  form.MemoArea.SetText("x\r\n\r\nb");  // typed: no line end after "b"
  form.SortButtClick();
  form.Count1Click();
  EXPECT_EQ(Status(), "2 кейвордов в списке");
  EXPECT_EQ(form.MemoArea.Text(), "x\r\nb\r\n");
  form.RemDupButtClick();
  EXPECT_EQ(form.MemoArea.Text(), "x\r\nb\r\n");
  EXPECT_EQ(Status(), "Выполнено: удалено 0 дубликатов");
}

TEST_F(FormTest, SortOnAnEmptyListChangesNothing) {
  form.StrGrid1.SetCell(0, 1, "old");
  form.SortButtClick();
  EXPECT_EQ(form.MemoArea.LineCount(), 0u);
  EXPECT_EQ(form.StrGrid1.Cell(0, 1), "old");
}

TEST_F(FormTest, SortAfterClearShowsRowsOnlyAfterLtoR) {
  SetList({"a"});
  form.ClearButtClick();
  form.MemoArea.SetText(W("      5   -   ёж\r\n    351   -   кот\r\n     42   -   собака"));
  form.SortButtClick();
  EXPECT_EQ(form.StrGrid1.RowCount(), 1);
  form.LtoRClick();
  EXPECT_EQ(form.StrGrid1.RowCount(), 4);
  EXPECT_EQ(GridRows(1, 3), (Lines{"кот|    351", "собака|     42", "ёж|      5"}));
}

TEST_F(FormTest, CountCountsEveryLineButNotAFinalLineEnd) {
  struct Case { const char* text; const char* status; };
  const Case cases[] = {{"a\r\nb\r\n", "2 кейвордов в списке"},
                        {"a\r\n\r\nb", "3 кейвордов в списке"},
                        {"", "0 кейвордов в списке"}};
  for (const auto& c : cases) {
    form.MemoArea.SetText(c.text);
    form.Count1Click();
    EXPECT_EQ(Status(), c.status);
  }
}

TEST_F(FormTest, LtoRFillsRowsFromLinesWithoutCheckingTheirForm) {
  SetList({"    351   -   кот", "short", "", "12345678   -   long count"});
  form.LtoRClick();
  EXPECT_EQ(form.StrGrid1.RowCount(), 5);
  // Keyword from character 15, count as characters 1 to 7.
  EXPECT_EQ(GridRows(1, 4), (Lines{"кот|    351", "|short", "|", " long count|1234567"}));
}

TEST_F(FormTest, LtoROnAnEmptyListWritesNoCell) {
  form.StrGrid1.SetRowCount(3);
  form.StrGrid1.SetCell(0, 1, "kept");
  form.LtoRClick();
  EXPECT_EQ(form.StrGrid1.RowCount(), 1);
  EXPECT_EQ(form.StrGrid1.Cell(0, 1), "kept");
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

// The sort tool's quicksort step for step, over keys made one by one: the
// order a long list must come out in, however the work is shared.
std::vector<std::string> ReferenceSort(std::vector<std::string> lines) {
  std::vector<std::pair<std::string, std::string>> list;  // key, line
  for (auto& line : lines) list.emplace_back(DefaultCollator().SortKey(line), std::move(line));
  auto less = [&](long a, long b) { return list[size_t(a)].first < list[size_t(b)].first; };
  std::function<void(long, long)> sort = [&](long l, long r) {
    long i;
    do {
      i = l;
      long j = r, p = (l + r) / 2;
      do {
        while (less(i, p)) ++i;
        while (less(p, j)) --j;
        if (i <= j) {
          std::swap(list[size_t(i)], list[size_t(j)]);
          if (p == i) p = j;
          else if (p == j) p = i;
          ++i;
          --j;
        }
      } while (i <= j);
      if (l < j) sort(l, j);
      l = i;
    } while (i < r);
  };
  if (list.size() >= 2) sort(0, long(list.size()) - 1);
  std::vector<std::string> sorted;
  for (auto it = list.rbegin(); it != list.rend(); ++it) sorted.push_back(std::move(it->second));
  return sorted;
}

// Long lists have their collation keys made and their parts sorted on
// several threads; lines that compare equal (the same count, the keyword
// in another case) must still come out exactly where the quicksort puts them.
TEST_F(FormTest, SortOfALongListKeepsTheQuicksortOrder) {
  std::vector<std::string> lines;
  const int n = 120'000;
  const char* const spellings[] = {"kw", "KW", "Kw", "kW"};
  for (int i = 0; i < n; ++i) {
    std::string count = std::to_string((i * 7919) % 5'000);
    lines.push_back(std::string(7 - count.size(), ' ') + count + "   -   " + spellings[(i / 7) % 4] +
                    std::to_string(i % 13));
  }
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  form.MemoArea.SetText(text);
  form.SortButtClick();
  const std::vector<std::string> expected = ReferenceSort(lines);
  ASSERT_EQ(form.MemoArea.LineCount(), static_cast<size_t>(n));
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(form.MemoArea.Line(i), expected[i]) << "at line " << i;
    ASSERT_EQ(form.StrGrid1.Cell(0, int(i) + 1), expected[i].substr(14)) << "at row " << i + 1;
  }
}

}  // namespace
}  // namespace kv::test
