// The digging commands against a scripted service on a real socket: the
// addresses they request, what they add, and how each failure ends them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/int_conversion.h"
#include "digging/form_main.h"
#include "http/http_exceptions.h"
#include "tests/digging/result_pages.h"
#include "tests/support/loopback_peer.h"

namespace kv::test {
namespace {

const std::string kFormTarget = "/stat/wordsstat.pl?rpt=ppc&shw=1";

std::string Ok(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
         IntToStr(static_cast<int64_t>(body.size())) + "\r\n\r\n" + body;
}

const std::string kFormPage = FormPage({FieldLine("key", "K7"), FieldLine("tm", "T9")});

// The request lines the peer received on connection `index`, in order.
std::vector<std::string> RequestLines(const LoopbackPeer& peer, size_t index) {
  std::vector<std::string> lines;
  const std::string received = peer.Received(index);
  for (size_t at = received.find("GET "); at != std::string::npos; at = received.find("\r\n\r\nGET ", at)) {
    if (received.compare(at, 4, "GET ") != 0) at += 4;
    lines.push_back(received.substr(at, received.find("\r\n", at) - at));
    ++at;
  }
  return lines;
}

class DigCommands : public ::testing::Test {
 protected:
  void Open(const LoopbackPeer& peer) {
    form_ = std::make_unique<TFormMain>(nullptr, "http://127.0.0.1:" + IntToStr(peer.Port()));
    form_->FormShow();
    repaints_.clear();
    form_->StatusBar1.OnRepaint = [this](const std::string& text) { repaints_.push_back(Cp1251ToUtf8(text)); };
  }
  std::string Status() const { return Cp1251ToUtf8(form_->StatusBar1.SimpleText()); }

  std::unique_ptr<TFormMain> form_;
  std::vector<std::string> repaints_;
};

TEST_F(DigCommands, GetFollowsPagesWithTheFormFieldsAndTheEncodedKeyword) {
  const std::string page1 = ResultPage(NumberedRows("кот", 1, 3, 900), Link("/stat/next.pl?p=2&amp;q=1", "next"));
  const std::string page2 = ResultPage(NumberedRows("кот", 4, 2, 800),
                                       Link("/stat/prev", "prev") + " " + Link("/stat/next.pl?p=3", "next"));
  const std::string page3 = ResultPage(NumberedRows("кот", 6, 1, 700), "");
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd).Send(Ok(kFormPage))
                         .ExpectUntil(kHeadEnd).Send(Ok(page1))
                         .ExpectUntil(kHeadEnd).Send(Ok(page2))
                         .ExpectUntil(kHeadEnd).Send(Ok(page3))});
  Open(peer);
  form_->EditKw.SetText("кот ab"_w1251);
  form_->SpinEdMaxKw.SetValue(10);
  form_->DigButtClick();
  ASSERT_TRUE(peer.WaitDone());

  EXPECT_EQ(RequestLines(peer, 0),
            (std::vector<std::string>{"GET " + kFormTarget + " HTTP/1.1",
                                      "GET " + kFormTarget + "&checkboxes=&key=K7&tm=T9&text=%EA%EE%F2%20ab HTTP/1.1",
                                      "GET /stat/next.pl?p=2&q=1 HTTP/1.1", "GET /stat/next.pl?p=3 HTTP/1.1"}));
  EXPECT_EQ(form_->StrGrid1.RowCount(), 7);
  EXPECT_EQ(Cp1251ToUtf8(form_->StrGrid1.Cell(0, 1)), "кот 1");
  EXPECT_EQ(Cp1251ToUtf8(form_->StrGrid1.Cell(1, 6)), "    700");
  EXPECT_EQ(Cp1251ToUtf8(form_->MemoArea.Line(5)), "    700   -   кот 6");
  EXPECT_EQ(repaints_, (std::vector<std::string>{"Обработана страница 1", "Обработана страница 2",
                                                 "Обработана страница 3"}));
  EXPECT_EQ(Status(), "Выполнено - получено 6 кейвордов");
  EXPECT_EQ(peer.Accepted(), 1u);
}

TEST_F(DigCommands, PagingStopsAtTheLimitsAndTheStatusCountsEveryListLine) {
  struct Case {
    const char* name;
    int page_limit;
    int minimum;
    size_t pages_read;
  };
  const std::vector<Case> cases = {{"page limit 1", 1, 1, 1}, {"last count below the minimum", 10, 899, 1},
                                   {"both allow a second page", 2, 898, 2}};
  for (const Case& c : cases) {
    const std::string page = ResultPage(NumberedRows("k", 1, 2, 899), Link("/stat/n", "next"));
    Script script;
    script.ExpectUntil(kHeadEnd).Send(Ok(kFormPage));
    for (size_t i = 0; i < c.pages_read; ++i) script.ExpectUntil(kHeadEnd).Send(Ok(page));
    LoopbackPeer peer({script.Pause(100)});
    Open(peer);
    form_->MemoArea.Append("kept");
    form_->EditKw.SetText("k");
    form_->SpinEdMaxKw.SetValue(c.page_limit);
    form_->SpinEdKwPM.SetValue(c.minimum);
    form_->DigButtClick();
    EXPECT_EQ(repaints_.size(), c.pages_read) << c.name;
    EXPECT_EQ(form_->StrGrid1.RowCount(), 1 + 2 * static_cast<int>(c.pages_read)) << c.name;
    EXPECT_EQ(Status(), "Выполнено - получено " + IntToStr(static_cast<int64_t>(1 + 2 * c.pages_read)) + " кейвордов")
        << c.name;
    EXPECT_TRUE(peer.WaitDone()) << c.name;
    EXPECT_EQ(peer.Errors(), std::vector<std::string>{}) << c.name;
  }
}

TEST_F(DigCommands, EmptyKeywordAndHeaderRowFetchNothing) {
  LoopbackPeer peer({Script()});
  Open(peer);
  form_->DigButtClick();
  EXPECT_EQ(Status(), "Не указан кейворд");
  form_->BroadButtClick();
  EXPECT_EQ(Status(), "Не указан кейворд");
  form_->EditKw.SetText("kept");
  form_->DeepButtClick();
  EXPECT_EQ(Status(), "Не указан кейворд для поиска вглубь");
  EXPECT_EQ(form_->EditKw.Text(), "kept");
  EXPECT_EQ(peer.Accepted(), 0u);
}

TEST_F(DigCommands, SocketFailuresAreShownAndTheCommandGoesOn) {
  // The form page's connection is reset: the query is built without
  // fields. The result page's connection is reset too: the empty page has
  // no table.
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Reset(), Script().ExpectUntil(kHeadEnd).Reset()});
  Open(peer);
  form_->EditKw.SetText("k");
  form_->DigButtClick();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_NE(peer.Received(1).find("GET " + kFormTarget + "&checkboxes=&text=k HTTP/1.1"), std::string::npos);
  EXPECT_EQ(repaints_, std::vector<std::string>{"Обработана страница 1"});
  EXPECT_EQ(Status(), "Не найдено кейвордов");
}

TEST_F(DigCommands, FailuresThatEndTheCommand) {
  struct Case {
    const char* name;
    std::string result_response;
    const char* failure;
    int rows_added;
  };
  const std::vector<Case> cases = {
      {"last count with a blank", Ok(ResultPage({{"a", "5"}, {"b", "12 34"}}, "")),
       "EConvertError: '  12 34' is not a valid integer value", 2},
      {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone",
       "EIdHTTPProtocolException: HTTP/1.1 404 Not Found", 0},
      {"closed after the status line", "HTTP/1.1 200 OK\r\n", "EIdConnClosedGracefully: Connection Closed Gracefully.",
       0},
      {"closed inside the header block", "HTTP/1.1 200 OK\r\nServer: x\r\n", "EIdException: Undefined situation", 0},
  };
  for (const Case& c : cases) {
    LoopbackPeer peer(
        {Script().ExpectUntil(kHeadEnd).Send(Ok(kFormPage)).ExpectUntil(kHeadEnd).Send(c.result_response).Close()});
    Open(peer);
    form_->EditKw.SetText("k");
    std::string failure = "no exception";
    try {
      form_->DigButtClick();
    } catch (const Exception& e) {
      failure = std::string(e.ClassName()) + ": " + e.Message();
    }
    EXPECT_EQ(failure, c.failure) << c.name;
    EXPECT_EQ(form_->StrGrid1.RowCount(), 1 + c.rows_added) << c.name;
  }
}

TEST_F(DigCommands, PageTooLargeForThePageText) {
  // The body announces more than the page text holds and keeps coming. The
  // connection is shown as made before the page text refuses the form page;
  // a result page is refused before its number is shown.
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 40000000\r\n\r\n";
  for (bool result_page : {false, true}) {
    Script script;
    if (result_page) script.ExpectUntil(kHeadEnd).Send(Ok(kFormPage));
    script.ExpectUntil(kHeadEnd).Send(head + std::string(20000000, 'x')).Send(std::string(20000000, 'y')).Close();
    LoopbackPeer peer({script});
    Open(peer);
    form_->EditKw.SetText("k");
    std::string failure;
    try {
      form_->DigButtClick();
    } catch (const Exception& e) {
      failure = e.Message();
    }
    EXPECT_EQ(failure, "Text exceeds memo capacity") << result_page;
    EXPECT_EQ(Status(), "Связь установлена ...") << result_page;
    EXPECT_EQ(repaints_, std::vector<std::string>{}) << result_page;
  }
}

TEST_F(DigCommands, ANextPageLinkOffTheServiceEndsThePaging) {
  LoopbackPeer elsewhere({Script().ExpectUntil(kHeadEnd).Send(Ok(ResultPage({{"чужой", "99"}}, "")))});
  const std::string target = "@127.0.0.1:" + IntToStr(elsewhere.Port()) + "/evil";
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd).Send(Ok(kFormPage))
                         .ExpectUntil(kHeadEnd).Send(Ok(ResultPage({{"k", "50"}}, Link(target, "next"))))});
  Open(peer);
  form_->EditKw.SetText("k");
  form_->SpinEdMaxKw.SetValue(10);
  form_->DigButtClick();
  EXPECT_EQ(Status(), "Выполнено - получено 1 кейвордов");
  EXPECT_EQ(elsewhere.Accepted(), 0u);
}

TEST_F(DigCommands, DeepDigsTheCurrentRowAndAppends) {
  const std::string deep_page = ResultPage({{"глубже", "50"}}, "");
  const std::string get_page = ResultPage({{"верх", "70"}, {"низ", "60"}}, "");
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd).Send(Ok(kFormPage))
                         .ExpectUntil(kHeadEnd).Send(Ok(get_page))
                         .ExpectUntil(kHeadEnd).Send(Ok(kFormPage))
                         .ExpectUntil(kHeadEnd).Send(Ok(deep_page))
                         .ExpectUntil(kHeadEnd).Send(Ok(kFormPage))
                         .ExpectUntil(kHeadEnd).Send(Ok("<p>\r\n<x>   thead not at the start\r\n</p>\r\n"))});
  Open(peer);
  form_->EditKw.SetText("seed");
  form_->DigButtClick();
  ASSERT_TRUE(form_->StrGrid1.SetRow(2));
  form_->DeepButtClick();
  EXPECT_EQ(Cp1251ToUtf8(form_->EditKw.Text()), "низ");
  EXPECT_EQ(form_->StrGrid1.RowCount(), 4);
  EXPECT_EQ(Cp1251ToUtf8(form_->StrGrid1.Cell(0, 3)), "глубже");
  EXPECT_EQ(Status(), "Выполнено - получено 3 кейвордов");
  // A table opened otherwise than the Deep command looks for.
  form_->DeepButtClick();
  EXPECT_EQ(Status(), "Не найдено кейвордов");
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_NE(peer.Received(0).find("&text=%ED%E8%E7 HTTP/1.1"), std::string::npos);
}

TEST_F(DigCommands, BroadOverwritesFromRowOneAndRebuildsTheList) {
  const std::string broad_page = "<html>\r\n" + BroadLine({{"*one", "30"}, {"two", "20"}, {"three", "10"}}) +
                                 "\r\n</html>\r\n";
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(Ok(kFormPage)).ExpectUntil(kHeadEnd).Send(Ok(broad_page))});
  Open(peer);
  for (int row = 1; row <= 10; ++row) form_->StrGrid1.SetCell(0, row, "old " + IntToStr(row));
  form_->StrGrid1.SetRowCount(11);
  form_->MemoArea.Append("gone");
  form_->EditKw.SetText("k");
  form_->SpinEdMaxKw.SetValue(5);
  form_->BroadButtClick();
  EXPECT_EQ(form_->StrGrid1.RowCount(), 14);
  EXPECT_EQ(form_->StrGrid1.Cell(0, 1), "one");
  EXPECT_EQ(form_->StrGrid1.Cell(0, 3), "three");
  EXPECT_EQ(form_->StrGrid1.Cell(0, 4), "old 4");
  EXPECT_EQ(form_->StrGrid1.Cell(0, 11), "");
  EXPECT_EQ(form_->MemoArea.Text(), "     30   -   one\r\n     20   -   two\r\n     10   -   three\r\n");
  EXPECT_EQ(Status(), "Выполнено - получено 3 кейвордов");
}

}  // namespace
}  // namespace kv::test
