// Answers to 401 and 407 challenges, and what a closed connection means
// for the authenticators.
#include "base/text_tokens.h"
#include "http/authentication.h"
#include "http/http_client.h"

namespace kv {

namespace {

// The first challenge whose scheme is registered, its class, or null.
const TIdAuthenticationClass* FirstKnownScheme(const TIdHeaderList& challenges) {
  for (const std::string& challenge : challenges.Lines()) {
    const std::string scheme = challenge.substr(0, challenge.find(' '));
    if (const TIdAuthenticationClass* found = FindAuthScheme(scheme)) return found;
  }
  return nullptr;
}

// Makes the authenticator for a challenge when there is none yet.
bool EnsureAuthenticator(std::unique_ptr<TIdAuthentication>& authenticator, const TIdHeaderList& challenges,
                         const TIdOnSelectAuthorization& select, Component* sender) {
  if (authenticator) return true;
  const TIdAuthenticationClass* scheme = FirstKnownScheme(challenges);
  if (scheme == nullptr) return false;
  if (select) select(sender, scheme, challenges);
  if (scheme == nullptr) return false;
  authenticator = scheme->Create();
  return authenticator != nullptr;
}

// Where a challenge's credentials come from and go back to: the request's
// user name and password, or the proxy's.
struct Credentials {
  std::string& username;
  std::string& password;
};

// Asks the scheme until it can answer: the program's handler is asked at
// most once a challenge, since a handler that grants without giving
// credentials would otherwise be asked again for ever. `program_answered`
// tells whether the handler gave the credentials.
bool AnswerChallenge(TIdAuthentication& authenticator, Credentials credentials, const TIdOnAuthorization& handler,
                     Component* sender, bool& program_answered) {
  program_answered = false;
  for (bool asked = false;; asked = true) {
    switch (authenticator.Next()) {
      case anAskProgram: {
        if (asked) return false;
        authenticator.AssignUserName(credentials.username);
        authenticator.AssignPassword(credentials.password);
        bool handled = false;
        handler(sender, authenticator, handled);
        if (!handled) return false;
        credentials.username = authenticator.Username();
        credentials.password = authenticator.Password();
        program_answered = true;
        break;
      }
      case anSendRequest: return true;
      case anFail: return false;
    }
  }
}

}  // namespace

std::string TIdCustomHTTP::OriginOf(const TIdURI& uri) {
  return UpperCaseAscii(uri.Protocol) + "://" + UpperCaseAscii(uri.Host) + ":" + uri.Port;
}

void TIdCustomHTTP::BindCredentialsTo(const std::string& url) {
  TIdURI origin(url);
  if (origin.Protocol.empty()) origin.Protocol = "http";
  if (origin.Port.empty()) {
    if (SameTextAscii(origin.Protocol, "http")) origin.Port = "80";
    else if (SameTextAscii(origin.Protocol, "https")) origin.Port = "443";
  }
  credentials_origin_ = OriginOf(origin);
}

bool TIdCustomHTTP::HandleAuthChallenge(TIdHTTPRequest& request, TIdHTTPResponse& response) {
  ++auth_attempts_;
  // The credentials answer only the origin they are for: another origin's
  // challenge finds none.
  std::string origin = OriginOf(*current_uri_);
  if (!credentials_origin_.empty() && credentials_origin_ != origin) return false;
  if (!EnsureAuthenticator(request.Authenticator, response.WWWAuthenticate, OnSelectAuthorization, this))
    return false;
  // Credentials in the request alone do not answer a challenge.
  if (!OnAuthorization) return false;
  TIdAuthentication& authenticator = *request.Authenticator;
  authenticator.AssignUserName(request.Username);
  authenticator.AssignPassword(request.Password);
  authenticator.ParamLines.SetValueOf("Authorization", authenticator.CredentialsText());
  authenticator.ChallengeLines().AssignLines(response.WWWAuthenticate);
  bool program_answered = false;
  if (!AnswerChallenge(authenticator, {request.Username, request.Password}, OnAuthorization, this, program_answered))
    return false;
  // Credentials the program gave are sent unasked from now on; unbound
  // ones are now for the origin they answered.
  if (program_answered) request.BasicAuthentication = true;
  if (credentials_origin_.empty()) credentials_origin_ = std::move(origin);
  return true;
}

bool TIdCustomHTTP::HandleProxyAuthChallenge(TIdHTTPRequest&, TIdHTTPResponse& response) {
  ++proxy_auth_attempts_;
  TIdProxyConnectionInfo& proxy = ProxyParams();
  if (!EnsureAuthenticator(proxy.ProxyAuthenticator, response.ProxyAuthenticate, OnSelectProxyAuthorization, this))
    return false;
  TIdAuthentication& authenticator = *proxy.ProxyAuthenticator;
  authenticator.Restart();
  if (!OnProxyAuthorization) return false;
  // The stored password survives the challenge: the handler is asked when
  // there is no user name yet, and sees the current password.
  authenticator.AssignUserName(proxy.ProxyUsername);
  authenticator.AssignPassword(proxy.ProxyPassword);
  authenticator.ChallengeLines().AssignLines(response.ProxyAuthenticate);
  bool program_answered = false;
  return AnswerChallenge(authenticator, {proxy.ProxyUsername, proxy.ProxyPassword}, OnProxyAuthorization, this,
                         program_answered);
}

void TIdCustomHTTP::NotifyDisconnected() {
  TIdTCPClient::NotifyDisconnected();
  connection_route_.clear();
  tunnel_standing_ = false;
  std::unique_ptr<TIdAuthentication>& origin = Request().Authenticator;
  if (origin && origin->StepCount() == origin->StepsDone) origin.reset();
  if (ProxyParams().ProxyAuthenticator) ProxyParams().ProxyAuthenticator->Restart();
}

}  // namespace kv
