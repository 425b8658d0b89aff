// The TLS transport under the connection's time limits: a peer that stops
// in the handshake, after it, or inside a record ends in the same timeout
// error a plain read would raise, never in a wait without end.
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/io_handler_ssl.h"
#include "net/tcp_client.h"
#include "tests/net/stack_listener.h"
#include "tests/net/test_certificates.h"
#include "tests/support/failure_of.h"

namespace kv::test {
namespace {

// How long a stalling peer keeps its connection open at most; a client that
// is not freed by its own limit waits this long and fails the time check.
constexpr int kStallMs = 10000;

enum class Stall {
  InTheHandshake,     // reads the ClientHello, answers nothing
  AfterTheHandshake,  // on TLS 1.3 its session tickets come first
  InARecord,          // a record's header and part of its body
};

// One connection on OpenSSL directly that plays its part up to the stall,
// then says nothing until the client leaves. With `tunnel_first` it first
// answers a line in clear text, as a proxy opening a tunnel would.
class StallingPeer {
 public:
  StallingPeer(const Certificates& certificates, Stall stall, int version, bool tunnel_first) {
    thread_ = std::thread([this, cert_file = certificates.cert_file(), key_file = certificates.key_file(), stall,
                           version, tunnel_first] {
      std::string ip;
      int port = 0;
      const int socket = GStack()->SockAccept(listener_.Handle(), ip, port);
      if (socket < 0) return;
      if (tunnel_first) {
        char c = 0;
        while (c != '\n' && ::recv(socket, &c, 1, 0) == 1) {
        }
        ::send(socket, "go tls\n", 7, MSG_NOSIGNAL);
      }
      SSL_CTX* context = SSL_CTX_new(TLS_server_method());
      SSL_CTX_use_certificate_file(context, cert_file.c_str(), SSL_FILETYPE_PEM);
      SSL_CTX_use_PrivateKey_file(context, key_file.c_str(), SSL_FILETYPE_PEM);
      SSL_CTX_set_min_proto_version(context, version);
      SSL_CTX_set_max_proto_version(context, version);
      SSL* ssl = SSL_new(context);
      SSL_set_fd(ssl, socket);
      if (stall != Stall::InTheHandshake && SSL_accept(ssl) == 1 && stall == Stall::InARecord) {
        // Application data of 64 bytes announced, 10 of them sent.
        static const char kPartialRecord[] = "\x17\x03\x03\x00\x40" "0123456789";
        ::send(socket, kPartialRecord, sizeof kPartialRecord - 1, MSG_NOSIGNAL);
      }
      SwallowUntilTheClientLeaves(socket);
      SSL_free(ssl);
      SSL_CTX_free(context);
      ::close(socket);
    });
  }
  ~StallingPeer() {
    // A client that never connected leaves the accept waiting: wake it.
    ::shutdown(listener_.Handle(), SHUT_RDWR);
    thread_.join();
  }
  int Port() const { return listener_.Port(); }

 private:
  static void SwallowUntilTheClientLeaves(int socket) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStallMs);
    char bytes[4096];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      pollfd entry{socket, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) != 1) return;
      if (::recv(socket, bytes, sizeof bytes, 0) <= 0) return;
    }
  }

  StackListener listener_;
  std::thread thread_;
};

TEST(TlsLimits, AStalledPeerEndsInTheTimeoutOfThePlainTransport) {
  const Certificates certificates("IP:127.0.0.1");
  const std::string read_timeout = "EIdReadTimeout: Read Timeout";
  const struct {
    const char* name;
    Stall stall;
    int version;
    bool tunnel_first;
    int read_limit;
    int connect_limit;  // -1: none
    std::string failure;
  } cases[] = {
      {"in the handshake", Stall::InTheHandshake, TLS1_3_VERSION, false, 500, -1, read_timeout},
      {"in the handshake, a connect limit alone", Stall::InTheHandshake, TLS1_3_VERSION, false, 0, 500,
       "EIdConnectTimeout: Connect timed out."},
      {"in the handshake in a tunnel", Stall::InTheHandshake, TLS1_3_VERSION, true, 500, -1, read_timeout},
      {"after the handshake, TLS 1.2", Stall::AfterTheHandshake, TLS1_2_VERSION, false, 500, -1, read_timeout},
      {"after the handshake, TLS 1.3", Stall::AfterTheHandshake, TLS1_3_VERSION, false, 500, -1, read_timeout},
      {"in a record, TLS 1.2", Stall::InARecord, TLS1_2_VERSION, false, 500, -1, read_timeout},
      {"in a record, TLS 1.3", Stall::InARecord, TLS1_3_VERSION, false, 500, -1, read_timeout},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StallingPeer peer(certificates, c.stall, c.version, c.tunnel_first);
    TIdSSLIOHandlerSocket tls;
    TIdTCPClient tcp;
    tcp.SetIOHandler(&tls);
    tcp.SetHost("127.0.0.1");
    tcp.SetPort(peer.Port());
    tcp.ReadTimeout = c.read_limit;
    tls.SSLOptions().RootCertFile = certificates.ca_file();
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = FailureOf([&] {
      if (c.tunnel_first) {
        tls.SetClearText(true);
        tcp.Connect(c.connect_limit);
        tcp.WriteLine("CONNECT");
        EXPECT_EQ(tcp.ReadLn(), "go tls");
        tls.SetClearText(false);
      } else {
        tcp.Connect(c.connect_limit);
      }
      tcp.WriteLine("hello");
      tcp.ReadLn();
    });
    const auto waited = std::chrono::steady_clock::now() - start;
    tcp.Disconnect();
    EXPECT_EQ(failure, c.failure);
    // Not a measure of speed: only that the limit, not the peer, ended it.
    EXPECT_LT(waited, std::chrono::milliseconds(kStallMs / 2));
  }
}

}  // namespace
}  // namespace kv::test
