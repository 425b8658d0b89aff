// CSV as RFC 4180 writes it, in UTF-8 with a byte-order mark (without one a
// spreadsheet takes the bytes for the system's code page), with a chosen
// field separator and CR LF line ends.

#include <algorithm>
#include <string>
#include <string_view>
#include <variant>

#include "base/cp1251.h"
#include "app/export/table_writers.h"

namespace kv::export_detail {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

class CsvWriter final : public TableWriter {
 public:
  CsvWriter(const std::string& path, const std::vector<std::string>& header, char separator)
      : output_(path), separator_(separator) {
    output_.Buffer() += kByteOrderMark;
    for (size_t i = 0; i < header.size(); ++i) {
      if (i > 0) output_.Buffer() += separator_;
      AppendText(header[i]);
    }
    output_.Buffer() += "\r\n";
  }

  void AddRow(std::span<const ExportCell> cells) override {
    std::string& out = output_.Buffer();
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += separator_;
      if (const auto* number = std::get_if<std::int64_t>(&cells[i])) AppendDecimal(out, *number);
      if (const auto* text = std::get_if<std::string_view>(&cells[i])) AppendText(*text);
    }
    out += "\r\n";
    output_.FlushIfFull();
  }

  void Finish() override { output_.Commit(); }

 private:
  // RFC 4180: a field holding the separator, a quote or a line break is
  // quoted, and its quotes doubled. The bytes looked for are ASCII, so they
  // are found alike before and after the conversion.
  void AppendText(std::string_view cp1251) {
    std::string& out = output_.Buffer();
    const bool quoted = std::any_of(cp1251.begin(), cp1251.end(),
                                    [this](char c) { return c == separator_ || c == '"' || c == '\r' || c == '\n'; });
    if (!quoted) {
      AppendCp1251AsUtf8(out, cp1251);
      return;
    }
    out += '"';
    for (char c : Cp1251ToUtf8(cp1251)) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }

  BufferedReplacement output_;
  char separator_;
};

}  // namespace

std::unique_ptr<TableWriter> OpenCsvWriter(const std::string& path, const std::vector<std::string>& header,
                                           char separator) {
  return std::make_unique<CsvWriter>(path, header, separator);
}

}  // namespace kv::export_detail
