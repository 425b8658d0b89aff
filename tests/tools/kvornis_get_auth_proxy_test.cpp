// kvornis-get with credentials and through proxies, against real peers:
// squid asking for Basic proxy credentials and opening CONNECT tunnels to
// a TLS nginx, nginx asking for Basic credentials under /private/, and
// scripted peers that record what reaches a second origin or the inside of
// a tunnel.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/loopback_peer.h"
#include "tests/support/nginx_server.h"
#include "tests/support/run_process.h"
#include "tests/support/squid_server.h"
#include "tests/support/test_constants.h"
#include "tests/support/test_text.h"
#include "tests/support/tls_peers.h"
#include "tests/support/unresolvable_host.h"

namespace kv::test {
namespace {

// The value of header line `name` in a request head, "-" when there is none.
std::string HeaderValue(const std::string& head, const std::string& name) {
  const size_t at = head.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "-";
  const size_t from = at + name.size() + 4;
  return head.substr(from, head.find("\r\n", from) - from);
}

// "u:p", "o:q" and "dig:p@ss:1" in Basic form.
const std::string kProxyBasic = "Basic dTpw";
const std::string kOriginBasic = "Basic bzpx";
const std::string kDigBasic = "Basic ZGlnOnBAc3M6MQ==";

const std::string kProxyRefused =
    "kvornis-get: EIdHTTPProtocolException: HTTP/1.1 407 Proxy Authentication Required\n";
const std::string kOriginRefused = "kvornis-get: EIdHTTPProtocolException: HTTP/1.1 401 Unauthorized\n";

class KvornisGetAuthProxy : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      certs_ = std::make_unique<TestCertificates>();
      NginxOptions guarded;
      guarded.users = {{"o", "q"}};
      plain_ = std::make_unique<NginxServer>(guarded);
      tls_ = std::make_unique<NginxServer>(certs_->ServerCert(), certs_->ServerKey());
      squid_ = std::make_unique<SquidServer>(Users{{"u", "p"}, {"dig", "p@ss:1"}}, std::vector<int>{tls_->Port()});
    } catch (const std::exception& e) {
      start_failure_ = e.what();
      squid_.reset();
      return;
    }
    for (NginxServer* server : {plain_.get(), tls_.get()}) {
      server->AddFile("a.txt", "alpha\n");
      server->AddFile("b.txt", "bravo\n");
    }
    plain_->AddFile("private/c.txt", "charlie\n");
    tls_->AddFile("ssi/page.html", "papa\n");
  }
  static void TearDownTestSuite() {
    squid_.reset();
    tls_.reset();
    plain_.reset();
    certs_.reset();
  }

  void SetUp() override { ASSERT_NE(squid_, nullptr) << "the peers could not be started: " << start_failure_; }

  static std::unique_ptr<TestCertificates> certs_;
  static std::unique_ptr<NginxServer> plain_;
  static std::unique_ptr<NginxServer> tls_;
  static std::unique_ptr<SquidServer> squid_;
  static std::string start_failure_;
};

std::unique_ptr<TestCertificates> KvornisGetAuthProxy::certs_;
std::unique_ptr<NginxServer> KvornisGetAuthProxy::plain_;
std::unique_ptr<NginxServer> KvornisGetAuthProxy::tls_;
std::unique_ptr<SquidServer> KvornisGetAuthProxy::squid_;
std::string KvornisGetAuthProxy::start_failure_;

TEST_F(KvornisGetAuthProxy, ThroughSquidAndToNginxAuthBasic) {
  struct Case {
    std::string name;
    std::vector<std::string> args;  // "{name}" stands for a value below
    int exit_code;
    std::string out;
    std::vector<std::pair<std::string, size_t>> err;  // part -> times on stderr
  };
  const std::map<std::string, std::string> values = {
      {"proxy", squid_->Url()},
      {"proxy_hostport", squid_->Url().substr(7)},
      {"plain", plain_->BaseUrl()},
      {"tls", tls_->BaseUrl()},
      {"tls_port", std::to_string(tls_->Port())},
      {"ca", certs_->Ca()},
  };
  const std::vector<Case> cases = {
      // Through squid: absolute URIs, credentials on every request.
      {"-U: two URLs over one proxy connection",
       {"-v", "-x", "{proxy}", "-U", "u:p", "{plain}/a.txt", "{plain}/b.txt"},
       0,
       "alpha\nbravo\n",
       {{"> GET {plain}/a.txt HTTP/1.1\n", 1}, {"> Proxy-Authorization: " + kProxyBasic + "\n", 2},
        {"* Connected.\n", 1}}},
      {"user:pass@ of the proxy URL, percent-decoded",
       {"-v", "-x", "http://dig:p%40ss%3A1@{proxy_hostport}", "{plain}/a.txt"},
       0,
       "alpha\n",
       {{"> Proxy-Authorization: " + kDigBasic + "\n", 1}}},
      {"no credentials: the 407 is a failure", {"-x", "{proxy}", "{plain}/a.txt"}, 1, "", {{kProxyRefused, 1}}},
      {"a wrong password: the same", {"-x", "{proxy}", "-U", "u:x", "{plain}/a.txt"}, 1, "", {{kProxyRefused, 1}}},
      {"--proxy-anyauth: the credentials only after the 407",
       {"-v", "--proxy-anyauth", "-x", "{proxy}", "-U", "u:p", "{plain}/a.txt"},
       0,
       "alpha\n",
       {{"> GET {plain}/a.txt HTTP/1.1\n", 2}, {"> Proxy-Authorization: " + kProxyBasic + "\n", 1}}},
      {"--proxy-anyauth without credentials: nothing to answer with",
       {"--proxy-anyauth", "-x", "{proxy}", "{plain}/a.txt"},
       1,
       "",
       {{kProxyRefused, 1}}},
      {"https: one tunnel for two URLs, the certificate checked through it",
       {"-v", "-x", "{proxy}", "-U", "u:p", "--cacert", "{ca}", "{tls}/a.txt", "{tls}/b.txt"},
       0,
       "alpha\nbravo\n",
       {{"> CONNECT 127.0.0.1:{tls_port} HTTP/1.1\n", 1}, {"> GET /b.txt HTTP/1.1\n", 1},
        {"* Cipher: name = ", 1}, {"> Proxy-Authorization: " + kProxyBasic + "\n", 1}}},
      {"https with --proxy-anyauth: CONNECT again after the 407",
       {"-v", "--proxy-anyauth", "-x", "{proxy}", "-U", "u:p", "--cacert", "{ca}", "{tls}/a.txt"},
       0,
       "alpha\n",
       {{"> CONNECT 127.0.0.1:{tls_port} HTTP/1.1\n", 2}, {"> Proxy-Authorization: " + kProxyBasic + "\n", 1}}},
      {"https under HTTP/1.0: the origin closes after its redirect, and the new connection CONNECTs again",
       {"-v", "--http1.0", "-L", "-x", "{proxy}", "-U", "u:p", "--cacert", "{ca}", "{tls}/moved"},
       0,
       "alpha\n",
       {{"> CONNECT 127.0.0.1:{tls_port} HTTP/1.0\n", 2}, {"> Proxy-Connection: keep-alive\n", 2}}},
      {"https: a relative redirect stays in the tunnel",
       {"-v", "-L", "-x", "{proxy}", "-U", "u:p", "--cacert", "{ca}", "{tls}/moved-rel"},
       0,
       "papa\n",
       {{"> CONNECT 127.0.0.1:{tls_port} HTTP/1.1\n", 1}, {"> GET /ssi/page.html HTTP/1.1\n", 1}}},
      {"https without the test authority: refused at the far end of the tunnel",
       {"-x", "{proxy}", "-U", "u:p", "{tls}/a.txt"},
       1,
       "",
       {{"kvornis-get: EIdOSSLConnectError: Error connecting with SSL.", 1}}},
      {"the origin's credentials through the proxy",
       {"-v", "-x", "{proxy}", "-U", "u:p", "-u", "o:q", "{plain}/private/c.txt"},
       0,
       "charlie\n",
       {{"> Authorization: " + kOriginBasic + "\n", 1}}},
      // Straight to nginx.
      {"-u: sent at once", {"-v", "-u", "o:q", "{plain}/private/c.txt"}, 0, "charlie\n",
       {{"> Authorization: " + kOriginBasic + "\n", 1}}},
      {"-u with a wrong password", {"-u", "o:x", "{plain}/private/c.txt"}, 1, "", {{kOriginRefused, 1}}},
      {"no credentials", {"{plain}/private/c.txt", "{plain}/a.txt"}, 1, "alpha\n", {{kOriginRefused, 1}}},
      {"--anyauth: after the 401, then at once for the next URL",
       {"-v", "--anyauth", "-u", "o:q", "{plain}/private/c.txt", "{plain}/private/c.txt"},
       0,
       "charlie\ncharlie\n",
       {{"> GET /private/c.txt HTTP/1.1\n", 3}, {"> Authorization: " + kOriginBasic + "\n", 2}}},
      {"--anyauth with a wrong password: given up after the retries",
       {"-v", "--anyauth", "-u", "o:x", "{plain}/private/c.txt"},
       1,
       "",
       {{"> GET /private/c.txt HTTP/1.1\n", 4}, {kOriginRefused, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Expand(arg, values));
    const ProcessResult r = RunBuildProgram("tools/kvornis-get", args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_EQ(r.out, c.out);
    for (const auto& [part, times] : c.err) {
      EXPECT_EQ(CountOf(r.err, Expand(part, values)), times) << Expand(part, values) << "\n" << r.err;
    }
  }
  // The plain requests really went through squid, as the users named.
  const std::string log = squid_->AccessLog();
  EXPECT_NE(log.find(" GET " + plain_->BaseUrl() + "/b.txt u "), std::string::npos) << log;
  EXPECT_NE(log.find(" GET " + plain_->BaseUrl() + "/a.txt dig "), std::string::npos) << log;
  EXPECT_NE(log.find(" CONNECT 127.0.0.1:" + std::to_string(tls_->Port()) + " u "), std::string::npos) << log;
}

TEST(KvornisGetCredentials, AuthorizationStaysWithItsOrigin) {
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfine\n";
  const std::string challenge =
      "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"t\"\r\nContent-Length: 0\r\n\r\n";
  struct Case {
    std::string name;
    std::vector<std::string> credentials;
    bool challenged;  // the first origin asks first
    std::string target_host;  // of the redirect: "" for the same origin
    bool same_port;
  };
  const std::vector<Case> cases = {
      {"-u, the same origin: sent again", {"-u", "o:q"}, false, "", true},
      {"-u, another address: dropped", {"-u", "o:q"}, false, "127.0.0.2", false},
      {"-u, another port: dropped", {"-u", "o:q"}, false, "127.0.0.1", false},
      {"--anyauth, granted, then another address: dropped", {"--anyauth", "-u", "o:q"}, true, "127.0.0.2", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPeer target({Script().ExpectUntil(kHeadEnd).Send(ok)}, c.target_host.empty() ? "127.0.0.1"
                                                                                          : c.target_host);
    const std::string location = c.target_host.empty()
                                     ? "/next"
                                     : "http://" + c.target_host + ":" + std::to_string(target.Port()) + "/next";
    Script first;
    first.ExpectUntil(kHeadEnd);
    if (c.challenged) first.Send(challenge).ExpectUntil(kHeadEnd);
    first.Send("HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n");
    if (c.target_host.empty()) first.ExpectUntil(kHeadEnd).Send(ok);
    LoopbackPeer origin({first});

    std::vector<std::string> args = c.credentials;
    args.insert(args.end(), {"-L", "http://127.0.0.1:" + std::to_string(origin.Port()) + "/start"});
    const ProcessResult r = RunBuildProgram("tools/kvornis-get", args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "fine\n");
    EXPECT_TRUE(origin.WaitDone());
    const std::string at_origin = origin.Received(0);
    const std::string line = "\r\nAuthorization: " + kOriginBasic + "\r\n";
    // At the origin: on every request once granted (with -u, the first too).
    EXPECT_EQ(CountOf(at_origin, line), c.challenged ? 1u : c.target_host.empty() ? 2u : 1u) << Printable(at_origin);
    if (!c.target_host.empty()) {
      EXPECT_TRUE(target.WaitDone());
      EXPECT_EQ(CountOf(target.Received(0), "Authorization"), 0u) << Printable(target.Received(0));
    }
    EXPECT_EQ(origin.Errors(), std::vector<std::string>{});
  }
}

// The "Authorization" values of every request a peer received, in order,
// "-" for a request without one.
std::string AuthorizationsAt(const LoopbackPeer& peer) {
  std::string values;
  for (size_t i = 0; i < peer.Accepted(); ++i) {
    const std::string received = peer.Received(i);
    for (size_t at = 0, end; (end = received.find(kHeadEnd, at)) != std::string::npos; at = end + 4) {
      values += (values.empty() ? "" : ", ") + HeaderValue(received.substr(at, end + 2 - at), "Authorization");
    }
  }
  return values;
}

TEST(KvornisGetCredentials, BoundToTheFirstUrlsOriginAndCountedAgainstTheLimit) {
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfine\n";
  const std::string challenge =
      "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"t\"\r\nContent-Length: 0\r\n\r\n";
  // A head that ends early: the server closes after its first header line.
  const std::string cut_challenge = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"t\"\r\n";
  const std::string moved = "HTTP/1.1 302 Found\r\nLocation: {b}/next\r\nContent-Length: 0\r\n\r\n";
  struct Case {
    std::string name;
    std::vector<std::string> args;  // "{a}" and "{b}": the two origins
    // Per connection the responses, one a request; "{b}" stands for B.
    std::vector<std::vector<std::string>> at_a, at_b;
    int exit_code;
    std::string out;
    size_t refusals;  // 401 failures on stderr
    std::string auth_a, auth_b;  // see AuthorizationsAt
  };
  const std::vector<Case> cases = {
      {"--anyauth: another origin's challenge finds no credentials",
       {"--anyauth", "-u", "o:q", "-L", "{a}/start"},
       {{moved}, {moved}},
       {{challenge}, {ok}},
       1, "", 1, "-", "-"},
      {"-u: not for the next URL when the first one fails",
       {"-u", "o:q", "http://" + kUnresolvableHost + "/", "{b}/x"},
       {},
       {{ok}},
       1, "fine\n", 0, "", "-"},
      {"-H: the caller's own Authorization, without -u", {"-H", "Authorization: Bearer x", "{a}/x"}, {{ok}}, {},
       0, "fine\n", 0, "Bearer x", ""},
      {"-H with -u: the credentials in its place, the header as set elsewhere",
       {"-H", "Authorization: Bearer x", "-u", "o:q", "-L", "{a}/start"},
       {{moved}},
       {{ok}},
       0, "fine\n", 0, kOriginBasic, "Bearer x"},
      {"--anyauth: challenges on closing connections count to the limit",
       {"--anyauth", "-u", "o:q", "{a}/x"},
       {{cut_challenge}, {cut_challenge}, {cut_challenge}, {cut_challenge}},
       {},
       1, "", 1, "-, " + kOriginBasic + ", " + kOriginBasic + ", " + kOriginBasic, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::map<std::string, std::string> values;
    auto scripts = [&values](const std::vector<std::vector<std::string>>& connections) {
      std::vector<Script> played;
      for (const std::vector<std::string>& responses : connections) {
        Script& script = played.emplace_back();
        for (const std::string& response : responses) script.ExpectUntil(kHeadEnd).Send(Expand(response, values));
      }
      return played;
    };
    LoopbackPeer other(scripts(c.at_b), "127.0.0.2");
    values["b"] = "http://127.0.0.2:" + std::to_string(other.Port());
    LoopbackPeer a(scripts(c.at_a));
    values["a"] = "http://127.0.0.1:" + std::to_string(a.Port());
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Expand(arg, values));
    const ProcessResult r = RunBuildProgram("tools/kvornis-get", args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(CountOf(r.err, kOriginRefused), c.refusals) << r.err;
    EXPECT_EQ(AuthorizationsAt(a), c.auth_a);
    EXPECT_EQ(AuthorizationsAt(other), c.auth_b);
  }
}

TEST(KvornisGetCredentials, ProxyAuthorizationNeverInsideTheTunnel) {
  TestCertificates certs;
  const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
  const std::string challenge =
      "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"t\"\r\n"
      "Content-Length: 0\r\n\r\n";
  struct Case {
    std::string name;
    std::vector<std::string> args;  // "{proxy}" stands for the peer's host:port
    std::vector<std::string> answers;
    std::vector<std::string> proxy_credentials;  // on each CONNECT, "-" for none
  };
  const std::vector<Case> cases = {
      {"-U on the CONNECT, -u inside", {"-x", "http://{proxy}", "-U", "u:p", "-u", "o:q"}, {established},
       {kProxyBasic}},
      {"--proxy-anyauth: the CONNECT again after the 407",
       {"-x", "{proxy}", "-U", "u:p", "-u", "o:q", "--proxy-anyauth"},
       {challenge, established},
       {"-", kProxyBasic}},
      {"user:pass@ of the proxy URL", {"-x", "http://dig:p%40ss%3A1@{proxy}", "-u", "o:q"}, {established},
       {kDigBasic}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TlsReplyPeer peer(certs.ServerCert(), certs.ServerKey(), "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nfound\n",
                      TlsReplyPeer::Ending::CloseNotify, c.answers);
    const std::string proxy = "127.0.0.1:" + std::to_string(peer.Port());
    std::vector<std::string> args = {"--cacert", certs.Ca()};
    for (const std::string& arg : c.args) args.push_back(Expand(arg, {{"proxy", proxy}}));
    // The origin is never reached: the peer is proxy and origin at once.
    args.push_back("https://127.0.0.1:9/secret");
    const ProcessResult r = RunBuildProgram("tools/kvornis-get", args);
    ASSERT_EQ(peer.Finish(), "");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "found\n");
    ASSERT_EQ(peer.PlainHeads().size(), c.proxy_credentials.size());
    for (size_t i = 0; i < c.proxy_credentials.size(); ++i) {
      const std::string& head = peer.PlainHeads()[i];
      EXPECT_EQ(head.rfind("CONNECT 127.0.0.1:9 HTTP/1.1\r\n", 0), 0u) << Printable(head);
      EXPECT_EQ(HeaderValue(head, "Proxy-Authorization"), c.proxy_credentials[i]) << Printable(head);
      EXPECT_EQ(HeaderValue(head, "Authorization"), "-") << Printable(head);
    }
    const std::string& inside = peer.TlsHead();
    EXPECT_EQ(inside.rfind("GET /secret HTTP/1.1\r\n", 0), 0u) << Printable(inside);
    EXPECT_EQ(HeaderValue(inside, "Proxy-Authorization"), "-") << Printable(inside);
    EXPECT_EQ(HeaderValue(inside, "Authorization"), kOriginBasic) << Printable(inside);
  }
}

}  // namespace
}  // namespace kv::test
