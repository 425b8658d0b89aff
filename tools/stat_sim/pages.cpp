// Page layout. Lines end with LF; every page is UTF-8.
//
// Form page: hidden fields one per line, each written as
//     <input type="hidden" name="NAME"<blanks>value="VALUE">
// with the name from character 28 and, for names of up to three letters,
// the value from character 40 (blanks pad the gap). The client takes the lines
// whose characters 28-30 are "key" or 28-29 are "tm", reads the value from
// 40 up to the double quote, and stops after the "checkboxes" line, which
// stands after key and tm. The keyword box line has "text" at 28, which
// matches neither.
//
// Result page, top to bottom:
//   head, title, a heading;
//   the related-queries table: a header row line, then ONE line holding all
//     its rows, beginning with </tr><tr class="related"> (the one-line table
//     reader looks for "</tr><tr class=" at 1-15): each row is
//     <td><a href="LINK">KEYWORD</a></td><td align="right">COUNT</td></tr>;
//   the layout table, its left cell holding the result table:
//     m:      <tr class="thead"><th>..</th></tr><tr><td><a href="LINK">KW1</a></td>
//             ("thead" at 12-16 and '<tr class="thead' at 1-16; after the
//             first href and its ">", the keyword and exactly 9 more
//             characters: </a></td>)
//     m+k:    <td class="count">COUNTk</td></tr><tr><td><a href="LINK">KWk+1</a></td>
//             (the count cell opening is 18 characters, so the count starts
//             at 19 and ends at the next "<")
//     m+50:   <td class="count">COUNT50</td></tr></table><div class="pages">LINKS</div>
//             LINKS: <a href="PREV">..</a> from page 2 on, then
//             <a href="NEXT">..</a>, targets with "&amp;" between pairs; the
//             last page has no link at all, only the page number text
//     m+51:   <td width="35%" ...>   the right cell, which ends the row loop
//   closing tags.
// Keywords and counts never contain "<", ">", or a double quote: display
// text is HTML-escaped, link targets are percent-encoded.

#include "tools/stat_sim/pages.h"

#include "base/cp1251.h"
#include "tools/stat_sim/query.h"
#include "tools/stat_sim/session.h"

namespace kv::statsim {
namespace {

constexpr std::string_view kFieldOpening = "<input type=\"hidden\" name=\"";
static_assert(kFieldOpening.size() == 27, "field names start at character 28");
constexpr size_t kFieldValueColumn = 40;

constexpr std::string_view kCountCellOpening = "<td class=\"count\">";
static_assert(kCountCellOpening.size() == 18, "counts start at character 19");
constexpr std::string_view kKeywordCellClosing = "</a></td>";
static_assert(kKeywordCellClosing.size() == 9, "a keyword is followed by exactly 9 characters");
constexpr std::string_view kTableHead = "<tr class=\"thead\"><th>Слова</th><th>Показов в месяц</th></tr>";
constexpr std::string_view kRightCell = "<td width=\"35%\" valign=\"top\">";

constexpr std::string_view kHead =
    "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n";

std::string HtmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string HiddenFieldLine(std::string_view name, std::string_view value) {
  std::string line(kFieldOpening);
  line.append(name).push_back('"');
  constexpr std::string_view kValueOpening = " value=\"";
  // Pad so that the value begins at kFieldValueColumn; longer names get one blank.
  size_t used = line.size() + kValueOpening.size();
  if (used < kFieldValueColumn - 1) line.append(kFieldValueColumn - 1 - used, ' ');
  line.append(kValueOpening).append(value).append("\">\n");
  return line;
}

std::string KeywordLink(std::string_view keyword_utf8) {
  return std::string(kServicePath) + "?rpt=ppc&amp;shw=1&amp;text=" + PercentEncode(Utf8ToCp1251(keyword_utf8));
}

std::string KeywordRowOpening(const KeywordEntry& entry) {
  return "<tr><td><a href=\"" + KeywordLink(entry.text) + "\">" + HtmlEscape(entry.text) +
         std::string(kKeywordCellClosing);
}

std::string CountText(long count, bool with_blank) {
  std::string digits = std::to_string(count);
  if (!with_blank || digits.size() < 2) return digits;
  std::string text(1, digits[0]);
  text.push_back(' ');
  return text.append(digits, 1);
}

std::string RelatedTableLines(const ResultPageContent& content) {
  std::string lines = "<table class=\"related\">\n<tr><th>Что ещё искали со словом «" + HtmlEscape(content.seed) +
                      "»</th><th>Показов</th>\n</tr>";
  for (const KeywordEntry& entry : content.related) {
    lines += "<tr class=\"related\"><td><a href=\"" + KeywordLink(entry.text) + "\">" + HtmlEscape(entry.text) +
             "</a></td><td align=\"right\">" + std::to_string(entry.count) + "</td></tr>";
  }
  return lines + "\n</table>\n";
}

std::string PagingLinks(const ResultPageContent& content) {
  std::string links = "<div class=\"pages\">";
  if (content.page < content.last_page) {
    if (content.page > 1)
      links += "<a href=\"" + ResultPageLink(content.seed_cp1251, content.page - 1) + "\">&larr; назад</a> | ";
    links += "<a href=\"" + ResultPageLink(content.seed_cp1251, content.page + 1) + "\">далее &rarr;</a>";
  } else {
    links += "страница " + std::to_string(content.page) + " из " + std::to_string(content.last_page);
  }
  return links + "</div>";
}

// The result table's lines m .. m+n, each ending with LF.
std::vector<std::string> ResultTableLines(const ResultPageContent& content, const ResultPageFaults& faults) {
  std::vector<std::string> lines;
  const auto& rows = content.rows;
  for (size_t i = 0; i <= rows.size(); ++i) {
    std::string line;
    if (i == 0) {
      line = std::string(kTableHead);
    } else {
      bool blank = faults.blank_in_count_row == static_cast<int>(i);
      line = std::string(kCountCellOpening) + CountText(rows[i - 1].count, blank) + "</td></tr>";
    }
    if (i < rows.size())
      line += KeywordRowOpening(rows[i]);
    else
      line += "</table>" + PagingLinks(content);
    lines.push_back(line + "\n");
  }
  return lines;
}

}  // namespace

std::string ResultPageLink(std::string_view seed_cp1251, int page) {
  return std::string(kServicePath) + "?rpt=ppc&amp;shw=1&amp;checkboxes=&amp;key=" + std::string(kFormKey) +
         "&amp;tm=" + std::string(kFormTm) + "&amp;text=" + PercentEncode(seed_cp1251) +
         "&amp;page=" + std::to_string(page);
}

std::string FormPage(const FormPageShape& shape) {
  std::string page(kHead);
  page += "<title>Подбор слов</title>\n</head>\n<body>\n<h1>Подбор слов</h1>\n";
  page += "<form action=\"" + std::string(kServicePath) + "\" method=\"get\">\n";
  page += HiddenFieldLine("rpt", "ppc");
  page += HiddenFieldLine("shw", "1");
  std::string key = HiddenFieldLine("key", kFormKey), tm = HiddenFieldLine("tm", kFormTm);
  page += shape.tm_before_key ? tm + key : key + tm;
  page += "<input type=\"text\"   name=\"text\" size=\"60\" value=\"\">\n";
  if (shape.with_checkboxes) page += HiddenFieldLine("checkboxes", "");
  page += "<input type=\"submit\" value=\"Подобрать\">\n</form>\n</body>\n</html>\n";
  return page;
}

std::string ResultPage(const ResultPageContent& content, const ResultPageFaults& faults) {
  std::string seed = HtmlEscape(content.seed);
  std::string page(kHead);
  page += "<title>«" + seed + "» — статистика запросов</title>\n</head>\n<body>\n";
  page += "<h1>Статистика запросов по слову «" + seed + "»</h1>\n";
  page += RelatedTableLines(content);
  page += "<table class=\"layout\"><tr>\n<td>\n<table class=\"words\">\n";

  std::vector<std::string> table = ResultTableLines(content, faults);
  if (faults.thead_on_last_line) {
    for (std::string& line : table) page += line.substr(0, line.size() - 1);
    return page + "\n";
  }
  for (const std::string& line : table) page += line;
  if (faults.table_at_end) return page;

  page += std::string(kRightCell) + "\n";
  page += "<p>Страница " + std::to_string(content.page) + " из " + std::to_string(content.last_page) + "</p>\n";
  page += "</td></tr></table>\n</body>\n</html>\n";
  return page;
}

std::string NoTablePage(std::string_view seed, std::string_view message) {
  std::string page(kHead);
  page += "<title>«" + HtmlEscape(seed) + "» — статистика запросов</title>\n</head>\n<body>\n";
  page += "<p>" + std::string(message) + "</p>\n</body>\n</html>\n";
  return page;
}

std::string CaptchaPage() {
  std::string page(kHead);
  page += "<title>Проверка</title>\n</head>\n<body>\n";
  page += "<p>Нам кажется, что запросы идут от робота.</p>\n";
  page += "<form action=\"/captcha\" method=\"post\">\n";
  page += "<img src=\"/captcha.png\" alt=\"captcha\">\n";
  page += "<p>Введите символы с картинки (captcha):</p>\n";
  page += "<input type=\"text\" name=\"answer\" size=\"10\">\n";
  page += "<input type=\"submit\" value=\"Отправить\">\n</form>\n</body>\n</html>\n";
  return page;
}

std::string TooManyRequestsPage() {
  std::string page(kHead);
  page += "<title>Слишком много запросов</title>\n</head>\n<body>\n";
  page += "<p>Слишком много запросов. Повторите через секунду.</p>\n</body>\n</html>\n";
  return page;
}

}  // namespace kv::statsim
