#include "digging/page_readers.h"

#include "base/cp1251.h"
#include "base/text.h"

namespace kv {

namespace {

// Rests of the one-line table are longer than page lines usually are.
constexpr long kBroadRestCap = 99999;
constexpr long kBroadKeywordCap = 99;
// A keyword on a result line is followed by exactly this many characters.
constexpr long kKeywordTail = 9;
// Row lines carry their count from this character on.
constexpr long kCountColumn = 19;

// The text from `index` (1-based) to the end, as long as the one-line table
// allows.
std::string BroadRest(std::string_view text, long index) { return Copy(text, index, kBroadRestCap); }

// The text up to, not including, the first "<"; empty without one.
std::string TextBeforeTag(std::string_view text) {
  return Copy(text, 1, static_cast<long>(Pos("<", text)) - 1);
}

// The keyword of a result line: behind the first ">" after the first
// "href", without the 9 characters that close it.
std::string KeywordBehindLink(std::string_view text) {
  const std::string from_link = RestOfLine(text, static_cast<long>(Pos("href", text)));
  const std::string behind = RestOfLine(from_link, static_cast<long>(Pos(">", from_link)) + 1);
  return Copy(behind, 1, static_cast<long>(behind.size()) - kKeywordTail);
}

bool BeginsRowEnd(std::string_view line) { return HasAt(line, 1, "<td width"); }

// The target of the link whose "a href" starts at `link` (0-based): from
// behind 'a href="' up to the first '">'. `resume` is where the search for
// a further link goes on.
std::string LinkTarget(std::string_view text, size_t link, size_t& resume) {
  const size_t start = link + 8;
  const size_t end = start <= text.size() ? text.find("\">", start) : std::string_view::npos;
  if (end == std::string_view::npos) {
    resume = start;
    return {};
  }
  resume = end;
  return std::string(text.substr(start, end - start));
}

// The target follows the service's base address, so only a path keeps the
// next page on the service: it begins with one "/" and no second slash
// (the client reads a backslash as "/"). "//host/...", "@host/..." or a
// whole address would send the dig elsewhere.
bool IsPathOnTheService(std::string_view target) {
  if (target.empty() || target[0] != '/') return false;
  return target.size() == 1 || (target[1] != '/' && target[1] != '\\');
}

}  // namespace

std::string HiddenFieldsQuery(const TMemo& page) {
  std::string query;
  for (size_t i = 0; i < page.LineCount(); ++i) {
    const std::string line = page.Line(i);
    auto value = [&line] {
      const std::string rest = RestOfLine(line, 40);
      return Copy(rest, 1, static_cast<long>(Pos("\"", rest)) - 1);
    };
    if (HasAt(line, 28, "key")) query += "&key=" + value();
    if (HasAt(line, 28, "tm")) query += "&tm=" + value();
    if (HasAt(line, 28, "checkboxes")) break;
  }
  return query;
}

bool IsGetTableLine(std::string_view line) { return HasAt(line, 12, "thead"); }

bool IsDeepTableLine(std::string_view line) { return HasAt(line, 1, "<tr class=\"thead"); }

bool IsBroadTableLine(std::string_view line) { return HasAt(line, 1, "</tr><tr class="); }

std::optional<size_t> FindTableLine(const TMemo& page, bool (*is_table_line)(std::string_view)) {
  for (size_t i = 0; i + 1 < page.LineCount(); ++i) {
    if (is_table_line(page.Line(i))) return i;
  }
  return std::nullopt;
}

TableRows ReadResultTable(const TMemo& page, size_t first) {
  TableRows table;
  std::string keyword = Utf8ToCp1251(KeywordBehindLink(page.Line(first)));

  // Each row line carries the count of the keyword above it and the next
  // keyword; the last one carries the last count and the paging links. A
  // table that runs to the page's end stops at the page's last line.
  const size_t last_line = page.LineCount() - 1;
  size_t current = first + 1;
  while (current < last_line && !BeginsRowEnd(page.Line(current + 1))) {
    const std::string rest = RestOfLine(page.Line(current), kCountColumn);
    table.rows.push_back({std::move(keyword), AlignCount(TextBeforeTag(rest))});
    keyword = Utf8ToCp1251(KeywordBehindLink(rest));
    ++current;
  }
  table.last_line_rest = RestOfLine(page.Line(current), kCountColumn);
  table.rows.push_back({std::move(keyword), AlignCount(TextBeforeTag(table.last_line_rest))});
  return table;
}

std::optional<std::string> NextPageTarget(std::string_view last_line_rest) {
  size_t link = last_line_rest.find("a href");
  if (link == std::string_view::npos) return std::nullopt;
  size_t resume = 0;
  std::string target = LinkTarget(last_line_rest, link, resume);
  // With two links the first is the previous page's.
  link = resume <= last_line_rest.size() ? last_line_rest.find("a href", resume) : std::string_view::npos;
  if (link != std::string_view::npos) target = LinkTarget(last_line_rest, link, resume);
  for (size_t at = target.find("amp;"); at != std::string::npos; at = target.find("amp;", at)) target.erase(at, 4);
  if (!IsPathOnTheService(target)) return std::nullopt;
  return target;
}

std::vector<ResultRow> ReadBroadTable(std::string_view line) {
  std::vector<ResultRow> rows;
  std::string rest = BroadRest(line, 1);
  while (Pos("href", rest) > 0) {
    rest = BroadRest(rest, static_cast<long>(Pos("href", rest)) + 1);
    rest = BroadRest(rest, static_cast<long>(Pos(">", rest)) + 1);
    std::string keyword = TextBeforeTag(rest);
    if (!keyword.empty() && keyword[0] == '*') keyword = Copy(keyword, 2, kBroadKeywordCap);
    rest = BroadRest(rest, static_cast<long>(Pos("<", rest)) + 1);
    rest = BroadRest(rest, static_cast<long>(Pos("right", rest)) + 1);
    rest = BroadRest(rest, static_cast<long>(Pos(">", rest)) + 1);
    rows.push_back({std::move(keyword), AlignCount(TextBeforeTag(rest))});
  }
  return rows;
}

ResultPage ReadResultPage(const TMemo& page, TableKind kind) {
  static constexpr bool (*kTableLine[])(std::string_view) = {IsGetTableLine, IsDeepTableLine, IsBroadTableLine};
  ResultPage result;
  const std::optional<size_t> first = FindTableLine(page, kTableLine[static_cast<int>(kind)]);
  if (!first) return result;
  result.has_table = true;
  if (kind == TableKind::kBroad) {
    result.rows = ReadBroadTable(page.LineView(*first));
    return result;
  }
  TableRows table = ReadResultTable(page, *first);
  result.rows = std::move(table.rows);
  result.next_target = NextPageTarget(table.last_line_rest);
  return result;
}

}  // namespace kv
