// kvornis-stat-sim over a real socket. The pages are read here by the rules
// the digging client reads them by (restated below, apart from the server's
// code), so a layout slip in the stand-in fails these tests.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <regex>
#include <set>
#include <stdexcept>
#include <thread>

#include "base/cp1251.h"
#include "tests/support/run_process.h"
#include "tests/support/stat_sim_fixture.h"

namespace kv::test {
namespace {

constexpr std::string_view kFormTarget = "/stat/wordsstat.pl?rpt=ppc&shw=1";

// ---- One connection that sends what the digging client sends ---------------

struct Reply {
  int status = 0;
  std::string head, body;
  bool complete = false;  // the whole announced length arrived
};

std::string HeaderValue(const std::string& head, std::string_view name) {
  for (size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
    std::string line = head.substr(at + 2, head.find("\r\n", at + 2) - at - 2);
    if (line.size() > name.size() && strncasecmp(line.c_str(), name.data(), name.size()) == 0 &&
        line[name.size()] == ':')
      return line.substr(name.size() + 2);
  }
  return "";
}

class ClientConnection {
 public:
  // `source`: the loopback address to connect from (the whole of 127/8 is
  // local), so that the stand-in sees another client.
  explicit ClientConnection(int port, const char* source = "127.0.0.1")
      : port_(port), fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    timeval limit{10, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source, &local.sin_addr);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
      throw std::runtime_error(std::string("cannot bind to ") + source);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw std::runtime_error("cannot connect");
  }
  ~ClientConnection() { close(fd_); }

  Reply Get(std::string_view target, std::string_view cookie = {}) {
    std::string request = "GET " + std::string(target) + " HTTP/1.1\r\nContent-Type: text/html\r\nHost: 127.0.0.1:" +
                          std::to_string(port_) + "\r\nAccept: text/html, */*\r\n" +
                          "User-Agent: Mozilla/3.0 (compatible; Kvornis)\r\n";
    if (!cookie.empty()) request += "Cookie: " + std::string(cookie) + "\r\n";
    request += "\r\n";
    send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
    Reply reply;
    size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos)
      if (!Receive()) return reply;
    reply.head = pending_.substr(0, end + 2);
    pending_.erase(0, end + 4);
    reply.status = std::stoi(reply.head.substr(9, 3));
    size_t announced = std::stoul(HeaderValue(reply.head, "Content-Length"));
    while (pending_.size() < announced && Receive()) {
    }
    reply.complete = pending_.size() >= announced;
    reply.body = pending_.substr(0, announced);
    pending_.erase(0, reply.body.size());
    return reply;
  }

  bool ClosedByPeer() {
    pollfd p{fd_, POLLIN, 0};
    char c;
    return poll(&p, 1, 200) == 1 && recv(fd_, &c, 1, 0) == 0;
  }

 private:
  bool Receive() {
    char buffer[16384];
    ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) pending_.append(buffer, static_cast<size_t>(n));
    return n > 0;
  }

  int port_;
  int fd_;
  std::string pending_;
};

// ---- The client's reading rules ----------------------------------------

// Breaks at CR LF, lone CR or lone LF; an empty last line does not count.
std::vector<std::string> PageLines(std::string_view text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(text[i]);
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

bool At(std::string_view line, size_t position, std::string_view marker) {
  return line.size() >= position - 1 + marker.size() && line.substr(position - 1, marker.size()) == marker;
}
std::string From(std::string_view line, size_t position) {
  return std::string(line.substr(std::min(line.size(), position - 1)));
}
std::string UpTo(std::string_view text, std::string_view end) { return std::string(text.substr(0, text.find(end))); }
std::string After(std::string_view text, std::string_view marker) {
  size_t at = text.find(marker);
  return std::string(at == std::string::npos ? text : text.substr(at + marker.size()));
}

struct FormScan {
  std::string fields;  // "&key=..&tm=.." in line order
  bool reached_checkboxes = false;
};

FormScan ScanForm(const std::vector<std::string>& lines) {
  FormScan scan;
  for (const std::string& line : lines) {
    if (At(line, 28, "key")) scan.fields += "&key=" + UpTo(From(line, 40), "\"");
    if (At(line, 28, "tm")) scan.fields += "&tm=" + UpTo(From(line, 40), "\"");
    if (At(line, 28, "checkboxes")) {
      scan.reached_checkboxes = true;
      break;
    }
  }
  return scan;
}

struct Row {
  std::string keyword, count;
};
struct ResultTable {
  bool found = false;
  std::vector<Row> rows;
  std::string last_rest;    // the last row line from character 19
  bool reached_end = false; // no "<td width" line after the rows
};

// From the first "href" (or the whole text), behind the first ">", without the last 9 characters.
std::string KeywordAfterHref(std::string_view text) {
  size_t href = text.find("href");
  std::string rest = After(href == std::string_view::npos ? text : text.substr(href), ">");
  return rest.size() > 9 ? rest.substr(0, rest.size() - 9) : "";
}

ResultTable ReadTable(const std::vector<std::string>& lines, bool deep_marker = false) {
  ResultTable table;
  size_t m = 0;
  while (m + 1 < lines.size() && !(deep_marker ? At(lines[m], 1, "<tr class=\"thead") : At(lines[m], 12, "thead"))) ++m;
  if (m + 1 >= lines.size()) return table;
  table.found = true;
  table.rows.push_back({KeywordAfterHref(lines[m]), ""});
  for (size_t current = m + 1; current < lines.size(); ++current) {
    std::string rest = From(lines[current], 19);
    table.rows.back().count = rest.find('<') == std::string::npos ? "" : UpTo(rest, "<");
    table.reached_end = current + 1 == lines.size();
    if (table.reached_end || At(lines[current + 1], 1, "<td width")) {
      table.last_rest = rest;
      break;
    }
    table.rows.push_back({KeywordAfterHref(rest), ""});
  }
  return table;
}

// The next-page target: the second link's when there are two, "amp;" removed.
std::string NextTarget(std::string_view rest) {
  std::string target;
  for (size_t at = rest.find("a href"); at != std::string::npos; at = rest.find("a href", at + 1))
    target = UpTo(rest.substr(at + 8), "\">");
  for (size_t amp; (amp = target.find("amp;")) != std::string::npos;) target.erase(amp, 4);
  return target;
}

size_t CountOf(std::string_view text, std::string_view marker) {
  size_t n = 0;
  for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) ++n;
  return n;
}

// The one-line table: first line (not the last) beginning "</tr><tr class=".
std::vector<Row> ReadBroadTable(const std::vector<std::string>& lines) {
  std::vector<Row> rows;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (!At(lines[i], 1, "</tr><tr class=")) continue;
    for (std::string rest = lines[i]; rest.find("href") != std::string::npos;) {
      rest = After(rest.substr(rest.find("href") + 1), ">");
      Row row{UpTo(rest, "<"), ""};
      rest = After(rest, "<");
      size_t right = rest.find("right");
      rest = After(right == std::string::npos ? rest : rest.substr(right + 1), ">");
      row.count = UpTo(rest, "<");
      rows.push_back(row);
    }
    break;
  }
  return rows;
}

// ---- A dig as the client does it --------------------------------------

std::string EncodeKeyword(std::string_view utf8) {
  std::string encoded;
  for (unsigned char b : Utf8ToCp1251(utf8)) {
    char hex[4];
    snprintf(hex, sizeof hex, "%%%02X", b);
    encoded += b == ' ' ? "%20" : (b == 0xA8 || b == 0xB8 || b >= 0xC0) ? hex : std::string(1, static_cast<char>(b));
  }
  return encoded;
}

struct Session {
  std::string cookie;  // "name=value"
  std::string query;   // the first result page's target
};

Session OpenSession(ClientConnection& connection, std::string_view keyword) {
  Reply form = connection.Get(kFormTarget);
  return {UpTo(HeaderValue(form.head, "Set-Cookie"), ";"),
          std::string(kFormTarget) + "&checkboxes=" + ScanForm(PageLines(form.body)).fields + "&text=" +
              EncodeKeyword(keyword)};
}

// Follows next-page links until a page has none (at most the client's 999
// pages, so that a link back cannot loop); every reply must be whole.
std::vector<ResultTable> Dig(ClientConnection& connection, const Session& session) {
  std::vector<ResultTable> tables;
  for (std::string target = session.query; !target.empty() && tables.size() < 1000;) {
    Reply reply = connection.Get(target, session.cookie);
    EXPECT_TRUE(reply.complete && reply.status == 200) << target;
    tables.push_back(ReadTable(PageLines(reply.body)));
    if (!tables.back().found || !reply.complete) break;
    target = NextTarget(tables.back().last_rest);
  }
  return tables;
}

long Count(const Row& row) {
  EXPECT_EQ(row.count.find_first_not_of("0123456789"), std::string::npos) << row.count;
  return std::stol(row.count);
}

// ---- Tests ----------------------------------------------------------------

TEST(StatSimFormPage, FieldLinesSitWhereTheFormScanReadsThem) {
  struct Case {
    std::vector<std::string> options;
    std::string fields_pattern;
    bool reached_checkboxes;
  };
  const Case cases[] = {
      {{}, "&key=[^&\"]+&tm=[^&\"]+", true},
      {{"--tm-first"}, "&tm=[^&\"]+&key=[^&\"]+", true},
      {{"--no-checkboxes"}, "&key=[^&\"]+&tm=[^&\"]+", false},
  };
  for (const Case& c : cases) {
    StatSimProcess sim(c.options);
    ClientConnection connection(sim.Port());
    Reply form = connection.Get(kFormTarget);
    EXPECT_EQ(form.status, 200);
    EXPECT_NE(HeaderValue(form.head, "Set-Cookie").find('='), std::string::npos);
    FormScan scan = ScanForm(PageLines(form.body));
    EXPECT_TRUE(std::regex_match(scan.fields, std::regex(c.fields_pattern))) << scan.fields;
    EXPECT_EQ(scan.reached_checkboxes, c.reached_checkboxes) << testing::PrintToString(c.options);
  }
}

TEST(StatSimSession, ResultPagesNeedTheFormCookieAndFields) {
  StatSimProcess sim;
  ClientConnection connection(sim.Port());
  Session session = OpenSession(connection, "кот");
  struct Case {
    const char* what;
    std::string target, cookie;
    bool table;
  };
  std::string wrong_key = session.query;
  wrong_key.insert(wrong_key.find("&key=") + 5, "x");
  std::string no_tm = session.query;
  no_tm.erase(no_tm.find("&tm="), no_tm.find('&', no_tm.find("&tm=") + 1) - no_tm.find("&tm="));
  const Case cases[] = {
      {"cookie, key and tm", session.query, session.cookie, true},
      {"no cookie", session.query, "", false},
      {"another cookie", session.query, "other=1", false},
      {"wrong key", wrong_key, session.cookie, false},
      {"no tm", no_tm, session.cookie, false},
  };
  for (const Case& c : cases) {
    Reply reply = connection.Get(c.target, c.cookie);
    EXPECT_EQ(reply.status, 200) << c.what;
    EXPECT_EQ(ReadTable(PageLines(reply.body)).found, c.table) << c.what;
  }
}

TEST(StatSimResultPages, FiftyKeywordsAPageWithCountsFallingToTheLastPage) {
  StatSimProcess sim({"--pages", "4"});
  for (std::string seed : {"кот", "ab cd", "ёж"}) {
    ClientConnection connection(sim.Port());
    std::vector<ResultTable> tables = Dig(connection, OpenSession(connection, seed));
    ASSERT_EQ(tables.size(), 4u) << seed;
    EXPECT_EQ(tables[0].rows[0].keyword, seed);
    std::set<std::string> seen;
    long previous = std::numeric_limits<long>::max();
    for (const ResultTable& table : tables) {
      ASSERT_EQ(table.rows.size(), 50u);
      EXPECT_LT(Count(table.rows.back()), previous) << "the last count falls from page to page";
      for (const Row& row : table.rows) {
        EXPECT_LE(Count(row), previous) << row.keyword;
        previous = Count(row);
        EXPECT_NE(row.keyword.find(seed), std::string::npos);
        EXPECT_EQ(Cp1251ToUtf8(Utf8ToCp1251(row.keyword)), row.keyword) << "UTF-8 of Windows-1251 letters";
        EXPECT_TRUE(seen.insert(row.keyword).second) << "repeated: " << row.keyword;
      }
    }
  }
}

TEST(StatSimResultPages, NextLinkWithAmpEntityPreviousLinkFromPageTwoNoLinkOnTheLastPage) {
  StatSimProcess sim({"--pages", "3"});
  ClientConnection connection(sim.Port());
  Session session = OpenSession(connection, "кот");
  std::vector<ResultTable> tables = Dig(connection, session);
  ASSERT_EQ(tables.size(), 3u);
  EXPECT_EQ(CountOf(tables[0].last_rest, "a href"), 1u);
  EXPECT_NE(tables[0].last_rest.find("&amp;"), std::string::npos);
  EXPECT_EQ(tables[0].last_rest.find("&text"), std::string::npos) << "bare ampersand in a link";
  EXPECT_EQ(CountOf(tables[1].last_rest, "a href"), 2u);
  EXPECT_EQ(CountOf(tables[2].last_rest, "a href"), 0u);

  // The first of page 2's links leads back to page 1.
  std::string rest = tables[1].last_rest;
  Reply back = connection.Get(NextTarget(rest.substr(0, rest.rfind("a href"))), session.cookie);
  ResultTable first = ReadTable(PageLines(back.body));
  ASSERT_EQ(first.rows.size(), 50u);
  EXPECT_EQ(first.rows[7].keyword, tables[0].rows[7].keyword);
  EXPECT_EQ(first.rows[7].count, tables[0].rows[7].count);
}

TEST(StatSimResultPages, TableLineCarriesTheDeepMarkerAndTheBroadTableStandsOnOneLine) {
  StatSimProcess sim;
  ClientConnection connection(sim.Port());
  Session session = OpenSession(connection, "кот");
  std::vector<std::string> lines = PageLines(connection.Get(session.query, session.cookie).body);
  ResultTable get = ReadTable(lines), deep = ReadTable(lines, true);
  ASSERT_EQ(deep.rows.size(), 50u);
  EXPECT_EQ(deep.rows.back().keyword, get.rows.back().keyword);

  std::vector<Row> broad = ReadBroadTable(lines);
  ASSERT_GE(broad.size(), 5u);
  long previous = std::numeric_limits<long>::max();
  for (const Row& row : broad) {
    EXPECT_NE(row.keyword.find("кот"), std::string::npos);
    EXPECT_LE(Count(row), previous);
    previous = Count(row);
  }
  for (const std::string& line : lines) EXPECT_LE(line.size(), 4096u) << "the client reads 4096 characters a line";
}

TEST(StatSimConnection, ADigOf999PagesStaysOnOneConnection) {
  StatSimProcess sim({"--pages", "999"});
  ClientConnection connection(sim.Port());
  std::vector<ResultTable> tables = Dig(connection, OpenSession(connection, "кот"));
  ASSERT_EQ(tables.size(), 999u);
  EXPECT_EQ(tables.back().rows.size(), 50u);
  EXPECT_GE(Count(tables.back().rows.back()), 1);
  EXPECT_FALSE(connection.ClosedByPeer());
}

TEST(StatSimFaults, EachOptionBreaksTheLayoutItNames) {
  {
    StatSimProcess sim({"--blank-count", "50"});
    ClientConnection connection(sim.Port());
    std::vector<ResultTable> tables = Dig(connection, OpenSession(connection, "кот"));
    ASSERT_EQ(tables[0].rows.size(), 50u);
    EXPECT_TRUE(std::regex_match(tables[0].rows[49].count, std::regex("[0-9] [0-9]+"))) << tables[0].rows[49].count;
    EXPECT_EQ(tables[0].rows[48].count.find(' '), std::string::npos);
  }
  {
    StatSimProcess sim({"--table-at-end", "--pages", "2"});
    ClientConnection connection(sim.Port());
    Session session = OpenSession(connection, "кот");
    ResultTable table = ReadTable(PageLines(connection.Get(session.query, session.cookie).body));
    EXPECT_TRUE(table.reached_end);
    EXPECT_EQ(table.rows.size(), 50u);
  }
  {
    StatSimProcess sim({"--thead-on-last-line"});
    ClientConnection connection(sim.Port());
    Session session = OpenSession(connection, "кот");
    std::vector<std::string> lines = PageLines(connection.Get(session.query, session.cookie).body);
    EXPECT_FALSE(ReadTable(lines).found);
    EXPECT_TRUE(At(lines.back(), 12, "thead"));
  }
  {
    StatSimProcess sim({"--close-mid-page", "2"});
    ClientConnection connection(sim.Port());
    Session session = OpenSession(connection, "кот");
    Reply first = connection.Get(session.query, session.cookie);
    ASSERT_TRUE(first.complete);
    Reply cut = connection.Get(NextTarget(ReadTable(PageLines(first.body)).last_rest), session.cookie);
    EXPECT_FALSE(cut.complete);
    EXPECT_GT(cut.body.size(), 0u);
    EXPECT_TRUE(connection.ClosedByPeer());
  }
}

TEST(StatSimLimits, EachClientAddressIsRateLimitedAndBlockedOnItsOwn) {
  enum class Answer { kResults, kTooManyRequests, kCaptcha };
  struct Step {
    const char* source;
    int pause_ms;  // before the request
    Answer answer;
  };
  struct Case {
    std::vector<std::string> options;
    std::vector<Step> steps;
  };
  constexpr const char* kOne = "127.0.0.2";
  constexpr const char* kOther = "127.0.0.3";
  const Case cases[] = {
      {{"--rate-limit", "2"},
       {{kOne, 0, Answer::kResults},
        {kOne, 0, Answer::kResults},
        {kOne, 0, Answer::kTooManyRequests},
        {kOther, 0, Answer::kResults},
        {kOne, 0, Answer::kTooManyRequests},
        {kOne, 1100, Answer::kResults}}},
      {{"--block-after", "2", "--block-seconds", "1"},
       {{kOne, 0, Answer::kResults},
        {kOne, 0, Answer::kResults},
        {kOne, 0, Answer::kCaptcha},
        {kOther, 0, Answer::kResults},
        {kOne, 0, Answer::kCaptcha},
        {kOne, 1100, Answer::kResults},
        {kOne, 0, Answer::kResults},
        {kOne, 0, Answer::kCaptcha}}},
  };
  for (const Case& c : cases) {
    StatSimProcess sim(c.options);
    ClientConnection opener(sim.Port());
    const Session session = OpenSession(opener, "кот");
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      const std::string where = testing::PrintToString(c.options) + ", step " + std::to_string(i + 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(step.pause_ms));
      ClientConnection connection(sim.Port(), step.source);
      Reply reply = connection.Get(session.query, session.cookie);
      EXPECT_EQ(reply.status, step.answer == Answer::kTooManyRequests ? 429 : 200) << where;
      EXPECT_EQ(ReadTable(PageLines(reply.body)).found, step.answer == Answer::kResults) << where;
      EXPECT_EQ(HeaderValue(reply.head, "Retry-After"), step.answer == Answer::kTooManyRequests ? "1" : "") << where;
      const bool captcha = reply.body.find("<form") != std::string::npos &&
                           reply.body.find("captcha") != std::string::npos;
      EXPECT_EQ(captcha, step.answer == Answer::kCaptcha) << where;
    }
  }
}

TEST(StatSimTool, SameSeedAndOptionsGiveTheSameBytes) {
  auto record = [] {
    StatSimProcess sim({"--pages", "3", "--blank-count", "7"});
    ClientConnection connection(sim.Port());
    Session session = OpenSession(connection, "ёж и кот");
    Reply page1 = connection.Get(session.query, session.cookie);
    Reply page2 = connection.Get(NextTarget(ReadTable(PageLines(page1.body)).last_rest), session.cookie);
    return page1.head + page1.body + page2.body;
  };
  EXPECT_EQ(record(), record());
}

TEST(StatSimTool, HelpBadArgumentsAndCleanStop) {
  ProcessResult help = RunBuildProgram("tools/kvornis-stat-sim", {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* option : {"--port", "--pages", "--blank-count", "--table-at-end", "--close-mid-page",
                             "--no-checkboxes", "--tls-cert", "--tls-key", "--rate-limit", "--block-after",
                             "--block-seconds"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--pages", "0"}, {"--blank-count", "51"}, {"--rate-limit", "0"}, {"--block-seconds", "0"}, {"--port"},
           {"--frobnicate"}, {"--tls-cert", "a.pem"}}) {
    ProcessResult r = RunBuildProgram("tools/kvornis-stat-sim", bad);
    EXPECT_EQ(r.exit_code, 2) << bad[0];
    EXPECT_NE(r.err.find("usage: kvornis-stat-sim"), std::string::npos);
  }
  StatSimProcess sim;
  EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
}  // namespace kv::test
