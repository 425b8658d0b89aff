// kvornis-get through SOCKS proxies: dante (SOCKS4 and SOCKS5 without
// authentication, with a rule refusing one target port), microsocks (SOCKS5
// with user name and password), https through SOCKS5 to a TLS nginx, and
// scripted proxies that show what each scheme puts into the request.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/loopback_peer.h"
#include "tests/support/nginx_server.h"
#include "tests/support/run_process.h"
#include "tests/support/socks_servers.h"
#include "tests/support/test_constants.h"
#include "tests/support/test_text.h"
#include "tests/support/tls_peers.h"

namespace kv::test {
namespace {

using namespace std::string_literals;

// Lines of dante's log telling of a connect it made to `port`.
size_t ConnectsTo(const std::string& log, int port) {
  const std::string target = " 127.0.0.1." + std::to_string(port);
  size_t count = 0;
  for (size_t from = 0; from < log.size();) {
    size_t end = log.find('\n', from);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(from, end - from);
    if (line.find(": pass(") != std::string::npos && line.find("tcp/connect [") != std::string::npos &&
        line.find(target) != std::string::npos) {
      ++count;
    }
    from = end + 1;
  }
  return count;
}

class KvornisGetSocks : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      certs_ = std::make_unique<TestCertificates>();
      plain_ = std::make_unique<NginxServer>();
      tls_ = std::make_unique<NginxServer>(certs_->ServerCert(), certs_->ServerKey());
      // Listens, but dante's rules keep everyone from it.
      blocked_ = std::make_unique<LoopbackPeer>(std::vector<Script>{Script().ExpectUntil(kHeadEnd)});
      dante_ = std::make_unique<DanteServer>(blocked_->Port());
      micro_ = std::make_unique<MicrosocksServer>("u", "p@ss");
    } catch (const std::exception& e) {
      start_failure_ = e.what();
      micro_.reset();
      return;
    }
    for (NginxServer* server : {plain_.get(), tls_.get()}) server->AddFile("a.txt", "alpha\n");
  }
  static void TearDownTestSuite() {
    micro_.reset();
    dante_.reset();
    blocked_.reset();
    tls_.reset();
    plain_.reset();
    certs_.reset();
  }

  void SetUp() override { ASSERT_NE(micro_, nullptr) << "the peers could not be started: " << start_failure_; }

  static std::unique_ptr<TestCertificates> certs_;
  static std::unique_ptr<NginxServer> plain_;
  static std::unique_ptr<NginxServer> tls_;
  static std::unique_ptr<LoopbackPeer> blocked_;
  static std::unique_ptr<DanteServer> dante_;
  static std::unique_ptr<MicrosocksServer> micro_;
  static std::string start_failure_;
};

std::unique_ptr<TestCertificates> KvornisGetSocks::certs_;
std::unique_ptr<NginxServer> KvornisGetSocks::plain_;
std::unique_ptr<NginxServer> KvornisGetSocks::tls_;
std::unique_ptr<LoopbackPeer> KvornisGetSocks::blocked_;
std::unique_ptr<DanteServer> KvornisGetSocks::dante_;
std::unique_ptr<MicrosocksServer> KvornisGetSocks::micro_;
std::string KvornisGetSocks::start_failure_;

TEST_F(KvornisGetSocks, ThroughDanteAndMicrosocks) {
  struct Case {
    std::string name;
    std::vector<std::string> args;  // "{name}" stands for a value below
    int exit_code;
    std::string out;
    std::string err_has;  // empty: nothing on stderr
  };
  const std::map<std::string, std::string> values = {
      {"dante", dante_->HostPort()},
      {"micro", micro_->HostPort()},
      {"plain", plain_->BaseUrl()},
      {"plain_port", std::to_string(plain_->Port())},
      {"tls", tls_->BaseUrl()},
      {"blocked", "http://127.0.0.1:" + std::to_string(blocked_->Port())},
      {"ca", certs_->Ca()},
  };
  const std::string rejected = "kvornis-get: EIdSocksRequestFailed: Request rejected or failed.\n";
  const std::vector<Case> cases = {
      {"socks4", {"-x", "socks4://{dante}", "{plain}/a.txt"}, 0, "alpha\n", ""},
      {"socks4, a name resolved here", {"-x", "socks4://{dante}", "http://localhost:{plain_port}/a.txt"}, 0,
       "alpha\n", ""},
      {"socks5", {"-x", "socks5://{dante}", "{plain}/a.txt"}, 0, "alpha\n", ""},
      {"socks5h with a name", {"-x", "socks5h://{dante}", "http://localhost:{plain_port}/a.txt"}, 0, "alpha\n", ""},
      // Dante speaks no SOCKS4A: it takes 0.0.0.1 for the target, which its
      // rules refuse.
      {"socks4a at dante", {"-x", "socks4a://{dante}", "http://localhost:{plain_port}/a.txt"}, 1, "", rejected},
      {"https through socks5, the certificate checked end to end",
       {"-v", "-x", "socks5://{dante}", "--cacert", "{ca}", "{tls}/a.txt"}, 0, "alpha\n", "* Cipher: name = "},
      {"https without the test authority", {"-x", "socks5://{dante}", "{tls}/a.txt"}, 1, "",
       "kvornis-get: EIdOSSLConnectError: Error connecting with SSL."},
      {"a target refused by the rules, socks4", {"-x", "socks4://{dante}", "{blocked}/"}, 1, "", rejected},
      {"a target refused by the rules, socks5", {"-x", "socks5://{dante}", "{blocked}/"}, 1, "",
       "kvornis-get: EIdSocksServerPermissionError: Connection not allowed by ruleset.\n"},
      {"microsocks, user:pass@ percent-decoded", {"-x", "socks5://u:p%40ss@{micro}", "{plain}/a.txt"}, 0, "alpha\n",
       ""},
      {"microsocks, -U wins over user:pass@", {"-x", "socks5h://u:wrong@{micro}", "-U", "u:p@ss", "{plain}/a.txt"}, 0,
       "alpha\n", ""},
      {"microsocks, https", {"-x", "socks5://u:p%40ss@{micro}", "--cacert", "{ca}", "{tls}/a.txt"}, 0, "alpha\n", ""},
      {"microsocks, a wrong password", {"-x", "socks5://{micro}", "-U", "u:pass", "{plain}/a.txt"}, 1, "",
       "kvornis-get: EIdSocksAuthError: Authentication error to socks server.\n"},
      {"microsocks, no credentials: no method it accepts", {"-x", "socks5://{micro}", "{plain}/a.txt"}, 1, "",
       "kvornis-get: EIdSocksAuthMethodError: Invalid socks authentication method.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Expand(arg, values));
    const ProcessResult r = RunBuildProgram("tools/kvornis-get", args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_EQ(r.out, c.out);
    if (c.err_has.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_NE(r.err.find(c.err_has), std::string::npos) << r.err;
    }
  }
  // The plain fetches went through dante, and nobody reached the refused
  // target.
  const std::string log = dante_->Log();
  EXPECT_EQ(ConnectsTo(log, plain_->Port()), 4u) << log;
  EXPECT_EQ(ConnectsTo(log, tls_->Port()), 2u) << log;
  EXPECT_EQ(blocked_->Accepted(), 0u);
}

// What each scheme sends the proxy for one target, on a scripted proxy that
// then plays the target too: the name resolved here or sent as given, the
// user id or the user name and password; and none of it becomes an HTTP
// header.
TEST(KvornisGetSocksRequest, EachSchemeSendsTheTargetAsItShould) {
  const std::string granted4 = "\x00\x5a\x00\x00\x00\x00\x00\x00"s;
  const std::string granted5 = "\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x50"s;
  struct Case {
    std::string name;
    std::vector<std::string> args;  // "{proxy}": the scripted proxy's host:port
    std::string url;
    std::vector<std::pair<std::string, std::string>> exchange;  // expected bytes, answer
  };
  const std::vector<Case> cases = {
      {"socks4: the address resolved here, the user id from -U",
       {"-x", "socks4://{proxy}", "-U", "id:pw"},
       "http://localhost:8080/x",
       {{"\x04\x01\x1f\x90\x7f\x00\x00\x01id\x00"s, granted4}}},
      {"socks4a: the name for the proxy, the user id from the URL",
       {"-x", "socks4a://u:x@{proxy}"},
       "http://localhost:8080/x",
       {{"\x04\x01\x1f\x90\x00\x00\x00\x01u\x00localhost\x00"s, granted4}}},
      {"socks5h: the name as given",
       {"-x", "socks5h://{proxy}"},
       "http://localhost:8080/x",
       {{"\x05\x01\x00"s, "\x05\x00"s}, {"\x05\x01\x00\x03\x09localhost\x1f\x90"s, granted5}}},
      {"socks5: a dotted address as a name too, after the user name and password",
       {"-x", "socks5://u%3A:p%40@{proxy}"},
       "http://127.0.0.1:8080/x",
       {{"\x05\x01\x02"s, "\x05\x02"s},
        {"\x01\x02u:\x02p@"s, "\x01\x00"s},
        {"\x05\x01\x00\x03\x09" "127.0.0.1\x1f\x90"s, granted5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    size_t handshake = 0;
    for (const auto& [expected, answer] : c.exchange) {
      script.Expect(expected).Send(answer);
      handshake += expected.size();
    }
    script.ExpectUntil(kHeadEnd).Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nok\n");
    LoopbackPeer proxy({script});
    std::vector<std::string> args;
    for (const std::string& arg : c.args) {
      args.push_back(Expand(arg, {{"proxy", "127.0.0.1:" + std::to_string(proxy.Port())}}));
    }
    args.push_back(c.url);
    const ProcessResult r = RunBuildProgram("tools/kvornis-get", args);
    EXPECT_TRUE(proxy.WaitDone());
    EXPECT_EQ(proxy.Errors(), std::vector<std::string>{});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "ok\n");
    const std::string head = proxy.Received(0).substr(std::min(handshake, proxy.Received(0).size()));
    EXPECT_EQ(head.rfind("GET /x HTTP/1.1\r\n", 0), 0u) << Printable(head);
    EXPECT_EQ(head.find("Authorization"), std::string::npos) << Printable(head);
  }
}

}  // namespace
}  // namespace kv::test
