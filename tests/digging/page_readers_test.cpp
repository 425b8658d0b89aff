// The page readers on page texts: the form scan, the result table with its
// rows and paging link, the one-line broad table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/controls.h"
#include "app/memo.h"
#include "base/cp1251.h"
#include "digging/keyword_encoder.h"
#include "digging/page_readers.h"
#include "tests/digging/result_pages.h"

namespace kv::test {
namespace {

TMemo PageOf(const std::string& text) {
  TMemo page;
  page.SetText(text);
  return page;
}

TEST(KeywordEncoder, BytesByClass) {
  struct Case {
    std::string text;  // Windows-1251
    const char* encoded;
  };
  const std::vector<Case> cases = {
      {"ab cd", "ab%20cd"},
      {std::string("кот"_w1251), "%EA%EE%F2"},
      {std::string("Ёё"_w1251), "%A8%B8"},
      {std::string("АЯая"_w1251), "%C0%DF%E0%FF"},
      {"a+b & c", "a+b%20&%20c"},
      {"c#?=%", "c#?=%"},
      {"\x80\x9F\xA7\xA9\xB7\xB9\xBF", "\x80\x9F\xA7\xA9\xB7\xB9\xBF"},
      {"\t\x01-_", "\t\x01-_"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeKeyword(c.text, "%20"), c.encoded) << c.encoded;
  EXPECT_EQ(EncodeKeyword("a b", "+"), "a+b");
}

TEST(FormScan, HiddenFieldsInPageOrderUpToCheckboxes) {
  struct Case {
    const char* name;
    std::string page;
    const char* query;
  };
  const std::vector<Case> cases = {
      {"key then tm", FormPage({FieldLine("key", "K1"), FieldLine("tm", "T1")}), "&key=K1&tm=T1"},
      {"tm then key", FormPage({FieldLine("tm", "T1"), FieldLine("key", "K1")}), "&tm=T1&key=K1"},
      {"value without closing quote", FormPage({FieldLine("key", "K1").substr(0, 41)}), "&key="},
      {"fields after checkboxes are not read",
       FormPage({FieldLine("key", "K1")}) + FieldLine("tm", "late") + "\r\n", "&key=K1"},
      {"no checkboxes line: the page's end", FormPage({FieldLine("key", "K1"), FieldLine("tm", "T1")}, false),
       "&key=K1&tm=T1"},
      {"field on the last line", FieldLine("key", "K1") + "\r\n" + FieldLine("tm", "T9"), "&key=K1&tm=T9"},
      {"empty page", "", ""},
      {"short lines", "key\r\ntm\r\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(HiddenFieldsQuery(PageOf(c.page)), c.query) << c.name;
}

TEST(ResultTableLines, MarkersAndTheLastLine) {
  EXPECT_TRUE(IsGetTableLine("<tr class=\"thead\">"));
  EXPECT_TRUE(IsGetTableLine("<tr xxxxxx=thead"));
  EXPECT_FALSE(IsGetTableLine("<tr class=\"theax\">"));
  EXPECT_TRUE(IsDeepTableLine("<tr class=\"thead\">"));
  EXPECT_FALSE(IsDeepTableLine("<tr xxxxxx=thead"));
  EXPECT_TRUE(IsBroadTableLine("</tr><tr class=\"x\">"));
  EXPECT_FALSE(IsBroadTableLine("</tr> <tr class="));

  // The page's last line is never the table's first line.
  EXPECT_EQ(FindTableLine(PageOf("a\r\nb\r\n<tr class=\"thead\">"), IsGetTableLine), std::nullopt);
  EXPECT_EQ(FindTableLine(PageOf("a\r\n<tr class=\"thead\">\r\nz"), IsGetTableLine), std::optional<size_t>(1));
  EXPECT_EQ(FindTableLine(PageOf(""), IsGetTableLine), std::nullopt);
}

// Rows as "KEYWORD|COUNT" lines, for comparing with one expectation.
std::string RowsText(const std::vector<ResultRow>& rows) {
  std::string text;
  for (const ResultRow& row : rows) text += row.keyword + "|" + row.count + "\n";
  return text;
}

TEST(ResultTable, RowsAndAlignedCounts) {
  const std::vector<PageRow> rows = {{"купить кот", "12345"}, {"кот", "987"}, {"\xff\xfe bad", "12345678"}};
  TMemo page = PageOf(ResultPage(rows, ""));
  const TableRows table = ReadResultTable(page, *FindTableLine(page, IsGetTableLine));
  // A keyword that is not UTF-8 is read as empty.
  EXPECT_EQ(RowsText(table.rows), std::string("купить кот|  12345\nкот|    987\n|12345678\n"_w1251));
}

TEST(ResultTable, TableRunningToThePageEndStopsAtTheLastLine) {
  // No "<td width" line follows: the page's last line is the last row line.
  std::string text = ResultTable({{"a", "30"}, {"b", "20"}, {"c", "10"}}, "");
  text.resize(text.find("<td width"));
  const TableRows table = ReadResultTable(PageOf(text), 0);
  EXPECT_EQ(RowsText(table.rows), "a|     30\nb|     20\nc|     10\n");
}

TEST(ResultPages, TableRowsAndNextPageByKind) {
  const TMemo get_page = PageOf(ResultPage({{"a", "30"}, {"b", "20"}}, Link("/stat/p.pl?page=2&amp;x=1", "next")));
  const kv::ResultPage get = ReadResultPage(get_page, TableKind::kGet);
  EXPECT_TRUE(get.has_table);
  EXPECT_EQ(RowsText(get.rows), "a|     30\nb|     20\n");
  EXPECT_EQ(get.LastCount(), "     20");
  EXPECT_EQ(get.next_target, std::optional<std::string>("/stat/p.pl?page=2&x=1"));

  const kv::ResultPage none = ReadResultPage(PageOf("<html>captcha\r\n</html>\r\n"), TableKind::kGet);
  EXPECT_FALSE(none.has_table);
  EXPECT_TRUE(none.rows.empty());
  EXPECT_EQ(none.LastCount(), "");

  const kv::ResultPage broad =
      ReadResultPage(PageOf("x\r\n" + BroadLine({{"one", "3"}, {"two", "2"}}) + "\r\nend"), TableKind::kBroad);
  EXPECT_TRUE(broad.has_table);
  EXPECT_EQ(RowsText(broad.rows), "one|      3\ntwo|      2\n");
  EXPECT_EQ(broad.next_target, std::nullopt);
}

TEST(NextPage, LinkTargets) {
  struct Case {
    std::string rest;
    std::optional<std::string> target;
  };
  const std::vector<Case> cases = {
      {"50</td>", std::nullopt},
      {"50</td>" + Link("/stat/x.pl?a=1&amp;p=2", "next"), "/stat/x.pl?a=1&p=2"},
      {"50</td>" + Link("/prev", "prev") + " | " + Link("/next?x=1&amp;amp;y=2", "next"), "/next?x=1&y=2"},
      {"50</td>" + Link("/1", "1") + Link("/2", "2") + Link("/3", "3"), "/2"},
      {"50</td>" + Link("/", "next"), "/"},
      // Only a path on the service is followed; anything else ends the paging.
      {"50<a href=\"/unterminated", std::nullopt},
      {"50<a href=", std::nullopt},
      {"50</td>" + Link("@127.0.0.1:9/evil", "next"), std::nullopt},
      {"50</td>" + Link("//evil.example/x", "next"), std::nullopt},
      {"50</td>" + Link("/\\evil.example/x", "next"), std::nullopt},
      {"50</td>" + Link("/amp;/evil.example/x", "next"), std::nullopt},
      {"50</td>" + Link("http://evil.example/x", "next"), std::nullopt},
      {"50</td>" + Link("/prev", "prev") + Link("//evil.example/x", "next"), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(NextPageTarget(c.rest), c.target) << c.rest;
}

TEST(BroadTable, RowsFromOneLine) {
  struct Case {
    const char* name;
    std::string line;
    std::string rows;
  };
  const std::string long_word(120, 'w');
  const std::vector<Case> cases = {
      {"three rows", BroadLine({{"one", "300"}, {"*two", "20"}, {"три", "1"}}),
       // The one-line table's keywords are taken as the page has them.
       "one|    300\ntwo|     20\nтри|      1\n"},
      {"starred keyword cut to 99", BroadLine({{"*" + long_word, "5"}}), long_word.substr(0, 99) + "|      5\n"},
      {"no href", "</tr><tr class=\"x\"><td>nothing</td>", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(RowsText(ReadBroadTable(c.line)), c.rows) << c.name;
}

}  // namespace
}  // namespace kv::test
