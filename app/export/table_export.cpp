#include "app/export/table_export.h"

#include <algorithm>
#include <cctype>

#include "base/replace_file.h"
#include "app/export/table_writers.h"

namespace kv {
namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                    });
}

// A separator that a quote cannot protect, or that breaks the UTF-8, would
// make a file no reader takes apart as it was written.
bool IsCsvSeparator(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte == '\t' || (byte >= 0x20 && byte < 0x7F && c != '"');
}

}  // namespace

std::optional<ExportFormat> ExportFormatOf(std::string_view file_name) {
  if (EndsWithIgnoringCase(file_name, ".xlsx")) return ExportFormat::kXlsx;
  if (EndsWithIgnoringCase(file_name, ".csv")) return ExportFormat::kCsv;
  if (EndsWithIgnoringCase(file_name, ".txt")) return ExportFormat::kText;
  return std::nullopt;
}

std::unique_ptr<TableWriter> OpenTableWriter(const std::string& path, ExportFormat format,
                                             std::vector<std::string> header, const ExportOptions& options) {
  // An export is complete or absent: what a rename must not stand in for
  // (a device, a pipe, a file of several names or of another owner) is
  // refused rather than written in place.
  if (!ReplaceableByRename(path)) {
    throw EExportError(path + ": not a file an export can replace (a device, a pipe, a link to nothing, or a file "
                              "with several names or another owner)");
  }
  switch (format) {
    case ExportFormat::kXlsx:
      return export_detail::OpenXlsxWriter(path, std::move(header));
    case ExportFormat::kCsv:
      if (!IsCsvSeparator(options.csv_separator)) {
        throw EExportError("A CSV field separator must be a tab or a printable ASCII character other than a quote");
      }
      return export_detail::OpenCsvWriter(path, header, options.csv_separator);
    case ExportFormat::kText:
      return export_detail::OpenListTextWriter(path, options.text_count_column, options.text_keyword_column);
  }
  throw EExportError("Unknown export format");
}

}  // namespace kv
