// The digging commands against the real stand-in of the service, started
// on a free port: cookies from the form page, paging with both limits,
// appending, Deep and Broad.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/int_conversion.h"
#include "digging/form_main.h"
#include "http/cookie_manager.h"
#include "http/http_client.h"
#include "tests/support/stat_sim_fixture.h"

namespace kv::test {
namespace {

std::string Utf8(std::string_view text) { return Cp1251ToUtf8(text); }

struct Dig {
  explicit Dig(const std::vector<std::string>& options = {}) : sim(options), form(nullptr, sim.BaseUrl()) {
    form.FormShow();
    form.StatusBar1.OnRepaint = [this](const std::string& text) { repaints.push_back(Utf8(text)); };
  }
  std::string Status() const { return Utf8(form.StatusBar1.SimpleText()); }

  StatSimProcess sim;
  TFormMain form;
  std::vector<std::string> repaints;
};

TEST(StandInDig, GetReadsPagesWithTheFormPagesCookie) {
  Dig dig({"--pages", "4"});
  dig.form.EditKw.SetText("кот"_w1251);
  dig.form.SpinEdMaxKw.SetValue(10);
  dig.form.DigButtClick();
  EXPECT_EQ(dig.Status(), "Выполнено - получено 200 кейвордов");
  EXPECT_EQ(dig.form.StrGrid1.RowCount(), 201);
  EXPECT_EQ(dig.repaints.size(), 4u);
  // The result pages answer only with the form page's cookie, which the
  // client kept.
  ASSERT_NE(dig.form.IdHTTP1().CookieManager(), nullptr);
  EXPECT_EQ(dig.form.IdHTTP1().CookieManager()->CookieCollection().Count(), 1);
  // Counts fall from row to row across the pages.
  int previous = INT32_MAX;
  for (int row = 1; row < dig.form.StrGrid1.RowCount(); ++row) {
    const int count = StrToInt(dig.form.StrGrid1.Cell(1, row));
    EXPECT_LE(count, previous) << row;
    previous = count;
    EXPECT_EQ(dig.form.MemoArea.Line(static_cast<size_t>(row - 1)).substr(14), dig.form.StrGrid1.Cell(0, row));
  }
  EXPECT_NE(Utf8(dig.form.StrGrid1.Cell(0, 1)).find("кот"), std::string::npos);
}

TEST(StandInDig, PageLimitAndMinimumCountStopPaging) {
  // The last count of the first page decides whether the second is read.
  int first_page_last_count = 0;
  {
    Dig dig({"--pages", "8"});
    dig.form.EditKw.SetText("dog");
    dig.form.DigButtClick();
    ASSERT_EQ(dig.form.StrGrid1.RowCount(), 51);
    first_page_last_count = StrToInt(dig.form.StrGrid1.Cell(1, 50));
  }
  struct Case {
    const char* name;
    int page_limit;
    int minimum;
    int rows;
  };
  const std::vector<Case> cases = {
      {"page limit", 2, 1, 100},
      {"minimum above the first page's last count", 10, first_page_last_count + 1, 50},
      {"minimum at the first page's last count", 2, first_page_last_count, 100},
  };
  for (const Case& c : cases) {
    Dig dig({"--pages", "8"});
    dig.form.EditKw.SetText("dog");
    dig.form.SpinEdMaxKw.SetValue(c.page_limit);
    dig.form.SpinEdKwPM.SetValue(c.minimum);
    dig.form.DigButtClick();
    EXPECT_EQ(dig.form.StrGrid1.RowCount(), 1 + c.rows) << c.name;
    EXPECT_EQ(dig.Status(), "Выполнено - получено " + IntToStr(c.rows) + " кейвордов") << c.name;
  }
}

TEST(StandInDig, SecondGetAndDeepAppendAfterTheLastRow) {
  Dig dig({"--pages", "1"});
  dig.form.EditKw.SetText("dog");
  dig.form.DigButtClick();
  dig.form.EditKw.SetText("cat");
  dig.form.DigButtClick();
  EXPECT_EQ(dig.form.StrGrid1.RowCount(), 101);
  EXPECT_EQ(dig.Status(), "Выполнено - получено 100 кейвордов");

  ASSERT_TRUE(dig.form.StrGrid1.SetRow(7));
  const std::string keyword(dig.form.StrGrid1.Cell(0, 7));
  dig.form.DeepButtClick();
  EXPECT_EQ(dig.form.EditKw.Text(), keyword);
  EXPECT_EQ(dig.form.StrGrid1.RowCount(), 151);
  EXPECT_NE(dig.form.StrGrid1.Cell(0, 101).find(keyword), std::string::npos) << Utf8(dig.form.StrGrid1.Cell(0, 101));
  EXPECT_EQ(dig.Status(), "Выполнено - получено 150 кейвордов");
}

TEST(StandInDig, BroadOverwritesFromRowOneAndRebuildsTheList) {
  Dig dig({"--pages", "1"});
  dig.form.EditKw.SetText("dog");
  dig.form.DigButtClick();
  const std::string row_20(dig.form.StrGrid1.Cell(0, 20));
  dig.form.BroadButtClick();
  // Ten rows on the broad line: rows 1 to 10 rewritten, ten rows added.
  EXPECT_EQ(dig.form.StrGrid1.RowCount(), 61);
  EXPECT_EQ(dig.form.StrGrid1.Cell(0, 20), row_20);
  EXPECT_EQ(dig.form.MemoArea.LineCount(), 10u);
  EXPECT_EQ(dig.form.MemoArea.Line(0).substr(14), dig.form.StrGrid1.Cell(0, 1));
  EXPECT_EQ(dig.Status(), "Выполнено - получено 10 кейвордов");
}

TEST(StandInDig, MisbehavingPages) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    const char* failure;  // "" when the command ends normally
    const char* status;
  };
  const std::vector<Case> cases = {
      {"form page without checkboxes", {"--no-checkboxes"}, "", "Выполнено - получено 100 кейвордов"},
      {"tm before key", {"--tm-first"}, "", "Выполнено - получено 100 кейвордов"},
      {"table running to the page's end", {"--table-at-end"}, "", "Выполнено - получено 100 кейвордов"},
      {"table only on the last line", {"--thead-on-last-line"}, "", "Не найдено кейвордов"},
      {"last count with a blank", {"--blank-count", "50"}, "EConvertError", "Обработана страница 1"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options = {"--pages", "2"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    Dig dig(options);
    dig.form.EditKw.SetText("dog");
    dig.form.SpinEdMaxKw.SetValue(5);
    std::string failure;
    try {
      dig.form.DigButtClick();
    } catch (const Exception& e) {
      failure = e.ClassName();
    }
    EXPECT_EQ(failure, c.failure) << c.name;
    EXPECT_EQ(dig.Status(), c.status) << c.name;
  }
}

TEST(StandInDig, ConnectionClosedInTheMiddleOfAPage) {
  // The second page is cut off half way: the cut is a failure, not a short
  // page, so none of that half page is taken for a whole one.
  Dig dig({"--pages", "3", "--close-mid-page", "2"});
  dig.form.EditKw.SetText("dog");
  dig.form.SpinEdMaxKw.SetValue(5);
  std::string failure = "no exception";
  try {
    dig.form.DigButtClick();
  } catch (const Exception& e) {
    failure = std::string(e.ClassName()) + ": " + e.Message();
  }
  EXPECT_EQ(failure, "EIdConnClosedGracefully: Connection Closed Gracefully.");
  EXPECT_EQ(dig.form.StrGrid1.RowCount(), 51);
  EXPECT_EQ(dig.Status(), "Обработана страница 1");
}

}  // namespace
}  // namespace kv::test
