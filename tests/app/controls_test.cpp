#include "app/controls.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace kv {
namespace {

TEST(Grid, RowCountHasAFloorOfOne) {
  TStringGrid grid;
  EXPECT_EQ(grid.RowCount(), 1);
  for (int rows : {0, -5}) {
    grid.SetRowCount(rows);
    EXPECT_EQ(grid.RowCount(), 1);
  }
}

TEST(Grid, CellsPastTheRowCountAreKeptAndShowLater) {
  TStringGrid grid;
  grid.SetCell(0, 5, "hidden");
  EXPECT_EQ(grid.Cell(0, 5), "hidden");
  EXPECT_EQ(grid.Cell(1, 5), "");
  EXPECT_EQ(grid.Cell(0, 100), "");
  grid.SetRowCount(6);
  EXPECT_EQ(grid.Cell(0, 5), "hidden");
  grid.SetRowCount(2);  // lowering hides, does not erase
  grid.SetRowCount(6);
  EXPECT_EQ(grid.Cell(0, 5), "hidden");
}

TEST(Grid, CurrentRowFollowsALoweredRowCount) {
  TStringGrid grid;
  grid.SetRowCount(10);
  EXPECT_TRUE(grid.SetRow(7));
  EXPECT_FALSE(grid.SetRow(10));
  EXPECT_EQ(grid.Row(), 7);
  grid.SetRowCount(8);  // still inside
  EXPECT_EQ(grid.Row(), 7);
  grid.SetRowCount(7);  // drops to the row: moves to the new last row
  EXPECT_EQ(grid.Row(), 6);
  grid.SetRowCount(1);
  EXPECT_EQ(grid.Row(), 0);
}

TEST(Grid, CellsKeepTheirTextsThroughAnyRewrites) {
  // Texts of every length (lengths of 128 and more take two length bytes),
  // cells copied from other cells of the same grid, runs of rows cleared,
  // and enough rewrites for the cell block to be compacted several times.
  TStringGrid grid;
  std::map<std::pair<int, int>, std::string> expected;
  std::mt19937 random(11);
  for (int step = 0; step < 20'000; ++step) {
    const int col = int(random() % 2), row = int(random() % 300);
    std::string text;
    if (random() % 500 == 0) {
      const int last = row + int(random() % 200);
      grid.ClearRows(row, last);
      for (int r = row; r <= last; ++r) expected[{0, r}] = expected[{1, r}] = "";
      continue;
    }
    if (random() % 4 == 0) {
      grid.SetCell(col, row, grid.Cell(col == 0 ? 1 : 0, row));
      text = expected[{col == 0 ? 1 : 0, row}];
    } else {
      text = std::string(random() % 3 == 0 ? random() % 400 : random() % 20, char('a' + step % 26));
      grid.SetCell(col, row, text);
    }
    expected[{col, row}] = text;
  }
  for (const auto& [cell, text] : expected) ASSERT_EQ(grid.Cell(cell.first, cell.second), text) << cell.second;
  EXPECT_EQ(grid.Cell(0, 5000), "");
  EXPECT_EQ(grid.Cell(2, 1), "");
}

TEST(SpinEdit, ValueReadsTheTextWithoutClamping) {
  struct Case { const char* text; int value; };
  const Case cases[] = {{"5", 5}, {"5000", 5000}, {"", 1}, {"abc", 1}, {" 7", 7}, {"-3", -3},
                        {"99999999999", 1}, {"+12", 12}, {"1.5", 1}};
  for (const auto& c : cases) {
    TSpinEdit field(1, 999, 1);
    field.SetText(c.text);
    EXPECT_EQ(field.Value(), c.value) << '"' << c.text << '"';
  }
}

TEST(SpinEdit, SetValueArrowsAndLeavingClampToTheRange) {
  TSpinEdit field(1, 999, 1);
  field.SetValue(5000);
  EXPECT_EQ(field.Text(), "999");
  field.ArrowUp();
  EXPECT_EQ(field.Text(), "999");
  field.SetValue(-4);
  EXPECT_EQ(field.Text(), "1");
  field.ArrowDown();
  EXPECT_EQ(field.Text(), "1");
  field.SetText("41");
  field.ArrowUp();
  EXPECT_EQ(field.Text(), "42");

  struct Case { const char* typed; const char* after_leave; };
  const Case cases[] = {{"5000", "999"}, {"0", "1"}, {"-7", "1"}, {"500", "500"}, {"", ""}, {"abc", "abc"}};
  for (const auto& c : cases) {
    field.SetText(c.typed);
    field.Leave();
    EXPECT_EQ(field.Text(), c.after_leave) << '"' << c.typed << '"';
  }
}

TEST(SpinEdit, TypingFilterRefusesLettersAndEnter) {
  TSpinEdit field(1, 99999, 1);
  for (char key : std::string("0123456789+-.\b\x1b")) EXPECT_TRUE(field.AcceptsKey(key)) << int(key);
  for (char key : std::string("aZ ,/\r")) EXPECT_FALSE(field.AcceptsKey(key)) << int(key);
  field.SetDecimalSeparator(',');
  EXPECT_TRUE(field.AcceptsKey(','));
  EXPECT_FALSE(field.AcceptsKey('.'));
  field.SetText("");
  EXPECT_FALSE(field.Type("1a2"));
  EXPECT_EQ(field.Text(), "12");
}

TEST(StatusBar, SettingTheSameTextChangesNothing) {
  TStatusBar bar;
  std::vector<std::string> painted;
  bar.OnRepaint = [&](const std::string& text) { painted.push_back(text); };
  bar.SetSimpleText("a");
  unsigned long revision = bar.Revision();
  bar.SetSimpleText("a");
  EXPECT_EQ(bar.Revision(), revision);
  bar.Repaint();
  EXPECT_EQ(painted, std::vector<std::string>{"a"});
}

TEST(SaveDialog, AppendsTheDefaultExtensionAndKeepsTheNameOnCancel) {
  TSaveDialog dialog;
  dialog.DefaultExt = "txt";
  std::optional<std::string> answer;
  dialog.Runner = [&](const TSaveDialog&) { return answer; };
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.FileName(), "");
  answer = "/tmp/list";
  EXPECT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.FileName(), "/tmp/list.txt");
  answer.reset();
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.FileName(), "/tmp/list.txt");

  struct Case { const char* name; const char* saved; };
  const Case cases[] = {{"a.csv", "a.csv"}, {"dir.d/list", "dir.d/list.txt"}, {"list.", "list."}, {".hidden", ".hidden"}};
  for (const auto& c : cases) EXPECT_EQ(WithDefaultExtension(c.name, "txt"), c.saved);
}

}  // namespace
}  // namespace kv
