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

TEST(ResultTable, RowsCountsAndTheListLines) {
  const std::vector<PageRow> rows = {{"купить кот", "12345"}, {"кот", "987"}, {"\xff\xfe bad", "12345678"}};
  TMemo page = PageOf(ResultPage(rows, ""));
  TStringGrid grid;
  TMemo list;
  list.Append("earlier line");
  grid.SetRowCount(3);
  RowTarget target{grid, list, 3};
  const TableEnd end = ReadResultTable(page, *FindTableLine(page, IsGetTableLine), target);

  EXPECT_EQ(grid.RowCount(), 6);
  EXPECT_EQ(target.next_row, 6);
  EXPECT_EQ(grid.Cell(0, 3), std::string("купить кот"_w1251));
  EXPECT_EQ(grid.Cell(1, 3), "  12345");
  EXPECT_EQ(grid.Cell(0, 4), std::string("кот"_w1251));
  EXPECT_EQ(grid.Cell(1, 4), "    987");
  EXPECT_EQ(grid.Cell(0, 5), "");  // not UTF-8
  EXPECT_EQ(grid.Cell(1, 5), "12345678");
  ASSERT_EQ(list.LineCount(), 4u);
  EXPECT_EQ(list.Line(1), std::string("  12345   -   купить кот"_w1251));
  EXPECT_EQ(list.Line(2), std::string("    987   -   кот"_w1251));
  EXPECT_EQ(list.Line(3), "12345678   -   ");
  EXPECT_EQ(end.last_count, "12345678");
}

TEST(ResultTable, TableRunningToThePageEndStopsAtTheLastLine) {
  // No "<td width" line follows: the page's last line is the last row line.
  std::string text = ResultTable({{"a", "30"}, {"b", "20"}, {"c", "10"}}, "");
  text.resize(text.find("<td width"));
  TMemo page = PageOf(text);
  TStringGrid grid;
  TMemo list;
  RowTarget target{grid, list, 1};
  const TableEnd end = ReadResultTable(page, 0, target);
  EXPECT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(list.Text(), "     30   -   a\r\n     20   -   b\r\n     10   -   c\r\n");
  EXPECT_EQ(end.last_count, "     10");
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
    std::vector<std::string> grid_keywords;
    std::string list_text;
    std::string last_count;
  };
  const std::string long_word(120, 'w');
  const std::vector<Case> cases = {
      {"three rows", BroadLine({{"one", "300"}, {"*two", "20"}, {"три", "1"}}), {"one", "two", "три"},
       "    300   -   one\r\n     20   -   two\r\n      1   -   три\r\n", "      1"},
      {"starred keyword cut to 99", BroadLine({{"*" + long_word, "5"}}), {long_word.substr(0, 99)},
       "      5   -   " + long_word.substr(0, 99) + "\r\n", "      5"},
      {"no href", "</tr><tr class=\"x\"><td>nothing</td>", {}, "", ""},
  };
  for (const Case& c : cases) {
    TStringGrid grid;
    TMemo list;
    RowTarget target{grid, list, 1};
    EXPECT_EQ(ReadBroadTable(c.line, target), c.last_count) << c.name;
    ASSERT_EQ(grid.RowCount(), static_cast<int>(c.grid_keywords.size()) + 1) << c.name;
    for (size_t i = 0; i < c.grid_keywords.size(); ++i) {
      EXPECT_EQ(grid.Cell(0, static_cast<int>(i) + 1), c.grid_keywords[i]) << c.name;
    }
    EXPECT_EQ(list.Text(), c.list_text) << c.name;
  }
}

}  // namespace
}  // namespace kv::test
