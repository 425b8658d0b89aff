// The exchange: the request text, the response head's lines, the status
// code and the reuse rule, and the verdict after the head.
#include "http/http_protocol.h"

#include "base/int_conversion.h"
#include "base/text.h"
#include "base/text_tokens.h"
#include "http/http_client.h"
#include "http/cookie_manager.h"
#include "net/exceptions.h"

namespace kv {

namespace {

// The header block of one response may not grow past this many bytes: each
// line is limited by the connection, but the number of lines is not.
constexpr size_t kMaxHeaderBlockLines = 64;  // times the line limit

}  // namespace

const char* ProtocolVersionText(TIdHTTPProtocolVersion version) { return version == pv1_0 ? "1.0" : "1.1"; }

const char* MethodWord(TIdHTTPMethod method) {
  switch (method) {
    case hmHead: return "HEAD ";
    case hmGet: return "GET ";
    case hmPost: return "POST ";
    case hmOptions: return "OPTIONS ";
    case hmTrace: return "TRACE ";
    case hmPut: return "PUT ";
    case hmDelete: return "DELETE ";
    case hmConnect: return "CONNECT ";
  }
  return "GET ";
}

int StatusCodeOf(std::string_view status_line) {
  std::string rest(status_line);
  const size_t blank = rest.find(' ');
  if (blank != std::string::npos) rest.erase(0, blank + 1);
  rest = Trim(rest);
  return TryStrToInt(CutToken(rest, " ")).value_or(-1);
}

std::optional<int64_t> ChunkSizeOf(std::string_view line) {
  // More digits than this would not fit in 64 bits: not a size.
  constexpr size_t kMaxDigits = 15;
  line = line.substr(0, line.find_first_of("; \t"));
  if (line.empty() || line.size() > kMaxDigits) return std::nullopt;
  int64_t length = 0;
  for (char c : line) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    length = length * 16 + digit;
  }
  return length;
}

int64_t ChunkLengthOf(std::string_view line) { return ChunkSizeOf(line).value_or(0); }

size_t HeaderBlockLimit(int max_line_length) {
  const size_t line_limit = max_line_length > 0 ? static_cast<size_t>(max_line_length) : 16384;
  return line_limit * kMaxHeaderBlockLines;
}

int TIdHTTPResponse::StatusCode() {
  status_code_ = StatusCodeOf(StatusLine);
  return status_code_;
}

bool TIdHTTPResponse::Reusable() {
  const std::string version = Copy(StatusLine, 6, 3);
  if (SameTextAscii(version, "1.0")) StatusVersion = pv1_0;
  else if (SameTextAscii(version, "1.1")) StatusVersion = pv1_1;

  client_.CheckPeerClosed(false, false);
  if (!client_.Connected()) return false;
  const std::string connection = Trim(Connection);
  const std::string proxy_connection = Trim(ProxyConnection);
  if (client_.ProtocolVersion == pv1_1) {
    return !SameTextAscii(connection, "close") && !SameTextAscii(proxy_connection, "close");
  }
  return SameTextAscii(connection, "keep-alive") || SameTextAscii(proxy_connection, "keep-alive");
}

TIdHTTPProtocol::TIdHTTPProtocol(TIdCustomHTTP& client) : client_(client), response_(client) {}

void TIdHTTPProtocol::WriteRequest(const TIdURI* uri, bool secure_connection) {
  request_.ComposeHeaders();
  client_.ProxyParams().ComposeHeaders(request_.HeaderLines);
  if (uri != nullptr && client_.CookieManager() != nullptr) {
    const std::string cookies = client_.CookieManager()->CookieHeaderFor(*uri, secure_connection);
    if (!cookies.empty()) request_.HeaderLines.SetValueOf("Cookie", cookies);
  }

  // The whole head leaves in one send.
  client_.OpenWriteBuffering(-1);
  try {
    client_.WriteLine(std::string(MethodWord(request_.RequestMethod)) + request_.TargetUrl + " HTTP/" +
                      ProtocolVersionText(client_.ProtocolVersion));
    for (const std::string& line : request_.HeaderLines.Lines()) {
      if (!line.empty()) client_.WriteLine(line);
    }
    client_.WriteLine("");
  } catch (...) {
    client_.ClearWriteBuffering();
    throw;
  }
  client_.CloseWriteBuffering();
}

void TIdHTTPProtocol::ReadHeaderLines() {
  TIdHeaderList& lines = response_.HeaderLines;
  lines.Clear();
  const size_t block_limit = HeaderBlockLimit(client_.MaxLineLength);
  size_t block_size = 0;

  std::string line = client_.ReadLn();
  try {
    while (!line.empty()) {
      block_size += line.size() + 2;
      // An endless header block fails like an endless line.
      if (block_size > block_limit) throw EIdReadLnMaxLineLengthExceeded();
      lines.Add(std::move(line));
      line = client_.ReadLn();
    }
  } catch (const EIdConnClosedGracefully&) {
    // The head ends where the peer closed; what arrived is used.
    client_.Disconnect();
  }
  response_.ParseHeaders();
}

TIdHTTPNextStep TIdHTTPProtocol::EvaluateResponse() {
  TIdHTTPNextStep result = nxUndecided;
  const int code = response_.StatusCode();
  const int hundreds = code / 100;

  if ((hundreds == 3 && code != 304) || !response_.Location.empty()) {
    std::string location = response_.Location;
    TIdHTTPMethod method = request_.RequestMethod;
    if (client_.HandleRedirects && client_.redirect_counter_ < client_.RedirectMaximum) {
      if (!client_.NotifyRedirect(location, method, client_.redirect_counter_)) client_.RaiseStatusError();
      result = nxFollow;
      request_.TargetUrl = location;
      request_.RequestMethod = method;
    } else {
      result = nxDone;
      if (!client_.NotifyRedirect(location, method, client_.redirect_counter_)) client_.RaiseStatusError();
      response_.Location = location;
    }
    if (client_.Connected()) client_.DiscardBody();
    return result;
  }

  bool drain_for_retry = false;
  if (hundreds != 2) {
    result = nxFollow;
    if (code == 401) {
      if (client_.auth_attempts_ >= client_.AuthRetries || !client_.HandleAuthChallenge(request_, response_)) {
        client_.RaiseStatusError();
      }
      drain_for_retry = (client_.HTTPOptions & hoInProcessAuth) != 0;
    } else if (code == 407) {
      if (client_.proxy_auth_attempts_ >= client_.AuthRetries ||
          !client_.HandleProxyAuthChallenge(request_, response_)) {
        client_.RaiseStatusError();
      }
      drain_for_retry = (client_.HTTPOptions & hoInProcessAuth) != 0;
    } else {
      client_.RaiseStatusError();
    }
  }

  if (client_.Connected()) {
    if (drain_for_retry) {
      client_.DiscardBody();
      return nxAuthRetry;
    }
    client_.ReadBody();  // reads nothing for a 204
    return nxDone;
  }
  return result;
}

}  // namespace kv
