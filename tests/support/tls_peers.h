#pragma once
// TLS peers for tests, each on a free loopback port and gone with its object:
//
//   TestCertificates certs;                            // scripts/make-certs in a temp folder
//   OpenSslServer server(certs.ServerCert(), certs.ServerKey());   // openssl s_server -www
//   kvornis-get --cacert certs.Ca() server.BaseUrl() + "/"
//
//   TlsReplyPeer peer(certs.ServerCert(), certs.ServerKey(), "HTTP/1.0 200 OK\r\n\r\nbody",
//                     TlsReplyPeer::Ending::NoCloseNotify);
//
// Each raises std::runtime_error, naming what is missing, when its peer
// cannot start (scripts/install-deps installs openssl).

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

struct ssl_ctx_st;

namespace kv::test {

// A throw-away authority and two server certificates signed by it: one for
// 127.0.0.1 and localhost, one for other.example only.
class TestCertificates {
 public:
  TestCertificates();

  std::string Ca() const { return dir_.File("ca.pem"); }
  std::string ServerCert() const { return dir_.File("server.pem"); }
  std::string ServerKey() const { return dir_.File("server.key"); }
  std::string OtherCert() const { return dir_.File("other.pem"); }
  std::string OtherKey() const { return dir_.File("other.key"); }

 private:
  TempDir dir_;
};

// `openssl s_server -www` on 127.0.0.1: answers each "GET /" with a status
// page over HTTP/1.0, then closes. `options` go to s_server as well (e.g.
// "-tls1_1" to speak TLS 1.1 alone).
class OpenSslServer {
 public:
  OpenSslServer(const std::string& cert_file, const std::string& key_file,
                const std::vector<std::string>& options = {});
  ~OpenSslServer();
  OpenSslServer(const OpenSslServer&) = delete;
  OpenSslServer& operator=(const OpenSslServer&) = delete;

  int Port() const { return port_; }
  // "https://127.0.0.1:PORT"
  std::string BaseUrl() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// One TLS connection on a thread, on OpenSSL directly: completes the
// handshake, reads a request head, sends `reply` and closes, with or without
// the close_notify alert before the TCP close.
//
// With `proxy_answers` it first plays an HTTP proxy on that connection: it
// reads a head in clear text and sends the next answer, once per answer;
// the last one (a 2xx) opens the tunnel in which the handshake follows.
// Every head it read is kept, so a test can tell what went to the proxy and
// what went through the tunnel.
class TlsReplyPeer {
 public:
  enum class Ending { CloseNotify, NoCloseNotify };

  TlsReplyPeer(const std::string& cert_file, const std::string& key_file, std::string reply, Ending ending,
               std::vector<std::string> proxy_answers = {});
  ~TlsReplyPeer();
  TlsReplyPeer(const TlsReplyPeer&) = delete;
  TlsReplyPeer& operator=(const TlsReplyPeer&) = delete;

  int Port() const { return port_; }
  std::string BaseUrl() const;
  // Waits for the connection to be over; what went wrong on the peer's
  // side, empty when it played its part.
  std::string Finish();
  // After Finish(): the heads read in clear text (to the proxy), and the
  // head read over TLS.
  const std::vector<std::string>& PlainHeads() const { return plain_heads_; }
  const std::string& TlsHead() const { return tls_head_; }

 private:
  void Serve();
  void Fail(const std::string& what);

  std::string reply_;
  Ending ending_;
  std::vector<std::string> proxy_answers_;
  std::vector<std::string> plain_heads_;
  std::string tls_head_;
  ssl_ctx_st* context_ = nullptr;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string error_;
  std::thread thread_;
};

}  // namespace kv::test
