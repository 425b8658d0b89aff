#pragma once
// Helpers shared by the connection tests: connecting a client to a loopback
// peer, recording status, disconnect and work events, naming a failure.

#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/exception.h"
#include "base/stream.h"
#include "net/tcp_client.h"
#include "tests/support/failure_of.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/unresolvable_host.h"

namespace kv::test {

inline void ConnectTo(TIdTCPClient& client, const LoopbackPeer& peer, int timeout = -1) {
  client.SetHost("127.0.0.1");
  client.SetPort(peer.Port());
  client.Connect(timeout);
}

inline const char* StatusName(TIdStatus status) {
  switch (status) {
    case hsResolving: return "hsResolving";
    case hsConnecting: return "hsConnecting";
    case hsConnected: return "hsConnected";
    case hsDisconnecting: return "hsDisconnecting";
    case hsDisconnected: return "hsDisconnected";
    default: return "other";
  }
}

// Everything a connection reports, as lines such as
// "hsConnected Connected.", "OnDisconnected", "begin read 10",
// "work read 4", "end read".
struct EventLog {
  std::vector<std::string> lines;

  void Attach(TIdTCPClient& client) {
    client.OnStatus = [this](Component*, TIdStatus status, const std::string& text) {
      lines.push_back(std::string(StatusName(status)) + " " + text);
    };
    client.OnConnected = [this](Component*) { lines.push_back("OnConnected"); };
    client.OnDisconnected = [this](Component*) { lines.push_back("OnDisconnected"); };
  }
  void AttachWork(TIdComponent& component) {
    component.OnWorkBegin = [this](Component*, TWorkMode mode, int64_t max) {
      lines.push_back(std::string("begin ") + ModeName(mode) + " " + std::to_string(max));
    };
    component.OnWork = [this](Component*, TWorkMode mode, int64_t count) {
      lines.push_back(std::string("work ") + ModeName(mode) + " " + std::to_string(count));
    };
    component.OnWorkEnd = [this](Component*, TWorkMode mode) {
      lines.push_back(std::string("end ") + ModeName(mode));
    };
  }
  int Count(const std::string& line) const {
    int n = 0;
    for (const auto& l : lines) n += l == line ? 1 : 0;
    return n;
  }
  // The lines that start with `prefix`.
  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& l : lines) {
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
  }
  static const char* ModeName(TWorkMode mode) { return mode == wmRead ? "read" : "write"; }
};

// Bytes 0, 1, ... 250, 0, 1, ... so that a lost or doubled piece shows.
inline std::string Pattern(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>(i % 251);
  return out;
}

// Compares two byte strings and names only the first difference, so a
// failure on a large body stays readable.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  if (at == actual.size() && at == expected.size()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected; first difference at offset " << at << ": \""
                                       << Printable(actual.substr(at), 16) << "\" instead of \""
                                       << Printable(expected.substr(at), 16) << "\"";
}

inline std::string StreamText(MemoryStream& stream) { return std::string(stream.View()); }

// A memory stream that remembers the largest size it was ever asked to take
// on, through SetSize or Reserve, so a test can see what was pre-allocated.
class SizeRecordingStream : public MemoryStream {
 public:
  void SetSize(int64_t size) override {
    largest_request_ = std::max(largest_request_, size);
    MemoryStream::SetSize(size);
  }
  void Reserve(int64_t total_size) override {
    largest_request_ = std::max(largest_request_, total_size);
    MemoryStream::Reserve(total_size);
  }
  int64_t LargestRequest() const { return largest_request_; }

 private:
  int64_t largest_request_ = 0;
};

// A loopback socket held bound to `port` (0: a free one) without listening.
class HeldPort {
 public:
  explicit HeldPort(int port = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      socklen_t length = sizeof address;
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
      port_ = ntohs(address.sin_port);
    }
  }
  ~HeldPort() { Release(); }
  HeldPort(const HeldPort&) = delete;
  HeldPort& operator=(const HeldPort&) = delete;
  bool Held() const { return port_ != 0; }
  int Port() const { return port_; }
  void Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace kv::test
