#pragma once
// The HTTP/1.x client. The client object is itself the TCP connection it
// talks over: one request runs pass after pass (redirects, authentication
// retries) on that connection, which stays open across calls while the
// responses allow it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/stream.h"
#include "http/cookie_manager.h"
#include "http/http_protocol.h"
#include "http/proxy_info.h"
#include "http/uri.h"
#include "net/tcp_client.h"

namespace kv {

enum TIdHTTPOption : unsigned {
  hoInProcessAuth = 1u << 0,
  hoKeepOrigProtocol = 1u << 1,
  hoForceEncodeParams = 1u << 2,
};

// Called before a redirect is followed (or refused): the handler may change
// the target, say whether it is handled and change the next pass's method.
// `numRedirect` is a copy: changing it changes nothing.
using TIdHTTPOnRedirectEvent = std::function<void(Component* Sender, std::string& dest, int& numRedirect,
                                                  bool& Handled, TIdHTTPMethod& VMethod)>;
// Called when a challenge is answered for the first time: the handler may
// pick another scheme than the first registered one the challenge names.
using TIdOnSelectAuthorization = std::function<void(Component* Sender, const TIdAuthenticationClass*& AuthenticationClass,
                                                    const TIdHeaderList& AuthInfo)>;
// Asked for credentials: the handler fills the authenticator's user name
// and password and sets Handled to answer the challenge.
using TIdOnAuthorization = std::function<void(Component* Sender, TIdAuthentication& Authentication, bool& Handled)>;

class TIdCustomHTTP : public TIdTCPClient {
 public:
  explicit TIdCustomHTTP(Component* owner = nullptr);
  ~TIdCustomHTTP() override;

  // ---- settings -------------------------------------------------------------
  int AuthRetries = 3;
  bool AllowCookies = true;
  bool HandleRedirects = false;
  TIdHTTPProtocolVersion ProtocolVersion = pv1_1;
  int RedirectMaximum = 15;
  unsigned HTTPOptions = hoForceEncodeParams;
  TIdHTTPOnRedirectEvent OnRedirect;
  TIdOnSelectAuthorization OnSelectAuthorization;
  TIdOnSelectAuthorization OnSelectProxyAuthorization;
  TIdOnAuthorization OnAuthorization;
  TIdOnAuthorization OnProxyAuthorization;

  TIdProxyConnectionInfo& ProxyParams() { return *proxy_params_; }
  TIdHTTPRequest& Request() { return protocol_->Request(); }
  const TIdHTTPRequest& Request() const { return protocol_->Request(); }
  // Copies the given record's fields into the client's request record.
  void SetRequest(const TIdHTTPRequest& request);
  TIdHTTPResponse& LastResponse() { return protocol_->Response(); }
  TIdURI& CurrentUri() { return *current_uri_; }

  // Writing the connection's host or port also writes CurrentUri's.
  void SetHost(const std::string& host) override;
  void SetPort(int port) override;

  TIdCookieManager* CookieManager() const { return cookie_manager_; }
  // Frees a manager the client made for itself and registers for the
  // removal of the new one.
  void SetCookieManager(TIdCookieManager* manager);
  bool OwnsCookieManager() const { return owns_cookie_manager_; }

  // ---- requests -------------------------------------------------------------
  // The body goes into `body` from its current position; status and headers
  // are in LastResponse().
  void Get(const std::string& url, Stream* body);
  void Head(const std::string& url);
  void Post(const std::string& url, Stream& upload, Stream* body);
  virtual void RunRequest(TIdHTTPMethod method, const std::string& url, Stream* body, Stream* upload);

  // True when credentials are ready for another attempt at a 401 (origin)
  // or a 407 (proxy) challenge.
  virtual bool HandleAuthChallenge(TIdHTTPRequest& request, TIdHTTPResponse& response);
  virtual bool HandleProxyAuthChallenge(TIdHTTPRequest& request, TIdHTTPResponse& response);
  // Handled starts as HandleRedirects; OnRedirect may change it, `dest` and
  // `method`.
  virtual bool NotifyRedirect(std::string& dest, TIdHTTPMethod& method, int count);

  int RedirectCounter() const { return redirect_counter_; }

  // The credentials ("Authorization", sent unasked or in answer to a 401)
  // are for the origin of `url` alone: its scheme (http when it names
  // none), host and port. Unbound, they are for the first origin they go
  // to.
  void BindCredentialsTo(const std::string& url);

 protected:
  void Notification(Component* component, Operation operation) override;
  // After the connection's own handling: an origin authenticator that has
  // finished its steps is released, the proxy's starts again, and the
  // connection is no longer any route's.
  void NotifyDisconnected() override;

 private:
  // The passes of one request, from the caller's `url` on, until a verdict
  // says done; the body is cut back for each redirect followed.
  void RunPasses(TIdHTTPMethod method, const std::string& url, Stream* body);
  // Closes the connection unless it can carry the next request; the
  // redirect count starts again.
  void EndRequest();
  // One pass of the request loop: the pass's URL requested with its method,
  // the response head read and judged, its body dealt with as the verdict
  // says. The verdict's Step is the one that applies.
  TIdHTTPVerdict RunPass(TIdHTTPPass& pass);
  // Splits the pass's URL and merges it into CurrentUri; sets the pass's
  // request target, the Host value and the content length. A URL without a
  // scheme means http from the caller, and the current scheme when the pass
  // is a followed one.
  void ResolveTarget(TIdHTTPPass& pass);
  // The pass's request target is now request_target_; the request record
  // keeps a copy.
  void UseRequestTarget(TIdHTTPPass& pass);
  // Points the connection at the origin or the proxy, picks the route, and
  // closes an open connection that is another route's.
  void ChooseRoute();
  // What a connection for the route is: route, proxy and origin.
  std::string RouteIdentity() const;
  // RouteIdentity written into `route`, whose storage is reused.
  void WriteRouteIdentity(std::string& route) const;
  // "Authorization" goes only to the origin it was given for.
  bool CredentialsForThisOrigin();
  // "SCHEME://HOST:port" of `uri`, the form credentials_origin_ holds.
  static std::string OriginOf(const TIdURI& uri);
  // The CONNECT exchange on the proxy connection, until the tunnel stands;
  // then the transport speaks TLS to the origin through it.
  void OpenTunnel();
  bool SecureRoute() const;
  // The route's words in the request (the whole URI as the target for a
  // proxy), the connection, a tunnel if the route needs one, then the
  // request and its upload.
  void ConnectAndSend(TIdHTTPPass& pass);
  void EnsureConnection();
  // The response's kind, the pass, and the settings and counters as they
  // stand before any event is asked.
  TIdHTTPVerdictInput VerdictInput(const TIdHTTPPass& pass);
  // Asks the events that the response's kind calls for (OnRedirect, or a
  // challenge's handler while the attempts are below the limit) and puts
  // their answers into `input`.
  void AskEvents(TIdHTTPVerdictInput& input);
  // Raises the status error, or reads or drops the body of a `method`
  // request while the connection stands; settles the verdict's step.
  void CarryOut(TIdHTTPVerdict& verdict, TIdHTTPMethod method);
  // Status line, header block, cookies; a 100 head is skipped.
  void ReadResponseHead();
  // The origin's cookies; a proxy's answer to CONNECT stores none.
  void StoreResponseCookies();
  // The response body into the response's BodyStream, by length, by chunks
  // or until the peer closes. A body cut short by the peer raises
  // EIdConnClosedGracefully, except one that runs until the close.
  void ReadBody(TIdHTTPResponse& response, TIdHTTPMethod method);
  void ReadChunkedBody(Stream& body);
  // A chunk size line's size; -1 for a line that is no size.
  int64_t ReadChunkLength();
  // A line of a chunked body; the peer's close before its end raises.
  std::string ReadBodyLine();
  // Reads and drops a body with a short time limit; nothing of it fails.
  // True when the body was read to its end.
  bool DiscardBody(TIdHTTPResponse& response, TIdHTTPMethod method);
  // The last response lets the connection, if it still stands, stay open.
  bool ResponseReusable();
  // Closes the connection when its response was not read to the end or
  // does not let it stay open.
  void CloseUnlessReusable();
  [[noreturn]] void RaiseStatusError(TIdHTTPResponse& response, TIdHTTPMethod method);

  std::unique_ptr<TIdURI> current_uri_;
  TIdURI parsed_target_;  // the caller's URL, split: kept to reuse its storage
  std::string request_target_;  // the pass's request target: its storage is reused
  std::unique_ptr<TIdHTTPProtocol> protocol_;
  std::unique_ptr<TIdProxyConnectionInfo> proxy_params_;
  std::unique_ptr<TIdCookieManager> owned_cookie_manager_;  // made because AllowCookies is set
  TIdCookieManager* cookie_manager_ = nullptr;
  bool owns_cookie_manager_ = false;
  int redirect_counter_ = 0;
  // Set when a request head is sent, cleared once its response has been
  // read to the end: only then can the connection carry another exchange.
  bool response_pending_ = false;
  int auth_attempts_ = 0;
  int proxy_auth_attempts_ = 0;
  std::string credentials_origin_;  // scheme://host:port the credentials are for
  std::string connection_route_;    // RouteIdentity of the open connection
  std::string route_scratch_;       // RouteIdentity of the pass being prepared
  std::string status_line_read_;    // a status line being read, swapped in once whole
  bool tunnel_standing_ = false;
};

// The published client; it adds no behaviour.
class TIdHTTP : public TIdCustomHTTP {
 public:
  explicit TIdHTTP(Component* owner = nullptr) : TIdCustomHTTP(owner) {}
};

}  // namespace kv
