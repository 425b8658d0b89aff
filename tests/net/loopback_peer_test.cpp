// The scripted loopback peer itself, driven by plain sockets.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/loopback_peer.h"

namespace kv::test {
namespace {

using Clock = std::chrono::steady_clock;

class PlainClient {
 public:
  explicit PlainClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    connect_result_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    connect_errno_ = connect_result_ == 0 ? 0 : errno;
  }
  ~PlainClient() { Close(); }
  PlainClient(const PlainClient&) = delete;
  PlainClient& operator=(const PlainClient&) = delete;

  bool Connected() const { return connect_result_ == 0; }
  int ConnectErrno() const { return connect_errno_; }
  void Send(const std::string& bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }
  void ShutdownWrite() { ::shutdown(fd_, SHUT_WR); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Reads until the end of the stream, a failure or 3 s; counts the receives.
  std::string ReadToEnd(int* receives = nullptr, int* error = nullptr) {
    std::string out;
    auto deadline = Clock::now() + std::chrono::seconds(3);
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      char chunk[4096];
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n < 0 && error) *error = errno;
      if (n <= 0) break;
      out.append(chunk, static_cast<size_t>(n));
      if (receives) ++*receives;
    }
    return out;
  }

 private:
  int fd_ = -1;
  int connect_result_ = -1;
  int connect_errno_ = 0;
};

TEST(LoopbackPeerTest, PlaysExpectSendCloseAndRecordsTheBytes) {
  LoopbackPeer peer({Script().Expect("PING\r\n").Send("PONG\r\n").Close()});
  PlainClient client(peer.Port());
  ASSERT_TRUE(client.Connected());
  client.Send("PING\r\n");
  EXPECT_EQ(client.ReadToEnd(), "PONG\r\n");
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Received(0), "PING\r\n");
  EXPECT_EQ(peer.Accepted(), 1u);
  EXPECT_TRUE(peer.Errors().empty());
}

TEST(LoopbackPeerTest, RecordsBytesThatDifferFromTheExpectedOnes) {
  LoopbackPeer peer({Script().Expect("PING\r\n").Send("x")});
  PlainClient client(peer.Port());
  client.Send("PANG\r\n");
  EXPECT_EQ(client.ReadToEnd(), "x");
  ASSERT_TRUE(peer.WaitDone());
  ASSERT_EQ(peer.Errors().size(), 1u);
  EXPECT_NE(peer.Errors()[0].find("expected \"PING\\r\\n\", got \"PANG\\r\\n\""), std::string::npos) << peer.Errors()[0];
}

TEST(LoopbackPeerTest, ExpectUntilStopsAtTheMarkerAndLeavesTheRestForTheNextStep) {
  LoopbackPeer peer({Script().ExpectUntil("\r\n\r\n").Expect("BODY").Send("ok")});
  PlainClient client(peer.Port());
  client.Send("GET / HTTP/1.1\r\n\r");
  ::usleep(20000);
  client.Send("\nBODY");
  EXPECT_EQ(client.ReadToEnd(), "ok");
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Received(0), "GET / HTTP/1.1\r\n\r\nBODY");
  EXPECT_TRUE(peer.Errors().empty()) << peer.Errors()[0];
}

TEST(LoopbackPeerTest, GivesUpAReceiveStepAtItsTimeLimit) {
  LoopbackPeer peer({Script().TimeLimit(100).ExpectCount(10).Send("never")});
  PlainClient client(peer.Port());
  client.Send("abc");
  auto start = Clock::now();
  EXPECT_EQ(client.ReadToEnd(), "");  // closed without sending
  ASSERT_TRUE(peer.WaitDone(2000));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  ASSERT_EQ(peer.Errors().size(), 1u);
  EXPECT_NE(peer.Errors()[0].find("time limit"), std::string::npos) << peer.Errors()[0];
}

TEST(LoopbackPeerTest, PlaysOneScriptPerConnectionThenRefuses) {
  LoopbackPeer peer({Script().Send("first"), Script().Expect("2").Send("second")});
  {
    PlainClient one(peer.Port());
    EXPECT_EQ(one.ReadToEnd(), "first");
  }
  {
    PlainClient two(peer.Port());
    two.Send("2");
    EXPECT_EQ(two.ReadToEnd(), "second");
  }
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Accepted(), 2u);
  EXPECT_EQ(peer.Received(0), "");
  EXPECT_EQ(peer.Received(1), "2");
  PlainClient three(peer.Port());
  EXPECT_FALSE(three.Connected());
  EXPECT_EQ(three.ConnectErrno(), ECONNREFUSED);
}

TEST(LoopbackPeerTest, ResetGivesTheClientAConnectionReset) {
  LoopbackPeer peer({Script().Expect("a").Reset()});
  PlainClient client(peer.Port());
  client.Send("a");
  ASSERT_TRUE(peer.WaitDone());
  int error = 0;
  client.ReadToEnd(nullptr, &error);
  EXPECT_EQ(error, ECONNRESET);
}

TEST(LoopbackPeerTest, ShutdownWriteEndsTheClientsStreamButKeepsReceiving) {
  LoopbackPeer peer({Script().Send("bye").ShutdownWrite().ExpectClosed()});
  PlainClient client(peer.Port());
  EXPECT_EQ(client.ReadToEnd(), "bye");
  client.Send("late words");
  client.ShutdownWrite();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Received(0), "late words");
  EXPECT_TRUE(peer.Errors().empty());
}

TEST(LoopbackPeerTest, SendsInPiecesWithPausesBetweenThem) {
  LoopbackPeer peer({Script().SendInPieces("0123456789", 4, 30)});
  PlainClient client(peer.Port());
  int receives = 0;
  EXPECT_EQ(client.ReadToEnd(&receives), "0123456789");
  EXPECT_GE(receives, 2);  // 30 ms apart, the three pieces cannot all arrive in one receive
}

TEST(LoopbackPeerTest, DestructionStopsAPeerThatWaits) {
  auto start = Clock::now();
  {
    LoopbackPeer waiting_for_accept({Script().Send("x")});
    LoopbackPeer waiting_for_bytes({Script().ExpectCount(1)});
    PlainClient client(waiting_for_bytes.Port());
    ::usleep(20000);
  }
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST(StalledListenerTest, AConnectToItDoesNotComplete) {
  StalledListener listener;
  ASSERT_TRUE(listener.Stalled());
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(listener.Port()));
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), -1);
  EXPECT_EQ(errno, EINPROGRESS);
  pollfd p{fd, POLLOUT, 0};
  EXPECT_EQ(::poll(&p, 1, 300), 0);
  ::close(fd);
}

TEST(RefusingPortTest, AConnectToItIsRefused) {
  RefusingPort port;
  PlainClient client(port.Port());
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.ConnectErrno(), ECONNREFUSED);
}

}  // namespace
}  // namespace kv::test
