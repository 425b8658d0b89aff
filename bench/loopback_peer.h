#pragma once
// A peer for the benchmarks that talk over loopback: it listens on
// 127.0.0.1 at a port the system picks, and on a thread of its own accepts
// one connection, serves it and closes it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

namespace kv::bench {

class LoopbackPeer {
 public:
  // `who` names the peer in the error when it cannot listen; `serve` gets
  // the accepted connection's socket.
  LoopbackPeer(const char* who, std::function<void(int fd)> serve) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listen_fd_, 1) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ::close(listen_fd_);
      throw std::runtime_error(std::string(who) + ": cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, serve = std::move(serve)] {
      const int fd = ::accept(listen_fd_, nullptr, nullptr);
      if (fd < 0) return;
      serve(fd);
      ::close(fd);
    });
  }
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;
  // Waits for the connection to be served.
  ~LoopbackPeer() {
    thread_.join();
    ::close(listen_fd_);
  }

  int Port() const { return port_; }

 private:
  std::thread thread_;
  int listen_fd_ = -1;
  int port_ = 0;
};

}  // namespace kv::bench
