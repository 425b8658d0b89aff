// XLSX through libxlsxwriter in its constant-memory mode: each row goes to
// disk as the next one starts, so a sheet of a million rows takes no more
// memory than one of ten. The header row is bold and frozen, an autofilter
// spans the rows written, and the columns are as wide as their widest text
// (up to a cap), set when a sheet is done, since widths may be set any time
// before the workbook is closed.

#include <xlsxwriter.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "base/cp1251.h"
#include "app/export/table_writers.h"

namespace kv::export_detail {
namespace {

// In characters of the default font; a cap keeps one long text from pushing
// the other columns off the screen.
constexpr size_t kWidestColumn = 60;
constexpr double kColumnMargin = 2;

std::string FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? "." : folder.string();
}

struct WorkbookDropper {
  void operator()(lxw_workbook* workbook) const { lxw_workbook_free(workbook); }
};

class XlsxWriter final : public TableWriter {
 public:
  XlsxWriter(const std::string& path, std::vector<std::string> header)
      : file_(path), scratch_folder_(FolderOf(path)), header_(std::move(header)) {
    // The sheets wait in scratch files until the workbook is closed; beside
    // the target they take room where the user chose to put the result, not
    // in a system folder that may be small or held in memory.
    lxw_workbook_options options{.constant_memory = LXW_TRUE, .tmpdir = scratch_folder_.data(), .use_zip64 = LXW_FALSE};
    workbook_.reset(workbook_new_opt(file_.TemporaryPath().c_str(), &options));
    if (!workbook_) file_.RaiseWriteError("The workbook could not be started.");
    header_format_ = workbook_add_format(workbook_.get());
    format_set_bold(header_format_);
    StartSheet();
  }

  void AddRow(std::span<const ExportCell> cells) override {
    // A sheet holds LXW_ROW_MAX rows with the header; the table goes on in
    // a further sheet with the header again.
    if (next_row_ == LXW_ROW_MAX) {
      CompleteSheet();
      StartSheet();
    }
    for (size_t column = 0; column < cells.size(); ++column) {
      const auto at = static_cast<lxw_col_t>(column);
      if (const auto* number = std::get_if<std::int64_t>(&cells[column])) {
        number_text_.clear();
        AppendDecimal(number_text_, *number);
        Widen(column, number_text_.size());
        Check(worksheet_write_number(sheet_, next_row_, at, static_cast<double>(*number), nullptr));
      } else if (const auto* text = std::get_if<std::string_view>(&cells[column])) {
        WriteText(next_row_, column, *text, nullptr);
      }
    }
    ++next_row_;
  }

  void Finish() override {
    CompleteSheet();
    // Closing frees the workbook, whether it succeeds or not.
    Check(workbook_close(workbook_.release()));
    file_.Commit();
  }

 private:
  void StartSheet() {
    ++sheet_count_;
    const std::string name = Cp1251ToUtf8("Лист"_w1251) + std::to_string(sheet_count_);
    sheet_ = workbook_add_worksheet(workbook_.get(), name.c_str());
    if (sheet_ == nullptr) file_.RaiseWriteError("A worksheet could not be added.");
    widest_.assign(header_.size(), 0);
    for (size_t column = 0; column < header_.size(); ++column) WriteText(0, column, header_[column], header_format_);
    worksheet_freeze_panes(sheet_, 1, 0);
    next_row_ = 1;
  }

  void CompleteSheet() {
    if (widest_.empty()) return;
    const auto last_column = static_cast<lxw_col_t>(widest_.size() - 1);
    for (lxw_col_t column = 0; column <= last_column; ++column) {
      const double width = static_cast<double>(std::min(widest_[column], kWidestColumn)) + kColumnMargin;
      Check(worksheet_set_column(sheet_, column, column, width, nullptr));
    }
    Check(worksheet_autofilter(sheet_, 0, 0, next_row_ - 1, last_column));
  }

  // write_string, never write(): a text that looks like a formula, a number
  // or an address stays the text it is.
  void WriteText(lxw_row_t row, size_t column, std::string_view cp1251, lxw_format* format) {
    // A Windows-1251 character is one byte, so bytes count characters.
    Widen(column, cp1251.size());
    const std::string utf8 = Cp1251ToUtf8(cp1251);
    Check(worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(column), utf8.c_str(), format));
  }

  void Widen(size_t column, size_t characters) {
    if (column < widest_.size()) widest_[column] = std::max(widest_[column], characters);
  }

  void Check(lxw_error error) const {
    if (error != LXW_NO_ERROR) file_.RaiseWriteError(lxw_strerror(error));
  }

  FileReplacement file_;
  std::string scratch_folder_;
  std::vector<std::string> header_;
  // Unfinished, the workbook is dropped unwritten (its scratch files go with
  // it), and the replacement removes the temporary file.
  std::unique_ptr<lxw_workbook, WorkbookDropper> workbook_;
  lxw_format* header_format_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  lxw_row_t next_row_ = 0;
  int sheet_count_ = 0;
  std::vector<size_t> widest_;
  std::string number_text_;
};

}  // namespace

std::unique_ptr<TableWriter> OpenXlsxWriter(const std::string& path, std::vector<std::string> header) {
  return std::make_unique<XlsxWriter>(path, std::move(header));
}

}  // namespace kv::export_detail
