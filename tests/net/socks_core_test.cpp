// The SOCKS 5 handshake on a scripted proxy: the connect request as sent,
// and a domain-name bound address read to its end, so that the first byte
// the connection reads is the target's.
#include <gtest/gtest.h>

#include <string>

#include "net/socks.h"
#include "net/tcp_client.h"
#include "net/io_handler_socket.h"
#include "tests/support/loopback_peer.h"

namespace kv::test {
namespace {

TEST(SocksCore, Socks5ReplyIsReadToItsEnd) {
  const std::string connect = std::string("\x05\x01\x00\x03\x0Bexample.org\x01\xBB", 18);
  const std::string reply = std::string("\x05\x00\x00\x03\x04host\x12\x34", 11);
  LoopbackPeer peer({Script()
                         .Expect(std::string("\x05\x01\x00", 3))
                         .Send(std::string("\x05\x00", 2))
                         .Expect(connect)
                         .SendInPieces(reply + "TARGET\n", 1, 1)
                         .ExpectClosed()});
  TIdIOHandlerSocket transport;
  TIdTCPClient client;
  client.SetIOHandler(&transport);
  client.ReadTimeout = kGuardTimeout;
  transport.SocksInfo().Version = svSocks5;
  transport.SocksInfo().Host = "127.0.0.1";
  transport.SocksInfo().Port = peer.Port();
  client.SetHost("example.org");
  client.SetPort(443);
  client.Connect();
  EXPECT_EQ(client.ReadLn(), "TARGET");
  client.Disconnect();
  EXPECT_TRUE(peer.WaitDone());
}

}  // namespace
}  // namespace kv::test
