// The TLS transport against the TLS server side of our own: the handshake,
// bytes both ways, the status texts, what a client refuses to trust, and a
// peer that closes without a goodbye.
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/stream.h"
#include "net/io_handler_ssl.h"
#include "net/ssl_context.h"
#include "net/ssl_exceptions.h"
#include "net/tcp_client.h"
#include "tests/net/stack_listener.h"
#include "tests/net/test_certificates.h"
#include "tests/support/failure_of.h"
#include "tests/support/test_constants.h"

namespace kv::test {
namespace {

// Accepts one TLS connection, answers one line with another, then closes
// (with the TLS goodbye, or without it when `abrupt`).
class TlsServer {
 public:
  TlsServer(const Certificates& certificates, std::string reply, bool abrupt = false) {
    handler_.SSLOptions().CertFile = certificates.cert_file();
    handler_.SSLOptions().KeyFile = certificates.key_file();
    thread_ = std::thread([this, reply = std::move(reply), abrupt] {
      try {
        std::unique_ptr<TIdIOHandlerSocket> peer = handler_.Accept(listener_.Handle());
        if (!peer) return;
        std::string line;
        char c = 0;
        while (c != '\n' && peer->ReceiveSome(&c, 1).kind == TIdReceiveResult::Kind::kBytes) line += c;
        received_ = line;
        peer->SendSome(reply.data(), static_cast<int>(reply.size()));
        if (abrupt) ::shutdown(peer->Binding()->Handle(), SHUT_RDWR);
        else peer->CloseTransport();
      } catch (const std::exception& e) {
        failure_ = e.what();
      }
    });
  }
  ~TlsServer() {
    // A client that never connected leaves the accept waiting: wake it.
    ::shutdown(listener_.Handle(), SHUT_RDWR);
    thread_.join();
  }
  int Port() const { return listener_.Port(); }
  const std::string& Received() const { return received_; }
  const std::string& Failure() const { return failure_; }

 private:
  StackListener listener_;
  TIdServerIOHandlerSSL handler_;
  std::thread thread_;
  std::string received_;
  std::string failure_;
};

struct Client {
  explicit Client(int port) {
    tcp.SetIOHandler(&tls);
    tcp.SetHost("127.0.0.1");
    tcp.SetPort(port);
    tcp.ReadTimeout = kGuardTimeout;
    tls.OnStatusInfo = [this](const std::string& message) { status.push_back(message); };
  }
  std::vector<std::string> status;  // outlives the transport, which reports as it closes
  TIdSSLIOHandlerSocket tls;
  TIdTCPClient tcp;
};

TEST(TlsTransport, HandshakeCarriesBytesBothWaysAndReportsItsStatus) {
  const Certificates certificates("IP:127.0.0.1,DNS:localhost");
  TlsServer server(certificates, "pong\n");
  Client client(server.Port());
  client.tls.SSLOptions().RootCertFile = certificates.ca_file();
  client.tcp.Connect();
  client.tcp.WriteLine("ping");
  EXPECT_EQ(client.tcp.ReadLn(), "pong");
  client.tcp.Disconnect();
  ASSERT_FALSE(client.status.empty());
  EXPECT_EQ(client.status.front().rfind("SSL status: \"", 0), 0u) << client.status.front();
  const auto cipher = std::find_if(client.status.begin(), client.status.end(),
                                   [](const std::string& s) { return s.rfind("Cipher: name = ", 0) == 0; });
  ASSERT_NE(cipher, client.status.end());
  EXPECT_NE(cipher->find("; bits = "), std::string::npos) << *cipher;
  EXPECT_NE(cipher->find("; version = TLSv1."), std::string::npos) << *cipher;
  EXPECT_EQ(server.Received(), "ping\r\n");
}

TEST(TlsTransport, ClientRefusesWhatItCannotTrust) {
  const Certificates certificates("IP:127.0.0.1,DNS:localhost");
  struct Case {
    const char* name;
    std::function<void(Client&)> setup;
    std::string failure;  // its start; empty: the connect succeeds
  };
  const std::string refused = "EIdOSSLConnectError: Error connecting with SSL. certificate verify failed";
  const std::vector<Case> cases = {
      {"trusted by its CA", [&](Client& c) { c.tls.SSLOptions().RootCertFile = certificates.ca_file(); }, ""},
      {"not in the system's store", [](Client&) {}, refused},
      {"checks off", [](Client& c) { c.tls.VerifyPeerCertificate = false; }, ""},
      {"another host name",
       [&](Client& c) {
         c.tls.SSLOptions().RootCertFile = certificates.ca_file();
         c.tls.SetPeerHostName("other.example");
       },
       refused},
      {"a name it carries",
       [&](Client& c) {
         c.tls.SSLOptions().RootCertFile = certificates.ca_file();
         c.tls.SetPeerHostName("localhost");
       },
       ""},
      {"refused by the handler",
       [&](Client& c) {
         c.tls.SSLOptions().RootCertFile = certificates.ca_file();
         c.tls.OnVerifyPeer = [](TIdX509& certificate) {
           return certificate.SubjectName().find("CN=Nobody") != std::string::npos;
         };
       },
       refused},
      {"root file missing", [&](Client& c) { c.tls.SSLOptions().RootCertFile = certificates.ca_file() + ".gone"; },
       "EIdOSSLLoadingRootCertError: Could not load root certificate."},
      // Peer verification asked for by the verify mode alone is the same
      // whole check: the system's store (here the test CA, through the
      // library's variable for it) and the host name.
      {"verify mode alone: the system's store",
       [&](Client& c) {
         c.tls.VerifyPeerCertificate = false;
         c.tls.SSLOptions().VerifyMode = sslvrfPeer;
         ::setenv("SSL_CERT_FILE", certificates.ca_file().c_str(), 1);
       },
       ""},
      {"verify mode alone: not in the system's store",
       [](Client& c) {
         c.tls.VerifyPeerCertificate = false;
         c.tls.SSLOptions().VerifyMode = sslvrfPeer;
       },
       refused},
      {"verify mode alone: another host name",
       [&](Client& c) {
         c.tls.VerifyPeerCertificate = false;
         c.tls.SSLOptions().VerifyMode = sslvrfPeer;
         c.tls.SSLOptions().RootCertFile = certificates.ca_file();
         c.tls.SetPeerHostName("other.example");
       },
       refused},
  };
  const char* outer_cert_file = std::getenv("SSL_CERT_FILE");
  const std::optional<std::string> saved_cert_file =
      outer_cert_file != nullptr ? std::optional<std::string>(outer_cert_file) : std::nullopt;
  for (const Case& c : cases) {
    TlsServer server(certificates, "ok\n");
    Client client(server.Port());
    c.setup(client);
    const std::string failure = FailureOf([&] { client.tcp.Connect(); });
    if (saved_cert_file)
      ::setenv("SSL_CERT_FILE", saved_cert_file->c_str(), 1);
    else
      ::unsetenv("SSL_CERT_FILE");
    if (c.failure.empty()) {
      EXPECT_EQ(failure, "no exception") << c.name;
      if (!client.tcp.Connected()) continue;
      client.tcp.WriteLine("hi");
      EXPECT_EQ(client.tcp.ReadLn(), "ok") << c.name;
    } else {
      EXPECT_EQ(failure.substr(0, c.failure.size()), c.failure) << c.name << ": " << failure;
      EXPECT_FALSE(client.tcp.Connected()) << c.name;
    }
  }
}

TEST(TlsTransport, AWildcardStandsForAWholeLabelOnly) {
  // As browsers and curl do, a wildcard within a label ("f*") is refused.
  // The library takes a wildcard only with two labels after it, hence the
  // names one level down.
  const struct {
    const char* names;
    bool accepted;
  } cases[] = {
      {"DNS:*.kvornis.example", true},
      {"DNS:f*.kvornis.example", false},
      {"DNS:*o.kvornis.example", false},
      {"DNS:f*o.kvornis.example", false},
  };
  for (const auto& c : cases) {
    const Certificates certificates(c.names);
    TlsServer server(certificates, "ok\n");
    Client client(server.Port());
    client.tls.SSLOptions().RootCertFile = certificates.ca_file();
    client.tls.SetPeerHostName("foo.kvornis.example");
    const std::string failure = FailureOf([&] { client.tcp.Connect(); });
    if (c.accepted)
      EXPECT_EQ(failure, "no exception") << c.names;
    else
      EXPECT_NE(failure.find("certificate verify failed"), std::string::npos) << c.names << ": " << failure;
  }
}

TEST(TlsTransport, AnEncryptedKeyOpensWithThePasswordTheHandlerGives) {
  const Certificates certificates("IP:127.0.0.1");
  const std::string refused = "EIdOSSLLoadingKeyError: Could not load key, check password.";
  // A password longer than the library's buffer is cut, never overrun.
  for (const auto& [password, failure] : {std::pair{std::string("right"), std::string("no exception")},
                                          std::pair{std::string("wrong"), refused},
                                          std::pair{std::string(5000, 'x'), refused}}) {
    TIdTlsHandlers handlers;
    handlers.OnGetPassword = [&](std::string& given) { given = password; };
    TIdSSLContext context;
    context.Options.CertFile = certificates.cert_file();
    context.Options.KeyFile = certificates.locked_key_file();
    context.Events = &handlers;
    EXPECT_EQ(FailureOf([&] { context.BuildContext(TlsSide::Server); }), failure) << password.size();
  }
}

TEST(TlsTransport, APeerThatClosesWithoutAGoodbyeHasClosed) {
  const Certificates certificates("IP:127.0.0.1");
  TlsServer server(certificates, "all that comes", /*abrupt=*/true);
  Client client(server.Port());
  client.tls.SSLOptions().RootCertFile = certificates.ca_file();
  client.tcp.Connect();
  client.tcp.WriteLine("go");
  MemoryStream body;
  client.tcp.ReadToStream(body, kNoByteCount, ReadUntil::Closed);
  EXPECT_EQ(body.View(), "all that comes");
}

TEST(TlsTransport, ClearTextPassesBytesUnchanged) {
  // A transport in clear text is a plain socket transport.
  StackListener listener;
  std::string received;
  std::thread peer([&] {
    std::string ip;
    int port = 0;
    const TIdStackSocketHandle socket = GStack()->SockAccept(listener.Handle(), ip, port);
    char buffer[16] = {};
    const int n = GStack()->SockRecv(socket, buffer, sizeof buffer, 0);
    received.assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    GStack()->SockSend(socket, "plain\n", 6, 0);
    GStack()->SockClose(socket);
  });
  Client client(listener.Port());
  client.tls.SetClearText(true);
  client.tcp.Connect();
  client.tcp.WriteLine("hello");
  EXPECT_EQ(client.tcp.ReadLn(), "plain");
  peer.join();
  EXPECT_EQ(received, "hello\r\n");
}

// Plain first, as through a proxy's tunnel, then TLS on the same socket.
// With options that need loading the context is built at connect; without,
// only when TLS starts.
void SwitchClearTextOffOnALiveConnection(bool with_root_file) {
  SCOPED_TRACE(with_root_file ? "root file" : "no options");
  const Certificates certificates("IP:127.0.0.1");
  StackListener listener;
  std::string after_tls;
  std::thread peer([&] {
    std::string ip;
    int port = 0;
    const int socket = GStack()->SockAccept(listener.Handle(), ip, port);
    char c = 0;
    while (c != '\n' && ::recv(socket, &c, 1, 0) == 1) {
    }
    ::send(socket, "go tls\n", 7, MSG_NOSIGNAL);
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate_file(context, certificates.cert_file().c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_use_PrivateKey_file(context, certificates.key_file().c_str(), SSL_FILETYPE_PEM);
    SSL* ssl = SSL_new(context);
    SSL_set_fd(ssl, socket);
    if (SSL_accept(ssl) == 1) {
      char buffer[32] = {};
      const int n = SSL_read(ssl, buffer, sizeof buffer);
      after_tls.assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
      SSL_write(ssl, "secret\n", 7);
      SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    SSL_CTX_free(context);
    ::close(socket);
  });
  Client client(listener.Port());
  if (with_root_file)
    client.tls.SSLOptions().RootCertFile = certificates.ca_file();
  else
    client.tls.VerifyPeerCertificate = false;
  client.tls.SetClearText(true);
  client.tcp.Connect();
  client.tcp.WriteLine("CONNECT");
  EXPECT_EQ(client.tcp.ReadLn(), "go tls");
  client.tls.SetClearText(false);
  client.tcp.WriteLine("inside");
  EXPECT_EQ(client.tcp.ReadLn(), "secret");
  client.tcp.Disconnect();
  peer.join();
  EXPECT_EQ(after_tls, "inside\r\n");
}

TEST(TlsTransport, SwitchingClearTextOffOnALiveConnectionStartsTls) {
  for (bool with_root_file : {true, false}) SwitchClearTextOffOnALiveConnection(with_root_file);
}

}  // namespace
}  // namespace kv::test
