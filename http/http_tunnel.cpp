// The CONNECT tunnel through an HTTP proxy: an exchange of its own on the
// proxy connection, answered challenges included, until the proxy says the
// tunnel stands; the transport then speaks TLS to the origin through it.
#include "base/int_conversion.h"
#include "http/http_client.h"
#include "http/http_exceptions.h"

namespace kv {

namespace {

// The CONNECT request of `pass`, in the name of the real request: the same
// agent and host, a connection that stays open, no body.
void ComposeConnect(TIdHTTPRequest& connect, const TIdHTTPRequest& real, const TIdHTTPPass& pass) {
  connect.UserAgent = real.UserAgent;
  connect.Host = real.Host;
  connect.Pragma = "no-cache";
  connect.TargetUrl.assign(pass.Target);
  connect.RequestMethod = pass.Method;
  connect.ProxyConnection = "keep-alive";
  // A CONNECT has no body, so it says no length.
  connect.SetContentLength(-1);
}

}  // namespace

void TIdCustomHTTP::OpenTunnel() {
  TIdHTTPProtocol tunnel;
  TIdHTTPRequest& connect = tunnel.Request();
  TIdHTTPResponse& answer = tunnel.Response();
  const std::string authority = current_uri_->Host + ":" + current_uri_->Port;
  const TIdHTTPPass pass{authority, hmConnect, false, authority};
  ComposeConnect(connect, Request(), pass);
  Request().Connection.clear();
  MemoryStream scratch;
  answer.BodyStream = &scratch;

  // The connection is closed with a failed tunnel: what the proxy sent may
  // not be read as anything else.
  auto refuse = [this](const char* why) {
    response_pending_ = false;
    Disconnect();
    return EIdHTTPTunnelError(why);
  };
  for (;;) {
    response_pending_ = true;
    tunnel.WriteRequest(*this, pass, ProtocolVersion, proxy_params_.get(), false, "");
    answer.StatusLine = ReadLn();
    if (answer.StatusLine.empty()) throw refuse("Proxy answered CONNECT without a status line.");
    // The answer is the proxy's own: its cookies are stored for no one.
    tunnel.ReadHeaderLines(*this);
    const int code = answer.StatusCode();
    if (code / 100 == 2) {
      // Nothing comes from the origin before the TLS handshake: bytes that
      // are already here are the proxy's, and would pass for the origin's.
      if (InputBuffer().Length() > 0) throw refuse("Proxy sent data before the tunnel's TLS handshake.");
      // Any 2xx: the tunnel stands and nothing of the answer follows.
      response_pending_ = false;
      IOHandler()->SetClearText(false);
      tunnel_standing_ = true;
      return;
    }
    if (code == 407 && proxy_auth_attempts_ < AuthRetries && HandleProxyAuthChallenge(connect, answer)) {
      DiscardBody(answer, hmConnect);
      // The proxy may close after its challenge: ask again on a new one.
      if (response_pending_ || !answer.Reusable(Connected(), ProtocolVersion)) {
        response_pending_ = false;
        Disconnect();
        Connect(ReadTimeout);
        connection_route_ = RouteIdentity();
      }
      continue;
    }
    if (code == 407 && ProxyParams().ProxyAuthenticator) ProxyParams().ProxyAuthenticator->Restart();
    RaiseStatusError(answer, hmConnect);
  }
}

}  // namespace kv
