#pragma once
// Readers of the service's pages, by the markers and character positions
// the pages are known to keep: the hidden fields of the form page, the
// result table of the Get and Deep commands with its paging link, and the
// one-line table of the Broad command.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/memo.h"
#include "base/list_line.h"

namespace kv {

// "&key=VALUE" and "&tm=VALUE" for the hidden field lines of the form page,
// in the page's order, up to the "checkboxes" line (or the page's end).
std::string HiddenFieldsQuery(const TMemo& page);

// The table markers: "thead" at characters 12-16 (Get), the whole
// '<tr class="thead' opening (Deep), "</tr><tr class=" (Broad).
bool IsGetTableLine(std::string_view line);
bool IsDeepTableLine(std::string_view line);
bool IsBroadTableLine(std::string_view line);

// The first line accepted by `is_table_line`; the page's last line is never
// tested.
std::optional<size_t> FindTableLine(const TMemo& page, bool (*is_table_line)(std::string_view));

// One row of a result table: the keyword (Windows-1251) and its count,
// aligned as the grid and the text list show it.
struct ResultRow {
  std::string keyword;
  std::string count;
};

// The rows of a result table and the rest of its last row line from
// character 19, which holds the last count and the paging links.
struct TableRows {
  std::vector<ResultRow> rows;
  std::string last_line_rest;
};

// Reads the rows of the table that starts at line `first`: one keyword per
// row line. The rows end at the line before a line that begins with
// "<td width", or at the page's last line.
TableRows ReadResultTable(const TMemo& page, size_t first);

// The target of the next-page link in the rest of the last row line (the
// second link when there are two, the first being the previous page's),
// with "amp;" removed; none without a link, and none when the target is
// not a path on the service (it must begin with a single "/").
std::optional<std::string> NextPageTarget(std::string_view last_line_rest);

// Every row of the one-line table.
std::vector<ResultRow> ReadBroadTable(std::string_view line);

// Which table a page is read for: the Get command's, the Deep command's
// (the same table, found by its whole opening) or the Broad command's
// one-line table.
enum class TableKind { kGet, kDeep, kBroad };

// What one result page holds, read without touching any control: whether
// it has the table at all (a page without one is an answer too: no
// keywords, a stale session, a block page), its rows, and the next page's
// target (never for the one-line table).
struct ResultPage {
  bool has_table = false;
  std::vector<ResultRow> rows;
  std::optional<std::string> next_target;

  // The last row's aligned count; empty without rows.
  std::string LastCount() const { return rows.empty() ? std::string() : rows.back().count; }
};

ResultPage ReadResultPage(const TMemo& page, TableKind kind);

}  // namespace kv
