// The GET road over a real socket: the request text byte for byte, the
// response head, and the body readers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/http/http_test_helpers.h"

namespace kv::test {
namespace {


TEST(HttpRequestText, TargetReachesTheRequestLineAsWritten) {
  struct Case {
    const char* path;    // appended to http://127.0.0.1:PORT
    const char* target;  // expected in the request line
  };
  const std::vector<Case> cases = {
      {"/stat/wordsstat.pl?rpt=ppc&shw=1", "/stat/wordsstat.pl?rpt=ppc&shw=1"},
      {"/stat/x.pl?text=%C0%20&key=a=b", "/stat/x.pl?text=%C0%20&key=a=b"},
      {"/a\\b\\c.pl?x=\\y", "/a/b/c.pl?x=/y"},
      {"/page.html#section", "/page.html"},
      {"/q?a=1#frag", "/q?a=1"},
      {"/a/b=c", "/a/b=c"},
      {"/", "/"},
      {"", "/"},
  };
  for (const Case& c : cases) {
    LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "x"))});
    TIdHTTP client;
    MemoryStream body;
    client.Get(Url(peer.Port(), c.path), &body);
    ASSERT_TRUE(peer.WaitDone()) << c.path;
    EXPECT_EQ(peer.Received(0), GetHead(c.target, peer.Port())) << c.path;
    EXPECT_EQ(BodyOf(body), "x") << c.path;
  }
}

TEST(HttpRequestText, HostValueNamesThePortUnlessItIs80) {
  TIdHTTP client;
  struct Case {
    const char* url;
    const char* host;
  };
  // Resolving the target needs no connection.
  for (const Case& c : std::vector<Case>{{"http://h/x", "h"},
                                         {"http://h:8080/x", "h:8080"},
                                         {"http://h:443/x", "h:443"},
                                         {"http://h:080/x", "h:080"},
                                         {"https://h/x", "h:443"}}) {
    // A https URL without a TLS transport fails after the target is known.
    (void)FailureOf([&] { client.Get(c.url, nullptr); });
    EXPECT_EQ(client.Request().Host, c.host) << c.url;
  }
}

TEST(HttpRequestText, CustomLinesUserAgentAndVersion) {
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "", "Connection: keep-alive\r\n"))});
  TIdHTTP client;
  client.ProtocolVersion = pv1_0;
  client.Request().UserAgent = "probe/1";
  client.Request().CustomHeaders.Add("X-Probe: 1");
  client.Request().CustomHeaders.Add("Host: replaced");
  MemoryStream body;
  client.Get(Url(peer.Port(), "/a"), &body);
  ASSERT_TRUE(peer.WaitDone());
  const std::string port = IntToStr(peer.Port());
  EXPECT_EQ(peer.Received(0),
            "GET /a HTTP/1.0\r\nConnection: keep-alive\r\nContent-Type: text/html\r\nX-Probe: 1\r\n"
            "Host: 127.0.0.1:" + port + "\r\nAccept: text/html, */*\r\nUser-Agent: probe/1\r\n\r\n");
}

TEST(HttpRequestText, PostSendsTheUploadAfterTheHead) {
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).ExpectCount(7).Send(Response("200 OK", "ok"))});
  TIdHTTP client;
  MemoryStream upload;
  upload.WriteText("a=1&b=2");
  MemoryStream body;
  client.Post(Url(peer.Port(), "/form"), upload, &body);
  ASSERT_TRUE(peer.WaitDone());
  const std::string received = peer.Received(0);
  EXPECT_NE(received.find("POST /form HTTP/1.1\r\n"), std::string::npos);
  EXPECT_NE(received.find("\r\nContent-Length: 7\r\n"), std::string::npos);
  EXPECT_EQ(received.substr(received.size() - 7), "a=1&b=2");
  EXPECT_EQ(BodyOf(body), "ok");
}

TEST(HttpTargetRules, FailuresBeforeAnythingIsSent) {
  struct Case {
    const char* url;
    TIdHTTPMethod method;
    TIdHTTPProtocolVersion version;
    const char* failure;
  };
  const std::vector<Case> cases = {
      {"ftp://h/x", hmGet, pv1_1, "EIdUnknownProtocol: "},
      {"https://h/x", hmGet, pv1_1, "EIdIOHandlerPropInvalid: IOHandler value is not valid"},
      {"http://h:abc/x", hmGet, pv1_1, "EConvertError: 'abc' is not a valid integer value"},
      {"http://127.0.0.1:110249/x", hmGet, pv1_1,
       "EIdInvalidPort: Invalid port 110249: a port is a number from 0 to 65535"},
      {"http://127.0.0.1:-1/x", hmGet, pv1_1, "EIdInvalidPort: Invalid port -1: a port is a number from 0 to 65535"},
      {"http://h/x", hmOptions, pv1_0, "EIdException: This request method is supported in HTTP 1.1"},
      {"http://h/x", hmDelete, pv1_0, "EIdException: This request method is supported in HTTP 1.1"},
  };
  for (const Case& c : cases) {
    TIdHTTP client;
    client.ProtocolVersion = c.version;
    EXPECT_EQ(FailureOf([&] { client.RunRequest(c.method, c.url, nullptr, nullptr); }), c.failure) << c.url;
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.RedirectCounter(), 0);
  }
}

TEST(HttpTargetRules, RelativeUrlsAndPortsCarryOverFromThePreviousRequest) {
  // The second URL names no host or port: it resolves against the first.
  // The third names another spelling of the host and no port: the previous
  // non-standard port stays, on a new connection.
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("200 OK", "1"))
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("200 OK", "2")),
                     Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "3"))});
  TIdHTTP client;
  MemoryStream first, second, third;
  client.Get(Url(peer.Port(), "/stat/y.pl"), &first);
  client.Get("x.pl?a=1", &second);
  client.Get("http://localhost/z", &third);
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_NE(peer.Received(0).find("GET /stat/x.pl?a=1 HTTP/1.1\r\n"), std::string::npos);
  EXPECT_EQ(peer.Received(1).substr(0, 24), "GET /z HTTP/1.1\r\nContent");
  EXPECT_NE(peer.Received(1).find("Host: localhost:" + IntToStr(peer.Port()) + "\r\n"), std::string::npos);
  EXPECT_EQ(BodyOf(first) + BodyOf(second) + BodyOf(third), "123");
}

TEST(HttpTargetRules, AKeptConnectionThePeerClosedIsNoticedBeforeTheNextRequest) {
  // The first response leaves the connection open, then the peer closes it.
  // Without a read limit (the program's setting), the next request must see
  // the close before it sends, and go over a new connection.
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "1")).Close(),
                     Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "2"))});
  TIdHTTP client;
  MemoryStream first, second;
  client.Get(Url(peer.Port(), "/a"), &first);
  ASSERT_TRUE(peer.WaitConnectionDone(0));
  EXPECT_EQ(FailureOf([&] { client.Get(Url(peer.Port(), "/b"), &second); }), "no exception");
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(BodyOf(first) + BodyOf(second), "12");
  EXPECT_EQ(peer.Received(1).substr(0, 7), "GET /b ");
}

TEST(HttpResponseHead, HundredHeadsAreSkippedAndContinuationsJoin) {
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(
      "HTTP/1.1 100 Continue\r\n\r\n"
      "HTTP/1.1 100 Continue\r\nX-Early: 1\r\n\r\n"
      "HTTP/1.1 200 OK\r\nX-A: one\r\n   two\r\nContent-Length: 2\r\n\r\nhi")});
  TIdHTTP client;
  MemoryStream body;
  client.Get(Url(peer.Port(), "/"), &body);
  EXPECT_EQ(client.LastResponse().StatusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(client.LastResponse().HeaderLines.ValueOf("X-A"), "one two");
  EXPECT_EQ(client.LastResponse().HeaderLines.IndexOfHeader("X-Early"), -1);
  EXPECT_EQ(BodyOf(body), "hi");
}

TEST(HttpResponseHead, PeerClosingEarly) {
  struct Case {
    const char* name;
    std::string sent;
    const char* failure;
  };
  const std::vector<Case> cases = {
      {"before the status line", "", "EIdConnClosedGracefully: Connection Closed Gracefully."},
      {"inside the status line", "HTTP/1.1 20", "EIdConnClosedGracefully: Connection Closed Gracefully."},
      {"before the first header line", "HTTP/1.1 200 OK\r\n", "EIdConnClosedGracefully: Connection Closed Gracefully."},
      // After the first header line the head ends where the peer closed;
      // a 2xx without a connection left cannot be decided.
      {"inside the header block", "HTTP/1.1 200 OK\r\nX-A: 1\r\nX-B", "EIdException: Undefined situation"},
  };
  for (const Case& c : cases) {
    LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(c.sent).Close()});
    TIdHTTP client;
    MemoryStream body;
    EXPECT_EQ(FailureOf([&] { client.Get(Url(peer.Port(), "/"), &body); }), c.failure) << c.name;
    EXPECT_FALSE(client.Connected()) << c.name;
  }
}

TEST(HttpResponseHead, AStatusLineThatNeverComesLeavesTheLastOne) {
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "1")).ExpectUntil(kHeadEnd).Close()});
  TIdHTTP client;
  MemoryStream first, second;
  client.Get(Url(peer.Port(), "/a"), &first);
  EXPECT_EQ(FailureOf([&] { client.Get(Url(peer.Port(), "/b"), &second); }),
            "EIdConnClosedGracefully: Connection Closed Gracefully.");
  EXPECT_EQ(client.LastResponse().StatusLine, "HTTP/1.1 200 OK");
}

TEST(HttpBodyReaders, EveryShapeOfBody) {
  struct Case {
    const char* name;
    std::string response;
    bool close_after;
    std::string body;
    bool cut_short = false;  // the Get fails with the close, the bytes that came kept
  };
  const std::vector<Case> cases = {
      {"counted", Response("200 OK", "0123456789"), false, "0123456789"},
      {"counted, sent in pieces", Response("200 OK", std::string(70000, 'q')), false, std::string(70000, 'q')},
      {"length 0", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, ""},
      {"no content for 204", "HTTP/1.1 204 No Content\r\n\r\n", false, ""},
      {"chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nA \r\n, 10 bytes\r\n0\r\n\r\n", false,
       "hello, 10 bytes"},
      {"chunk size in capitals", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1F\r\n" +
                                     std::string(31, 'c') + "\r\n0\r\n\r\n",
       false, std::string(31, 'c')},
      {"chunk extensions and trailer lines",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=1\r\nhello\r\n1 ; y\r\n!\r\n0;end\r\n"
       "Trailer-One: 1\r\nTrailer-Two: 2\r\n\r\n",
       false, "hello!"},
      {"chunked, cut short by a close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", true,
       "hello", true},
      {"until the peer closes", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nall of it", true, "all of it"},
      {"counted, cut short by a close", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this", true,
       "only this", true},
      {"announced 2 GiB, 5 bytes sent", "HTTP/1.1 200 OK\r\nContent-Length: 2147483647\r\n\r\nsmall", true,
       "small", true},
      {"length past 32 bits is a length", "HTTP/1.1 200 OK\r\nContent-Length: 4294967301\r\n\r\nrest", true,
       "rest", true},
  };
  for (const Case& c : cases) {
    Script script;
    script.ExpectUntil(kHeadEnd).SendInPieces(c.response, 4096, 1);
    if (c.close_after) script.Close();
    else script.ExpectClosed();
    LoopbackPeer peer({script});
    MemoryStream body;
    {
      TIdHTTP client;
      if (c.cut_short) {
        EXPECT_THROW(client.Get(Url(peer.Port(), "/"), &body), EIdConnClosedGracefully) << c.name;
      } else {
        client.Get(Url(peer.Port(), "/"), &body);
      }
    }
    EXPECT_EQ(BodyOf(body), c.body) << c.name;
    EXPECT_TRUE(peer.WaitDone()) << c.name;
  }
}

TEST(HttpBodyReaders, BodyGoesAfterWhatTheStreamHeld) {
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "body"))});
  TIdHTTP client;
  MemoryStream stream;
  stream.WriteText("kept:");
  client.Get(Url(peer.Port(), "/"), &stream);
  EXPECT_EQ(BodyOf(stream), "kept:body");
  EXPECT_EQ(stream.Position(), 9);
}

TEST(HttpBodyReaders, HostileAnnouncementsReadOnlyWhatArrives) {
  // A chunk size of FFFFFFFF announces 4 GiB; the peer sends a few bytes
  // and closes. The bytes that came are kept and the close is reported.
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFF\r\nabc")
                         .Close()});
  TIdHTTP client;
  MemoryStream body;
  EXPECT_EQ(FailureOf([&] { client.Get(Url(peer.Port(), "/"), &body); }),
            "EIdConnClosedGracefully: Connection Closed Gracefully.");
  EXPECT_EQ(BodyOf(body), "abc");
  EXPECT_FALSE(client.Connected());
}

TEST(HttpResponseHead, EndlessHeadersFailLikeAnEndlessLine) {
  // Lines of legal length, without end.
  std::string block = "HTTP/1.1 200 OK\r\n";
  const std::string line = "X-Fill: " + std::string(1000, 'f') + "\r\n";
  while (block.size() < 2 * 1024 * 1024) block += line;
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(block).Close()});
  TIdHTTP client;
  MemoryStream body;
  EXPECT_EQ(FailureOf([&] { client.Get(Url(peer.Port(), "/"), &body); }),
            "EIdReadLnMaxLineLengthExceeded: Max line length exceeded.");
  EXPECT_EQ(client.RedirectCounter(), 0);
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

TEST(HttpNumbersOfTheHead, StatusCodesAndChunkSizes) {
  struct StatusCase {
    const char* line;
    int code;
  };
  for (const StatusCase& c : std::vector<StatusCase>{{"HTTP/1.1 200 OK", 200},
                                                     {"HTTP/1.0 404 Not Found", 404},
                                                     {"HTTP/1.1   302   Found", 302},
                                                     {"HTTP/1.1 abc", -1},
                                                     {"HTTP/1.1", -1},
                                                     {"", -1},
                                                     {"HTTP/1.1 99999999999 Big", -1},
                                                     {"HTTP/1.1 200", 200},
                                                     {"HTTP/1.1 2000 Four digits", 2000},
                                                     {"HTTP/1.1 20x OK", -1},
                                                     {"HTTP 1.1 200 OK", -1}}) {
    EXPECT_EQ(StatusCodeOf(c.line), c.code) << c.line;
  }
  struct ChunkCase {
    const char* line;
    int64_t length;
  };
  for (const ChunkCase& c : std::vector<ChunkCase>{{"5", 5},
                                                   {"1f", 31},
                                                   {"1F", 31},
                                                   {"10 ; ignored", 16},
                                                   {"5;x=1", 5},
                                                   {"a\t;x", 10},
                                                   {";x=1", 0},
                                                   {"0x10", 0},
                                                   {"", 0},
                                                   {"FFFFFFFF", 4294967295LL},
                                                   {"fffffffffffffff", 1152921504606846975LL},
                                                   {"ffffffffffffffff", 0}}) {
    EXPECT_EQ(ChunkLengthOf(c.line), c.length) << c.line;
  }
}

}  // namespace
}  // namespace kv::test
