// What follows a response head: which statuses deliver a body, which raise
// with their status line and error body, how redirects are followed and
// counted, and when the connection is kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/http/http_test_helpers.h"
#include "tests/support/memory_transport.h"

namespace kv::test {
namespace {

TEST(HttpStatusVerdict, KindOfResponseByCodeAndLocation) {
  struct Case {
    int code;
    const char* location;
    TIdHTTPResponseKind kind;
  };
  const std::vector<Case> cases = {
      {200, "", rkDone},         {204, "", rkDone},       {299, "", rkDone},
      {300, "", rkRedirect},     {301, "", rkRedirect},   {399, "", rkRedirect},
      {304, "", rkRefused},      {304, "/b", rkRedirect}, {200, "/b", rkRedirect},
      {401, "/b", rkRedirect},   {401, "", rkChallenge},  {407, "", rkProxyChallenge},
      {404, "", rkRefused},      {100, "", rkRefused},    {-1, "", rkRefused},
  };
  for (const Case& c : cases) EXPECT_EQ(ResponseKindOf(c.code, c.location), c.kind) << c.code << " " << c.location;
}

// Records each question the client asks of its events, and with what.
class AskingClient : public TIdHTTP {
 public:
  bool NotifyRedirect(std::string& dest, TIdHTTPMethod& method, int count) override {
    asked += "redirect " + IntToStr(count) + " " + dest + "; ";
    return TIdHTTP::NotifyRedirect(dest, method, count);
  }
  bool HandleAuthChallenge(TIdHTTPRequest& request, TIdHTTPResponse& response) override {
    asked += "401; ";
    return TIdHTTP::HandleAuthChallenge(request, response);
  }
  bool HandleProxyAuthChallenge(TIdHTTPRequest& request, TIdHTTPResponse& response) override {
    asked += "407; ";
    return TIdHTTP::HandleProxyAuthChallenge(request, response);
  }
  std::string asked;
};

TEST(HttpStatusVerdict, EachResponseAsksOnlyItsOwnEvent) {
  const std::string ok = Response("200 OK", "fine");
  const std::string challenge = Response("401 Unauthorized", "who?", "WWW-Authenticate: Basic realm=\"r\"\r\n");
  auto redirect = [](const std::string& status, const std::string& to) {
    return Response(status, "", "Location: " + to + "\r\n");
  };
  struct Case {
    const char* name;
    std::vector<std::string> replies;
    int auth_retries;
    int redirect_maximum;
    std::string asked;
    std::string outcome;  // the body, or the failure
  };
  const std::string refused = "EIdHTTPProtocolException: HTTP/1.1 ";
  const std::vector<Case> cases = {
      {"a 200", {ok}, 3, 15, "", "fine"},
      {"a 304", {Response("304 Not Modified", "")}, 3, 15, "", refused + "304 Not Modified"},
      {"a 404", {Response("404 Not Found", "")}, 3, 15, "", refused + "404 Not Found"},
      {"a chain", {redirect("302 Found", "/b"), redirect("301 Moved", "/c"), ok}, 3, 15,
       "redirect 1 /b; redirect 2 /c; ", "fine"},
      {"a 200 naming a Location", {redirect("200 OK", "/b"), ok}, 3, 15, "redirect 1 /b; ", "fine"},
      {"a 401 naming a Location", {redirect("401 Unauthorized", "/b"), ok}, 3, 15, "redirect 1 /b; ", "fine"},
      {"a redirect past the maximum", {redirect("302 Found", "/b")}, 3, 1, "redirect 1 /b; ", ""},
      {"challenges up to the limit", {challenge, challenge, challenge}, 2, 15, "401; 401; ",
       refused + "401 Unauthorized"},
      {"a challenge at a limit of none", {challenge}, 0, 15, "", refused + "401 Unauthorized"},
      {"a proxy's challenge", {Response("407 Proxy Authentication Required", "", "Proxy-Authenticate: Basic\r\n")},
       3, 15, "407; ", refused + "407 Proxy Authentication Required"},
  };
  for (const Case& c : cases) {
    MemoryTransport transport({{c.replies, false}});
    AskingClient client;
    client.SetIOHandler(&transport);
    client.HandleRedirects = true;
    client.AuthRetries = c.auth_retries;
    client.RedirectMaximum = c.redirect_maximum;
    client.HTTPOptions |= hoInProcessAuth;
    client.Request().Username = "u";
    client.OnAuthorization = [](Component*, TIdAuthentication&, bool& handled) { handled = true; };
    MemoryStream body;
    const std::string failure = FailureOf([&] { client.Get("http://h/a", &body); });
    EXPECT_EQ(failure == "no exception" ? BodyOf(body) : failure, c.outcome) << c.name;
    EXPECT_EQ(client.asked, c.asked) << c.name;
  }
}

TEST(HttpStatusVerdict, RefusedStatusesRaiseWithLineCodeAndBody) {
  struct Case {
    std::string head;  // status line and header lines, without the empty line
    std::string body;
    int code;
  };
  const std::vector<Case> cases = {
      {"HTTP/1.1 301 Moved Permanently\r\nLocation: /b", "moved", 301},
      {"HTTP/1.1 302 Found\r\nLocation: http://elsewhere/", "found", 302},
      {"HTTP/1.1 303 See Other\r\nLocation: /c", "", 303},
      {"HTTP/1.1 307 Temporary Redirect\r\nLocation: /d", "tmp", 307},
      {"HTTP/1.1 300 Multiple Choices", "choose", 300},
      {"HTTP/1.1 200 OK\r\nLocation: /moved-anyway", "ok but moved", 200},
      {"HTTP/1.1 304 Not Modified", "", 304},
      {"HTTP/1.1 101 Switching Protocols", "", 101},
      {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"", "who?", 401},
      {"HTTP/1.1 407 Proxy Authentication Required", "proxy?", 407},
      {"HTTP/1.1 404 Not Found", "<html>missing</html>", 404},
      {"HTTP/1.1 500 Internal Server Error", "boom", 500},
      {"HTTP/1.1 abc", "what", -1},
      {"HTTP/1.1 999 Beyond", "", 999},
  };
  for (const Case& c : cases) {
    const std::string response =
        c.head + "\r\nContent-Length: " + IntToStr(static_cast<int64_t>(c.body.size())) + "\r\n\r\n" + c.body;
    LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(response).ExpectClosed()});
    TIdHTTP client;
    MemoryStream stream;
    stream.WriteText("before");
    const EIdHTTPProtocolException e = ProtocolFailureOf([&] { client.Get(Url(peer.Port(), "/a"), &stream); });
    const std::string status_line = c.head.substr(0, c.head.find("\r\n"));
    EXPECT_EQ(e.Message(), status_line);
    EXPECT_EQ(e.ReplyCode(), c.code) << status_line;
    EXPECT_EQ(e.ErrorBody(), c.body) << status_line;
    EXPECT_EQ(BodyOf(stream), "before") << status_line;
    EXPECT_EQ(client.ReadTimeout, 0) << status_line;
    EXPECT_EQ(client.RedirectCounter(), 0) << status_line;
  }
}

TEST(HttpStatusVerdict, ErrorBodyWithoutLengthIsReadUntilClose) {
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send("HTTP/1.1 503 Busy\r\n\r\ntry later").Close()});
  TIdHTTP client;
  const EIdHTTPProtocolException e = ProtocolFailureOf([&] { client.Get(Url(peer.Port(), "/"), nullptr); });
  EXPECT_EQ(e.ErrorBody(), "try later");
  EXPECT_FALSE(client.Connected());
}

TEST(HttpConnectionReuse, KeptWhileResponsesAllowIt) {
  struct Case {
    const char* name;
    TIdHTTPProtocolVersion version;
    std::string first_extra;  // header lines of the first response
    size_t connections;       // connections the two requests need
  };
  const std::vector<Case> cases = {
      {"1.1 by default", pv1_1, "", 1},
      {"1.1 with close", pv1_1, "Connection: close\r\n", 2},
      {"1.1 with a padded Close", pv1_1, "Connection:  Close \r\n", 2},
      {"1.1 with proxy close", pv1_1, "Proxy-Connection: close\r\n", 2},
      {"1.0 without keep-alive", pv1_0, "", 2},
      {"1.0 with keep-alive", pv1_0, "Connection: Keep-Alive\r\n", 1},
  };
  for (const Case& c : cases) {
    std::vector<Script> scripts;
    if (c.connections == 1) {
      scripts.push_back(Script()
                            .ExpectUntil(kHeadEnd)
                            .Send(Response("200 OK", "one", c.first_extra))
                            .ExpectUntil(kHeadEnd)
                            .Send(Response("200 OK", "two", c.first_extra)));
    } else {
      scripts.push_back(Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "one", c.first_extra)).ExpectClosed());
      scripts.push_back(Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "two", c.first_extra)));
    }
    LoopbackPeer peer(scripts);
    TIdHTTP client;
    client.ProtocolVersion = c.version;
    MemoryStream first, second;
    client.Get(Url(peer.Port(), "/1"), &first);
    client.Get(Url(peer.Port(), "/2"), &second);
    EXPECT_TRUE(peer.WaitDone()) << c.name;
    EXPECT_EQ(peer.Accepted(), c.connections) << c.name;
    EXPECT_EQ(BodyOf(first), "one") << c.name;
    EXPECT_EQ(BodyOf(second), "two") << c.name;
    EXPECT_EQ(peer.Errors(), std::vector<std::string>{}) << c.name;
  }
}

TEST(HttpConnectionReuse, ErrorsKeepAReusableConnectionAndBodiesStayApart) {
  // The 500's body and the next response arrive in one piece.
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("500 Oops", "bad") + Response("200 OK", "good"))
                         .ExpectUntil(kHeadEnd)});
  TIdHTTP client;
  MemoryStream first, second;
  EXPECT_EQ(ProtocolFailureOf([&] { client.Get(Url(peer.Port(), "/1"), &first); }).ErrorBody(), "bad");
  EXPECT_TRUE(client.Connected());
  client.Get(Url(peer.Port(), "/2"), &second);
  EXPECT_EQ(BodyOf(first), "");
  EXPECT_EQ(BodyOf(second), "good");
  EXPECT_EQ(peer.Accepted(), 1u);
}

TEST(HttpConnectionReuse, PeerThatClosedIsNoticedBeforeTheNextRequest) {
  LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "one")).Close(),
                     Script().ExpectUntil(kHeadEnd).Send(Response("200 OK", "two"))});
  TIdHTTP client;
  MemoryStream first, second;
  client.Get(Url(peer.Port(), "/1"), &first);
  ASSERT_TRUE(peer.WaitConnectionDone(0));
  client.Get(Url(peer.Port(), "/2"), &second);
  EXPECT_EQ(BodyOf(second), "two");
  EXPECT_EQ(peer.Accepted(), 2u);
}

TEST(HttpRedirects, FollowedOnTheSameConnectionIntoAnEmptiedStream) {
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("302 Found", "redirect body", "Location: next.pl?p=2\r\n"))
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("200 OK", "final"))});
  TIdHTTP client;
  client.HandleRedirects = true;
  std::vector<int> counts;
  client.OnRedirect = [&](Component*, std::string&, int& count, bool&, TIdHTTPMethod&) { counts.push_back(count); };
  MemoryStream stream;
  stream.WriteText("kept|");
  client.Get(Url(peer.Port(), "/stat/x.pl"), &stream);
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(BodyOf(stream), "kept|final");
  const std::string received = peer.Received(0);
  EXPECT_NE(received.find("GET /stat/next.pl?p=2 HTTP/1.1\r\n"), std::string::npos);
  EXPECT_EQ(counts, std::vector<int>{1});
  EXPECT_EQ(client.RedirectCounter(), 0);
}

TEST(HttpRedirects, EndlessChainStopsAtTheMaximumWithoutFailure) {
  // Every response redirects; with the default maximum of 15 passes, 14
  // redirects are followed and the 15th response ends the request.
  Script script;
  for (int i = 1; i <= 15; ++i) {
    script.ExpectUntil(kHeadEnd).Send(Response("302 Found", "r", "Location: /hop" + IntToStr(i) + "\r\n"));
  }
  LoopbackPeer peer({script});
  TIdHTTP client;
  client.HandleRedirects = true;
  MemoryStream stream;
  client.Get(Url(peer.Port(), "/start"), &stream);
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(client.LastResponse().Location, "/hop15");
  EXPECT_EQ(BodyOf(stream), "");
  EXPECT_NE(peer.Received(0).find("GET /hop14 HTTP/1.1"), std::string::npos);
  EXPECT_EQ(peer.Received(0).find("GET /hop15 HTTP/1.1"), std::string::npos);
  EXPECT_EQ(client.RedirectCounter(), 0);
}

TEST(HttpRedirects, HandlerDecides) {
  struct Case {
    const char* name;
    bool handle_redirects;
    bool handled;           // what the handler answers
    const char* failure;    // "" when the request succeeds
    const char* location;   // LastResponse().Location afterwards
  };
  const std::vector<Case> cases = {
      {"refused while following", true, false, "EIdHTTPProtocolException: HTTP/1.1 302 Found", "/b"},
      {"accepted without following", false, true, "", "/changed"},
  };
  for (const Case& c : cases) {
    LoopbackPeer peer({Script().ExpectUntil(kHeadEnd).Send(Response("302 Found", "", "Location: /b\r\n"))});
    TIdHTTP client;
    client.HandleRedirects = c.handle_redirects;
    client.OnRedirect = [&](Component*, std::string& dest, int&, bool& handled, TIdHTTPMethod&) {
      handled = c.handled;
      dest = "/changed";
    };
    MemoryStream stream;
    const std::string failure = FailureOf([&] { client.Get(Url(peer.Port(), "/a"), &stream); });
    EXPECT_EQ(failure, *c.failure ? c.failure : "no exception") << c.name;
    if (!*c.failure) {
      EXPECT_EQ(client.LastResponse().Location, c.location) << c.name;
    }
  }
}

TEST(HttpRedirects, HandlerMayTurnAPostIntoAGet) {
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .ExpectCount(3)
                         .Send(Response("303 See Other", "", "Location: /result\r\n"))
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("200 OK", "done"))});
  TIdHTTP client;
  client.HandleRedirects = true;
  client.OnRedirect = [](Component*, std::string&, int&, bool&, TIdHTTPMethod& method) { method = hmGet; };
  MemoryStream upload;
  upload.WriteText("a=1");
  MemoryStream body;
  client.Post(Url(peer.Port(), "/form"), upload, &body);
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_NE(peer.Received(0).find("GET /result HTTP/1.1\r\n"), std::string::npos);
  EXPECT_EQ(BodyOf(body), "done");
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

TEST(HttpStatusVerdict, ResponsesWithoutBodyReadNothingWhateverTheyAnnounce) {
  // A reply to HEAD and a 304 end with their head; the next response
  // follows at once on the same connection.
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nContent-Length: 153\r\n\r\n")
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n")
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("200 OK", "next"))});
  TIdHTTP client;
  client.ReadTimeout = 10000;
  client.Head(Url(peer.Port(), "/h"));
  EXPECT_EQ(client.LastResponse().ContentLength, 153);
  MemoryStream body;
  const EIdHTTPProtocolException e = ProtocolFailureOf([&] { client.Get(Url(peer.Port(), "/n"), &body); });
  EXPECT_EQ(e.ReplyCode(), 304);
  EXPECT_EQ(e.ErrorBody(), "");
  client.Get(Url(peer.Port(), "/next"), &body);
  EXPECT_EQ(BodyOf(body), "next");
  EXPECT_EQ(peer.Accepted(), 1u);
}

}  // namespace
}  // namespace kv::test
