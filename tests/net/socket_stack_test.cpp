// The process-wide socket stack: its lifetime, address conversions,
// lookups, socket lists and waits, and the bind rules of a socket handle.
// Everything stays on 127.0.0.0/8.

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/exception.h"
#include "net/component.h"
#include "net/exceptions.h"
#include "net/socket_handle.h"
#include "net/socket_stack.h"
#include "tests/net/stack_listener.h"
#include "tests/support/unresolvable_host.h"

namespace kv {
namespace {

// A connected pair: client socket and the accepted server side.
struct ConnectedPair {
  StackListener listener;
  TIdStackSocketHandle client = Id_INVALID_SOCKET;
  TIdStackSocketHandle server = Id_INVALID_SOCKET;
  std::string accepted_ip;
  int accepted_port = 0;

  ConnectedPair() {
    TIdStack& stack = *GStack();
    client = stack.NewSocket(Id_SOCK_STREAM, 0);
    stack.CheckSocketResult(stack.SockConnect(client, Id_PF_INET, "127.0.0.1", listener.Port()));
    server = stack.SockAccept(listener.Handle(), accepted_ip, accepted_port);
  }
  ~ConnectedPair() {
    if (client != Id_INVALID_SOCKET) GStack()->SockClose(client);
    if (server != Id_INVALID_SOCKET) GStack()->SockClose(server);
  }
};

// ---- lifetime -----------------------------------------------------------------

TEST(SocketStackLifetime, FirstComponentCreatesTheStackAndTheLastFreesIt) {
  ASSERT_EQ(IdLiveComponentCount(), 0) << "a component of an earlier test is still alive";
  EXPECT_EQ(GStack(), nullptr);

  auto first = std::make_unique<TIdComponent>();
  TIdStack* stack = GStack();
  ASSERT_NE(stack, nullptr);
  auto second = std::make_unique<TIdComponent>();
  EXPECT_EQ(GStack(), stack);
  EXPECT_EQ(IdLiveComponentCount(), 2);

  first.reset();
  EXPECT_EQ(GStack(), stack) << "one component is still alive";
  second.reset();
  EXPECT_EQ(GStack(), nullptr);
  EXPECT_EQ(IdLiveComponentCount(), 0);

  // A third one makes a stack again; the platform's start-up does not run
  // a second time.
  TIdComponent third;
  EXPECT_NE(GStack(), nullptr);
  EXPECT_EQ(IdSocketLibraryStartCount(), 1);
}

TEST(SocketStackLifetime, OwnedComponentsKeepTheStackUntilTheLastGoes) {
  auto* owner = new TIdComponent();
  auto* child = new TIdComponent(owner);
  (void)child;
  EXPECT_EQ(IdLiveComponentCount(), 2);
  delete owner;   // frees the child too
  EXPECT_EQ(IdLiveComponentCount(), 0);
  EXPECT_EQ(GStack(), nullptr);
}

TEST(SocketStackLifetime, ComponentsMadeAndFreedOnManyThreadsBalanceOut) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        TIdComponent component;
        ASSERT_NE(GStack(), nullptr);
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(IdLiveComponentCount(), 0);
  EXPECT_EQ(GStack(), nullptr);
}

// ---- addresses ------------------------------------------------------------------

TEST(SocketStackAddresses, IsDottedAddressWantsFourNumbersFrom0To255) {
  struct Case {
    const char* text;
    bool dotted;
  } cases[] = {
      {"127.0.0.1", true},     {"0.0.0.0", true},       {"255.255.255.255", true},
      {" 1.2.3.4", true},      // the integer conversion skips leading blanks
      {"+1.2.3.4", true},      {"1.2.3.256", false},    {"1.2.3.300", false},
      {"1.2.3", false},        {"1..3.4", false},       {"1.2.3.4.5", false},   // "4.5" is no integer
      {"", false},             {"a.b.c.d", false},      {"-1.2.3.4", false},
      {"localhost", false},    {"1.2.3.4 ", false},
  };
  for (const Case& c : cases) EXPECT_EQ(TIdStack::IsDottedAddress(c.text), c.dotted) << '"' << c.text << '"';
}

TEST(SocketStackAddresses, TextToAddressKeepsTheLowEightBitsOfEachPart) {
  TIdComponent keep_stack;
  TIdStack& stack = *GStack();
  EXPECT_EQ(stack.TextToAddress("1.2.3.300"), (std::array<uint8_t, 4>{1, 2, 3, 44}));
  EXPECT_FALSE(TIdStack::IsDottedAddress("1.2.3.300"));
  EXPECT_EQ(stack.TextToAddress("127.0.0.1"), (std::array<uint8_t, 4>{127, 0, 0, 1}));
  EXPECT_THROW(stack.TextToAddress("1.2.x.4"), EConvertError);
  EXPECT_THROW(stack.TextToAddress("1.2.3"), EConvertError);
  EXPECT_EQ(stack.AddressToText({10, 0, 255, 7}), "10.0.255.7");
}

TEST(SocketStackAddresses, HostToDottedAddressResolvesOnlyWhatIsNoAddress) {
  TIdComponent keep_stack;
  TIdStack& stack = *GStack();
  for (const char* name : {"localhost", "LOCALHOST", "LocalHost"}) EXPECT_EQ(stack.HostToDottedAddress(name), "127.0.0.1");
  EXPECT_EQ(stack.HostToDottedAddress("127.0.0.9"), "127.0.0.9");
  try {
    stack.HostToDottedAddress(test::kUnresolvableHost);
    FAIL() << "resolved a name that cannot exist";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.Code(), 11001);
    EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(stack.LastError(), 11001);
  }
}

// ---- services and names ---------------------------------------------------------

TEST(SocketStackServices, ServiceByNameTakesKnownNamesThenNumbers) {
  TIdComponent keep_stack;
  TIdStack& stack = *GStack();
  EXPECT_EQ(stack.ServiceByName("8123"), 8123);
  try {
    stack.ServiceByName("no-such-service-here");
    FAIL() << "no exception";
  } catch (const EIdInvalidServiceName& e) {
    EXPECT_EQ(e.Message(), "no-such-service-here is not a valid service.");
  }
  if (stack.ServicesByPort(80).empty()) GTEST_SKIP() << "this machine's service database does not list port 80";
  EXPECT_EQ(stack.ServiceByName("http"), 80);
  std::vector<std::string> names = stack.ServicesByPort(80);
  EXPECT_EQ(names.front(), "http");
}

TEST(SocketStackServices, LocalHostNameIsThisMachinesName) {
  TIdComponent keep_stack;
  char expected[256] = {};
  ::gethostname(expected, sizeof expected - 1);
  EXPECT_EQ(GStack()->LocalHostName(), expected);
}

// ---- socket lists and waits --------------------------------------------------------

TEST(SocketList, HoldsAtMost64AndRemovesByMovingTheLastIntoPlace) {
  TIdSocketListPosix list;
  for (int i = 0; i < 64; ++i) list.Add(100 + i);
  EXPECT_EQ(list.Count(), 64);
  EXPECT_THROW(list.Add(999), EIdStackSetSizeExceeded);
  EXPECT_THROW(list.Item(64), EIdStackSetSizeExceeded);
  EXPECT_THROW(list.Item(-1), EIdStackSetSizeExceeded);

  list.Remove(101);   // the last entry, 163, takes index 1
  EXPECT_EQ(list.Count(), 63);
  EXPECT_EQ(list.Item(1), 163);
  EXPECT_EQ(list.Item(62), 162);
  list.Remove(4242);   // not in the list: ignored
  EXPECT_EQ(list.Count(), 63);
  list.Add(7);
  EXPECT_EQ(list.Item(63), 7);
}

TEST(SocketStackIO, SelectReplacesEachListByItsReadySockets) {
  ConnectedPair pair;
  TIdStack& stack = *GStack();
  TIdSocketListPosix read;
  read.Add(pair.client);
  read.Add(pair.server);
  EXPECT_EQ(stack.SockSelect(&read, nullptr, nullptr, 0), 0) << "nothing sent yet";
  EXPECT_EQ(read.Count(), 0);

  ASSERT_EQ(stack.SockSend(pair.client, "x", 1, 0), 1);
  read.Add(pair.client);
  read.Add(pair.server);
  EXPECT_EQ(stack.SockSelect(&read, nullptr, nullptr, 2000), 1);
  ASSERT_EQ(read.Count(), 1);
  EXPECT_EQ(read.Item(0), pair.server);

  TIdSocketListPosix write;
  write.Add(pair.client);
  EXPECT_EQ(stack.SockSelect(nullptr, &write, nullptr, -2), 1);
}

TEST(SocketStackIO, SelectWaitsOnAFullListOf64) {
  TIdComponent keep_stack;
  TIdStack& stack = *GStack();
  TIdSocketListPosix read;
  std::vector<TIdStackSocketHandle> sockets;
  for (int i = 0; i < 64; ++i) {
    sockets.push_back(stack.NewSocket(Id_SOCK_STREAM, 0));
    read.Add(sockets.back());
  }
  EXPECT_GE(stack.SockSelect(&read, nullptr, nullptr, 0), 0);
  for (TIdStackSocketHandle socket : sockets) stack.SockClose(socket);
}

TEST(SocketStackIO, AcceptAndNameReadBackAgree) {
  ConnectedPair pair;
  TIdStack& stack = *GStack();
  int family = 0;
  std::string local_ip, peer_ip;
  int local_port = 0, peer_port = 0;
  stack.SockLocalName(pair.client, family, local_ip, local_port);
  EXPECT_EQ(family, Id_PF_INET);
  stack.SockPeerName(pair.client, family, peer_ip, peer_port);
  EXPECT_EQ(local_ip, "127.0.0.1");
  EXPECT_EQ(pair.accepted_ip, "127.0.0.1");
  EXPECT_EQ(pair.accepted_port, local_port);
  EXPECT_EQ(peer_port, pair.listener.Port());
  // Read-back of a socket that is not connected raises through the check.
  TIdStackSocketHandle lone = stack.NewSocket(Id_SOCK_STREAM, 0);
  try {
    stack.SockPeerName(lone, family, peer_ip, peer_port);
    ADD_FAILURE() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.Code(), 10057);
  }
  stack.SockClose(lone);
}

TEST(SocketStackIO, RefusedConnectGives10061) {
  TIdComponent keep_stack;
  TIdStack& stack = *GStack();
  int port;
  {
    StackListener gone;   // a port that was free a moment ago and is closed now
    port = gone.Port();
  }
  TIdStackSocketHandle socket = stack.NewSocket(Id_SOCK_STREAM, 0);
  int rc = stack.SockConnect(socket, Id_PF_INET, "127.0.0.1", port);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(stack.LastPlatformError(), 10061);
  stack.SockClose(socket);
}

TEST(SocketStackIO, SendingToAPeerThatResetFailsWithACodeNotASignal) {
  // The default disposition of SIGPIPE ends the process; the send must
  // not raise it.
  auto previous = std::signal(SIGPIPE, SIG_DFL);
  {
    ConnectedPair pair;
    TIdStack& stack = *GStack();
    linger reset{1, 0};   // closing with linger 0 sends a reset
    stack.SockSetOption(pair.server, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    stack.SockClose(pair.server);
    pair.server = Id_INVALID_SOCKET;

    TIdSocketListPosix read;
    read.Add(pair.client);
    ASSERT_EQ(stack.SockSelect(&read, nullptr, nullptr, 2000), 1) << "the reset never arrived";
    std::vector<int> codes;
    for (int i = 0; i < 3; ++i) {
      if (stack.SockSend(pair.client, "abc", 3, 0) == -1) codes.push_back(stack.LastPlatformError());
    }
    ASSERT_FALSE(codes.empty());
    for (int code : codes) EXPECT_TRUE(code == 10054 || code == 10058) << code;
  }
  std::signal(SIGPIPE, previous);
}

// ---- binding ----------------------------------------------------------------------

TEST(SocketBinding, BindRulesForAPortAndForARange) {
  StackListener taken;   // a port in use on 127.0.0.1
  auto bind = [](int port, int min, int max) {
    TIdSocketHandle binding;
    binding.AllocateSocket();
    binding.IP = "127.0.0.1";
    binding.Port = port;
    binding.ClientPortMin = min;
    binding.ClientPortMax = max;
    binding.Bind();
    return binding.Port;
  };
  EXPECT_THROW(bind(taken.Port(), 0, 0), EIdCouldNotBindSocket);
  EXPECT_GT(bind(0, 0, 0), 0) << "port 0 binds to a port the system picks";
  // A port of its own wins over a range.
  EXPECT_THROW(bind(taken.Port(), taken.Port() - 5, taken.Port() + 5), EIdCouldNotBindSocket);
  try {
    bind(0, 5000, 4000);
    ADD_FAILURE() << "no exception";
  } catch (const EIdInvalidPortRange& e) {
    EXPECT_EQ(e.Message(), "Invalid Port Range (5000 - 4000)");
  }
  try {
    bind(0, taken.Port(), taken.Port());
    ADD_FAILURE() << "no exception";
  } catch (const EIdCanNotBindPortInRange& e) {
    EXPECT_EQ(e.Message(), "Can not bind in port range (" + std::to_string(taken.Port()) + " - " +
                               std::to_string(taken.Port()) + ")");
  }
  // The range is tried from the top down, past the port in use.
  StackListener below;   // make sure the port under `taken` is not the one in use by chance
  if (below.Port() != taken.Port() - 1) {
    EXPECT_EQ(bind(0, taken.Port() - 1, taken.Port()), taken.Port() - 1);
  }
}

TEST(SocketBinding, DestroyingAHandleClosesItsSocket) {
  TIdComponent keep_stack;
  TIdStackSocketHandle handle;
  {
    TIdSocketHandle binding;
    binding.AllocateSocket();
    handle = binding.Handle();
    EXPECT_TRUE(binding.HandleOpen());
  }
  int type = 0;
  int length = sizeof type;
  EXPECT_EQ(GStack()->SockGetOption(handle, SOL_SOCKET, SO_TYPE, &type, &length), -1)
      << "the descriptor is still open";
}

}  // namespace
}  // namespace kv
