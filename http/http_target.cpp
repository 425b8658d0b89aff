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

}  // namespace

void TIdCustomHTTP::ResolveTarget(const std::string& url) {
  TIdHTTPRequest& request = Request();
  TIdURI& current = *current_uri_;
  const TIdURI target(url);

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
  current.Protocol = target.Protocol.empty() ? std::string("http") : target.Protocol;

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

  if (request.RequestMethod == hmOptions && target.Resource == "*") {
    request.TargetUrl = "*";
  } else {
    request.TargetUrl = EncodeControlBytes(current.Directory + current.Resource + current.Query);
  }
  if (NeedsHttp11(request.RequestMethod) && ProtocolVersion != pv1_1) {
    throw EIdException("This request method is supported in HTTP 1.1");
  }
  const bool has_upload = request.RequestMethod == hmPost || request.RequestMethod == hmPut;
  request.SetContentLength(has_upload && request.UploadStream != nullptr
                               ? request.UploadStream->Size()
                               : -1);
  request.Host = current.Port == "80" ? current.Host : current.Host + ":" + current.Port;
}

void TIdCustomHTTP::ChooseRoute() {
  TIdURI& current = *current_uri_;
  const int32_t port = StrToInt(current.Port);
  if (port < 0 || port > 65535) throw EIdInvalidPort(current.Port);
  if (!SameTextAscii(Host(), current.Host) || port != Port()) {
    if (Connected()) Disconnect();
    SetHost(current.Host);
    SetPort(port);
  }
  TIdHTTPRequest& request = Request();
  if (SameTextAscii(current.Protocol, "HTTPS")) {
    if (IOHandler() == nullptr || !IOHandler()->SpeaksTls()) throw EIdIOHandlerPropInvalid();
    IOHandler()->SetPeerHostName(current.Host);
    IOHandler()->SetClearText(false);
    request.Route = rtTls;
  } else {
    if (IOHandler() != nullptr && IOHandler()->SpeaksTls()) IOHandler()->SetClearText(true);
    request.Route = rtDirect;
  }
}

bool TIdCustomHTTP::SecureConnection() const { return IOHandler() != nullptr && IOHandler()->SpeaksTls(); }

void TIdCustomHTTP::EnsureConnection() {
  CloseUnlessReusable();
  ProbePeerClosed(IfClosed::Return);
  if (!Connected()) Connect(ReadTimeout);
}

void TIdCustomHTTP::ConnectAndSend() {
  ChooseRoute();
  TIdHTTPRequest& request = Request();
  if (request.Route == rtDirect) {
    if (ProtocolVersion == pv1_0 && request.Connection.empty()) request.Connection = "keep-alive";
  } else if (request.Route == rtTls || request.Route == rtTlsProxy) {
    request.Connection.clear();
  }
  // Routes through a proxy take their own steps here: the absolute request
  // target for rtProxy, the CONNECT tunnel for rtTlsProxy.
  EnsureConnection();
  std::string cookies;
  if (cookie_manager_ != nullptr) cookies = cookie_manager_->CookieHeaderFor(*current_uri_, SecureConnection());
  response_pending_ = true;
  protocol_->WriteRequest(*this, ProtocolVersion, ProxyParams(), cookies);
  const bool has_upload = request.RequestMethod == hmPost || request.RequestMethod == hmPut;
  if (has_upload && request.UploadStream != nullptr) WriteFromStream(*request.UploadStream);
}

}  // namespace kv
