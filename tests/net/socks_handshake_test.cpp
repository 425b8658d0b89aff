// SOCKS 4, 4A and 5 handshakes byte by byte, against scripted proxies: the
// requests exactly as sent, replies in pieces, cut short, closed, of an
// unknown address type or never coming, fields too long to send, and every
// reply code's failure class. (A domain-name bound address is in
// socks_core_test.cpp.)

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "net/io_handler_socket.h"
#include "net/socks.h"
#include "net/tcp_client.h"
#include "tests/support/failure_of.h"
#include "tests/support/loopback_peer.h"

namespace kv::test {
namespace {

using namespace std::string_literals;

// Each reply is awaited at most this long; a silent proxy pauses longer.
constexpr int kReadLimit = 300;

const std::string kGranted4 = "\x00\x5a\x00\x00\x00\x00\x00\x00"s;
const std::string kGreeting = "\x05\x01\x00"s;
const std::string kNoAuth = "\x05\x00"s;

struct Proxy {
  Proxy(TSocksVersion version_, std::string user_ = {}, std::string password_ = {}, bool with_password_ = false)
      : version(version_), user(std::move(user_)), password(std::move(password_)), with_password(with_password_) {}
  TSocksVersion version;
  std::string user;
  std::string password;
  bool with_password;
};

// Connects a client to host:port through the proxy on `proxy_port`: the
// failure's class name, or "" once connected.
std::string ConnectThrough(TIdTCPClient& client, TIdIOHandlerSocket& transport, const Proxy& proxy, int proxy_port,
                           const std::string& host, int port) {
  client.SetIOHandler(&transport);
  client.ReadTimeout = kReadLimit;
  TIdSocksInfo& socks = transport.SocksInfo();
  socks.Version = proxy.version;
  socks.Host = "127.0.0.1";
  socks.Port = proxy_port;
  socks.Username = proxy.user;
  socks.Password = proxy.password;
  socks.Authentication = proxy.with_password ? saUsernamePassword : saNoAuthentication;
  client.SetHost(host);
  client.SetPort(port);
  const std::string failure = FailureOf([&] { client.Connect(); });
  return failure == "no exception" ? "" : failure.substr(0, failure.find(':'));
}

TEST(SocksHandshake, BytesSentAndRepliesReadExactly) {
  const std::string long_name(256, 'n');
  const std::string longest_name(255, 'n');
  struct Case {
    std::string name;
    Proxy proxy;
    std::string host;
    int port;
    Script script;         // the proxy's part; on success the target's line follows
    std::string received;  // exactly what reaches the proxy
    std::string failure;   // class name; "" when the target's line is read
  };
  const std::vector<Case> cases = {
      {"socks4a: a one-letter user id and host name", {svSocks4A, "U"}, "H", 0x1234,
       Script().ExpectCount(12).Send(kGranted4 + "TARGET\n"), "\x04\x01\x12\x34\x00\x00\x00\x01U\x00H\x00"s, ""},
      {"socks4, empty user id: 9 bytes, the reply in 1-byte pieces", {svSocks4}, "127.0.0.1", 80,
       Script().ExpectCount(9).SendInPieces(kGranted4 + "TARGET\n", 1, 1), "\x04\x01\x00\x50\x7f\x00\x00\x01\x00"s,
       ""},
      {"socks5 greeting answered with another method", {svSocks5}, "h", 80,
       Script().ExpectCount(3).Send("\x05\x02"s).ExpectClosed(), kGreeting, "EIdSocksAuthMethodError"},
      {"socks5 with user name and password, every reply in 1-byte pieces", {svSocks5, "u", "pw", true}, "h", 80,
       Script()
           .ExpectCount(3)
           .SendInPieces("\x05\x02"s, 1, 1)
           .ExpectCount(6)
           .SendInPieces("\x01\x00"s, 1, 1)
           .ExpectCount(8)
           .SendInPieces("\x05\x00\x00\x01\x7f\x00\x00\x01\x12\x34"s + "TARGET\n", 1, 1),
       "\x05\x01\x02\x01\x01u\x02pw\x05\x01\x00\x03\x01h\x00\x50"s, ""},
      {"socks5, an IPv6 bound address read to its end", {svSocks5}, "h", 80,
       Script().ExpectCount(3).Send(kNoAuth).ExpectCount(8).Send("\x05\x00\x00\x04"s + std::string(16, '\x01') +
                                                                 "\x12\x34TARGET\n"),
       kGreeting + "\x05\x01\x00\x03\x01h\x00\x50"s, ""},
      {"socks5, a 255-byte host name is sent", {svSocks5}, longest_name, 80,
       Script().ExpectCount(3).Send(kNoAuth).ExpectCount(262).Send("\x05\x00\x00\x01\x7f\x00\x00\x01\x12\x34TARGET\n"s),
       kGreeting + "\x05\x01\x00\x03\xff"s + longest_name + "\x00\x50"s, ""},
      {"socks5, an unknown bound address type", {svSocks5}, "h", 80,
       Script().ExpectCount(3).Send(kNoAuth).ExpectCount(8).Send("\x05\x00\x00\x09\x7f\x00\x00\x01\x12\x34TARGET\n"s)
           .ExpectClosed(),
       kGreeting + "\x05\x01\x00\x03\x01h\x00\x50"s, "EIdSocksServerAddressError"},
      // Short, closed and missing replies.
      {"socks4, closed without a reply", {svSocks4A, "U"}, "H", 80, Script().ExpectCount(12).Close(),
       "\x04\x01\x00\x50\x00\x00\x00\x01U\x00H\x00"s, "EIdSocksServerRespondError"},
      {"socks4, a reply cut after 5 bytes", {svSocks4}, "127.0.0.1", 80,
       Script().ExpectCount(9).Send(kGranted4.substr(0, 5)).Close(), "\x04\x01\x00\x50\x7f\x00\x00\x01\x00"s,
       "EIdSocksServerRespondError"},
      {"socks5, a method reply of 1 byte", {svSocks5}, "h", 80, Script().ExpectCount(3).Send("\x05"s).Close(),
       kGreeting, "EIdSocksServerRespondError"},
      {"socks5, the login reply closed", {svSocks5, "u", "pw", true}, "h", 80,
       Script().ExpectCount(3).Send("\x05\x02"s).ExpectCount(6).Close(), "\x05\x01\x02\x01\x01u\x02pw"s,
       "EIdSocksServerRespondError"},
      {"socks5, a connect reply cut in its head", {svSocks5}, "h", 80,
       Script().ExpectCount(3).Send(kNoAuth).ExpectCount(8).Send("\x05\x00\x00"s).Close(),
       kGreeting + "\x05\x01\x00\x03\x01h\x00\x50"s, "EIdSocksServerRespondError"},
      {"socks5, a connect reply cut in its bound address", {svSocks5}, "h", 80,
       Script().ExpectCount(3).Send(kNoAuth).ExpectCount(8).Send("\x05\x00\x00\x01\x7f\x00\x00"s).Close(),
       kGreeting + "\x05\x01\x00\x03\x01h\x00\x50"s, "EIdSocksServerRespondError"},
      {"socks5, a silent proxy: given up at the read limit", {svSocks5}, "h", 80,
       Script().ExpectCount(3).Pause(2000).Close(), kGreeting, "EIdSocksServerRespondError"},
      // Refused before anything is sent.
      {"socks5, a host name of 256 bytes", {svSocks5}, long_name, 80, Script().ExpectClosed(), "", "EIdSocksError"},
      {"socks5, a user name of 256 bytes", {svSocks5, long_name, "pw", true}, "h", 80, Script().ExpectClosed(), "",
       "EIdSocksError"},
      {"socks5, a password with a zero byte", {svSocks5, "u", "p\0w"s, true}, "h", 80, Script().ExpectClosed(), "",
       "EIdSocksError"},
      {"socks4a, a host name with a zero byte", {svSocks4A}, "H\0x"s, 80, Script().ExpectClosed(), "",
       "EIdSocksError"},
      {"socks4, a user id of 256 bytes", {svSocks4, long_name}, "127.0.0.1", 80, Script().ExpectClosed(), "",
       "EIdSocksError"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPeer peer({c.script});
    TIdIOHandlerSocket transport;
    TIdTCPClient client;
    const auto started = std::chrono::steady_clock::now();
    const std::string failure = ConnectThrough(client, transport, c.proxy, peer.Port(), c.host, c.port);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(failure, c.failure);
    // No wait goes far past the read limit, the silent proxy's included.
    EXPECT_LT(took, std::chrono::milliseconds(kReadLimit + 1200));
    if (c.failure.empty()) {
      // Nothing of the reply is left over: the first line read is the target's.
      EXPECT_EQ(client.ReadLn(), "TARGET");
      client.Disconnect();
    } else {
      // The failed connect leaves the connection closed.
      EXPECT_FALSE(client.Connected());
    }
    EXPECT_TRUE(peer.WaitDone(5000));
    EXPECT_EQ(Printable(peer.Received(0), 600), Printable(c.received, 600));
    EXPECT_EQ(peer.Errors(), std::vector<std::string>{});
  }
}

TEST(SocksHandshake, EachReplyCodeRaisesItsClass) {
  struct Case {
    TSocksVersion version;
    int code;
    std::string failure;
  };
  const std::vector<Case> cases = {
      {svSocks4, 91, "EIdSocksRequestFailed: Request rejected or failed."},
      {svSocks4, 92, "EIdSocksRequestServerFailed: Request rejected because SOCKS server cannot connect."},
      {svSocks4, 93,
       "EIdSocksRequestIdentFailed: Request rejected because the client program and identd report different "
       "user-ids."},
      {svSocks4, 94, "EIdSocksUnknownError: Unknown socks error."},
      {svSocks5, 1, "EIdSocksServerGeneralError: General SOCKS server failure."},
      {svSocks5, 2, "EIdSocksServerPermissionError: Connection not allowed by ruleset."},
      {svSocks5, 3, "EIdSocksServerNetUnreachableError: Network unreachable."},
      {svSocks5, 4, "EIdSocksServerHostUnreachableError: Host unreachable."},
      {svSocks5, 5, "EIdSocksServerConnectionRefusedError: Connection refused."},
      {svSocks5, 6, "EIdSocksServerTTLExpiredError: TTL expired."},
      {svSocks5, 7, "EIdSocksServerCommandError: Command not supported."},
      {svSocks5, 8, "EIdSocksServerAddressError: Address type not supported."},
      {svSocks5, 9, "EIdSocksUnknownError: Unknown socks error."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Script script;
    if (c.version == svSocks4) {
      script.ExpectCount(9).Send("\x00"s + static_cast<char>(c.code) + "\x00\x50\x7f\x00\x00\x01"s);
    } else {
      script.ExpectCount(3).Send(kNoAuth).ExpectCount(8).Send("\x05"s + static_cast<char>(c.code) +
                                                              "\x00\x01\x7f\x00\x00\x01\x00\x50"s);
    }
    LoopbackPeer peer({script.ExpectClosed()});
    TIdIOHandlerSocket transport;
    TIdTCPClient client;
    client.SetIOHandler(&transport);
    client.ReadTimeout = kReadLimit;
    transport.SocksInfo().Version = c.version;
    transport.SocksInfo().Host = "127.0.0.1";
    transport.SocksInfo().Port = peer.Port();
    client.SetHost(c.version == svSocks4 ? "127.0.0.1" : "h");
    client.SetPort(80);
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), c.failure);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(peer.WaitDone());
    EXPECT_EQ(peer.Errors(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace kv::test
