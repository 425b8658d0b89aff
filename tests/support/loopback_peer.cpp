#include "tests/support/loopback_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kv::test {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string("loopback peer: ") + what + ": " + std::strerror(errno));
}

// A TCP socket bound to a loopback address (127.0.0.1 unless another is
// given) on a free port; returns the socket and the port.
int BindLoopback(int* port, const char* host = "127.0.0.1") {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (::inet_pton(AF_INET, host, &address.sin_addr) != 1 || (ntohl(address.sin_addr.s_addr) >> 24) != 127) {
    errno = EINVAL;
    Fail("not a loopback address");
  }
  address.sin_port = 0;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) Fail("socket");
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    Fail("bind");
  }
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    Fail("getsockname");
  }
  *port = ntohs(address.sin_port);
  return fd;
}

void MakePipe(int (&fds)[2]) {
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe");
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

const char* ActionName(Script::Action action) {
  switch (action) {
    case Script::Action::Expect: return "Expect";
    case Script::Action::ExpectCount: return "ExpectCount";
    case Script::Action::ExpectUntil: return "ExpectUntil";
    case Script::Action::ExpectClosed: return "ExpectClosed";
    case Script::Action::Send: return "Send";
    case Script::Action::Pause: return "Pause";
    case Script::Action::ShutdownWrite: return "ShutdownWrite";
    case Script::Action::Close: return "Close";
    case Script::Action::Reset: return "Reset";
  }
  return "?";
}

}  // namespace

std::string Printable(std::string_view text, size_t limit) {
  std::string out;
  for (size_t i = 0; i < text.size() && i < limit; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > limit) out += "...(" + std::to_string(text.size()) + " bytes)";
  return out;
}

// ---- Script -----------------------------------------------------------------

Script& Script::Expect(std::string_view bytes) {
  steps_.push_back({Action::Expect, std::string(bytes), bytes.size(), time_limit_});
  return *this;
}

Script& Script::ExpectCount(size_t count) {
  steps_.push_back({Action::ExpectCount, {}, count, time_limit_});
  return *this;
}

Script& Script::ExpectUntil(std::string_view marker) {
  steps_.push_back({Action::ExpectUntil, std::string(marker), 0, time_limit_});
  return *this;
}

Script& Script::ExpectClosed() {
  steps_.push_back({Action::ExpectClosed, {}, 0, time_limit_});
  return *this;
}

Script& Script::Send(std::string_view bytes) {
  steps_.push_back({Action::Send, std::string(bytes), 0, time_limit_});
  return *this;
}

Script& Script::SendInPieces(std::string_view bytes, size_t piece, int pause_milliseconds) {
  if (piece == 0) piece = 1;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    if (at > 0) Pause(pause_milliseconds);
    Send(bytes.substr(at, piece));
  }
  return *this;
}

Script& Script::Pause(int milliseconds) {
  steps_.push_back({Action::Pause, {}, 0, milliseconds});
  return *this;
}

Script& Script::ShutdownWrite() {
  steps_.push_back({Action::ShutdownWrite, {}, 0, 0});
  return *this;
}

Script& Script::Close() {
  steps_.push_back({Action::Close, {}, 0, 0});
  return *this;
}

Script& Script::Reset() {
  steps_.push_back({Action::Reset, {}, 0, 0});
  return *this;
}

Script& Script::TimeLimit(int milliseconds) {
  time_limit_ = milliseconds;
  return *this;
}

// ---- LoopbackPeer -----------------------------------------------------------

LoopbackPeer::LoopbackPeer(std::vector<Script> scripts, const std::string& host) : scripts_(std::move(scripts)) {
  received_.resize(scripts_.size());
  listen_fd_ = BindLoopback(&port_, host.c_str());
  if (::listen(listen_fd_, 16) != 0) {
    CloseFd(listen_fd_);
    Fail("listen");
  }
  MakePipe(wake_pipe_);
  thread_ = std::thread([this] { Run(); });
}

LoopbackPeer::~LoopbackPeer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  char byte = 1;
  [[maybe_unused]] ssize_t ignored = ::write(wake_pipe_[1], &byte, 1);
  if (thread_.joinable()) thread_.join();
  CloseFd(listen_fd_);
  CloseFd(wake_pipe_[0]);
  CloseFd(wake_pipe_[1]);
}

bool LoopbackPeer::Stopped() const {
  std::lock_guard lock(mutex_);
  return stop_;
}

bool LoopbackPeer::WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    if (Stopped()) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd fds[2] = {{fd, events, 0}, {wake_pipe_[0], POLLIN, 0}};
    int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left, 1000)));
    if (ready < 0 && errno != EINTR) return false;
    if (fds[1].revents != 0) return false;
    if (ready > 0 && fds[0].revents != 0) return true;
  }
}

void LoopbackPeer::AddError(std::string text) {
  std::lock_guard lock(mutex_);
  errors_.push_back(std::move(text));
}

void LoopbackPeer::Append(size_t index, const char* data, size_t size) {
  std::lock_guard lock(mutex_);
  received_[index].append(data, size);
}

void LoopbackPeer::Run() {
  for (size_t index = 0; index < scripts_.size(); ++index) {
    // The accept waits for as long as the peer lives; a test that never
    // connects is ended by the destructor.
    int fd = -1;
    while (fd < 0) {
      if (!WaitFor(listen_fd_, POLLIN, Clock::now() + std::chrono::hours(1))) {
        if (Stopped()) return;
        continue;
      }
      fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0 && errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
        AddError(std::string("accept: ") + std::strerror(errno));
        return;
      }
    }
    if (index + 1 == scripts_.size()) CloseFd(listen_fd_);  // further connects are refused
    {
      std::lock_guard lock(mutex_);
      ++accepted_;
    }
    Play(index, fd);
    std::lock_guard lock(mutex_);
    ++finished_;
    done_changed_.notify_all();
  }
}

void LoopbackPeer::Play(size_t index, int fd) {
  std::string pending;  // received but not yet consumed by a receive step
  bool eof = false;
  const auto& steps = scripts_[index].Steps();
  auto where = [&](size_t step) {
    return "connection " + std::to_string(index) + ", step " + std::to_string(step) + " (" +
           ActionName(steps[step].action) + "): ";
  };
  // Receives more bytes into `pending`; false at the end of the stream, on a
  // failure, on stop or when the deadline passes (`why` tells which).
  auto receive_more = [&](Clock::time_point deadline, std::string* why) {
    if (eof) {
      *why = "the client had closed";
      return false;
    }
    if (!WaitFor(fd, POLLIN, deadline)) {
      *why = Stopped() ? "stopped" : "time limit reached";
      return false;
    }
    char chunk[65536];
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n > 0) {
      Append(index, chunk, static_cast<size_t>(n));
      pending.append(chunk, static_cast<size_t>(n));
      return true;
    }
    eof = true;
    *why = n == 0 ? "the client closed" : std::string("recv: ") + std::strerror(errno);
    return false;
  };

  for (size_t step = 0; step < steps.size(); ++step) {
    const Script::Step& s = steps[step];
    auto deadline = Clock::now() + std::chrono::milliseconds(s.milliseconds);
    std::string why;
    switch (s.action) {
      case Script::Action::Expect:
      case Script::Action::ExpectCount: {
        while (pending.size() < s.count && receive_more(deadline, &why)) {
        }
        if (pending.size() < s.count) {
          if (!Stopped()) {
            AddError(where(step) + why + " after " + std::to_string(pending.size()) + " of " +
                     std::to_string(s.count) + " bytes: \"" + Printable(pending) + "\"");
          }
          CloseFd(fd);
          return;
        }
        std::string got = pending.substr(0, s.count);
        pending.erase(0, s.count);
        if (s.action == Script::Action::Expect && got != s.bytes) {
          AddError(where(step) + "expected \"" + Printable(s.bytes) + "\", got \"" + Printable(got) + "\"");
        }
        break;
      }
      case Script::Action::ExpectUntil: {
        size_t at;
        while ((at = pending.find(s.bytes)) == std::string::npos && receive_more(deadline, &why)) {
        }
        if (at == std::string::npos) {
          if (!Stopped()) {
            AddError(where(step) + why + " before \"" + Printable(s.bytes) + "\"; had \"" + Printable(pending) + "\"");
          }
          CloseFd(fd);
          return;
        }
        pending.erase(0, at + s.bytes.size());
        break;
      }
      case Script::Action::ExpectClosed: {
        while (receive_more(deadline, &why)) {
        }
        if (!eof) {
          if (!Stopped()) AddError(where(step) + why);
          CloseFd(fd);
          return;
        }
        pending.clear();
        break;
      }
      case Script::Action::Send: {
        size_t sent = 0;
        while (sent < s.bytes.size()) {
          if (!WaitFor(fd, POLLOUT, deadline)) {
            if (!Stopped()) AddError(where(step) + "could not send within the time limit");
            CloseFd(fd);
            return;
          }
          ssize_t n = ::send(fd, s.bytes.data() + sent, s.bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
          if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
          if (n <= 0) {
            AddError(where(step) + "send: " + std::strerror(errno));
            CloseFd(fd);
            return;
          }
          sent += static_cast<size_t>(n);
        }
        break;
      }
      case Script::Action::Pause:
        WaitFor(wake_pipe_[0], POLLIN, deadline);
        if (Stopped()) {
          CloseFd(fd);
          return;
        }
        break;
      case Script::Action::ShutdownWrite:
        ::shutdown(fd, SHUT_WR);
        break;
      case Script::Action::Close:
        CloseFd(fd);
        return;
      case Script::Action::Reset: {
        linger option{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        CloseFd(fd);
        return;
      }
    }
  }
  CloseFd(fd);
}

bool LoopbackPeer::WaitDone(int milliseconds) {
  std::unique_lock lock(mutex_);
  return done_changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [this] { return finished_ == scripts_.size(); });
}

bool LoopbackPeer::WaitConnectionDone(size_t index, int milliseconds) {
  std::unique_lock lock(mutex_);
  return done_changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [this, index] { return finished_ > index; });
}

std::string LoopbackPeer::Received(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < received_.size() ? received_[index] : std::string();
}

size_t LoopbackPeer::Accepted() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

std::vector<std::string> LoopbackPeer::Errors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

// ---- StalledListener --------------------------------------------------------

StalledListener::StalledListener(int release_after_ms) {
  listen_fd_ = BindLoopback(&port_);
  if (::listen(listen_fd_, 0) != 0) {
    CloseFd(listen_fd_);
    Fail("listen");
  }
  MakePipe(wake_pipe_);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port_));
  // Connect fillers until one no longer completes: from then on the accept
  // queue is full and the kernel drops every further SYN.
  for (int attempt = 0; attempt < 16 && !stalled_; ++attempt) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) Fail("socket");
    fillers_.push_back(fd);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) continue;
    if (errno != EINPROGRESS) Fail("connect");
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 200) == 0) stalled_ = true;
  }
  releaser_ = std::thread([this, release_after_ms] {
    pollfd wake{wake_pipe_[0], POLLIN, 0};
    if (::poll(&wake, 1, release_after_ms) != 0) return;  // destroyed before the release
    // From now on every connection is taken from the queue and kept open.
    std::vector<int> taken;
    for (;;) {
      pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
      if (::poll(fds, 2, 1000) < 0 && errno != EINTR) break;
      if (fds[1].revents != 0) break;
      if (fds[0].revents != 0) {
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) taken.push_back(fd);
      }
    }
    for (int fd : taken) ::close(fd);
  });
}

StalledListener::~StalledListener() {
  char byte = 1;
  [[maybe_unused]] ssize_t ignored = ::write(wake_pipe_[1], &byte, 1);
  if (releaser_.joinable()) releaser_.join();
  for (int& fd : fillers_) CloseFd(fd);
  CloseFd(listen_fd_);
  CloseFd(wake_pipe_[0]);
  CloseFd(wake_pipe_[1]);
}

// ---- RefusingPort -----------------------------------------------------------

RefusingPort::RefusingPort() { fd_ = BindLoopback(&port_); }

RefusingPort::~RefusingPort() { CloseFd(fd_); }

}  // namespace kv::test
