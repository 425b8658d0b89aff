#pragma once
// What the header records need of an authentication scheme: the text of the
// "Authorization" / "Proxy-Authorization" value and the credentials it is
// built from. The schemes themselves (Basic and the scheme registry) build
// on this interface.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kv {

class TIdAuthentication {
 public:
  virtual ~TIdAuthentication() = default;
  TIdAuthentication(const TIdAuthentication&) = delete;
  TIdAuthentication& operator=(const TIdAuthentication&) = delete;

  // The header value to send, for example "Basic dXNlcjpwdw==".
  virtual std::string CredentialsText() = 0;
  // Set the "Username" / "Password" parameters; empty removes them.
  virtual void AssignUserName(std::string_view value) = 0;
  virtual void AssignPassword(std::string_view value) = 0;

 protected:
  TIdAuthentication() = default;
};

// Makes the authenticator used for credentials sent unasked (the Basic
// scheme). Empty until the authentication schemes install theirs; while it
// is empty, records with BasicAuthentication set send no credentials.
using TIdAuthenticationMaker = std::function<std::unique_ptr<TIdAuthentication>()>;
inline TIdAuthenticationMaker& BasicAuthenticationMaker() {
  static TIdAuthenticationMaker maker;
  return maker;
}

}  // namespace kv
