// Saving: the whole text list, or the keyword part of every line, to a file
// the user names in the save dialog.

#include <string>
#include <vector>

#include "app/form_main.h"
#include "base/cp1251.h"
#include "base/stream.h"
#include "base/text.h"

namespace kv {
namespace {

constexpr long kKeywordStart = 15;
constexpr long kKeywordMaxLength = 99;

// Writes `text` to a new file of that name, replacing any; a short write or
// a failing close raises, so nothing is reported as saved that was not.
void WriteFile(const std::string& path, std::string_view text) {
  FileStream file(path, FileStream::Mode::Create);
  file.WriteText(text);
  file.Close();
}

}  // namespace

void TFormMainModel::PrepareSaveDialog() {
  SaveDialog1.Title = std::string("Сохранить в файл"_w1251);
  SaveDialog1.Filter = std::string("Текстовый файл (*.txt)|*.txt"_w1251);
  SaveDialog1.DefaultExt = "txt";
}

void TFormMainModel::Save1Click() {
  PrepareSaveDialog();
  if (SaveDialog1.Execute()) WriteFile(SaveDialog1.FileName(), MemoArea.Text());
  StatusBar1.SetSimpleText(std::string("Сохранить в: "_w1251) + SaveDialog1.FileName());
}

void TFormMainModel::Savekwonly1Click() {
  std::string keywords;
  for (size_t i = 0, n = MemoArea.LineCount(); i < n; ++i) {
    const std::string line = MemoArea.Line(i);
    keywords += CopyView(line, kKeywordStart, kKeywordMaxLength);
    keywords += "\r\n";
  }
  PrepareSaveDialog();
  if (SaveDialog1.Execute()) WriteFile(SaveDialog1.FileName(), keywords);
  StatusBar1.SetSimpleText(std::string("Сохранить в: "_w1251) + SaveDialog1.FileName());
}

}  // namespace kv
