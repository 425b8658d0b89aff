// A SOCKS handshake against a proxy that answers with anything. The first
// byte picks the version (4, 4A or 5), whether SOCKS 5 offers a password,
// whether the proxy closes or falls silent after its bytes, and the size of
// the pieces they come in; the second picks a receive or send that fails
// (0: none); the rest are the proxy's replies. The handshake must end,
// granted or failing with the library's own exceptions, without a crash, a
// hang or unbounded memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/exception.h"
#include "net/socks.h"
#include "tests/support/memory_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t setup = data[0];
  static constexpr kv::TSocksVersion kVersions[] = {kv::svSocks4, kv::svSocks4A, kv::svSocks5, kv::svSocks5};
  const kv::TSocksVersion version = kVersions[setup & 3];
  const bool with_password = (setup & 4) != 0;
  const bool close_at_end = (setup & 8) != 0;

  kv::test::MemoryTransport::Server proxy;
  proxy.replies = {std::string(reinterpret_cast<const char*>(data + 2), size - 2)};
  proxy.close_at_end = close_at_end;
  proxy.reply_at_once = true;
  kv::test::MemoryTransport transport({proxy});
  transport.PieceSize = (setup >> 4) + 1;
  transport.FailCall = data[1] % 8;
  transport.ConnectTransport("proxy", 1080, "", 0, 0, 0, 0);

  kv::TIdSocksInfo socks;
  socks.Version = version;
  socks.Authentication = with_password ? kv::saUsernamePassword : kv::saNoAuthentication;
  socks.Username = "user";
  socks.Password = "secret";
  // SOCKS 4 resolves the target here: a dotted address keeps the resolver
  // out of the run.
  const std::string target = version == kv::svSocks4 ? "192.0.2.1" : "target.example";
  try {
    socks.SocksHandshake(transport, target, 80, 1000);
  } catch (const kv::Exception&) {
    // Any failure of the library's own kinds is an answer.
  }
  return 0;
}
