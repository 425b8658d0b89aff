#pragma once
// The main window as the commands see it: its controls (the window model)
// and the handlers of its buttons and menu items. The Qt window, the
// command-line driver and the tests all run these same handlers.

#include <string>

#include "app/controls.h"
#include "app/memo.h"
#include "base/component.h"

namespace kv {

// The most text the hidden page text holds: far above any result page, and
// a bound on what a page fetch may bring into memory.
inline constexpr size_t kPageTextCapacity = size_t{32} * 1024 * 1024;

class TFormMainModel : public Component {
 public:
  explicit TFormMainModel(Component* owner = nullptr);

  // ---- Controls ----
  TEdit EditKw;
  TSpinEdit SpinEdMaxKw{1, 999, 1};
  TSpinEdit SpinEdKwPM{1, 99999, 1};
  TStringGrid StrGrid1;
  TMemo MemoArea;
  TMemo Memo1{kPageTextCapacity};
  TStatusBar StatusBar1;
  TSaveDialog SaveDialog1;
  // Its own dialog, so that the name offered by the two save items stays
  // the one they last chose.
  TSaveDialog ExportDialog1;
  TMinusWordsDialog MinusDialog1;

  // ---- Handlers ----
  void FormShow();
  // List tools.
  void ClearButtClick();
  void RemDupButtClick();
  void SortButtClick();
  void Count1Click();
  void LtoRClick();
  // Saving.
  void Save1Click();
  void Savekwonly1Click();
  // The text list as a table (keyword, count) in XLSX or CSV, the format
  // from the chosen name's extension.
  void Export1Click();
  // Removes the lines whose keyword holds one of the minus words.
  void MinusWords1Click();

 private:
  // Grid row `row` from a text-list line: the keyword from character 15 to
  // the end, the count as characters 1 to 7 with its leading blanks.
  void FillGridRowFromLine(int row, std::string_view line);
  // Rows 1 to the line count emptied and room made for them, before they
  // are filled from the lines of the text list.
  void ReserveGridForLines();
  void PrepareSaveDialog();
};

}  // namespace kv
