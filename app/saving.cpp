// Saving: the whole text list, or the keyword part of every line, to a file
// the user names in the save dialog.

#include <optional>
#include <string>
#include <string_view>

#include "app/form_main.h"
#include "app/list_line_fields.h"
#include "base/replace_file.h"
#include "base/cp1251.h"
#include "base/exception.h"
#include "base/stream.h"

namespace kv {
namespace {

// File names are the file system's UTF-8; texts of the window are
// Windows-1251, so a text that shows a name carries it converted.
std::string ShownName(std::string_view path) { return Utf8ToCp1251Substituting(path); }

// Writes `text` to a file of that name. An existing file is replaced only
// by a complete new one, so a short write or a failing flush leaves it as it
// was; what cannot be replaced by a rename (a device, say) is written in
// place. Either way nothing is reported as saved that was not.
void WriteFile(const std::string& path, std::string_view text) {
  try {
    if (!ReplaceableByRename(path)) {
      FileStream file(path, FileStream::Mode::Create);
      file.WriteText(text);
      file.Close();
      return;
    }
    FileReplacement file(path);
    try {
      file.Write(text);
      file.Commit();
    } catch (const EWriteError&) {
      throw EWriteError("Stream write error");
    }
  } catch (const EFCreateError& e) {
    // The message is UTF-8: the name as the file system has it and the
    // system's error text.
    throw EFCreateError(ShownName(e.Message()));
  }
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
  StatusBar1.SetSimpleText(std::string("Сохранить в: "_w1251) + ShownName(SaveDialog1.FileName()));
}

void TFormMainModel::Savekwonly1Click() {
  std::string keywords;
  keywords.reserve(MemoArea.TextLength());
  for (size_t i = 0, n = MemoArea.LineCount(); i < n; ++i) {
    keywords += SavedKeywordOf(MemoArea.LineView(i));
    keywords += "\r\n";
  }
  PrepareSaveDialog();
  if (SaveDialog1.Execute()) WriteFile(SaveDialog1.FileName(), keywords);
  StatusBar1.SetSimpleText(std::string("Сохранить в: "_w1251) + ShownName(SaveDialog1.FileName()));
}

}  // namespace kv
