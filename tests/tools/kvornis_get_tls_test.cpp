// kvornis-get over https against real TLS peers: nginx with ssl, openssl
// s_server (one with a certificate for another name, one that speaks
// TLS 1.1 or 1.2 alone, under the system's TLS policy or without one) and a
// peer that closes with or without close_notify.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/nginx_server.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_text.h"
#include "tests/support/tls_peers.h"

namespace kv::test {
namespace {

// Bytes that differ all along, so that a lost, doubled or moved record of
// a body cannot go unnoticed.
std::string PatternBytes(size_t size, unsigned seed) {
  std::mt19937_64 generator(seed);
  std::string bytes(size, '\0');
  for (size_t at = 0; at < size; at += 8) {
    const uint64_t word = generator();
    std::memcpy(bytes.data() + at, &word, std::min<size_t>(8, size - at));
  }
  return bytes;
}

const std::string kAlpha = "alpha\n";
const std::string kBravo = "bravo\n";
// More than one TLS record (16 KiB), so that chunks span records.
const std::string kIncluded = PatternBytes(100 * 1024, 7);
const std::string kSsiBody = "head" + kIncluded + "tail\n";

// The refusal of a handshake: the class, its fixed message, and then
// OpenSSL's reason.
const std::string kConnectRefused = "kvornis-get: EIdOSSLConnectError: Error connecting with SSL.";

struct Case {
  std::string name;
  std::vector<std::string> args;  // "{name}" stands for a value of the suite
  int exit_code;
  std::string out;                             // exactly, unless empty
  std::vector<std::string> out_has;
  std::vector<std::pair<std::string, size_t>> err;  // part -> times on stderr
};

void Check(const Case& c, const std::map<std::string, std::string>& values) {
  SCOPED_TRACE(c.name);
  std::vector<std::string> args;
  for (const std::string& arg : c.args) args.push_back(Expand(arg, values));
  const ProcessResult r = RunBuildProgram("tools/kvornis-get", args);
  EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
  if (!c.out.empty()) {
    EXPECT_TRUE(r.out == c.out) << r.out.size() << " bytes: " << r.out.substr(0, 200);
  }
  for (const std::string& part : c.out_has) EXPECT_NE(r.out.find(part), std::string::npos) << part.substr(0, 60);
  for (const auto& [part, times] : c.err) EXPECT_EQ(CountOf(r.err, Expand(part, values)), times) << part << "\n" << r.err;
}

class KvornisGetTls : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      certs_ = std::make_unique<TestCertificates>();
      nginx_ = std::make_unique<NginxServer>(certs_->ServerCert(), certs_->ServerKey());
      plain_ = std::make_unique<NginxServer>();
    } catch (const std::exception& e) {
      start_failure_ = e.what();
      nginx_.reset();
      return;
    }
    for (NginxServer* server : {nginx_.get(), plain_.get()}) {
      server->AddFile("a.txt", kAlpha);
      server->AddFile("b.txt", kBravo);
    }
    nginx_->AddFile("included.bin", kIncluded);
    nginx_->AddFile("ssi/page.html", "head<!--# include virtual=\"/included.bin\" -->tail\n");
  }
  static void TearDownTestSuite() {
    nginx_.reset();
    plain_.reset();
    certs_.reset();
  }

  void SetUp() override { ASSERT_NE(nginx_, nullptr) << "the TLS peers could not be started: " << start_failure_; }

  static std::map<std::string, std::string> Values() {
    return {{"ca", certs_->Ca()},
            {"tls", nginx_->BaseUrl()},
            {"port", std::to_string(nginx_->Port())},
            {"plain", plain_->BaseUrl()}};
  }

  static std::unique_ptr<TestCertificates> certs_;
  static std::unique_ptr<NginxServer> nginx_;
  static std::unique_ptr<NginxServer> plain_;
  static std::string start_failure_;
};

std::unique_ptr<TestCertificates> KvornisGetTls::certs_;
std::unique_ptr<NginxServer> KvornisGetTls::nginx_;
std::unique_ptr<NginxServer> KvornisGetTls::plain_;
std::string KvornisGetTls::start_failure_;

TEST_F(KvornisGetTls, FetchesFromNginxWhenTheCertificateIsTrusted) {
  const Case cases[] = {
      {"several URLs share one connection and one handshake",
       {"-v", "--cacert", "{ca}", "{tls}/a.txt", "{tls}/b.txt", "{tls}/a.txt"},
       0,
       kAlpha + kBravo + kAlpha,
       {},
       {{"* Connected.\n", 1}, {"* Cipher: name = ", 1}, {"> GET /b.txt HTTP/1.1\n", 1}, {"< HTTP/1.1 200 OK\n", 3}}},
      {"-v shows the handshake's status lines",
       {"-v", "--cacert", "{ca}", "{tls}/a.txt"},
       0,
       kAlpha,
       {},
       {{"* SSL status: \"SSLv3/TLS read server certificate\"\n", 1}, {"* Cipher: name = ", 1}}},
      {"a chunked reply",
       {"-i", "--cacert", "{ca}", "{tls}/ssi/page.html"},
       0,
       "",
       {"HTTP/1.1 200 OK\r\n", "\r\nTransfer-Encoding: chunked\r\n", "\r\n\r\n" + kSsiBody},
       {}},
      {"a redirect from https to http leaves TLS for the plain server",
       {"-v", "-L", "--cacert", "{ca}", "{tls}/redirect?to={plain}/b.txt", "{tls}/a.txt"},
       0,
       kBravo + kAlpha,
       {},
       {{"* Connected.\n", 3}, {"* Cipher: name = ", 2}, {"> GET /b.txt HTTP/1.1\n", 1}}},
      {"the certificate's DNS name is checked as well as its address",
       {"--cacert", "{ca}", "https://localhost:{port}/a.txt"},
       0,
       kAlpha,
       {},
       {}},
      {"without --cacert the test authority is unknown", {"{tls}/a.txt", "{plain}/b.txt"}, 1, kBravo, {},
       {{kConnectRefused, 1}, {"certificate verify failed", 1}}},
      {"-k fetches without any check", {"-k", "{tls}/a.txt"}, 0, kAlpha, {}, {}},
      {"--insecure too, for a name the certificate does not carry", {"--insecure", "https://localhost:{port}/a.txt"},
       0, kAlpha, {}, {}},
      {"an authority file that cannot be read", {"--cacert", "{ca}.missing", "{tls}/a.txt"}, 1, "", {},
       {{"kvornis-get: EIdOSSLLoadingRootCertError: Could not load root certificate.", 1}}},
  };
  for (const Case& c : cases) Check(c, Values());
}

TEST_F(KvornisGetTls, LargeFileArrivesByteForByte) {
  const std::string content = PatternBytes(24 * 1024 * 1024 + 123, 24);
  nginx_->AddFile("large.bin", content);
  TempDir out;
  const ProcessResult r = RunBuildProgram(
      "tools/kvornis-get", {"--cacert", certs_->Ca(), "-o", out.File("large.bin"), "--stats", nginx_->BaseUrl() + "/large.bin"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("status 200, " + std::to_string(content.size()) + " bytes"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadFileBytes(out.File("large.bin")) == content);
  std::filesystem::remove(nginx_->Root() / "large.bin");
}

TEST_F(KvornisGetTls, CertificateForAnotherNameAndTls11AreRefused) {
  struct Server {
    std::string name;
    bool other_certificate;
    std::vector<std::string> options;
    std::vector<Case> cases;
  };
  // s_server's status page names itself.
  const std::string page = "s_server -accept";
  const std::vector<Server> servers = {
      {"a certificate for other.example", true, {},
       {{"checked: refused", {"--cacert", "{ca}", "{url}/"}, 1, "", {}, {{kConnectRefused, 1}}},
        {"-k: fetched", {"-k", "{url}/"}, 0, "", {page}, {}}}},
      // OpenSSL's default security level keeps s_server from offering
      // TLS 1.1 at all; level 0 lets it. The client does not even offer
      // TLS 1.1, so the server answers with a protocol version alert (a
      // client that offered it would fail later, on the old signatures).
      {"TLS 1.1 only", false, {"-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"},
       {{"checked: refused", {"--cacert", "{ca}", "{url}/"}, 1, "", {}, {{kConnectRefused, 1}, {"protocol version", 1}}},
        {"-k: refused all the same", {"-k", "{url}/"}, 1, "", {}, {{kConnectRefused, 1}, {"protocol version", 1}}}}},
      {"the same s_server with TLS 1.2 or newer", false, {},
       {{"fetched", {"-v", "--cacert", "{ca}", "{url}/"}, 0, "", {page}, {{"* Cipher: name = ", 1}}}}},
  };
  for (const Server& s : servers) {
    SCOPED_TRACE(s.name);
    OpenSslServer server(s.other_certificate ? certs_->OtherCert() : certs_->ServerCert(),
                         s.other_certificate ? certs_->OtherKey() : certs_->ServerKey(), s.options);
    std::map<std::string, std::string> values = Values();
    values["url"] = server.BaseUrl();
    for (const Case& c : s.cases) Check(c, values);
  }
}

TEST_F(KvornisGetTls, TheSystemsLowestVersionIsRaisedToTls12NeverLowered) {
  // The system's TLS policy, as a distribution sets it in its OpenSSL
  // configuration.
  const auto policy = [](const std::string& settings) {
    return "openssl_conf = init\n[init]\nssl_conf = ssl\n[ssl]\nsystem_default = defaults\n[defaults]\n" +
           settings;
  };
  const struct {
    std::string name;
    std::string settings;
    std::vector<std::string> server_options;
    int exit_code;
    std::string err_has;
  } cases[] = {
      {"TLS 1.3 asked: a TLS 1.2 server is refused", policy("MinProtocol = TLSv1.3\n"), {"-tls1_2"}, 1,
       "protocol version"},
      {"TLS 1.3 asked: a TLS 1.3 server is fine", policy("MinProtocol = TLSv1.3\n"), {}, 0, ""},
      // A policy that would let TLS 1.1 through (level 0 even lets its old
      // signatures pass) does not lower the floor.
      {"TLS 1.0 allowed: a TLS 1.1 server is still refused",
       policy("MinProtocol = TLSv1\nCipherString = DEFAULT@SECLEVEL=0\n"),
       {"-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"}, 1, "protocol version"},
      {"no policy: a TLS 1.1 server is refused", "", {"-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"}, 1,
       "protocol version"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(dir.File("openssl.cnf"), c.settings);
    OpenSslServer server(certs_->ServerCert(), certs_->ServerKey(), c.server_options);
    const ProcessResult r =
        RunProgram("env", {"OPENSSL_CONF=" + dir.File("openssl.cnf"), BuildDir() + "/tools/kvornis-get", "--cacert",
                           certs_->Ca(), server.BaseUrl() + "/"});
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    if (c.exit_code != 0) {
      EXPECT_EQ(r.err.rfind(kConnectRefused, 0), 0u) << r.err;
    }
    EXPECT_NE(r.err.find(c.err_has), std::string::npos) << r.err;
  }
}

TEST_F(KvornisGetTls, PeerThatClosesWithoutCloseNotifyEndsAnUntilCloseBody) {
  const std::string body = PatternBytes(100 * 1024, 3);
  const std::string until_close = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" + body;
  const std::string cut_short =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size() + 100) + "\r\n\r\n" + body;
  struct PeerCase {
    std::string name;
    std::string reply;
    TlsReplyPeer::Ending ending;
    int exit_code;
    std::string err;  // the start of stderr
  } cases[] = {
      {"until close, with close_notify", until_close, TlsReplyPeer::Ending::CloseNotify, 0, ""},
      {"until close, without close_notify", until_close, TlsReplyPeer::Ending::NoCloseNotify, 0, ""},
      // A close is no end for a body whose length was announced.
      {"by length, cut short, with close_notify", cut_short, TlsReplyPeer::Ending::CloseNotify, 1,
       "kvornis-get: EIdConnClosedGracefully: Connection Closed Gracefully."},
      {"by length, cut short, without close_notify", cut_short, TlsReplyPeer::Ending::NoCloseNotify, 1,
       "kvornis-get: EIdConnClosedGracefully: Connection Closed Gracefully."},
  };
  for (const PeerCase& c : cases) {
    SCOPED_TRACE(c.name);
    TlsReplyPeer peer(certs_->ServerCert(), certs_->ServerKey(), c.reply, c.ending);
    const ProcessResult r = RunBuildProgram("tools/kvornis-get", {"--cacert", certs_->Ca(), peer.BaseUrl() + "/"});
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    EXPECT_TRUE(r.out == body) << r.out.size() << " of " << body.size() << " bytes";
  }
}

}  // namespace
}  // namespace kv::test
