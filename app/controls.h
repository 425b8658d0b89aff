#pragma once
// The small controls of the main window as the commands see them: the grid,
// the number fields, the keyword box, the status text and the save dialog.
// The window toolkit presents them; commands, tools and tests use them
// directly.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/string_grid.h"

namespace kv {

// A number field with up/down arrows. Its text is what the user typed;
// Value reads that text as an integer.
class TSpinEdit {
 public:
  TSpinEdit(int min_value, int max_value, int value);

  int MinValue() const { return min_value_; }
  int MaxValue() const { return max_value_; }

  const std::string& Text() const { return text_; }
  void SetText(std::string_view text) { text_.assign(text); ++revision_; }

  // The text read as a whole decimal integer; anything else reads as
  // MinValue. Not clamped.
  int Value() const;
  // Clamped to MinValue..MaxValue and written as decimal text.
  void SetValue(long long value);

  void ArrowUp() { SetValue(static_cast<long long>(Value()) + 1); }
  void ArrowDown() { SetValue(static_cast<long long>(Value()) - 1); }
  // When the focus leaves the field, a value outside the range is replaced
  // by the nearer bound.
  void Leave();
  // The typing filter: digits, "+", "-", the decimal separator and control
  // characters other than Enter. A refused key beeps.
  bool AcceptsKey(char key) const;
  void SetDecimalSeparator(char separator) { decimal_separator_ = separator; }
  // Types `text` key by key through the filter; returns whether every key
  // was accepted.
  bool Type(std::string_view text);

  unsigned long Revision() const { return revision_; }

 private:
  long long Clamp(long long value) const;

  int min_value_;
  int max_value_;
  std::string text_;
  char decimal_separator_ = '.';
  unsigned long revision_ = 0;
};

// A one-line text box.
class TEdit {
 public:
  const std::string& Text() const { return text_; }
  void SetText(std::string_view text) { text_.assign(text); ++revision_; }
  unsigned long Revision() const { return revision_; }

 private:
  std::string text_;
  unsigned long revision_ = 0;
};

// The status bar with one text. While a command runs the window is not
// repainted, so the command repaints the status bar itself.
class TStatusBar {
 public:
  const std::string& SimpleText() const { return text_; }
  // Setting the text that is already shown changes nothing.
  void SetSimpleText(std::string_view text);
  // Repaints the status bar at once (through the presenter's hook).
  void Repaint() const { if (OnRepaint) OnRepaint(text_); }

  std::function<void(const std::string&)> OnRepaint;
  unsigned long Revision() const { return revision_; }

 private:
  std::string text_;
  unsigned long revision_ = 0;
};

// The save-file dialog: its settings and the last chosen name. Running it
// is left to a runner (a real dialog, the command line, a test), which gets
// the dialog and returns the name the user chose, or nothing on cancel.
class TSaveDialog {
 public:
  std::string Title;
  std::string Filter;      // "Display|pattern|Display|pattern..."
  std::string DefaultExt;  // without the dot

  const std::string& FileName() const { return file_name_; }
  void SetFileName(std::string_view name) { file_name_.assign(name); }

  // Runs the dialog; true when the user chose a file. A name without an
  // extension gets DefaultExt; an existing file is not asked about.
  bool Execute();

  std::function<std::optional<std::string>(const TSaveDialog&)> Runner;

 private:
  std::string file_name_;
};

// The minus-words dialog: the words (a Windows-1251 text, one phrase a
// line) that were last applied, offered again on the next run. Running it
// is left to a runner, which gets the words to offer and returns the words
// the user applied, or nothing on cancel.
class TMinusWordsDialog {
 public:
  const std::string& Words() const { return words_; }

  // Runs the dialog; true when the user applied words, which are then kept.
  bool Execute();

  std::function<std::optional<std::string>(const std::string& words)> Runner;

 private:
  std::string words_;
};

// Appends "." + extension to `name` when its last path element has none.
std::string WithDefaultExtension(std::string_view name, std::string_view extension);

}  // namespace kv
