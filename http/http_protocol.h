#pragma once
// One HTTP exchange: the request and response records that every pass of a
// request reuses, the request head sent, the response head read, and the
// verdict on what comes after the head. The verdict decides from what the
// client hands it; the client's request loop carries the verdict out.
#include <cstdint>
#include <string>
#include <string_view>

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

  // The request target and method of the last pass, kept for whoever looks
  // at the request afterwards; the passes themselves carry theirs.
  std::string TargetUrl;
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

// One pass of a request as the loop hands it down: the URL it goes to, its
// method, whether that URL is a redirect's (or a retry's) rather than the
// caller's, and, once resolved, the request target written in the request
// line (path and query, "*", the whole URI for a proxy, "host:port" for
// CONNECT). The texts are views: whoever hands the pass down keeps their
// storage for as long as the pass runs.
struct TIdHTTPPass {
  std::string_view Url;
  TIdHTTPMethod Method = hmGet;
  bool Followed = false;
  std::string_view Target;
};

// What a response head asks of the client, by its status code and Location
// alone: which of the client's events the verdict needs an answer from.
enum TIdHTTPResponseKind {
  rkDone,            // 2xx: the body is the caller's
  rkRedirect,        // 3xx but 304, and any other code that names a Location
  rkChallenge,       // 401: the origin asks for credentials
  rkProxyChallenge,  // 407: the proxy asks for them
  rkRefused,         // anything else: the status error
};
TIdHTTPResponseKind ResponseKindOf(int code, std::string_view location);

// What the verdict weighs: the kind of response, the pass it answers, the
// client's settings and counters as the pass found them, and the answers
// the client's events gave before the verdict. Only the event the kind
// calls for is asked.
struct TIdHTTPVerdictInput {
  TIdHTTPResponseKind Kind = rkRefused;
  TIdHTTPMethod Method = hmGet;  // the pass's
  std::string_view Target;       // the pass's request target
  bool HandleRedirects = false;
  int RedirectCount = 0;
  int RedirectMaximum = 15;
  int AuthRetries = 3;
  int AuthAttempts = 0;
  int ProxyAuthAttempts = 0;
  bool InProcessAuth = false;
  // A redirect: whether it is handled, and the target and method its
  // handler settled on (Location and the pass's method unless it changed
  // them).
  bool RedirectHandled = false;
  std::string RedirectTarget;
  TIdHTTPMethod RedirectMethod = hmGet;
  // A challenge: whether credentials are ready for another attempt. Nobody
  // is asked once the attempts have reached the limit.
  bool ChallengeAnswered = false;
};

// A challenge's attempts (the origin's or the proxy's, as the kind says)
// are still below the limit.
bool ChallengeWithinLimit(const TIdHTTPVerdictInput& input);

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
  // pass's request line, the header lines and the empty line in one send.
  void WriteRequest(TIdTCPConnection& connection, const TIdHTTPPass& pass, TIdHTTPProtocolVersion version,
                    TIdProxyConnectionInfo* proxy, bool origin_credentials, const std::string& cookies);
  // The header block after the status line; a peer close after the first
  // header line ends it and disconnects.
  void ReadHeaderLines(TIdTCPConnection& connection);

 private:
  TIdHTTPRequest request_;
  TIdHTTPResponse response_;
  std::string head_;  // the last request head sent: its storage is reused
};

// What follows the head: done, follow a redirect, retry with credentials,
// or the status error; and what becomes of the body. A function of its
// input alone: the events have been asked already.
TIdHTTPVerdict EvaluateResponse(const TIdHTTPVerdictInput& input);

}  // namespace kv
