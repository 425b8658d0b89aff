#pragma once
// One HTTP exchange: the request and response records that every pass of a
// request reuses, the request text, the response head and the verdict on
// what comes after the head.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/stream.h"
#include "http/request_header.h"
#include "http/response_header.h"
#include "http/uri.h"

namespace kv {

class TIdCustomHTTP;

enum TIdHTTPProtocolVersion { pv1_0, pv1_1 };
enum TIdHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };
// Plain origin, TLS origin, plain through an HTTP proxy, tunnel through one.
enum TIdHTTPRoute { rtDirect, rtTls, rtProxy, rtTlsProxy };
enum TIdHTTPNextStep { nxFollow, nxDone, nxUndecided, nxAuthRetry };

// "1.0" / "1.1".
const char* ProtocolVersionText(TIdHTTPProtocolVersion version);
// The request line's method word with its trailing blank, "GET " and so on.
const char* MethodWord(TIdHTTPMethod method);
// The word after the status line's first blank as a decimal number; -1 when
// it is none.
int StatusCodeOf(std::string_view status_line);
// A chunk size line: the hex digits before the first ";" (a chunk
// extension follows it), blank or tab; none when the line holds no such
// number or one too large for 64 bits.
std::optional<int64_t> ChunkSizeOf(std::string_view line);
// ChunkSizeOf with a line that is no size counting as 0, the end of the body.
int64_t ChunkLengthOf(std::string_view line);
// The most bytes a header block (or a chunked body's trailer) may take when
// each of its lines may take `max_line_length` (0 or less: the default):
// each line is limited by the connection, but the number of lines is not.
size_t HeaderBlockLimit(int max_line_length);

class TIdHTTPRequest : public TIdRequestHeaderInfo {
 public:
  const char* ClassName() const noexcept override { return "TIdHTTPRequest"; }

  std::string TargetUrl;  // the caller's URL, replaced by the request target
  TIdHTTPMethod RequestMethod = hmGet;
  Stream* UploadStream = nullptr;  // not owned; the body of POST and PUT
  TIdHTTPRoute Route = rtDirect;
};

class TIdHTTPResponse : public TIdResponseHeaderInfo {
 public:
  explicit TIdHTTPResponse(TIdCustomHTTP& client) : client_(client) {}
  const char* ClassName() const noexcept override { return "TIdHTTPResponse"; }

  // The code read from StatusLine: the word after the first blank as a
  // decimal number, -1 when it is none. Also stored.
  int StatusCode();
  int StoredStatusCode() const { return status_code_; }
  // Computed on each call: the connection is open and the response lets it
  // stay so under the client's protocol version. Also sets StatusVersion.
  bool Reusable();

  std::string StatusLine;
  TIdHTTPProtocolVersion StatusVersion = pv1_1;
  Stream* BodyStream = nullptr;  // the caller's stream, not owned

 private:
  TIdCustomHTTP& client_;
  int status_code_ = -1;
};

class TIdHTTPProtocol {
 public:
  explicit TIdHTTPProtocol(TIdCustomHTTP& client);

  TIdHTTPRequest& Request() { return request_; }
  TIdHTTPResponse& Response() { return response_; }

  // Composes the header lines and sends the request line, the header lines
  // and the empty line in one send. `uri` is null for the tunnel request,
  // which asks no cookie manager.
  void WriteRequest(const TIdURI* uri, bool secure_connection);
  // The header block after the status line; a peer close after the first
  // header line ends it and disconnects.
  void ReadHeaderLines();
  // What follows the head: follow, done, retry with credentials. Reads the
  // body into the response's stream, or raises for a refused status.
  TIdHTTPNextStep EvaluateResponse();

 private:
  TIdCustomHTTP& client_;
  TIdHTTPRequest request_;
  TIdHTTPResponse response_;
};

}  // namespace kv
