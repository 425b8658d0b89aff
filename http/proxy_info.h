#pragma once
// The HTTP proxy settings of a client: server, port and credentials. A
// proxy is in use exactly when ProxyServer is not empty.

#include <cstdint>
#include <memory>
#include <string>

#include "base/persistent.h"
#include "http/authentication.h"
#include "http/header_list.h"

namespace kv {

class TIdProxyConnectionInfo : public Persistent {
 public:
  TIdProxyConnectionInfo() = default;
  ~TIdProxyConnectionInfo() override = default;

  const char* ClassName() const noexcept override { return "TIdProxyConnectionInfo"; }

  // Adds "Proxy-Authorization" to `headerLines` when there are credentials
  // to send: those of ProxyAuthenticator, or - with BasicAuthentication -
  // of a Basic authenticator made from ProxyUsername and ProxyPassword.
  void ComposeHeaders(TIdHeaderList& headerLines);
  // Empties server, user name and password and sets the port to 0.
  void ResetFields();

  const std::string& ProxyServer() const noexcept { return proxy_server_; }
  int32_t ProxyPort() const noexcept { return proxy_port_; }
  // A server that differs ignoring case, or another port, releases
  // ProxyAuthenticator: its credentials belonged to the old proxy.
  void SetProxyServer(const std::string& value);
  void SetProxyPort(int32_t value);

  std::string ProxyUsername;
  std::string ProxyPassword;
  bool BasicAuthentication = false;
  std::unique_ptr<TIdAuthentication> ProxyAuthenticator;  // owned

 protected:
  void AssignTo(Persistent& destination) const override;

 private:
  std::string proxy_server_;
  int32_t proxy_port_ = 0;
};

}  // namespace kv
