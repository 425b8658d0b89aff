// Export: the text list as a table for a spreadsheet, one row a line with
// the keyword and its count, through the same writers as the harvest's
// export.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/export/table_export.h"
#include "app/form_main.h"
#include "app/list_line_fields.h"
#include "base/cp1251.h"

namespace kv {
namespace {

// The writers name the file as the file system has it (UTF-8); the error
// box shows texts of the window, so the message is converted, its class
// kept.
template <typename Failure>
[[noreturn]] void RethrowShown(const Failure& failure) {
  throw Failure(Utf8ToCp1251Substituting(failure.Message()));
}

void WriteListTable(const std::string& path, ExportFormat format, const TMemo& list) {
  ExportOptions options;
  options.text_keyword_column = 0;
  options.text_count_column = 1;
  const std::unique_ptr<TableWriter> writer = OpenTableWriter(
      path, format, {std::string("Кейворд"_w1251), std::string("Всего запросов"_w1251)}, options);
  for (size_t i = 0, n = list.LineCount(); i < n; ++i) {
    const std::string_view line = list.LineView(i);
    ExportCell count;
    if (const std::optional<std::int64_t> number = CountOf(line)) count = *number;
    const ExportCell row[] = {SavedKeywordOf(line), count};
    writer->AddRow(row);
  }
  writer->Finish();
}

}  // namespace

void TFormMainModel::Export1Click() {
  ExportDialog1.Title = std::string("Экспорт в файл"_w1251);
  ExportDialog1.Filter = std::string("Книга Excel (*.xlsx)|*.xlsx|Текст CSV (*.csv)|*.csv"_w1251);
  ExportDialog1.DefaultExt = "xlsx";
  if (!ExportDialog1.Execute()) return;
  const std::string& path = ExportDialog1.FileName();
  const std::string shown_name = Utf8ToCp1251Substituting(path);
  const std::optional<ExportFormat> format = ExportFormatOf(path);
  if (!format) {
    throw EExportError(std::string("Cannot export to \"") + shown_name +
                       "\": the name must end in .xlsx, .csv or .txt");
  }
  try {
    WriteListTable(path, *format, MemoArea);
  } catch (const EFCreateError& e) {
    RethrowShown(e);
  } catch (const EWriteError& e) {
    RethrowShown(e);
  } catch (const EExportError& e) {
    RethrowShown(e);
  }
  StatusBar1.SetSimpleText(std::string("Экспортировано в: "_w1251) + shown_name);
}

}  // namespace kv
