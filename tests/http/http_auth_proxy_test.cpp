// Credentials and proxies over the in-memory transport: what goes on the
// wire for each request, and to whom.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/authentication.h"
#include "http/encoder_mime.h"
#include "tests/http/http_test_helpers.h"
#include "tests/support/memory_transport.h"

namespace kv::test {
namespace {

const std::string kOk = Response("200 OK", "fine");
const std::string kChallenge = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: NTLM\r\n"
                               "WWW-Authenticate: Basic realm=\"x\", username=evil, password=bad\r\n"
                               "Content-Length: 6\r\n\r\ndenied";
const std::string kBasicUp = "Basic " + TIdEncoderMIME().Encode("u:p");

struct Client {
  explicit Client(std::vector<MemoryTransport::Server> servers) : transport(std::move(servers)) {
    http.SetIOHandler(&transport);
    http.HandleRedirects = true;
  }
  // The header value `name` of request `index` (from 0) on connection
  // `connection`; "-" when the request has no such line.
  std::string Header(int connection, int index, const std::string& name) const {
    const std::string& sent = transport.Sent(connection);
    size_t start = 0;
    for (int i = 0; i < index; ++i) start = sent.find(kHeadEnd, start) + 4;
    const std::string head = sent.substr(start, sent.find(kHeadEnd, start) - start);
    TIdHeaderList lines;
    lines.SetText(head.substr(head.find("\r\n") + 2) + "\r\n");
    return lines.IndexOfHeader(name) < 0 ? "-" : lines.ValueOf(name);
  }
  std::string RequestLine(int connection, int index) const {
    const std::string& sent = transport.Sent(connection);
    size_t start = 0;
    for (int i = 0; i < index; ++i) start = sent.find(kHeadEnd, start) + 4;
    return sent.substr(start, sent.find("\r\n", start) - start);
  }
  MemoryTransport transport;
  TIdHTTP http;
};

std::string GetBody(TIdHTTP& http, const std::string& url) {
  MemoryStream body;
  const std::string failure = FailureOf([&] { http.Get(url, &body); });
  return failure == "no exception" ? BodyOf(body) : failure;
}

TEST(HttpAuthentication, Base64OfTheCredentials) {
  const TIdEncoderMIME mime;
  for (const auto& [plain, encoded] : std::vector<std::pair<std::string, std::string>>{
           {"", ""}, {"u", "dQ=="}, {"u:", "dTo="}, {"u:p", "dTpw"}, {"\xFF\xFE\xFD\xFC", "//79/A=="}}) {
    EXPECT_EQ(mime.Encode(plain), encoded) << plain;
  }
  EXPECT_EQ(FailureOf([&] { mime.Encode("abcd", 2); }), "EIdException: Uneven size in Encode.");
  EXPECT_EQ(mime.Encode("abcdef", 3), "YWJj");
  EXPECT_EQ(FindAuthScheme("bAsIc"), &kBasicAuthentication);
  EXPECT_EQ(FailureOf([] { RegisterAuthScheme("BASIC", kBasicAuthentication); }),
            "EIdAlreadyRegisteredAuthenticationMethod: This authentication method is already registered with "
            "class name TIdBasicAuthentication.");
}

TEST(HttpAuthentication, ChallengesAnsweredOrRefused) {
  struct Case {
    const char* name;
    bool handler;     // an OnAuthorization handler that grants
    std::string user;  // in the request when the challenge comes
    bool in_process;  // hoInProcessAuth
    std::vector<std::string> replies;
    std::string outcome;       // of the first Get
    std::string retried_with;  // "Authorization" of the second request
  };
  const std::string refused = "EIdHTTPProtocolException: HTTP/1.1 401 Unauthorized";
  const std::vector<Case> cases = {
      {"no handler", false, "u", true, {kChallenge}, refused, ""},
      {"granted, sent again at once", true, "u", true, {kChallenge, kOk}, "fine", kBasicUp},
      {"granted, the challenge's body returned", true, "u", false, {kChallenge, kOk}, "denied", kBasicUp},
      {"refused a fourth time", true, "u", true, {kChallenge, kChallenge, kChallenge, kChallenge}, refused, kBasicUp},
      // A handler that grants but gives no user name is asked once, not for ever.
      {"granted without credentials", true, "", true, {kChallenge}, refused, ""},
  };
  for (const Case& c : cases) {
    Client client({{c.replies, false}});
    client.http.Request().Username = c.user;
    client.http.Request().Password = "p";
    if (c.in_process) client.http.HTTPOptions |= hoInProcessAuth;
    if (c.handler) client.http.OnAuthorization = [](Component*, TIdAuthentication&, bool& handled) { handled = true; };
    EXPECT_EQ(GetBody(client.http, "http://h/"), c.outcome) << c.name;
    EXPECT_EQ(client.Header(0, 0, "Authorization"), "-") << c.name;
    if (!c.retried_with.empty()) {
      if (!c.in_process) client.http.Get("http://h/", nullptr);
      // The challenge's own "username" and "password" never become the
      // credentials.
      EXPECT_EQ(client.Header(0, 1, "Authorization"), c.retried_with) << c.name;
    }
  }
}

TEST(HttpAuthentication, CredentialsStayWithTheirOrigin) {
  // Sent unasked to the first origin; a redirect to another host, port or
  // scheme goes without them, and so does a later request there.
  Client client({{{"HTTP/1.1 302 Found\r\nLocation: http://h:8080/x\r\nContent-Length: 0\r\n\r\n", kOk}, false},
                 {{kOk, kOk}, false}});
  client.http.Request().BasicAuthentication = true;
  client.http.Request().Username = "u";
  client.http.Request().Password = "p";
  EXPECT_EQ(GetBody(client.http, "http://h/"), "fine");
  EXPECT_EQ(GetBody(client.http, "http://h/again"), "fine");
  EXPECT_EQ(client.Header(0, 0, "Authorization"), kBasicUp);
  EXPECT_EQ(client.Header(1, 0, "Authorization"), "-");
  EXPECT_EQ(client.Header(1, 1, "Authorization"), "-");
}

TEST(HttpProxy, PlainRequestsAskTheProxyForTheWholeUri) {
  Client client({{{kOk, Response("407 Proxy Authentication Required", "who?",
                                 "Proxy-Authenticate: Basic realm=\"proxy\"\r\n"),
                   kOk},
                  false}});
  TIdProxyConnectionInfo& proxy = client.http.ProxyParams();
  proxy.SetProxyServer("p");
  proxy.SetProxyPort(3128);
  EXPECT_EQ(GetBody(client.http, "http://h/a.pl?x=1"), "fine");
  EXPECT_EQ(client.RequestLine(0, 0), "GET http://h:80/a.pl?x=1 HTTP/1.1");
  EXPECT_EQ(client.Header(0, 0, "Host"), "h");
  EXPECT_EQ(client.Header(0, 0, "Proxy-Authorization"), "-");
  EXPECT_EQ(client.http.Host(), "p");
  EXPECT_EQ(client.http.CurrentUri().Host, "h");

  // A 407 answered by the handler is asked again with the proxy's
  // credentials, on the same proxy connection.
  proxy.ProxyUsername = "u";
  proxy.ProxyPassword = "p";
  client.http.HTTPOptions |= hoInProcessAuth;
  client.http.OnProxyAuthorization = [](Component*, TIdAuthentication&, bool& handled) { handled = true; };
  EXPECT_EQ(GetBody(client.http, "http://other/b"), "fine");
  EXPECT_EQ(client.Header(0, 2, "Proxy-Authorization"), kBasicUp);
  EXPECT_EQ(client.transport.Connects(), 1);
}

// The in-memory transport as a TLS transport whose "TLS" is plain bytes:
// enough to see when each connection starts its handshake.
class TunnelTransport : public MemoryTransport {
 public:
  using MemoryTransport::MemoryTransport;
  bool SpeaksTls() const override { return true; }
  void SetClearText(bool clear_text) override {
    if (!clear_text && clear_text_ && IsTransportOpen()) log += "tls ";
    clear_text_ = clear_text;
  }
  void ConnectTransport(const std::string& host, int port, const std::string& ip, int bound, int min, int max,
                        int timeout) override {
    MemoryTransport::ConnectTransport(host, port, ip, bound, min, max, timeout);
    log += clear_text_ ? "connect " : "connect+tls ";
  }
  std::string log;  // connects, and handshakes begun on an open connection

 private:
  bool clear_text_ = true;
};

TEST(HttpProxy, TunnelsStandOnlyOnAWholeConnectAnswer) {
  const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
  const std::string refused = "EIdHTTPTunnelError: ";
  struct Case {
    const char* name;
    std::vector<MemoryTransport::Server> servers;
    std::string outcome;
    std::string log;
  };
  const std::vector<Case> cases = {
      {"a proxy's own response after its 200",
       {{{established + Response("200 OK", "from the proxy")}, false}},
       refused + "Proxy sent data before the tunnel's TLS handshake.",
       "connect "},
      {"an empty answer", {{{"\r\n"}, false}}, refused + "Proxy answered CONNECT without a status line.", "connect "},
      {"cookies of the proxy",
       {{{"HTTP/1.1 200 Connection established\r\nSet-Cookie: from=proxy; path=/\r\n\r\n", kOk}, false}},
       "fine",
       "connect tls "},
      // Each new connection asks the proxy again before its handshake.
      {"the origin closes after a redirect",
       {{{established, "HTTP/1.1 302 Found\r\nLocation: https://h/next\r\nContent-Length: 0\r\n\r\n"}, true},
        {{established, kOk}, false}},
       "fine",
       "connect tls connect tls "},
      {"the origin closes after a challenge",
       {{{established, kChallenge}, true}, {{established, kOk}, false}},
       "fine",
       "connect tls connect tls "},
  };
  for (const Case& c : cases) {
    TunnelTransport transport(c.servers);
    TIdHTTP http;
    http.SetIOHandler(&transport);
    http.HandleRedirects = true;
    http.ProxyParams().SetProxyServer("p");
    http.ProxyParams().SetProxyPort(3128);
    http.Request().Username = "u";
    http.HTTPOptions |= hoInProcessAuth;
    http.OnAuthorization = [](Component*, TIdAuthentication&, bool& handled) { handled = true; };
    EXPECT_EQ(GetBody(http, "https://h/"), c.outcome) << c.name;
    EXPECT_EQ(transport.log, c.log) << c.name;
    for (int i = 0; i < transport.Connects(); ++i) {
      EXPECT_EQ(transport.Sent(i).rfind("CONNECT h:443 HTTP/1.1\r\n", 0), 0u) << c.name;
      EXPECT_EQ(transport.Sent(i).find("Cookie"), std::string::npos) << c.name;
    }
    if (c.outcome.starts_with(refused)) {
      EXPECT_FALSE(http.Connected()) << c.name;
    }
    http.SetIOHandler(nullptr);
  }
}

TEST(HttpProxy, ProxyConnectionNeverInsideTheTunnel) {
  TunnelTransport transport({{{"HTTP/1.1 302 Found\r\nLocation: https://h/x\r\nContent-Length: 0\r\n\r\n"}, true},
                             {{"HTTP/1.1 200 Connection established\r\n\r\n", kOk}, false}});
  TIdHTTP http;
  http.SetIOHandler(&transport);
  http.HandleRedirects = true;
  http.ProtocolVersion = pv1_0;
  http.ProxyParams().SetProxyServer("p");
  http.ProxyParams().SetProxyPort(3128);
  EXPECT_EQ(GetBody(http, "http://h/"), "fine");
  const std::string& plain = transport.Sent(0);
  const std::string& tunnel = transport.Sent(1);
  EXPECT_NE(plain.find("\r\nProxy-Connection: keep-alive\r\n"), std::string::npos) << plain;
  const size_t inside = tunnel.find(kHeadEnd) + 4;
  EXPECT_NE(tunnel.substr(0, inside).find("\r\nProxy-Connection: keep-alive\r\n"), std::string::npos) << tunnel;
  EXPECT_EQ(tunnel.substr(inside).find("Proxy-"), std::string::npos) << tunnel;
  http.SetIOHandler(nullptr);
}

TEST(HttpRedirects, ARelativeTargetKeepsTheScheme) {
  // Followed on the same TLS connection; the caller's own URL without a
  // scheme still means http.
  TunnelTransport transport({{{"HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 0\r\n\r\n", kOk}, false},
                             {{kOk}, false}});
  TIdHTTP http;
  http.SetIOHandler(&transport);
  http.HandleRedirects = true;
  EXPECT_EQ(GetBody(http, "https://h/"), "fine");
  EXPECT_EQ(GetBody(http, "/again"), "fine");
  EXPECT_EQ(transport.log, "connect+tls connect ");
  EXPECT_NE(transport.Sent(0).find("GET /next HTTP/1.1\r\n"), std::string::npos) << transport.Sent(0);
  EXPECT_EQ(transport.Sent(1).rfind("GET /again HTTP/1.1\r\n", 0), 0u) << transport.Sent(1);
  EXPECT_EQ(http.CurrentUri().Port, "80");
  http.SetIOHandler(nullptr);
}

// The proxy, not this IPv4 stack, reaches an IPv6 host: the URL and the
// Host header carry it bracketed, with its port.
TEST(HttpProxy, AnIPv6HostGoesToTheProxyBracketed) {
  Client client({{{kOk, kOk}, false}});
  client.http.ProxyParams().SetProxyServer("p");
  client.http.ProxyParams().SetProxyPort(3128);
  EXPECT_EQ(GetBody(client.http, "http://[::1]:8080/a"), "fine");
  EXPECT_EQ(client.RequestLine(0, 0), "GET http://[::1]:8080/a HTTP/1.1");
  EXPECT_EQ(client.Header(0, 0, "Host"), "[::1]:8080");
  EXPECT_EQ(GetBody(client.http, "http://[::1]:80/b"), "fine");  // port 80 goes unsaid
  EXPECT_EQ(client.Header(0, 1, "Host"), "[::1]");
}

TEST(HttpProxy, ProxyCredentialsNeverReachAnOrigin) {
  Client client({{{kOk}, false}});
  TIdProxyConnectionInfo& proxy = client.http.ProxyParams();
  proxy.ProxyUsername = "u";
  proxy.ProxyPassword = "p";
  proxy.BasicAuthentication = true;  // but no proxy server: a direct request
  EXPECT_EQ(GetBody(client.http, "http://h/"), "fine");
  EXPECT_EQ(client.Header(0, 0, "Proxy-Authorization"), "-");
}

TEST(HttpProxy, RoutesChangeConnections) {
  // Direct, then through the proxy, then direct again: each route its own
  // connection, and https through a proxy needs a TLS transport.
  Client client({{{kOk}, false}, {{kOk}, false}, {{kOk}, false}});
  EXPECT_EQ(GetBody(client.http, "http://h/"), "fine");
  client.http.ProxyParams().SetProxyServer("h");
  client.http.ProxyParams().SetProxyPort(80);
  EXPECT_EQ(GetBody(client.http, "http://h/"), "fine");
  client.http.ProxyParams().SetProxyServer("");
  EXPECT_EQ(GetBody(client.http, "http://h/"), "fine");
  EXPECT_EQ(client.transport.Connects(), 3);
  client.http.ProxyParams().SetProxyServer("p");
  EXPECT_EQ(GetBody(client.http, "https://h/"), "EIdIOHandlerPropInvalid: IOHandler value is not valid");
}

}  // namespace
}  // namespace kv::test
