#pragma once
// Exports of a table (a header row and rows of cells) to the formats a
// spreadsheet or the window reads: XLSX, CSV, and the text list's own TXT.
// Rows are written as they come, so that a table of a million rows never
// sits in memory whole, and the target file is replaced only when the new
// one is complete.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/exception.h"

namespace kv {

// Raised when the options cannot make the asked export.
KV_DECLARE_EXCEPTION(EExportError, Exception);

enum class ExportFormat { kXlsx, kCsv, kText };

// The format a file name asks for by its extension (.xlsx, .csv, .txt, in
// any case); none for another one.
std::optional<ExportFormat> ExportFormatOf(std::string_view file_name);

// A cell: empty, a number, or a text of the system (Windows-1251). A text is
// viewed, not copied: it must live until the AddRow that takes it returns.
using ExportCell = std::variant<std::monostate, std::int64_t, std::string_view>;

struct ExportOptions {
  // The CSV field separator: ";" opens in columns in a spreadsheet set up for
  // Russian, "," is RFC 4180's own. A quote, CR, LF or a byte outside ASCII
  // is refused.
  char csv_separator = ';';
  // The TXT list's line is made of the count and the keyword; these name
  // their columns. The default fits rows of (count, keyword).
  std::size_t text_count_column = 0;
  std::size_t text_keyword_column = 1;
};

class TableWriter {
 public:
  // Destroyed without a finished Finish, the writer leaves the target as it
  // was and removes what it had written.
  virtual ~TableWriter() = default;

  // One row, normally with as many cells as the header has columns.
  virtual void AddRow(std::span<const ExportCell> cells) = 0;
  // Completes the file and puts it in the target's place.
  virtual void Finish() = 0;
};

// Starts writing `path` in `format`, with the header's texts (Windows-1251)
// as the first row (TXT has none: a list is keyword lines alone). Failures,
// here and later, raise EFCreateError, EWriteError or EExportError with the
// file's name (as the file system has it) and the reason.
std::unique_ptr<TableWriter> OpenTableWriter(const std::string& path, ExportFormat format,
                                             std::vector<std::string> header, const ExportOptions& options = {});

}  // namespace kv
