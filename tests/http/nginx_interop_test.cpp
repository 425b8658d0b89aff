// The HTTP client against a real nginx: keep-alive, large bodies, chunked
// bodies, refused statuses, redirects and the request head as the server
// reads it, both through TIdHTTP and through the kvornis-get program.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/stream.h"
#include "http/http_client.h"
#include "http/http_exceptions.h"
#include "tests/support/nginx_server.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_text.h"

namespace kv::test {
namespace {

// Bytes that differ from block to block, so that a lost, doubled or moved
// piece of a body cannot go unnoticed.
std::string PatternBytes(size_t size, uint64_t seed) {
  std::string bytes(size, '\0');
  uint64_t x = seed;
  for (size_t i = 0; i < size; i += sizeof x) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    std::memcpy(bytes.data() + i, &x, std::min(sizeof x, size - i));
  }
  return bytes;
}

// nginx's own page for a status (with server_tokens off).
std::string NginxPage(const std::string& status) {
  return "<html>\r\n<head><title>" + status + "</title></head>\r\n<body>\r\n<center><h1>" + status +
         "</h1></center>\r\n<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n";
}

// Every "{base}" and "{port}" replaced by the server's.
std::string Expand(const std::string& text, const NginxServer& nginx) {
  return kv::test::Expand(text, std::map<std::string, std::string>{{"base", nginx.BaseUrl()},
                                                                   {"port", std::to_string(nginx.Port())}});
}

const std::string kAlpha = "alpha\n";
const std::string kBravo = "bravo\n";
// Larger than one receive, so that chunks of the SSI page span receives.
const std::string kIncluded = PatternBytes(100 * 1024, 7);
const std::string kSsiBody = "head" + kIncluded + "tail\n";

class NginxInterop : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      nginx_ = std::make_unique<NginxServer>();
    } catch (const std::exception& e) {
      start_failure_ = e.what();
      return;
    }
    nginx_->AddFile("a.txt", kAlpha);
    nginx_->AddFile("b.txt", kBravo);
    nginx_->AddFile("empty.txt", "");
    nginx_->AddFile("included.bin", kIncluded);
    nginx_->AddFile("ssi/page.html", "head<!--# include virtual=\"/included.bin\" -->tail\n");
    nginx_->AddFile("ssi/echo.html",
                    "host=<!--# echo var=\"http_host\" -->\n"
                    "protocol=<!--# echo var=\"server_protocol\" -->\n"
                    "connection=<!--# echo var=\"http_connection\" default=\"\" -->\n"
                    "agent=<!--# echo var=\"http_user_agent\" default=\"\" -->\n"
                    "x=<!--# echo var=\"http_x_kvornis\" default=\"\" -->\n");
    // A folder without an index page: nginx refuses to list it.
    nginx_->AddFile("closed/inside.txt", "not listed\n");
  }
  static void TearDownTestSuite() { nginx_.reset(); }

  void SetUp() override { ASSERT_NE(nginx_, nullptr) << "nginx could not be started: " << start_failure_; }

  static std::string Url(const std::string& path) { return nginx_->BaseUrl() + path; }

  static std::unique_ptr<NginxServer> nginx_;
  static std::string start_failure_;
};

std::unique_ptr<NginxServer> NginxInterop::nginx_;
std::string NginxInterop::start_failure_;

// A client that counts the connections it opens.
struct CountingClient {
  CountingClient() {
    http.OnStatus = [this](Component*, TIdStatus status, const std::string&) {
      if (status == hsConnected) ++connects;
    };
  }
  std::string Get(const std::string& url) {
    MemoryStream body;
    http.Get(url, &body);
    return std::string(body.View());
  }

  TIdHTTP http;
  int connects = 0;
};

// ---- through TIdHTTP --------------------------------------------------------------

TEST_F(NginxInterop, KeepAliveCarriesRequestsUntilEitherSideAsksToClose) {
  constexpr int kRequests = 200;
  struct Case {
    TIdHTTPProtocolVersion version;
    std::string connection;  // the request's Connection value
    int connects;
  } cases[] = {
      {pv1_1, "", 1},
      {pv1_0, "", 1},  // the client asks for keep-alive itself
      {pv1_1, "close", kRequests},
      {pv1_0, "close", kRequests},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "HTTP/" << ProtocolVersionText(c.version) << " Connection: " << c.connection);
    CountingClient client;
    client.http.ProtocolVersion = c.version;
    client.http.Request().Connection = c.connection;
    // Bodies by length, an empty body and a HEAD whose announced length
    // has no body behind it: none may leave bytes for the next reply.
    for (int i = 0; i < kRequests; ++i) {
      SCOPED_TRACE(testing::Message() << "request " << i);
      switch (i % 3) {
        case 0:
          ASSERT_EQ(client.Get(Url("/a.txt")), kAlpha);
          break;
        case 1:
          ASSERT_EQ(client.Get(Url("/empty.txt")), "");
          break;
        case 2:
          client.http.Head(Url("/b.txt"));
          ASSERT_EQ(client.http.LastResponse().ContentLength, static_cast<int64_t>(kBravo.size()));
          break;
      }
    }
    EXPECT_EQ(client.connects, c.connects);
  }
}

TEST_F(NginxInterop, LargeStaticFileArrivesByteForByte) {
  const std::string content = PatternBytes(64 * 1024 * 1024, 64);
  nginx_->AddFile("large.bin", content);
  {
    CountingClient client;
    EXPECT_TRUE(client.Get(Url("/large.bin")) == content);
    EXPECT_EQ(client.http.LastResponse().ContentLength, static_cast<int64_t>(content.size()));
  }
  TempDir out;
  ProcessResult r = RunBuildProgram("tools/kvornis-get", {"-o", out.File("large.bin"), "--stats", Url("/large.bin")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("status 200, 67108864 bytes"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadFileBytes(out.File("large.bin")) == content);
  std::filesystem::remove(nginx_->Root() / "large.bin");
}

TEST_F(NginxInterop, SsiPageComesChunkedOverHttp11AndUntilCloseOverHttp10) {
  struct Case {
    TIdHTTPProtocolVersion version;
    std::string transfer_encoding;
    int connects_for_next;  // after a further request
  } cases[] = {
      {pv1_1, "chunked", 1},
      // nginx cannot chunk for HTTP/1.0: it sends the body without a length
      // and closes, so the next request needs a new connection.
      {pv1_0, "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "HTTP/" << ProtocolVersionText(c.version));
    CountingClient client;
    client.http.ProtocolVersion = c.version;
    EXPECT_TRUE(client.Get(Url("/ssi/page.html")) == kSsiBody);
    EXPECT_EQ(client.http.LastResponse().HeaderLines.ValueOf("Transfer-Encoding"), c.transfer_encoding);
    EXPECT_EQ(client.Get(Url("/a.txt")), kAlpha);
    EXPECT_EQ(client.connects, c.connects_for_next);
  }
}

TEST_F(NginxInterop, RefusedStatusRaisesWithStatusLineAndPageAndKeepsTheConnection) {
  const std::string last_modified = [] {
    CountingClient client;
    client.http.Head(Url("/a.txt"));
    return client.http.LastResponse().HeaderLines.ValueOf("Last-Modified");
  }();
  struct Case {
    TIdHTTPMethod method;
    std::string path;
    std::string header;  // an extra request header line
    int code;
    std::string status;
    std::string page;
  } cases[] = {
      {hmGet, "/missing.txt", "", 404, "404 Not Found", NginxPage("404 Not Found")},
      {hmGet, "/closed/", "", 403, "403 Forbidden", NginxPage("403 Forbidden")},
      // A 304 and every reply to HEAD come without a body, whatever length
      // they announce: there is nothing to wait for.
      {hmGet, "/a.txt", "If-Modified-Since: " + last_modified, 304, "304 Not Modified", ""},
      {hmHead, "/missing.txt", "", 404, "404 Not Found", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << MethodWord(c.method) << c.path << " " << c.header);
    CountingClient client;
    if (!c.header.empty()) client.http.Request().CustomHeaders.Add(c.header);
    try {
      if (c.method == hmHead) client.http.Head(Url(c.path));
      else client.Get(Url(c.path));
      ADD_FAILURE() << "no exception";
    } catch (const EIdHTTPProtocolException& e) {
      EXPECT_EQ(e.ReplyCode(), c.code);
      EXPECT_EQ(e.Message(), "HTTP/1.1 " + c.status);
      EXPECT_EQ(e.ErrorBody(), c.page);
    } catch (const Exception& e) {
      ADD_FAILURE() << e.ClassName() << ": " << e.Message();
    }
    client.http.Request().CustomHeaders.Clear();
    EXPECT_EQ(client.Get(Url("/a.txt")), kAlpha);
    EXPECT_EQ(client.connects, 1);
  }
}

TEST_F(NginxInterop, RedirectsAreFollowedWhenAskedAndRefusedOtherwise) {
  struct Case {
    std::string path;
    bool follow;
    int code;          // of the last response, or of the exception
    std::string body;  // the final body, or the exception's page
    bool raises;
  } cases[] = {
      {"/moved", true, 200, kAlpha, false},  // absolute Location with the port
      {"/moved-rel", true, 200, kSsiBody, false},
      {"/moved", false, 301, NginxPage("301 Moved Permanently"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path << (c.follow ? " followed" : " not followed"));
    CountingClient client;
    client.http.HandleRedirects = c.follow;
    try {
      EXPECT_TRUE(client.Get(Url(c.path)) == c.body);
      EXPECT_FALSE(c.raises);
      EXPECT_EQ(client.http.LastResponse().StatusCode(), c.code);
    } catch (const EIdHTTPProtocolException& e) {
      EXPECT_TRUE(c.raises) << e.Message();
      EXPECT_EQ(e.ReplyCode(), c.code);
      EXPECT_TRUE(e.ErrorBody() == c.body);
    }
    EXPECT_EQ(client.Get(Url("/b.txt")), kBravo);
    EXPECT_EQ(client.connects, 1) << "a redirect to the same host and port keeps the connection";
  }
}

TEST_F(NginxInterop, RequestHeadReachesNginxAsSent) {
  CountingClient client;
  client.http.Request().UserAgent = "kvornis-test/1";
  client.http.Request().CustomHeaders.Add("X-Kvornis: tested");
  EXPECT_EQ(client.Get(Url("/ssi/echo.html")),
            Expand("host=127.0.0.1:{port}\nprotocol=HTTP/1.1\nconnection=\nagent=kvornis-test/1\nx=tested\n", *nginx_));
  client.http.ProtocolVersion = pv1_0;
  EXPECT_EQ(client.Get(Url("/ssi/echo.html")),
            Expand("host=127.0.0.1:{port}\nprotocol=HTTP/1.0\nconnection=keep-alive\nagent=kvornis-test/1\n"
                   "x=tested\n",
                   *nginx_));
}

// ---- through kvornis-get ----------------------------------------------------------

TEST_F(NginxInterop, KvornisGetFetchesInOrderOverOneConnection) {
  struct Case {
    std::string name;
    std::vector<std::string> args;  // "{base}" stands for the server's URL
    int exit_code;
    std::string out;                                  // exactly, unless empty
    std::vector<std::string> out_has;
    std::vector<std::pair<std::string, size_t>> err;  // line -> times on stderr
  } cases[] = {
      {"two URLs share one connection",
       {"-v", "{base}/a.txt", "{base}/b.txt"},
       0,
       kAlpha + kBravo,
       {},
       {{"* Connected.\n", 1},
        {"> GET /a.txt HTTP/1.1\n", 1},
        {"> Host: 127.0.0.1:{port}\n", 2},
        {"< HTTP/1.1 200 OK\n", 2}}},
      {"HTTP/1.0 asks for keep-alive and gets it",
       {"-v", "--http1.0", "{base}/a.txt", "{base}/b.txt"},
       0,
       kAlpha + kBravo,
       {},
       {{"* Connected.\n", 1}, {"> GET /b.txt HTTP/1.0\n", 1}, {"> Connection: keep-alive\n", 2},
        {"< Connection: keep-alive\n", 2}}},
      {"a refused URL is reported and the next one fetched on the same connection",
       {"-v", "{base}/missing.txt", "{base}/a.txt"},
       1,
       kAlpha,
       {},
       {{"* Connected.\n", 1}, {"kvornis-get: EIdHTTPProtocolException: HTTP/1.1 404 Not Found\n", 1}}},
      {"-L follows a redirect to the final body",
       {"-v", "-L", "{base}/moved"},
       0,
       kAlpha,
       {},
       {{"* Connected.\n", 1}, {"> GET /moved HTTP/1.1\n", 1}, {"> GET /a.txt HTTP/1.1\n", 1}}},
      {"without -L a redirect is refused",
       {"{base}/moved", "{base}/a.txt"},
       1,
       kAlpha,
       {},
       {{"kvornis-get: EIdHTTPProtocolException: HTTP/1.1 301 Moved Permanently\n", 1}}},
      {"--max-redirs bounds the passes",
       {"-v", "-L", "--max-redirs", "3", "{base}/loop"},
       0,
       "",
       {},
       {{"* Connected.\n", 1}, {"> GET /loop HTTP/1.1\n", 3}, {"< HTTP/1.1 302 Moved Temporarily\n", 1}}},
      {"-i puts the chunked reply's head before its body",
       {"-i", "{base}/ssi/page.html"},
       0,
       "",
       {"HTTP/1.1 200 OK\r\n", "\r\nTransfer-Encoding: chunked\r\n", "\r\n\r\n" + kSsiBody},
       {}},
      {"-A and -H reach the server",
       {"-A", "kvornis-test/2", "-H", "X-Kvornis: via tool", "{base}/ssi/echo.html"},
       0,
       "",
       {"\nagent=kvornis-test/2\n", "\nx=via tool\n"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Expand(arg, *nginx_));
    ProcessResult r = RunBuildProgram("tools/kvornis-get", args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    if (!c.out.empty()) {
      EXPECT_TRUE(r.out == c.out) << r.out.size() << " bytes";
    }
    for (const std::string& part : c.out_has) EXPECT_NE(r.out.find(part), std::string::npos) << part.substr(0, 60);
    for (const auto& [line, times] : c.err) EXPECT_EQ(CountOf(r.err, Expand(line, *nginx_)), times) << line << r.err;
  }
}

}  // namespace
}  // namespace kv::test
