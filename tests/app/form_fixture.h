#pragma once
// A shown main window with the Russian collation fixed, for the handler tests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form_main.h"
#include "base/collation.h"
#include "base/cp1251.h"

namespace kv::test {

inline std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

class FormTest : public testing::Test {
 protected:
  void SetUp() override {
    SetDefaultCollatorLocale("ru_RU");
    form.FormShow();
  }

  // Lines given as UTF-8, held as Windows-1251 with CR LF after each.
  void SetList(const std::vector<std::string>& lines) {
    form.MemoArea.Clear();
    for (const auto& line : lines) form.MemoArea.Append(W(line));
  }
  std::vector<std::string> ListLines() const {
    std::vector<std::string> lines;
    for (size_t i = 0; i < form.MemoArea.LineCount(); ++i) lines.push_back(Cp1251ToUtf8(form.MemoArea.Line(i)));
    return lines;
  }
  // Rows 1..n of the grid as "keyword|count" in UTF-8.
  std::vector<std::string> GridRows(int first, int last) const {
    std::vector<std::string> rows;
    for (int r = first; r <= last; ++r)
      rows.push_back(Cp1251ToUtf8(form.StrGrid1.Cell(0, r)) + "|" + Cp1251ToUtf8(form.StrGrid1.Cell(1, r)));
    return rows;
  }
  std::string Status() const { return Cp1251ToUtf8(form.StatusBar1.SimpleText()); }

  TFormMainModel form;
};

}  // namespace kv::test
