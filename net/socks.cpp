// The SOCKS handshakes on the raw transport: every request sent whole,
// every reply read to its exact length within the read limit, so that no
// byte of a reply is left for the connection and a silent proxy cannot
// hold the connect for ever.
#include "net/socks.h"

#include <array>
#include <cstdint>
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

 private:
  TIdIOHandler& transport_;
  int timeout_;
};

uint8_t Byte(const std::string& reply, size_t i) { return static_cast<uint8_t>(reply[i]); }

}  // namespace

void TIdSocksInfo::Assign(const TIdSocksInfo& source) {
  Authentication = source.Authentication;
  Host = source.Host;
  Password = source.Password;
  Port = source.Port;
  Username = source.Username;
  Version = source.Version;
}

void TIdSocksInfo::SocksHandshake(const std::string& host, int port, int timeout) {
  switch (Version) {
    case svSocks4:
    case svSocks4A: Socks4Handshake(host, port, timeout); break;
    case svSocks5: Socks5Handshake(host, port, timeout); break;
    case svNoSocks: break;
  }
}

void TIdSocksInfo::Socks4Handshake(const std::string& host, int port, int timeout) {
  CheckField(Username, "user id");
  if (Version == svSocks4A) CheckField(host, "host name");
  std::string request;
  request += static_cast<char>(kSocks4Version);
  request += static_cast<char>(kCommandConnect);
  AppendPort(request, port);
  if (Version == svSocks4) {
    // SOCKS 4 carries an address: the name is resolved here.
    TIdStack& stack = *GStack();
    for (uint8_t part : stack.TextToAddress(stack.HostToDottedAddress(host))) request += static_cast<char>(part);
  } else {
    request.append("\0\0\0\1", 4);  // an address of 0.0.0.x: the name follows
  }
  request += Username;
  request += '\0';
  if (Version == svSocks4A) {
    request += host;
    request += '\0';
  }
  Exchange exchange(*transport_, timeout);
  exchange.Send(request);
  const std::string reply = exchange.Receive(8);
  if (Byte(reply, 0) != kSocks4ReplyVersion) throw EIdSocksServerRespondError();
  switch (Byte(reply, 1)) {
    case 90: return;
    case 91: throw EIdSocksRequestFailed();
    case 92: throw EIdSocksRequestServerFailed();
    case 93: throw EIdSocksRequestIdentFailed();
    default: throw EIdSocksUnknownError();
  }
}

void TIdSocksInfo::Socks5Handshake(const std::string& host, int port, int timeout) {
  const bool with_password = Authentication == saUsernamePassword;
  if (with_password) {
    CheckField(Username, "user name");
    CheckField(Password, "password");
  }
  CheckField(host, "host name");
  Exchange exchange(*transport_, timeout);

  const uint8_t method = with_password ? kMethodUsernamePassword : kMethodNone;
  exchange.Send(std::string{static_cast<char>(kSocks5Version), 1, static_cast<char>(method)});
  const std::string chosen = exchange.Receive(2);
  if (Byte(chosen, 0) != kSocks5Version) throw EIdSocksServerRespondError();
  if (Byte(chosen, 1) != method) throw EIdSocksAuthMethodError();

  if (with_password) {
    std::string login;
    login += static_cast<char>(kSubnegotiationVersion);
    login += static_cast<char>(Username.size());
    login += Username;
    login += static_cast<char>(Password.size());
    login += Password;
    exchange.Send(login);
    const std::string verdict = exchange.Receive(2);
    if (Byte(verdict, 0) != kSubnegotiationVersion) throw EIdSocksServerRespondError();
    if (Byte(verdict, 1) != 0) throw EIdSocksAuthError();
  }

  std::string request;
  request += static_cast<char>(kSocks5Version);
  request += static_cast<char>(kCommandConnect);
  request += '\0';
  request += static_cast<char>(kAddressDomain);
  request += static_cast<char>(host.size());
  request += host;
  AppendPort(request, port);
  exchange.Send(request);

  const std::string head = exchange.Receive(5);
  if (Byte(head, 0) != kSocks5Version) throw EIdSocksServerRespondError();
  switch (Byte(head, 1)) {
    case 0: break;
    case 1: throw EIdSocksServerGeneralError();
    case 2: throw EIdSocksServerPermissionError();
    case 3: throw EIdSocksServerNetUnreachableError();
    case 4: throw EIdSocksServerHostUnreachableError();
    case 5: throw EIdSocksServerConnectionRefusedError();
    case 6: throw EIdSocksServerTTLExpiredError();
    case 7: throw EIdSocksServerCommandError();
    case 8: throw EIdSocksServerAddressError();
    default: throw EIdSocksUnknownError();
  }
  // The rest of the bound address and its port: none of the reply may be
  // left for the connection to read.
  switch (Byte(head, 3)) {
    case kAddressIPv4: exchange.Receive(4 + 2 - 1); break;
    case kAddressDomain: exchange.Receive(Byte(head, 4) + size_t{2}); break;
    case kAddressIPv6: exchange.Receive(16 + 2 - 1); break;
    default: throw EIdSocksServerAddressError();
  }
}

}  // namespace kv
