#include "http/proxy_info.h"

#include "base/text_tokens.h"

namespace kv {

void TIdProxyConnectionInfo::ComposeHeaders(TIdHeaderList& headerLines) {
  if (!ProxyAuthenticator && BasicAuthentication) {
    ProxyAuthenticator = std::make_unique<TIdBasicAuthentication>();
    ProxyAuthenticator->AssignUserName(ProxyUsername);
    ProxyAuthenticator->AssignPassword(ProxyPassword);
  }
  if (!ProxyAuthenticator) return;
  const std::string credentials = ProxyAuthenticator->CredentialsText();
  if (!credentials.empty()) headerLines.SetValueOf("Proxy-Authorization", credentials);
}

void TIdProxyConnectionInfo::ResetFields() {
  SetProxyServer({});
  ProxyUsername.clear();
  ProxyPassword.clear();
  SetProxyPort(0);
}

void TIdProxyConnectionInfo::SetProxyServer(const std::string& value) {
  if (!SameTextAscii(value, proxy_server_)) ProxyAuthenticator.reset();
  proxy_server_ = value;
}

void TIdProxyConnectionInfo::SetProxyPort(int32_t value) {
  if (value != proxy_port_) ProxyAuthenticator.reset();
  proxy_port_ = value;
}

void TIdProxyConnectionInfo::AssignTo(Persistent& destination) const {
  if (auto* proxy = dynamic_cast<TIdProxyConnectionInfo*>(&destination)) {
    proxy->ProxyPassword = ProxyPassword;
    proxy->SetProxyPort(proxy_port_);
    proxy->SetProxyServer(proxy_server_);
    proxy->ProxyUsername = ProxyUsername;
    proxy->BasicAuthentication = BasicAuthentication;
    return;
  }
  Persistent::AssignTo(destination);
}

}  // namespace kv
