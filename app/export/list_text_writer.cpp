// The text list's own format, which the window opens as a list: per row the
// count right-aligned to 7 characters, "   -   " and the keyword, in
// Windows-1251 with CR LF line ends, and no header.

#include <string>
#include <string_view>
#include <variant>

#include "base/list_line.h"
#include "app/export/table_writers.h"

namespace kv::export_detail {
namespace {

class ListTextWriter final : public TableWriter {
 public:
  ListTextWriter(const std::string& path, size_t count_column, size_t keyword_column)
      : output_(path), count_column_(count_column), keyword_column_(keyword_column) {}

  void AddRow(std::span<const ExportCell> cells) override {
    count_.clear();
    if (count_column_ < cells.size()) AppendCell(count_, cells[count_column_]);
    std::string& out = output_.Buffer();
    const size_t line_start = out.size();
    keyword_.clear();
    if (keyword_column_ < cells.size()) AppendCell(keyword_, cells[keyword_column_]);
    AppendListLine(out, count_, keyword_);
    // One row is one line of the list, whatever its texts hold.
    for (size_t i = line_start; i < out.size(); ++i) {
      if (out[i] == '\r' || out[i] == '\n') out[i] = ' ';
    }
    out += "\r\n";
    output_.FlushIfFull();
  }

  void Finish() override { output_.Commit(); }

 private:
  static void AppendCell(std::string& out, const ExportCell& cell) {
    if (const auto* number = std::get_if<std::int64_t>(&cell)) AppendDecimal(out, *number);
    if (const auto* text = std::get_if<std::string_view>(&cell)) out += *text;
  }

  BufferedReplacement output_;
  size_t count_column_;
  size_t keyword_column_;
  std::string count_;
  std::string keyword_;
};

}  // namespace

std::unique_ptr<TableWriter> OpenListTextWriter(const std::string& path, size_t count_column, size_t keyword_column) {
  return std::make_unique<ListTextWriter>(path, count_column, keyword_column);
}

}  // namespace kv::export_detail
