#include "app/export/table_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace kv {
namespace {

using test::ReadFileBytes;
using test::RunProgram;
using test::TempDir;

// Debian's interpreter, which has openpyxl; another one on PATH may not.
constexpr const char* kPython = "/usr/bin/python3";

// A table with what trips writers up: separators, quotes, line breaks,
// Cyrillic with "ё", an empty cell, a count of seven digits and a text that
// a spreadsheet would take for a formula.
const std::vector<std::string> kHeader = {std::string("Фраза"_w1251), std::string("Показов"_w1251),
                                          std::string("Заметка"_w1251)};
const std::vector<std::vector<ExportCell>> kRows = {
    {"ёлка; купить"_w1251, std::int64_t{1234567}, "a,b"},
    {"say \"hi\"", std::int64_t{5}, std::monostate{}},
    {"two\r\nlines", std::int64_t{0}, "=SUM(A1:A2)"},
};

void WriteTable(const std::string& path, ExportFormat format, const ExportOptions& options = {}) {
  auto writer = OpenTableWriter(path, format, kHeader, options);
  for (const auto& row : kRows) writer->AddRow(row);
  writer->Finish();
}

// What an independent reader makes of a file, as one line of JSON (UTF-8).
std::string ReadWithPython(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  const auto result = RunProgram(kPython, argv);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  return result.out;
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(TableExport, FormatFollowsTheExtensionInAnyCase) {
  const struct {
    const char* name;
    std::optional<ExportFormat> format;
  } cases[] = {
      {"keywords.xlsx", ExportFormat::kXlsx}, {"KEYWORDS.XLSX", ExportFormat::kXlsx},
      {"a/b.Csv", ExportFormat::kCsv},         {"list.txt", ExportFormat::kText},
      {"list.TXT", ExportFormat::kText},       {"old.xls", std::nullopt},
      {"xlsx", std::nullopt},                  {"list.txt.bak", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ExportFormatOf(c.name), c.format) << c.name;
}

TEST(TableExport, XlsxKeepsTypesAndHasABoldFrozenFilteredHeader) {
  TempDir dir;
  const std::string path = dir.File("table.xlsx");
  WriteTable(path, ExportFormat::kXlsx);
  const std::string script = R"py(
import json, sys, openpyxl
from openpyxl.utils.escape import unescape
# Control characters are kept as "_x000D_" and the like, which spreadsheets
# decode and openpyxl leaves as they are.
def value(cell):
    return unescape(cell.value) if isinstance(cell.value, str) else cell.value
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
print(json.dumps({
    "sheets": book.sheetnames,
    "frozen": sheet.freeze_panes,
    "filter": sheet.auto_filter.ref,
    "bold": [cell.font.b for cell in sheet[1]],
    "rows": [[value(cell) for cell in row] for row in sheet.iter_rows()],
    "widths": [int(sheet.column_dimensions[c].width) for c in "ABC"],
}, ensure_ascii=False))
)py";
  // Numbers come back as JSON numbers and texts as strings; widths follow
  // the widest text of each column (header included) plus a margin.
  EXPECT_EQ(ReadWithPython(script, {path}),
            R"j({"sheets": ["Лист1"], "frozen": "A2", "filter": "A1:C4", "bold": [true, true, true], )j"
            R"j("rows": [["Фраза", "Показов", "Заметка"], ["ёлка; купить", 1234567, "a,b"], )j"
            R"j(["say \"hi\"", 5, null], ["two\r\nlines", 0, "=SUM(A1:A2)"]], "widths": [14, 9, 13]})j"
            "\n");
}

// A sheet holds 1048576 rows with its header; the table goes on in a second
// sheet that has the header again.
TEST(TableExport, XlsxGoesOnInAFurtherSheetWhenOneIsFull) {
  TempDir dir;
  const std::string path = dir.File("big.xlsx");
  constexpr std::int64_t kRowsInFirstSheet = 1048575;
  auto writer = OpenTableWriter(path, ExportFormat::kXlsx, {"n"});
  for (std::int64_t n = 1; n <= kRowsInFirstSheet + 2; ++n) writer->AddRow(std::vector<ExportCell>{n});
  writer->Finish();
  const std::string script = R"py(
import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
first, second = book.worksheets
print(json.dumps({
    "sheets": book.sheetnames,
    "first": first.calculate_dimension(),
    "second": [[cell.value for cell in row] for row in second.iter_rows()],
}, ensure_ascii=False))
)py";
  EXPECT_EQ(ReadWithPython(script, {path}),
            R"j({"sheets": ["Лист1", "Лист2"], "first": "A1:A1048576", "second": [["n"], [1048576], [1048577]]})j"
            "\n");
}

TEST(TableExport, CsvIsRfc4180WithEitherSeparator) {
  for (const char separator : {';', ','}) {
    SCOPED_TRACE(separator);
    TempDir dir;
    const std::string path = dir.File("table.csv");
    WriteTable(path, ExportFormat::kCsv, {.csv_separator = separator});
    const std::string bytes = ReadFileBytes(path);
    const std::string s(1, separator);
    EXPECT_EQ(bytes.substr(0, bytes.find('\n') + 1), "\xEF\xBB\xBF" + Cp1251ToUtf8(kHeader[0]) + s +
                                                          Cp1251ToUtf8(kHeader[1]) + s + Cp1251ToUtf8(kHeader[2]) +
                                                          "\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    const std::string script = R"py(
import csv, json, sys
with open(sys.argv[1], newline="", encoding="utf-8-sig") as f:
    print(json.dumps(list(csv.reader(f, delimiter=sys.argv[2], strict=True)), ensure_ascii=False))
)py";
    EXPECT_EQ(ReadWithPython(script, {path, s}),
              R"j([["Фраза", "Показов", "Заметка"], ["ёлка; купить", "1234567", "a,b"], )j"
              R"j(["say \"hi\"", "5", ""], ["two\r\nlines", "0", "=SUM(A1:A2)"]])j"
              "\n");
  }
}

TEST(TableExport, TextIsTheListFormatWithoutAHeader) {
  TempDir dir;
  const std::string path = dir.File("list.txt");
  // The table's count is its second column and the keyword its first.
  WriteTable(path, ExportFormat::kText, {.text_count_column = 1, .text_keyword_column = 0});
  // A line break inside a keyword would split its line in two.
  EXPECT_EQ(ReadFileBytes(path), std::string("1234567   -   ёлка; купить\r\n"_w1251) +
                                     "      5   -   say \"hi\"\r\n"
                                     "      0   -   two  lines\r\n");

  // Counts wider than the column stand as they are; a missing cell is empty.
  auto writer = OpenTableWriter(path, ExportFormat::kText, {});
  writer->AddRow(std::vector<ExportCell>{std::int64_t{123456789}, "wide"});
  writer->AddRow(std::vector<ExportCell>{std::int64_t{7}});
  writer->Finish();
  EXPECT_EQ(ReadFileBytes(path), "123456789   -   wide\r\n      7   -   \r\n");
}

TEST(TableExport, TargetIsReplacedOnlyByAFinishedFile) {
  for (const auto format : {ExportFormat::kXlsx, ExportFormat::kCsv, ExportFormat::kText}) {
    SCOPED_TRACE(static_cast<int>(format));
    TempDir dir;
    const std::string target = dir.File("result");
    const std::string old_bytes = "old content\r\n";
    test::WriteFileBytes(target, old_bytes);

    // The row source fails between rows: the writer goes without Finish.
    EXPECT_THROW(
        {
          auto writer = OpenTableWriter(target, format, kHeader);
          writer->AddRow(kRows[0]);
          throw std::runtime_error("row source failed");
        },
        std::runtime_error);
    EXPECT_EQ(ReadFileBytes(target), old_bytes);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"result"});

    WriteTable(target, format);
    EXPECT_NE(ReadFileBytes(target), old_bytes);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"result"});
  }
}

TEST(TableExport, FailuresNameTheFileAndTheReason) {
  TempDir dir;
  const std::string missing = dir.File("no-such-folder/table.csv");
  for (const auto format : {ExportFormat::kXlsx, ExportFormat::kCsv, ExportFormat::kText}) {
    try {
      OpenTableWriter(missing, format, kHeader);
      ADD_FAILURE() << "no failure for a file in a missing folder";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.Message(), "Cannot create file \"" + missing + "\". No such file or directory");
    }
  }
  EXPECT_THROW(OpenTableWriter(dir.File("t.csv"), ExportFormat::kCsv, kHeader, {.csv_separator = '"'}),
               EExportError);
  // A device is never renamed over, not even through a link (CI runs as
  // root, who could).
  std::filesystem::create_symlink("/dev/null", dir.File("null.csv"));
  EXPECT_THROW(OpenTableWriter(dir.File("null.csv"), ExportFormat::kCsv, kHeader), EExportError);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace kv
