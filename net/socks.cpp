// The SOCKS handshakes on the raw transport: every request sent whole,
// every reply read to its exact length within the read limit, so that no
// byte of a reply is left for the connection and a silent proxy cannot
// hold the connect for ever.
#include "net/socks.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "net/io_handler.h"
#include "net/socket_stack.h"

namespace kv {

namespace {

constexpr uint8_t kSocks4Version = 4;
constexpr uint8_t kSocks4ReplyVersion = 0;
constexpr uint8_t kSocks5Version = 5;
constexpr uint8_t kSubnegotiationVersion = 1;
constexpr uint8_t kCommandConnect = 1;
constexpr uint8_t kAddressIPv4 = 1;
constexpr uint8_t kAddressDomain = 3;
constexpr uint8_t kAddressIPv6 = 4;
constexpr uint8_t kMethodNone = 0;
constexpr uint8_t kMethodUsernamePassword = 2;
constexpr size_t kMaxField = 255;

// A user name, password or host name goes out with one length byte, or
// ends at a zero byte: longer ones, or ones holding a zero, cannot be sent.
void CheckField(const std::string& field, const char* what) {
  if (field.size() > kMaxField || field.find('\0') != std::string::npos)
    throw EIdSocksError(std::string("The SOCKS ") + what + " is longer than 255 bytes or holds a zero byte.");
}

void AppendPort(std::string& message, int port) {
  message += static_cast<char>((port >> 8) & 0xFF);
  message += static_cast<char>(port & 0xFF);
}

class Exchange {
 public:
  Exchange(TIdIOHandler& transport, int timeout) : transport_(transport), timeout_(timeout) {}

  void Send(const std::string& message) {
    size_t sent = 0;
    while (sent < message.size()) {
      const int n = transport_.SendSome(message.data() + sent, static_cast<int>(message.size() - sent));
      if (n <= 0) throw EIdSocksServerRespondError();
      sent += static_cast<size_t>(n);
    }
  }

  // Exactly `count` bytes; a close, a failure or the read limit running out
  // before they are all there means the server did not respond.
  std::string Receive(size_t count) {
    std::string reply(count, '\0');
    size_t received = 0;
    try {
      while (received < count) {
        if (!transport_.WaitReadable(timeout_)) throw EIdSocksServerRespondError();
        const TIdReceiveResult piece =
            transport_.ReceiveSome(reply.data() + received, static_cast<int>(count - received));
        if (piece.kind != TIdReceiveResult::Kind::kBytes) throw EIdSocksServerRespondError();
        received += static_cast<size_t>(piece.count);
      }
    } catch (const EIdSocksError&) {
      throw;
    } catch (const EIdException&) {
      throw EIdSocksServerRespondError();
    }
    return reply;
  }

  // A reply of `count` bytes whose first byte must be `version`: another
  // means that no SOCKS server of that version answered.
  std::string ReceiveReply(size_t count, uint8_t version) {
    std::string reply = Receive(count);
    if (static_cast<uint8_t>(reply[0]) != version) throw EIdSocksServerRespondError();
    return reply;
  }

 private:
  TIdIOHandler& transport_;
  int timeout_;
};

uint8_t Byte(const std::string& reply, size_t i) { return static_cast<uint8_t>(reply[i]); }

using RaiseFailure = void (*)();

template <typename Failure>
[[noreturn]] void Raise() {
  throw Failure();
}

// A reply's code: `granted`, or the failure at its place in `failures`, the
// code after `granted` raising the first; any other code is unknown.
void CheckReplyCode(uint8_t code, uint8_t granted, std::initializer_list<RaiseFailure> failures) {
  if (code == granted) return;
  if (code > granted && static_cast<size_t>(code - granted) <= failures.size()) failures.begin()[code - granted - 1]();
  throw EIdSocksUnknownError();
}

void Socks4Handshake(const TIdSocksInfo& socks, Exchange& exchange, const std::string& host, int port) {
  const bool names_host = socks.Version == svSocks4A;
  CheckField(socks.Username, "user id");
  if (names_host) CheckField(host, "host name");
  std::string request;
  request += static_cast<char>(kSocks4Version);
  request += static_cast<char>(kCommandConnect);
  AppendPort(request, port);
  if (names_host) {
    request.append("\0\0\0\1", 4);  // an address of 0.0.0.x: the name follows
  } else {
    // SOCKS 4 carries an address: the name is resolved here.
    TIdStack& stack = *GStack();
    for (uint8_t part : stack.TextToAddress(stack.HostToDottedAddress(host))) request += static_cast<char>(part);
  }
  request += socks.Username;
  request += '\0';
  if (names_host) {
    request += host;
    request += '\0';
  }
  exchange.Send(request);
  const std::string reply = exchange.ReceiveReply(8, kSocks4ReplyVersion);
  CheckReplyCode(Byte(reply, 1), 90,
                 {Raise<EIdSocksRequestFailed>, Raise<EIdSocksRequestServerFailed>, Raise<EIdSocksRequestIdentFailed>});
}

// The method the client offers, and with a password the login it then
// makes.
void Socks5Authenticate(const TIdSocksInfo& socks, Exchange& exchange) {
  const bool with_password = socks.Authentication == saUsernamePassword;
  const uint8_t method = with_password ? kMethodUsernamePassword : kMethodNone;
  exchange.Send(std::string{static_cast<char>(kSocks5Version), 1, static_cast<char>(method)});
  const std::string chosen = exchange.ReceiveReply(2, kSocks5Version);
  if (Byte(chosen, 1) != method) throw EIdSocksAuthMethodError();
  if (!with_password) return;

  std::string login;
  login += static_cast<char>(kSubnegotiationVersion);
  login += static_cast<char>(socks.Username.size());
  login += socks.Username;
  login += static_cast<char>(socks.Password.size());
  login += socks.Password;
  exchange.Send(login);
  const std::string verdict = exchange.ReceiveReply(2, kSubnegotiationVersion);
  if (Byte(verdict, 1) != 0) throw EIdSocksAuthError();
}

// The CONNECT request with the target's name, and the whole reply.
void Socks5Connect(Exchange& exchange, const std::string& host, int port) {
  std::string request;
  request += static_cast<char>(kSocks5Version);
  request += static_cast<char>(kCommandConnect);
  request += '\0';
  request += static_cast<char>(kAddressDomain);
  request += static_cast<char>(host.size());
  request += host;
  AppendPort(request, port);
  exchange.Send(request);

  const std::string head = exchange.ReceiveReply(5, kSocks5Version);
  CheckReplyCode(Byte(head, 1), 0,
                 {Raise<EIdSocksServerGeneralError>, Raise<EIdSocksServerPermissionError>,
                  Raise<EIdSocksServerNetUnreachableError>, Raise<EIdSocksServerHostUnreachableError>,
                  Raise<EIdSocksServerConnectionRefusedError>, Raise<EIdSocksServerTTLExpiredError>,
                  Raise<EIdSocksServerCommandError>, Raise<EIdSocksServerAddressError>});
  // The rest of the bound address and its port: none of the reply may be
  // left for the connection to read.
  switch (Byte(head, 3)) {
    case kAddressIPv4: exchange.Receive(4 + 2 - 1); break;
    case kAddressDomain: exchange.Receive(Byte(head, 4) + size_t{2}); break;
    case kAddressIPv6: exchange.Receive(16 + 2 - 1); break;
    default: throw EIdSocksServerAddressError();
  }
}

void Socks5Handshake(const TIdSocksInfo& socks, Exchange& exchange, const std::string& host, int port) {
  if (socks.Authentication == saUsernamePassword) {
    CheckField(socks.Username, "user name");
    CheckField(socks.Password, "password");
  }
  CheckField(host, "host name");
  Socks5Authenticate(socks, exchange);
  Socks5Connect(exchange, host, port);
}

}  // namespace

void TIdSocksInfo::Assign(const TIdSocksInfo& source) {
  Authentication = source.Authentication;
  Host = source.Host;
  Password = source.Password;
  Port = source.Port;
  Username = source.Username;
  Version = source.Version;
}

void TIdSocksInfo::SocksHandshake(TIdIOHandler& transport, const std::string& host, int port, int timeout) const {
  Exchange exchange(transport, timeout);
  switch (Version) {
    case svSocks4:
    case svSocks4A: Socks4Handshake(*this, exchange, host, port); break;
    case svSocks5: Socks5Handshake(*this, exchange, host, port); break;
    case svNoSocks: break;
  }
}

}  // namespace kv
