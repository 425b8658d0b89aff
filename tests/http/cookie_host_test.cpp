#include <gtest/gtest.h>

#include <string>

#include "http/cookie.h"
#include "http/cookie_host.h"

namespace kv {
namespace {

TEST(CookieHost, DottedQuadsPlainNamesAndDomainsOfHosts) {
  struct Case { const char* text; bool quad, plain; const char* domain; };
  const Case cases[] = {
      {"10.0.0.255", true, false, ".0.0.255"},  {" 1.2.3.4.x ", true, false, ".2.3.4.x "},
      {"1.2.3.256", false, true, ".2.3.256"},   {"1.2.3", false, true, ".2.3"},
      {"h.example.ru", false, true, ".example.ru"}, {".example.ru", false, false, ".example.ru"},
      {"localhost", false, true, "localhost"},  {".", false, false, "."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsDottedQuad(c.text), c.quad) << c.text;
    EXPECT_EQ(IsPlainHostName(c.text), c.plain) << c.text;
    EXPECT_EQ(DomainOfHost(c.text), c.domain) << c.text;
  }
}

TEST(CookieHost, WhichDomainsAHostMaySet) {
  struct Case { const char* domain; const char* host; bool accepted; };
  const Case cases[] = {
      {"h.example.ru", "h.example.ru", true},   {"H.example.ru", "h.example.ru", false},  // case counts
      {".example.ru", "h.example.ru", true},    {".EXAMPLE.ru", "h.example.ru", false},
      {"example.ru", "h.example.ru", false},    {".other.ru", "h.example.ru", false},
      {".h.example.ru", "h.example.ru", false}, {"1.2.3.4", "1.2.3.4", true},
      {".2.3.4", "1.2.3.4", false},             {"localhost", "localhost", true},
      {".Example.RU", ".example.ru", true},     // a host with a leading dot: case is ignored
      {".ru", "example.ru", false},             // a whole top-level domain never
      {".ru.", "example.ru.", false},
  };
  for (const auto& c : cases) {
    TIdNetscapeCookie cookie;
    cookie.SetDomain(c.domain);
    EXPECT_EQ(cookie.AcceptableForHost(c.host), c.accepted) << c.domain << " from " << c.host;
  }
}

TEST(CookieHost, DomainsReachHostsAtLabelBoundaries) {
  struct Case { const char* domain; const char* host; bool reached; };
  const Case cases[] = {
      {"h.example.ru", "H.EXAMPLE.RU", true},   {"h.example.ru", "www.h.example.ru", true},
      {"h.example.ru", "xh.example.ru", false}, {"h.example.ru", "h.example.ru.evil.net", false},
      {".example.ru", "h.example.ru", true},    {".example.ru", "example.ru", false},
      {".example.ru", "h.badexample.ru", false}, {"", "h.example.ru", false},
      {"1.2.3.4", "1.2.3.4", true},
  };
  for (const auto& c : cases) EXPECT_EQ(DomainReachesHost(c.domain, c.host), c.reached) << c.domain << " to " << c.host;
}

}  // namespace
}  // namespace kv
