#pragma once
// One HTTP exchange: the request and response records that every pass of a
// request reuses, the request head sent, the response head read, and the
// verdict on what comes after the head. The exchange decides; the client's
// request loop carries the verdict out.
#include <cstdint>
#include <functional>
#include <string>

#include "base/stream.h"
#include "http/http_wire.h"
#include "http/proxy_info.h"
#include "http/request_header.h"
#include "http/response_header.h"

namespace kv {

class TIdTCPConnection;

// Plain origin, TLS origin, plain through an HTTP proxy, tunnel through one.
enum TIdHTTPRoute { rtDirect, rtTls, rtProxy, rtTlsProxy };
enum TIdHTTPNextStep { nxFollow, nxDone, nxUndecided, nxAuthRetry };
// What becomes of the body of the response a verdict is made on.
enum TIdHTTPBodyAction {
  baNone,
  baRead,              // into the caller's stream
  baDiscard,           // read and dropped
  baRaiseStatusError,  // read into the status error, which is raised
};

class TIdHTTPRequest : public TIdRequestHeaderInfo {
 public:
  const char* ClassName() const noexcept override { return "TIdHTTPRequest"; }

  std::string TargetUrl;  // the request target of the pass under way
  TIdHTTPMethod RequestMethod = hmGet;
  Stream* UploadStream = nullptr;  // not owned; the body of POST and PUT
  TIdHTTPRoute Route = rtDirect;
};

class TIdHTTPResponse : public TIdResponseHeaderInfo {
 public:
  const char* ClassName() const noexcept override { return "TIdHTTPResponse"; }

  // The code read from StatusLine: the word after the first blank as a
  // decimal number, -1 when it is none. Also stored.
  int StatusCode();
  int StoredStatusCode() const { return status_code_; }
  // Whether this response lets a connection that is still `connected` stay
  // open under the client's protocol version. Also sets StatusVersion.
  bool Reusable(bool connected, TIdHTTPProtocolVersion client_version);

  std::string StatusLine;
  TIdHTTPProtocolVersion StatusVersion = pv1_1;
  Stream* BodyStream = nullptr;  // the caller's stream, not owned

 private:
  int status_code_ = -1;
};

// What the verdict weighs besides the response: the client's settings and
// counters, and the two questions only the client's events can answer.
struct TIdHTTPVerdictInput {
  bool HandleRedirects = false;
  int RedirectCount = 0;
  int RedirectMaximum = 15;
  int AuthRetries = 3;
  int AuthAttempts = 0;
  int ProxyAuthAttempts = 0;
  bool InProcessAuth = false;
  // Whether a redirect to `dest` is handled; may change `dest` and `method`.
  std::function<bool(std::string& dest, TIdHTTPMethod& method)> RedirectHandled;
  // Whether credentials are ready for another attempt after a 401 (false)
  // or a 407 (true).
  std::function<bool(bool proxy)> ChallengeAnswered;
};

struct TIdHTTPVerdict {
  TIdHTTPNextStep Step = nxUndecided;          // while the connection stands
  TIdHTTPNextStep StepIfClosed = nxUndecided;  // when it no longer does
  TIdHTTPBodyAction Body = baNone;  // read or discard only while it stands
  std::string Target;               // nxFollow: the next pass's URL
  // The next pass answers a challenge (on a new connection when this one
  // has closed): it counts against the authentication limit, not as a
  // redirect.
  bool AnswersChallenge = false;
  TIdHTTPMethod Method = hmGet;     // nxFollow: the next pass's method
};

class TIdHTTPProtocol {
 public:
  TIdHTTPRequest& Request() { return request_; }
  const TIdHTTPRequest& Request() const { return request_; }
  TIdHTTPResponse& Response() { return response_; }

  // Composes the header lines (without the client's own "Authorization"
  // unless `origin_credentials`), then the proxy's credentials when a proxy is
  // given and the "Cookie" line when `cookies` is not empty, and sends the
  // request line, the header lines and the empty line in one send.
  void WriteRequest(TIdTCPConnection& connection, TIdHTTPProtocolVersion version, TIdProxyConnectionInfo* proxy,
                    bool origin_credentials, const std::string& cookies);
  // The header block after the status line; a peer close after the first
  // header line ends it and disconnects.
  void ReadHeaderLines(TIdTCPConnection& connection);
  // What follows the head: done, follow a redirect, retry with credentials,
  // or the status error; and what becomes of the body.
  TIdHTTPVerdict EvaluateResponse(const TIdHTTPVerdictInput& input);

 private:
  TIdHTTPRequest request_;
  TIdHTTPResponse response_;
  std::string head_;  // the last request head sent: its storage is reused
};

}  // namespace kv
