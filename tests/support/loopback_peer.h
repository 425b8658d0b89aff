#pragma once
// A scripted peer on 127.0.0.1 (or another loopback address, such as
// 127.0.0.2 for a second origin) for tests that need a real socket.
//
// The peer listens on a free loopback port and accepts connections one after
// another; connection i plays scripts[i] from its first step to its last, then
// the next connection is accepted. When every script has been played the
// listening socket is closed, so a further connect is refused. Every byte the
// peer receives is recorded per connection.
//
//   LoopbackPeer peer({Script().Expect("PING\r\n").Send("PONG\r\n").Close()});
//   client.Port = peer.Port();  ...
//   EXPECT_TRUE(peer.WaitDone());
//   EXPECT_EQ(peer.Received(0), "PING\r\n");
//   EXPECT_EQ(peer.Errors(), std::vector<std::string>{});
//
// No wait of the peer is unbounded: each receive step gives up after the
// script's time limit (an error is then recorded and the connection closed),
// and destroying the peer stops its thread at once.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/test_constants.h"

namespace kv::test {

class Script {
 public:
  enum class Action { Expect, ExpectCount, ExpectUntil, ExpectClosed, Send, Pause, ShutdownWrite, Close, Reset };
  struct Step {
    Action action;
    std::string bytes;    // Expect, ExpectUntil (marker), Send
    size_t count = 0;     // ExpectCount
    int milliseconds = 0; // Pause; the time limit of a receive step
  };

  // Receives exactly bytes.size() bytes; a difference is recorded as an error.
  Script& Expect(std::string_view bytes);
  // Receives exactly `count` bytes, whatever they are.
  Script& ExpectCount(size_t count);
  // Receives up to and including the first `marker`, e.g. "\r\n\r\n".
  Script& ExpectUntil(std::string_view marker);
  // Receives everything until the client closes its side (or resets).
  Script& ExpectClosed();
  Script& Send(std::string_view bytes);
  // Sends `bytes` in pieces of `piece` bytes with a pause after each but the last.
  Script& SendInPieces(std::string_view bytes, size_t piece, int pause_milliseconds);
  Script& Pause(int milliseconds);
  // Half close: the client sees the end of the stream, the peer can still receive.
  Script& ShutdownWrite();
  // Orderly close. A script that ends without Close or Reset closes as well.
  Script& Close();
  // Abortive close: SO_LINGER 0, then close, so the client gets a reset.
  Script& Reset();
  // Time limit of the receive steps added after this call (default 5000 ms).
  Script& TimeLimit(int milliseconds);

  const std::vector<Step>& Steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
  int time_limit_ = 5000;
};

class LoopbackPeer {
 public:
  explicit LoopbackPeer(std::vector<Script> scripts, const std::string& host = "127.0.0.1");
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  int Port() const { return port_; }

  // Waits until every script has been played; false when the time ran out.
  bool WaitDone(int milliseconds = 5000);
  // Waits until connection `index` has played its script.
  bool WaitConnectionDone(size_t index, int milliseconds = 5000);
  // Bytes received on connection `index` so far (empty for one not yet accepted).
  std::string Received(size_t index) const;
  size_t Accepted() const;
  // What went wrong on the peer's side: unexpected bytes, timeouts, failed sends.
  std::vector<std::string> Errors() const;

 private:
  void Run();
  void Play(size_t index, int fd);
  // Waits until `fd` is ready for `events` or the stop pipe fires; false on
  // stop or when `deadline` passes.
  bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline);
  bool Stopped() const;
  void AddError(std::string text);
  void Append(size_t index, const char* data, size_t size);

  std::vector<Script> scripts_;
  int listen_fd_ = -1;
  int wake_pipe_[2] = {-1, -1};
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable done_changed_;
  std::vector<std::string> received_;
  std::vector<std::string> errors_;
  size_t accepted_ = 0;
  size_t finished_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

// A listener on 127.0.0.1 with a backlog of 0 whose accept queue has been
// filled and is never served, so the kernel drops further SYNs and a connect
// to Port() hangs. After `release_after_ms` the listener starts accepting, so
// a client that cannot break its own connect is freed a retransmit later
// instead of after the kernel's full SYN retry time. From then on every
// connection is accepted and kept open without a byte sent, so with
// `release_after_ms` 0 this is a server (or a proxy) that takes the
// connect and never answers.
class StalledListener {
 public:
  explicit StalledListener(int release_after_ms = 3000);
  ~StalledListener();
  StalledListener(const StalledListener&) = delete;
  StalledListener& operator=(const StalledListener&) = delete;

  int Port() const { return port_; }
  // True when a probe connect made after the filling did not complete.
  bool Stalled() const { return stalled_; }

 private:
  int listen_fd_ = -1;
  int port_ = 0;
  bool stalled_ = false;
  std::vector<int> fillers_;
  int wake_pipe_[2] = {-1, -1};
  std::thread releaser_;
};

// A loopback port on which nothing listens for as long as this object lives
// (a bound socket that never listens), so a connect to it is refused.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// Makes `text` readable in a failure message: control bytes as \r, \n, \xNN.
std::string Printable(std::string_view text, size_t limit = 200);

}  // namespace kv::test
