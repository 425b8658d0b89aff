// Where a pass goes: the caller's URL merged into the current target, the
// connection pointed at its host and port, the route, the request head sent.
#include "base/int_conversion.h"
#include "base/text_tokens.h"
#include "http/http_client.h"
#include "http/http_exceptions.h"
#include "net/exceptions.h"

namespace kv {

namespace {

bool NeedsHttp11(TIdHTTPMethod method) {
  return method == hmOptions || method == hmTrace || method == hmPut || method == hmDelete;
}

bool SendsUpload(TIdHTTPMethod method) { return method == hmPost || method == hmPut; }

}  // namespace

void TIdCustomHTTP::ResolveTarget(TIdHTTPPass& pass) {
  TIdHTTPRequest& request = Request();
  TIdURI& current = *current_uri_;
  TIdURI& target = parsed_target_;
  target.Parse(pass.Url);

  if (!target.Username.empty()) {
    request.Username = target.Username;
    request.Password = target.Password;
  }
  current.Username = request.Username;
  current.Password = request.Password;
  current.Directory = MergePath(current.Directory, target.Directory);
  current.Resource = target.Resource;
  current.Query = target.Query;
  if (!target.Host.empty()) current.Host = target.Host;
  // A relative redirect stays on the scheme of the page that named it; an
  // https page must not send its next request in clear.
  if (!target.Protocol.empty()) current.Protocol = target.Protocol;
  else if (!pass.Followed) current.Protocol = "http";

  if (!target.Port.empty()) {
    current.Port = target.Port;
  } else {
    // A URL without a port keeps a previous port unless that was a
    // scheme's default.
    const int32_t previous = TryStrToInt(current.Port).value_or(0);
    if (previous == 0 || previous == 80 || previous == 443) {
      if (SameTextAscii(current.Protocol, "http")) current.Port = "80";
      else if (SameTextAscii(current.Protocol, "https")) current.Port = "443";
      else throw EIdUnknownProtocol();
    }
  }

  std::string& path = request_target_;
  if (pass.Method == hmOptions && target.Resource == "*") {
    path.assign("*");
  } else {
    path.assign(current.Directory).append(current.Resource).append(current.Query);
    path = EncodeControlBytes(std::move(path));
  }
  UseRequestTarget(pass);
  if (NeedsHttp11(pass.Method) && ProtocolVersion != pv1_1) {
    throw EIdException("This request method is supported in HTTP 1.1");
  }
  request.SetContentLength(SendsUpload(pass.Method) && request.UploadStream != nullptr
                               ? request.UploadStream->Size()
                               : -1);
  request.Host.assign(current.Host);
  if (current.Port != "80") request.Host.append(":").append(current.Port);
}

void TIdCustomHTTP::UseRequestTarget(TIdHTTPPass& pass) {
  pass.Target = request_target_;
  Request().TargetUrl.assign(request_target_);
}

void TIdCustomHTTP::ChooseRoute() {
  TIdURI& current = *current_uri_;
  const int32_t port = StrToInt(current.Port);
  if (port < 0 || port > 65535) throw EIdInvalidPort(current.Port);
  TIdHTTPRequest& request = Request();
  TIdIOHandler* transport = IOHandler();
  const bool tls_transport = transport != nullptr && transport->SpeaksTls();
  const bool https = SameTextAscii(current.Protocol, "HTTPS");
  const TIdProxyConnectionInfo& proxy = *proxy_params_;

  const bool via_proxy = !proxy.ProxyServer().empty();
  if (!via_proxy) {
    if (!SameTextAscii(Host(), current.Host) || port != Port()) {
      if (Connected()) Disconnect();
      SetHost(current.Host);
      SetPort(port);
    }
  } else {
    // The connection goes to the proxy; the origin stays in CurrentUri.
    if ((!SameTextAscii(Host(), proxy.ProxyServer()) || Port() != proxy.ProxyPort()) && Connected()) Disconnect();
    CheckPortNumber(proxy.ProxyPort());
    TIdTCPClient::SetHost(proxy.ProxyServer());
    TIdTCPClient::SetPort(proxy.ProxyPort());
  }
  if (https) {
    // No TLS transport: the request would go out in clear, straight or
    // where a tunnel should have been.
    if (!tls_transport) throw EIdIOHandlerPropInvalid();
    transport->SetPeerHostName(current.Host);
    request.Route = via_proxy ? rtTlsProxy : rtTls;
  } else {
    request.Route = via_proxy ? rtProxy : rtDirect;
  }
  // A connection stands for one route: another route needs another one.
  if (!connection_route_.empty()) {
    WriteRouteIdentity(route_scratch_);
    if (connection_route_ != route_scratch_ && Connected()) Disconnect();
  }
  // Plain until a tunnel stands; TLS at once to the origin.
  if (tls_transport && !(request.Route == rtTlsProxy && tunnel_standing_)) {
    transport->SetClearText(request.Route != rtTls);
  }
}

std::string TIdCustomHTTP::RouteIdentity() const {
  std::string route;
  WriteRouteIdentity(route);
  return route;
}

void TIdCustomHTTP::WriteRouteIdentity(std::string& route) const {
  const TIdURI& current = *current_uri_;
  route.clear();
  route.reserve(32 + current.Host.size() + proxy_params_->ProxyServer().size());
  auto append_upper = [&route](std::string_view text) {
    const size_t at = route.size();
    route.append(text);
    for (size_t i = at; i < route.size(); ++i) route[i] = UpperAscii(route[i]);
  };
  auto append_origin = [&] {
    append_upper(current.Host);
    route.append(":").append(current.Port);
  };
  auto append_proxy = [&] {
    append_upper(proxy_params_->ProxyServer());
    route.append(":").append(IntToStr(proxy_params_->ProxyPort()));
  };
  switch (Request().Route) {
    case rtDirect:
      route.append("direct ");
      append_origin();
      break;
    case rtTls:
      route.append("tls ");
      append_origin();
      break;
    case rtProxy:
      route.append("proxy ");
      append_proxy();
      break;
    case rtTlsProxy:
      route.append("tunnel ");
      append_proxy();
      route.append(" to ");
      append_origin();
      break;
  }
}

bool TIdCustomHTTP::SecureRoute() const {
  const TIdHTTPRoute route = Request().Route;
  return route == rtTls || (route == rtTlsProxy && tunnel_standing_);
}

bool TIdCustomHTTP::CredentialsForThisOrigin() {
  TIdHTTPRequest& request = Request();
  const bool credentials = request.Authenticator || request.BasicAuthentication;
  // No origin is named by an empty text: without credentials ever sent,
  // there is nothing to compare.
  if (credentials_origin_.empty() && !credentials) return false;
  const std::string origin = OriginOf(*current_uri_);
  // The first origin that credentials go to is the one they are for.
  if (credentials_origin_.empty()) credentials_origin_ = origin;
  return credentials_origin_ == origin;
}

void TIdCustomHTTP::EnsureConnection() {
  CloseUnlessReusable();
  ProbePeerClosed(IfClosed::Return);
  if (!Connected()) {
    // A new connection of a tunnel talks to the proxy until its CONNECT is
    // answered, even when the connection before it carried the tunnel.
    if (Request().Route == rtTlsProxy) IOHandler()->SetClearText(true);
    Connect(ReadTimeout);
    connection_route_ = RouteIdentity();
    tunnel_standing_ = false;
  }
}

void TIdCustomHTTP::ConnectAndSend(TIdHTTPPass& pass) {
  ChooseRoute();
  TIdHTTPRequest& request = Request();
  switch (request.Route) {
    case rtDirect:
      request.ProxyConnection.clear();  // a proxy's word, and this goes to no proxy
      if (ProtocolVersion == pv1_0 && request.Connection.empty()) request.Connection = "keep-alive";
      break;
    case rtProxy:
      // A proxy is asked for the whole URI.
      request_target_ = EncodeControlBytes(current_uri_->FullUri(0));
      UseRequestTarget(pass);
      if (ProtocolVersion == pv1_0 && request.Connection.empty()) request.ProxyConnection = "keep-alive";
      break;
    case rtTls:
    case rtTlsProxy:
      // Inside TLS the request is the origin's: a redirect from a plain
      // proxy request leaves none of the proxy's words behind.
      request.Connection.clear();
      request.ProxyConnection.clear();
      break;
  }
  EnsureConnection();
  if (request.Route == rtTlsProxy && !tunnel_standing_) OpenTunnel();
  std::string cookies;
  if (cookie_manager_ != nullptr) cookies = cookie_manager_->CookieHeaderFor(*current_uri_, SecureRoute());
  response_pending_ = true;
  // Proxy credentials go to the proxy only, never through a tunnel.
  protocol_->WriteRequest(*this, pass, ProtocolVersion, request.Route == rtProxy ? proxy_params_.get() : nullptr,
                          CredentialsForThisOrigin(), cookies);
  if (SendsUpload(pass.Method) && request.UploadStream != nullptr) WriteFromStream(*request.UploadStream);
}

}  // namespace kv
