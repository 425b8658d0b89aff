#pragma once
// Readers of the service's pages, by the markers and character positions
// the pages are known to keep: the hidden fields of the form page, the
// result table of the Get and Deep commands with its paging link, and the
// one-line table of the Broad command.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/controls.h"
#include "app/memo.h"

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

// A count right-aligned by blanks to at least 7 characters.
std::string AlignCount(std::string_view count);

// Where the rows of one command go: grid rows from `next_row` on, and the
// text list.
struct RowTarget {
  TStringGrid& grid;
  TMemo& list;
  int next_row;
};

// What the row reader leaves for the paging decision.
struct TableEnd {
  std::string last_count;      // aligned
  std::string last_line_rest;  // the last row line from character 19
};

// Reads the rows of the table that starts at line `first`, adding a grid
// row and a text-list line per keyword. The rows end at the line before a
// line that begins with "<td width", or at the page's last line.
TableEnd ReadResultTable(const TMemo& page, size_t first, RowTarget& target);

// The target of the next-page link in the rest of the last row line (the
// second link when there are two, the first being the previous page's),
// with "amp;" removed; none without a link, and none when the target is
// not a path on the service (it must begin with a single "/").
std::optional<std::string> NextPageTarget(std::string_view last_line_rest);

// Reads every row of the one-line table; the last aligned count (empty
// when the line has no row).
std::string ReadBroadTable(std::string_view line, RowTarget& target);

}  // namespace kv
