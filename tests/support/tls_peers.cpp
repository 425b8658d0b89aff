#include "tests/support/tls_peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "tests/support/run_process.h"
#include "tests/support/server_process.h"

namespace kv::test {
namespace {

// Generous: a sanitizer build of the client starts slowly on a busy machine.
constexpr auto kStartLimit = std::chrono::seconds(15);
constexpr auto kConnectionLimit = std::chrono::seconds(20);
constexpr int kSocketLimitSeconds = 10;

// The full path of `program` found in PATH.
std::string FindInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  for (size_t from = 0; from <= folders.size();) {
    size_t end = folders.find(':', from);
    if (end == std::string::npos) end = folders.size();
    const std::filesystem::path candidate = std::filesystem::path(folders.substr(from, end - from)) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    from = end + 1;
  }
  throw std::runtime_error(program + " not found in PATH (scripts/install-deps installs it)");
}

// OpenSSL's queued reasons, oldest first, emptying the queue.
std::string OpenSslReasons() {
  std::string text;
  while (const unsigned long code = ERR_get_error()) {
    char line[256];
    ERR_error_string_n(code, line, sizeof line);
    if (!text.empty()) text += "; ";
    text += line;
  }
  return text.empty() ? "no reason given" : text;
}

// The parts of TlsReplyPeer's connection that must go whatever happens.
struct Connection {
  int fd = -1;
  SSL* ssl = nullptr;
  ~Connection() {
    if (ssl) SSL_free(ssl);  // frees without sending anything
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

// ---- TestCertificates ---------------------------------------------------------

TestCertificates::TestCertificates() {
  const std::string script = SourceDir() + "/scripts/make-certs";
  const ProcessResult result = RunProgram(script, {dir_.Path().string()});
  if (result.exit_code != 0) {
    throw std::runtime_error(script + " failed (exit " + std::to_string(result.exit_code) + "): " + result.err);
  }
}

// ---- OpenSslServer ------------------------------------------------------------

OpenSslServer::OpenSslServer(const std::string& cert_file, const std::string& key_file,
                             const std::vector<std::string>& options) {
  std::vector<std::string> argv = {FindInPath("openssl"), "s_server", "-accept", "127.0.0.1:0", "-cert", cert_file,
                                   "-key", key_file, "-www"};
  argv.insert(argv.end(), options.begin(), options.end());
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  try {
    // Its complaints about clients that break off handshakes go nowhere:
    // refusing a handshake is what several tests make the client do.
    pid_ = StartServerProcess(argv, {.stdout_fd = out[1], .stderr_path = "/dev/null"});
  } catch (...) {
    ::close(out[0]);
    ::close(out[1]);
    throw;
  }
  ::close(out[1]);
  constexpr std::string_view kReady = "ACCEPT 127.0.0.1:";
  std::string seen;
  const std::string line = WaitForLine(out[0], kReady, kStartLimit, seen);
  ::close(out[0]);
  if (line.empty()) {
    const int status = StopServerProcess(pid_, false);
    pid_ = -1;
    std::string command;
    for (const std::string& arg : argv) command += arg + " ";
    throw std::runtime_error("openssl s_server did not start (" + command + "): exit " + std::to_string(status) +
                             ", output \"" + seen + "\"");
  }
  port_ = std::atoi(line.c_str() + kReady.size());
}

OpenSslServer::~OpenSslServer() {
  if (pid_ > 0) StopServerProcess(pid_, false);
}

std::string OpenSslServer::BaseUrl() const { return "https://127.0.0.1:" + std::to_string(port_); }

// ---- TlsReplyPeer -------------------------------------------------------------

TlsReplyPeer::TlsReplyPeer(const std::string& cert_file, const std::string& key_file, std::string reply,
                           Ending ending, std::vector<std::string> proxy_answers)
    : reply_(std::move(reply)), ending_(ending), proxy_answers_(std::move(proxy_answers)) {
  context_ = SSL_CTX_new(TLS_server_method());
  if (!context_ || SSL_CTX_use_certificate_chain_file(context_, cert_file.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(context_, key_file.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(context_) != 1) {
    const std::string reasons = OpenSslReasons();
    if (context_) SSL_CTX_free(context_);
    throw std::runtime_error("TLS peer: cannot use " + cert_file + " and " + key_file + ": " + reasons);
  }
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_fd_, 1) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listen_fd_ >= 0) ::close(listen_fd_);
    SSL_CTX_free(context_);
    throw std::runtime_error("TLS peer: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

TlsReplyPeer::~TlsReplyPeer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(listen_fd_);
  SSL_CTX_free(context_);
}

std::string TlsReplyPeer::BaseUrl() const { return "https://127.0.0.1:" + std::to_string(port_); }

std::string TlsReplyPeer::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return error_;
}

void TlsReplyPeer::Fail(const std::string& what) {
  std::lock_guard lock(mutex_);
  error_ = what;
}

void TlsReplyPeer::Serve() {
  // A client that leaves early makes a write fail with EPIPE instead of
  // ending the test process.
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);

  Connection connection;
  const auto deadline = std::chrono::steady_clock::now() + kConnectionLimit;
  while (connection.fd < 0) {
    if (stop_) return;
    if (std::chrono::steady_clock::now() > deadline) return Fail("no client connected");
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 50) == 1) connection.fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }
  const timeval limit{kSocketLimitSeconds, 0};
  ::setsockopt(connection.fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(connection.fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);

  for (const std::string& answer : proxy_answers_) {
    // Byte by byte, so that nothing of the handshake after the head is
    // taken for it.
    std::string head;
    while (!head.ends_with("\r\n\r\n")) {
      char byte;
      if (::recv(connection.fd, &byte, 1, 0) != 1) return Fail("proxy request head cut short: \"" + head + "\"");
      head += byte;
    }
    plain_heads_.push_back(head);
    if (::send(connection.fd, answer.data(), answer.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(answer.size())) {
      return Fail("proxy answer not sent");
    }
  }

  connection.ssl = SSL_new(context_);
  if (!connection.ssl || SSL_set_fd(connection.ssl, connection.fd) != 1) return Fail("SSL_new: " + OpenSslReasons());
  if (SSL_accept(connection.ssl) != 1) return Fail("handshake: " + OpenSslReasons());
  std::string request;
  while (request.find("\r\n\r\n") == std::string::npos) {
    char chunk[4096];
    const int n = SSL_read(connection.ssl, chunk, sizeof chunk);
    if (n <= 0) return Fail("request head cut short: \"" + request + "\": " + OpenSslReasons());
    request.append(chunk, static_cast<size_t>(n));
  }
  tls_head_ = request;
  if (!reply_.empty() && SSL_write(connection.ssl, reply_.data(), static_cast<int>(reply_.size())) <= 0) {
    return Fail("reply: " + OpenSslReasons());
  }
  if (ending_ == Ending::CloseNotify && SSL_shutdown(connection.ssl) < 0) {
    return Fail("close_notify: " + OpenSslReasons());
  }
  // The TCP close comes with the connection's end; without close_notify
  // the client sees the stream end with no alert before it.
}

}  // namespace kv::test
