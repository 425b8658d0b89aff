// Cookies through the client over a real socket: what one response sets is
// sent with the next request, by an owned or an assigned manager.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/cookie_manager.h"
#include "net/io_handler_ssl.h"
#include "tests/http/http_test_helpers.h"

namespace kv::test {
namespace {


// The "Cookie" line of the request head starting at `from`, or "".
std::string CookieLineOf(const std::string& received, size_t from) {
  const size_t head_end = received.find(kHeadEnd, from);
  const size_t at = received.find("\r\nCookie: ", from);
  if (at == std::string::npos || at > head_end) return "";
  return received.substr(at + 2, received.find("\r\n", at + 2) - at - 2);
}

TEST(HttpCookies, SetByOneResponseSentWithTheNext) {
  struct Case {
    const char* name;
    bool allow_cookies;
    std::string set_lines;
    std::string second_path;
    std::string cookie_line;  // expected on the second request
    bool tls_capable = false;  // a TLS transport in clear text under the client
  };
  const std::vector<Case> cases = {
      {"one cookie", true, "Set-Cookie: sid=abc; path=/\r\n", "/stat/b", "Cookie: sid=abc"},
      // Equal paths: the later stored goes first.
      {"two cookies, two lines", true, "Set-Cookie: a=1; path=/\r\nset-cookie: b=2; path=/\r\n", "/x",
       "Cookie: b=2; a=1"},
      {"longer path first", true, "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/stat/\r\n", "/stat/c",
       "Cookie: b=2; a=1"},
      // A cookie that names no path is kept but matches no request.
      {"no path", true, "Set-Cookie: a=1\r\n", "/x", ""},
      {"path outside", true, "Set-Cookie: sid=abc; path=/stat/\r\n", "/other", ""},
      {"another domain is refused", true, "Set-Cookie: sid=abc; domain=.example.com\r\n", "/x", ""},
      {"expired at once", true, "Set-Cookie: sid=abc; max-age=0\r\n", "/x", ""},
      {"cookies not allowed", false, "Set-Cookie: sid=abc; path=/\r\n", "/x", ""},
      {"secure, plain route", true, "Set-Cookie: s=1; path=/; secure\r\n", "/x", ""},
      // A transport that could speak TLS does not make a plain route secure.
      {"secure, plain route on a TLS transport", true, "Set-Cookie: s=1; path=/; secure\r\n", "/x", "", true},
  };
  for (const Case& c : cases) {
    LoopbackPeer peer({Script()
                           .ExpectUntil(kHeadEnd)
                           .Send(Response("200 OK", "first", c.set_lines))
                           .ExpectUntil(kHeadEnd)
                           .Send(Response("200 OK", "second"))});
    TIdHTTP client;
    TIdSSLIOHandlerSocket tls;
    if (c.tls_capable) client.SetIOHandler(&tls);
    client.AllowCookies = c.allow_cookies;
    MemoryStream first, second;
    client.Get(Url(peer.Port(), "/stat/a"), &first);
    client.Get(Url(peer.Port(), c.second_path), &second);
    ASSERT_TRUE(peer.WaitDone()) << c.name;
    const std::string received = peer.Received(0);
    EXPECT_EQ(CookieLineOf(received, 0), "") << c.name;
    EXPECT_EQ(CookieLineOf(received, received.find(kHeadEnd) + 4), c.cookie_line) << c.name;
    EXPECT_EQ(client.CookieManager() != nullptr, c.allow_cookies) << c.name;
    EXPECT_EQ(client.OwnsCookieManager(), c.allow_cookies) << c.name;
  }
}

TEST(HttpCookies, AssignedManagerIsUsedAndForgottenWhenDestroyed) {
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("200 OK", "", "Set-Cookie: k=v; path=/\r\n"))
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("200 OK", ""))
                         .ExpectUntil(kHeadEnd)
                         .Send(Response("200 OK", ""))});
  TIdHTTP client;
  auto manager = std::make_unique<TIdCookieManager>();
  client.SetCookieManager(manager.get());
  EXPECT_FALSE(client.OwnsCookieManager());
  client.Get(Url(peer.Port(), "/"), nullptr);
  EXPECT_EQ(manager->CookieCollection().Count(), 1);
  client.Get(Url(peer.Port(), "/"), nullptr);

  // Destroyed elsewhere: the client forgets it and makes its own.
  manager.reset();
  EXPECT_EQ(client.CookieManager(), nullptr);
  client.Get(Url(peer.Port(), "/"), nullptr);
  EXPECT_TRUE(client.OwnsCookieManager());
  ASSERT_TRUE(peer.WaitDone());
  const std::string received = peer.Received(0);
  const size_t second = received.find(kHeadEnd) + 4;
  const size_t third = received.find(kHeadEnd, second) + 4;
  EXPECT_EQ(CookieLineOf(received, second), "Cookie: k=v");
  EXPECT_EQ(CookieLineOf(received, third), "");
}

}  // namespace
}  // namespace kv::test
