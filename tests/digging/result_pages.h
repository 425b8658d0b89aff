#pragma once
// Pages in the layout the digging commands read, built for tests: the form
// page with its hidden field lines, result pages with their table and
// paging links, the one-line broad table.
#include <string>
#include <vector>

#include "base/int_conversion.h"

namespace kv::test {

struct PageRow {
  std::string keyword;  // as on the page (UTF-8)
  std::string count;
};

// A hidden field line: the name at character 28, the value from 40.
inline std::string FieldLine(const std::string& name, const std::string& value) {
  std::string line = "<input type=\"hidden\" name=\"" + name + "\"";
  line.resize(38, ' ');
  return line + "\"" + value + "\">";
}

inline std::string FormPage(const std::vector<std::string>& field_lines, bool with_checkboxes = true) {
  std::string page = "<html><body>\r\n<form action=\"/stat/wordsstat.pl\">\r\n";
  for (const std::string& line : field_lines) page += line + "\r\n";
  if (with_checkboxes) page += "<input type=\"hidden\" name=\"checkboxes\" value=\"\">\r\n";
  page += "<input type=\"text\" name=\"text\">\r\n";
  return page + "</form></body></html>\r\n";
}

// The rows of a result table: the thead line with the first keyword, one
// line per further keyword carrying the count above it, the last row line
// with the last count and `links`, then the "<td width" line.
inline std::string ResultTable(const std::vector<PageRow>& rows, const std::string& links,
                               const std::string& table_opening = "<tr class=\"thead\">") {
  std::string text = table_opening + "<td><a href=\"/q\">" + rows[0].keyword + "</a></td>\r\n";
  for (size_t i = 1; i < rows.size(); ++i) {
    text += "<td class=\"count\">" + rows[i - 1].count + "</td><td><a href=\"/q\">" + rows[i].keyword + "</a></td>\r\n";
  }
  text += "<td class=\"count\">" + rows.back().count + "</td>" + links + "\r\n";
  return text + "<td width=\"100%\"></td>\r\n";
}

inline std::string ResultPage(const std::vector<PageRow>& rows, const std::string& links,
                              const std::string& table_opening = "<tr class=\"thead\">") {
  return "<html><body><table>\r\n" + ResultTable(rows, links, table_opening) + "</table></body></html>\r\n";
}

inline std::string Link(const std::string& target, const std::string& text) {
  return "<a href=\"" + target + "\">" + text + "</a>";
}

inline std::string BroadLine(const std::vector<PageRow>& rows) {
  std::string line = "</tr><tr class=\"x\">";
  for (const PageRow& row : rows) {
    line += "<td><a href=\"/q\">" + row.keyword + "</a></td><td align=\"right\">" + row.count + "</td></tr><tr>";
  }
  return line + "</tr>";
}

inline std::vector<PageRow> NumberedRows(const std::string& stem, int first, int count, int top_count) {
  std::vector<PageRow> rows;
  for (int i = 0; i < count; ++i) {
    rows.push_back({stem + " " + IntToStr(first + i), IntToStr(top_count - i)});
  }
  return rows;
}

}  // namespace kv::test
