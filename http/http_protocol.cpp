// The exchange: the request head, the response head's lines, the reuse rule
// and the verdict after the head.
#include "http/http_protocol.h"

#include "base/text_tokens.h"
#include "net/exceptions.h"
#include "net/tcp_connection.h"

namespace kv {

int TIdHTTPResponse::StatusCode() {
  status_code_ = StatusCodeOf(StatusLine);
  return status_code_;
}

bool TIdHTTPResponse::Reusable(bool connected, TIdHTTPProtocolVersion client_version) {
  if (const auto version = StatusVersionOf(StatusLine)) StatusVersion = *version;
  if (!connected) return false;
  // The client's version decides, not the one in the status line.
  const std::string_view connection = TrimView(Connection);
  const std::string_view proxy_connection = TrimView(ProxyConnection);
  if (client_version == pv1_1) {
    return !SameTextAscii(connection, "close") && !SameTextAscii(proxy_connection, "close");
  }
  return SameTextAscii(connection, "keep-alive") || SameTextAscii(proxy_connection, "keep-alive");
}

void TIdHTTPProtocol::WriteRequest(TIdTCPConnection& connection, const TIdHTTPPass& pass,
                                   TIdHTTPProtocolVersion version, TIdProxyConnectionInfo* proxy,
                                   bool origin_credentials, const std::string& cookies) {
  request_.ComposeHeaders(origin_credentials);
  if (proxy != nullptr) proxy->ComposeHeaders(request_.HeaderLines);
  if (!cookies.empty()) request_.HeaderLines.SetValueOf("Cookie", cookies);

  // The whole head leaves in one send: written at once as one text, or
  // collected with what a caller's own write buffering already holds.
  WriteRequestHead(head_, pass.Method, pass.Target, version, request_.HeaderLines);
  const std::string& head = head_;
  if (!connection.WriteBufferingOpen()) {
    connection.WriteText(head);
    return;
  }
  connection.OpenWriteBuffering(-1);  // no threshold: nothing leaves before the close
  try {
    connection.WriteText(head);
  } catch (...) {
    connection.ClearWriteBuffering();
    throw;
  }
  connection.CloseWriteBuffering();
}

void TIdHTTPProtocol::ReadHeaderLines(TIdTCPConnection& connection) {
  TIdHeaderList& lines = response_.HeaderLines;
  lines.Clear();
  THeaderBlockLimit limit(connection.MaxLineLength);
  bool any_read = false;
  bool ended = false;
  // Each line goes into the storage of a line of the last head.
  auto take = [&](std::string_view text) {
    any_read = true;
    if (text.empty()) {
      ended = true;
      return false;
    }
    limit.Count(text);
    lines.AddCopy(text);
    return true;
  };
  std::string waited;
  try {
    // What has arrived is taken in one step; only a head that is still
    // arriving (or has an over-long line) is read line by line.
    for (connection.TakeBufferedLines(take); !ended; connection.TakeBufferedLines(take)) {
      connection.ReadLnInto(waited);
      if (!take(waited)) break;
    }
  } catch (const EIdConnClosedGracefully&) {
    // The head ends where the peer closed, and what arrived is used; a
    // close before the first line is the caller's to handle.
    if (!any_read) throw;
    connection.Disconnect();
  }
  response_.ParseHeaders();
}

TIdHTTPResponseKind ResponseKindOf(int code, std::string_view location) {
  const int hundreds = code / 100;
  if ((hundreds == 3 && code != 304) || !location.empty()) return rkRedirect;
  if (hundreds == 2) return rkDone;
  if (code == 401) return rkChallenge;
  if (code == 407) return rkProxyChallenge;
  return rkRefused;
}

bool ChallengeWithinLimit(const TIdHTTPVerdictInput& input) {
  const int attempts = input.Kind == rkProxyChallenge ? input.ProxyAuthAttempts : input.AuthAttempts;
  return attempts < input.AuthRetries;
}

namespace {

TIdHTTPVerdict RedirectVerdict(const TIdHTTPVerdictInput& input) {
  TIdHTTPVerdict verdict;
  if (!input.RedirectHandled) {
    verdict.Body = baRaiseStatusError;
    return verdict;
  }
  verdict.Body = baDiscard;
  if (input.HandleRedirects && input.RedirectCount < input.RedirectMaximum) {
    verdict.Step = verdict.StepIfClosed = nxFollow;
    verdict.Target = input.RedirectTarget;
    verdict.Method = input.RedirectMethod;
  } else {
    // A redirect that is handled but not followed ends the request.
    verdict.Step = verdict.StepIfClosed = nxDone;
  }
  return verdict;
}

}  // namespace

TIdHTTPVerdict EvaluateResponse(const TIdHTTPVerdictInput& input) {
  if (input.Kind == rkRedirect) return RedirectVerdict(input);
  TIdHTTPVerdict verdict;
  verdict.Body = baRead;  // nothing is read for a 204
  verdict.Step = nxDone;
  if (input.Kind == rkDone) return verdict;  // closed: nxUndecided

  // Any other code: a granted challenge is followed (or retried at once
  // when authentication runs in process), everything else is refused.
  verdict.StepIfClosed = nxFollow;
  verdict.Target = input.Target;
  verdict.Method = input.Method;
  const bool challenge = input.Kind == rkChallenge || input.Kind == rkProxyChallenge;
  if (!challenge || !ChallengeWithinLimit(input) || !input.ChallengeAnswered) {
    verdict.Body = baRaiseStatusError;
    return verdict;
  }
  verdict.AnswersChallenge = true;
  if (input.InProcessAuth) {
    verdict.Body = baDiscard;
    verdict.Step = nxAuthRetry;
  }
  return verdict;
}

}  // namespace kv
