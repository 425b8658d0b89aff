#pragma once
// SOCKS 4, 4A and 5: the settings a socket transport reaches its target
// with through a SOCKS proxy, and the handshakes. With svNoSocks nothing of
// this happens.
#include <string>

#include "net/component.h"
#include "net/exceptions.h"

namespace kv {

class TIdIOHandler;

enum TSocksAuthentication { saNoAuthentication = 0, saUsernamePassword = 1 };
enum TSocksVersion { svNoSocks = 0, svSocks4 = 1, svSocks4A = 2, svSocks5 = 3 };

KV_DECLARE_EXCEPTION(EIdSocksError, EIdException);
KV_DECLARE_ID_EXCEPTION(EIdSocksRequestFailed, EIdSocksError, "Request rejected or failed.");
KV_DECLARE_ID_EXCEPTION(EIdSocksRequestServerFailed, EIdSocksError,
                        "Request rejected because SOCKS server cannot connect.");
KV_DECLARE_ID_EXCEPTION(EIdSocksRequestIdentFailed, EIdSocksError,
                        "Request rejected because the client program and identd report different user-ids.");
KV_DECLARE_ID_EXCEPTION(EIdSocksUnknownError, EIdSocksError, "Unknown socks error.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerRespondError, EIdSocksError, "Socks server did not respond.");
KV_DECLARE_ID_EXCEPTION(EIdSocksAuthMethodError, EIdSocksError, "Invalid socks authentication method.");
KV_DECLARE_ID_EXCEPTION(EIdSocksAuthError, EIdSocksError, "Authentication error to socks server.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerGeneralError, EIdSocksError, "General SOCKS server failure.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerPermissionError, EIdSocksError, "Connection not allowed by ruleset.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerNetUnreachableError, EIdSocksError, "Network unreachable.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerHostUnreachableError, EIdSocksError, "Host unreachable.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerConnectionRefusedError, EIdSocksError, "Connection refused.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerTTLExpiredError, EIdSocksError, "TTL expired.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerCommandError, EIdSocksError, "Command not supported.");
KV_DECLARE_ID_EXCEPTION(EIdSocksServerAddressError, EIdSocksError, "Address type not supported.");

class TIdSocksInfo : public TIdComponent {
 public:
  explicit TIdSocksInfo(Component* owner = nullptr) : TIdComponent(owner) {}

  TSocksAuthentication Authentication = saNoAuthentication;
  std::string Host;
  std::string Password;
  int Port = 1080;
  std::string Username;
  TSocksVersion Version = svNoSocks;

  // Copies the six properties.
  void Assign(const TIdSocksInfo& source);

  // The handshake for Version with the target's host and port, once the
  // socket stands to the proxy, through `transport`: the socket transport
  // that connected to the proxy, or any other that moves raw bytes. Each
  // reply is awaited at most `timeout` ms (-2 or 0: without limit).
  void SocksHandshake(TIdIOHandler& transport, const std::string& host, int port, int timeout) const;
};

}  // namespace kv
