// Opening and closing connections on loopback: status reports, failures
// with their codes, local binding and port ranges, connects with a time
// limit, reconnecting.

#include <netinet/tcp.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/exceptions.h"
#include "net/io_handler_socket.h"
#include "net/socks.h"
#include "tests/net/stack_listener.h"
#include "tests/net/connection_test_helpers.h"

namespace kv::test {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The client's transport when it is a socket transport (the one a connect
// makes when none is set), else null.
TIdIOHandlerSocket* SocketTransportOf(const TIdTCPClient& client) {
  return dynamic_cast<TIdIOHandlerSocket*>(client.IOHandler());
}

// Three consecutive free loopback ports, held until released.
struct PortRange {
  int low = 0;
  std::vector<std::unique_ptr<HeldPort>> held;

  PortRange() {
    for (int base = 41000 + (::getpid() % 500) * 20; base < 64000 && held.empty(); base += 7) {
      for (int port = base; port < base + 3; ++port) {
        auto p = std::make_unique<HeldPort>(port);
        if (!p->Held()) break;
        held.push_back(std::move(p));
      }
      if (held.size() == 3) {
        low = base;
      } else {
        held.clear();
      }
    }
  }
  int High() const { return low + 2; }
  void Release(int port) { held[static_cast<size_t>(port - low)]->Release(); }
};

TEST(ConnectTest, ReportsEachStepAndDisconnectReportsTheClose) {
  struct Case {
    std::string host;
    std::vector<std::string> reports;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", {"hsConnecting Connecting to 127.0.0.1.", "hsConnected Connected.", "OnConnected"}},
      {"localhost",
       {"hsResolving Resolving hostname localhost.", "hsConnecting Connecting to 127.0.0.1.", "hsConnected Connected.",
        "OnConnected"}},
      {"LocalHost",
       {"hsResolving Resolving hostname LocalHost.", "hsConnecting Connecting to 127.0.0.1.",
        "hsConnected Connected.", "OnConnected"}},
      {"LOCALHOST",
       {"hsResolving Resolving hostname LOCALHOST.", "hsConnecting Connecting to 127.0.0.1.",
        "hsConnected Connected.", "OnConnected"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    LoopbackPeer peer({Script().Expect("hi\r\n").ExpectClosed()});
    TIdTCPClient client;
    EventLog log;
    log.Attach(client);
    client.SetHost(c.host);
    client.SetPort(peer.Port());
    client.Connect();
    EXPECT_EQ(log.lines, c.reports);
    EXPECT_TRUE(client.Connected());
    ASSERT_NE(SocketTransportOf(client), nullptr);
    EXPECT_EQ(SocketTransportOf(client)->Binding()->RemoteIP, "127.0.0.1");
    EXPECT_EQ(SocketTransportOf(client)->Binding()->RemotePort, peer.Port());
    client.WriteLine("hi");
    log.lines.clear();
    client.Disconnect();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"hsDisconnecting Disconnecting.", "OnDisconnected",
                                                   "hsDisconnected Disconnected."}));
    EXPECT_FALSE(client.Connected());
    ASSERT_TRUE(peer.WaitDone());
    EXPECT_TRUE(peer.Errors().empty()) << peer.Errors()[0];
  }
}

TEST(ConnectTest, AFailedConnectRaisesTheSocketErrorAndLeavesTheConnectionReusable) {
  RefusingPort refusing;
  struct Case {
    std::string host;
    int port;
    int code;
    std::string failure;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", refusing.Port(), 10061, "EIdSocketError: Socket Error # 10061\r\nConnection refused."},
      {"localhost", refusing.Port(), 10061, "EIdSocketError: Socket Error # 10061\r\nConnection refused."},
      {kUnresolvableHost, 80, 11001, "EIdSocketError: Socket Error # 11001\r\nHost not found."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    LoopbackPeer peer({Script().Send("welcome\n").ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    EventLog log;
    log.Attach(client);
    client.SetHost(c.host);
    client.SetPort(c.port);
    int code = 0;
    EXPECT_EQ(FailureOf([&] {
                try {
                  client.Connect();
                } catch (const EIdSocketError& e) {
                  code = e.Code();
                  throw;
                }
              }),
              c.failure);
    EXPECT_EQ(code, c.code);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(log.Count("hsDisconnected Disconnected."), 0);
    EXPECT_EQ(log.Count("OnDisconnected"), 0);
    EXPECT_EQ(log.Count("OnConnected"), 0);

    ConnectTo(client, peer);
    EXPECT_EQ(client.ReadLn(), "welcome");
  }
}

TEST(ConnectTest, ASecondConnectWhileOpenRaisesAndLeavesTheConnectionAsItWas) {
  LoopbackPeer peer({Script().Send("one\ntwo\n").Expect("still here\r\n").Send("yes\n").ExpectClosed()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadLn(), "one");
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "EIdAlreadyConnected: Already connected.");
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(client.ReadLn(), "two");  // the buffered line survived
  client.WriteLine("still here");
  EXPECT_EQ(client.ReadLn(), "yes");
  EXPECT_EQ(peer.Accepted(), 1u);
}

TEST(ConnectTest, AReconnectStartsWithAnEmptyInputBuffer) {
  // The first connection leaves unread bytes behind, once through
  // Disconnect and once through a peer close that was only noticed; the
  // next connection must not see them, and in the second case reuses the
  // transport it made.
  for (bool disconnect : {true, false}) {
    SCOPED_TRACE(disconnect ? "after Disconnect" : "after a noticed peer close");
    LoopbackPeer peer({Script().Send("a\nleftover").Close(), Script().Send("b\n").ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    ConnectTo(client, peer);
    TIdIOHandler* first_transport = client.IOHandler();
    EXPECT_EQ(client.ReadLn(), "a");
    ASSERT_TRUE(peer.WaitConnectionDone(0));
    if (disconnect) {
      client.Disconnect();
      EXPECT_EQ(client.IOHandler(), nullptr);
    } else {
      client.ProbePeerClosed(IfClosed::Return);
      ASSERT_FALSE(client.Connected());
      EXPECT_EQ(client.IOHandler(), first_transport);
    }
    client.Connect();
    if (!disconnect) {
      EXPECT_EQ(client.IOHandler(), first_transport);
    }
    EXPECT_EQ(client.ReadLn(), "b");
  }
}

TEST(ConnectTest, DropSocketClosesWithoutReports) {
  LoopbackPeer peer({Script().ExpectClosed()});
  TIdTCPClient client;
  ConnectTo(client, peer);
  EventLog log;
  log.Attach(client);
  client.DropSocket();
  EXPECT_FALSE(client.Connected());
  EXPECT_TRUE(client.PeerClosed());
  EXPECT_TRUE(log.lines.empty()) << log.lines[0];
  EXPECT_TRUE(peer.WaitDone());
  EXPECT_TRUE(peer.Errors().empty()) << peer.Errors()[0];
}

TEST(ConnectTest, UseNagleDecidesTheNoDelayOptionAndAnAssignedTransportIsKept) {
  for (bool use_nagle : {true, false}) {
    SCOPED_TRACE(use_nagle ? "UseNagle" : "no Nagle");
    LoopbackPeer peer({Script().ExpectClosed()});
    TIdIOHandlerSocket transport;
    transport.UseNagle = use_nagle;
    TIdTCPClient client;
    client.SetIOHandler(&transport);
    ConnectTo(client, peer);
    int value = -1;
    socklen_t length = sizeof value;
    ASSERT_EQ(::getsockopt(transport.Binding()->Handle(), IPPROTO_TCP, TCP_NODELAY, &value, &length), 0);
    EXPECT_EQ(value != 0, !use_nagle);
    EXPECT_FALSE(client.OwnsIOHandler());
    client.Disconnect();
    EXPECT_EQ(client.IOHandler(), &transport);
  }
}

TEST(BindTest, BindsTheLocalAddressAndPortAsAsked) {
  // Ports are given as offsets into three consecutive free ports (0, 1, 2);
  // kNone stands for 0, "any port" or "no range end".
  constexpr int kNone = -1;
  enum Outcome { kPort, kInUse, kRangeInUse, kInvalidRange };
  struct Case {
    std::string name;
    int bound_port;
    int min;
    int max;
    std::vector<int> released;  // set free before the connect; the others stay in use
    Outcome outcome;
    int port;  // for kPort
  };
  const std::vector<Case> cases = {
      {"a port in use", 0, kNone, kNone, {}, kInUse, 0},
      {"a given free port", 0, kNone, kNone, {0}, kPort, 0},
      {"every port of the range in use", kNone, 0, 2, {}, kRangeInUse, 0},
      {"the highest free port of the range", kNone, 0, 2, {0, 1}, kPort, 1},
      {"the top of the range first", kNone, 0, 2, {0, 2}, kPort, 2},
      {"a range upside down", kNone, 2, 0, {0, 1, 2}, kInvalidRange, 0},
      {"a given port wins over a range", 0, 2, 1, {0}, kPort, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A fresh set of ports for every case: a port that a closed connection
    // used is not free again at once.
    PortRange range;
    ASSERT_EQ(range.held.size(), 3u) << "no three free consecutive loopback ports";
    auto port = [&](int offset) { return offset == kNone ? 0 : range.low + offset; };
    for (int offset : c.released) range.Release(port(offset));
    const std::string ends = "(" + std::to_string(port(c.min)) + " - " + std::to_string(port(c.max)) + ")";
    std::string expected;
    switch (c.outcome) {
      case kPort: expected = "port " + std::to_string(port(c.port)); break;
      case kInUse: expected = "EIdCouldNotBindSocket: Could not bind socket. Address and port are already in use."; break;
      case kRangeInUse: expected = "EIdCanNotBindPortInRange: Can not bind in port range " + ends; break;
      case kInvalidRange: expected = "EIdInvalidPortRange: Invalid Port Range " + ends; break;
    }

    LoopbackPeer peer({Script().ExpectClosed()});
    TIdTCPClient client;
    client.BoundIP = "127.0.0.1";
    client.BoundPort = port(c.bound_port);
    client.BoundPortMin = port(c.min);
    client.BoundPortMax = port(c.max);
    std::string outcome = FailureOf([&] { ConnectTo(client, peer); });
    if (outcome == "no exception") {
      outcome = "port " + std::to_string(SocketTransportOf(client)->Binding()->Port);
      EXPECT_EQ(SocketTransportOf(client)->Binding()->IP, "127.0.0.1");
    } else {
      EXPECT_FALSE(client.Connected());
    }
    EXPECT_EQ(outcome, expected);
  }
}

TEST(BindTest, ARangeWithOneEndZeroBindsAnyPort) {
  LoopbackPeer peer({Script().ExpectClosed()});
  TIdTCPClient client;
  client.BoundPortMin = 0;
  client.BoundPortMax = 5;  // not a range: one end is 0
  ConnectTo(client, peer);
  EXPECT_TRUE(client.Connected());
  EXPECT_GT(SocketTransportOf(client)->Binding()->Port, 5);
}

TEST(ConnectWithTimeoutTest, AConnectThatHangsEndsAtItsTimeLimit) {
  StalledListener listener;
  ASSERT_TRUE(listener.Stalled()) << "this kernel answered a connect to a listener with a full backlog";
  TIdTCPClient client;
  EventLog log;
  log.Attach(client);
  client.SetHost("127.0.0.1");
  client.SetPort(listener.Port());
  auto start = Clock::now();
  EXPECT_EQ(FailureOf([&] { client.Connect(300); }), "EIdConnectTimeout: Connect timed out.");
  int64_t elapsed = MillisecondsSince(start);
  // The limit is kept: not cut short, and the hanging connect is broken off
  // (the listener itself lets it through after 3 s).
  EXPECT_GE(elapsed, 250);
  EXPECT_LT(elapsed, 2500);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(log.Count("hsDisconnected Disconnected."), 0);

  LoopbackPeer peer({Script().Send("ok\n").ExpectClosed()});
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer, 300);
  EXPECT_EQ(client.ReadLn(), "ok");
}

TEST(ConnectWithTimeoutTest, ConnectsOrReportsTheThreadsFailure) {
  RefusingPort refusing;
  struct Case {
    std::string name;
    int timeout;
    bool refused;
    std::string failure;
  };
  const std::vector<Case> cases = {
      {"a limit, a listener", 500, false, "no exception"},
      {"no limit, a listener", -2, false, "no exception"},
      {"a limit, refused", 500, true, "EIdConnectException: Socket Error # 10061\r\nConnection refused."},
      {"no limit, refused", -2, true, "EIdConnectException: Socket Error # 10061\r\nConnection refused."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPeer peer({Script().Send("ok\n").ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    client.SetHost("127.0.0.1");
    client.SetPort(c.refused ? refusing.Port() : peer.Port());
    auto start = Clock::now();
    EXPECT_EQ(FailureOf([&] { client.Connect(c.timeout); }), c.failure);
    EXPECT_LT(MillisecondsSince(start), 2000);
    if (!c.refused) {
      EXPECT_EQ(client.ReadLn(), "ok");
    } else {
      EXPECT_FALSE(client.Connected());
    }
  }
}

// Listens on the IPv6 loopback through the system's own calls (the stack
// has no IPv6), to see whether anyone knocked.
class Ipv6LoopbackListener {
 public:
  Ipv6LoopbackListener() : fd_(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    socklen_t length = sizeof address;
    listening_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                 ::listen(fd_, 8) == 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    port_ = ntohs(address.sin6_port);
  }
  ~Ipv6LoopbackListener() { ::close(fd_); }
  bool Listening() const { return listening_; }
  int Port() const { return port_; }
  int Handle() const { return fd_; }

 private:
  int fd_;
  bool listening_ = false;
  int port_ = 0;
};

bool Knocked(int listening_fd) {
  pollfd wait{listening_fd, POLLIN, 0};
  return ::poll(&wait, 1, 0) > 0;
}

TEST(ConnectTest, IPv6AddressesAreRefusedBeforeAnySocketIsMade) {
  Ipv6LoopbackListener v6;
  if (!v6.Listening()) GTEST_SKIP() << "this machine has no IPv6 loopback to prove the refusal against";
  StackListener v4_proxy;
  struct Case {
    std::string host;
    TSocksVersion socks;
    std::string proxy_host;
    std::string failure;
  };
  const std::string refused = "EIdIPv6NotSupported: IPv6 addresses are not supported: ";
  const std::vector<Case> cases = {
      {"[::1]", svNoSocks, "", refused + "[::1]"},
      {"::1", svNoSocks, "", refused + "::1"},
      {"127.0.0.1", svSocks5, "::1", refused + "::1"},  // the proxy's address
      {"[::1]", svSocks4, "127.0.0.1", refused + "[::1]"},
      {"[::1]", svSocks4A, "127.0.0.1", refused + "[::1]"},
      {"[::1]", svSocks5, "127.0.0.1", refused + "[::1]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host + " via " + c.proxy_host);
    TIdTCPClient client;
    TIdIOHandlerSocket transport;
    client.SetIOHandler(&transport);
    client.ReadTimeout = kGuardTimeout;  // a proxy that took the connection never answers
    TIdSocksInfo& socks = transport.SocksInfo();
    socks.Version = c.socks;
    socks.Host = c.proxy_host;
    socks.Port = c.proxy_host == "::1" ? v6.Port() : v4_proxy.Port();
    client.SetHost(c.host);
    client.SetPort(v6.Port());
    EventLog log;
    log.Attach(client);
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), c.failure);
    EXPECT_FALSE(Knocked(v6.Handle()) || Knocked(v4_proxy.Handle())) << "a connection was made";
    EXPECT_TRUE(log.Starting("hsResolving").empty() && log.Starting("hsConnecting").empty());
  }
}

}  // namespace
}  // namespace kv::test
