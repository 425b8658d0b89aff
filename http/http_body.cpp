// Bodies: by announced length, by chunks, until the peer closes; the body
// of a refused status read into the exception; bodies read only to be
// dropped.
#include <utility>

#include "base/text_tokens.h"
#include "http/http_client.h"
#include "http/http_exceptions.h"
#include "net/exceptions.h"

namespace kv {

namespace {

// Time limits (ms) for the body of a refused status and for a body that is
// read only to be dropped.
constexpr int kErrorBodyTimeout = 2000;
constexpr int kDiscardTimeout = 4000;

// The body of a refused status is kept in memory for the exception; a peer
// that sends without end cannot make it grow past this.
constexpr int64_t kMaxErrorBody = int64_t{16} * 1024 * 1024;

// Gives a setting a value for a scope and restores the old one when the
// scope ends, however it ends.
template <typename T>
class ScopedSetting {
 public:
  ScopedSetting(T& setting, T value) : setting_(setting), saved_(std::exchange(setting, value)) {}
  ~ScopedSetting() { setting_ = saved_; }
  ScopedSetting(const ScopedSetting&) = delete;
  ScopedSetting& operator=(const ScopedSetting&) = delete;

 private:
  T& setting_;
  T saved_;
};

}  // namespace

int64_t TIdCustomHTTP::ReadChunkLength() { return ChunkSizeOf(ReadBodyLine()).value_or(-1); }

std::string TIdCustomHTTP::ReadBodyLine() {
  std::string line = ReadLn();
  // A line that ends where the peer closed is a body cut short, not the
  // empty line that ends a chunked body.
  if (LastLineTimedOut()) throw EIdConnClosedGracefully();
  return line;
}

void TIdCustomHTTP::ReadChunkedBody(Stream& body) {
  ReportStatus(hsStatusText, {"Chunk Started"});
  int64_t length = ReadChunkLength();
  for (; length > 0; length = ReadChunkLength()) {
    ReadToStream(body, length);
    ReadBodyLine();  // the line end after the chunk
  }
  // A size line that is no size ends the body, but nobody knows where the
  // next response would begin: the connection is not kept.
  if (length < 0) return;
  // Trailer lines, if any, up to the empty line that ends the body; their
  // fields are not used.
  THeaderBlockLimit limit(MaxLineLength);
  for (std::string line = ReadBodyLine(); !line.empty(); line = ReadBodyLine()) limit.Count(line);
  response_pending_ = false;
}

void TIdCustomHTTP::ReadBody(TIdHTTPResponse& response, TIdHTTPMethod method) {
  // These responses end with their head whatever length they announce;
  // reading on would wait for bytes that never come. A tunnel that stands
  // carries no body of its answer.
  const int code = response.StoredStatusCode();
  // Asked only where it decides: a body of announced length is read by its
  // length whatever the transfer coding says.
  auto chunked = [&response] {
    return response.HeaderLines.ValueOf("Transfer-Encoding").find("chunked") != std::string::npos;
  };
  if (method == hmHead || (method == hmConnect && code / 100 == 2) || code / 100 == 1 || code == 204 || code == 304 ||
      (response.ContentLengthKnown && response.ContentLength == 0 && !chunked())) {
    response_pending_ = false;
    return;
  }
  // Without a stream the body stays unread, and so the connection cannot
  // carry another response.
  if (response.BodyStream == nullptr) return;
  Stream& body = *response.BodyStream;

  if (response.ContentLength > 0) {
    // A body cut short by the peer's close keeps what arrived and fails.
    ReadToStream(body, response.ContentLength);
    response_pending_ = false;
  } else if (chunked()) {
    ReadChunkedBody(body);
  } else if (!response.ContentLengthKnown) {
    ReadToStream(body, kNoByteCount, ReadUntil::Closed);
    response_pending_ = false;
  }
}

bool TIdCustomHTTP::DiscardBody(TIdHTTPResponse& response, TIdHTTPMethod method) {
  CountingStream sink;  // keeps nothing
  ScopedSetting<int> timeout(ReadTimeout, kDiscardTimeout);
  ScopedSetting<Stream*> stream(response.BodyStream, &sink);
  try {
    ReadBody(response, method);
  } catch (const Exception&) {
    // A body nobody reads may come late or not at all; the connection is
    // then not kept.
  }
  return !response_pending_;
}

void TIdCustomHTTP::RaiseStatusError(TIdHTTPResponse& response, TIdHTTPMethod method) {
  std::string error_body;
  {
    MemoryStream scratch(kMaxErrorBody);
    ScopedSetting<int> timeout(ReadTimeout, kErrorBodyTimeout);
    ScopedSetting<Stream*> stream(response.BodyStream, &scratch);
    try {
      ReadBody(response, method);
    } catch (const EIdConnClosedGracefully&) {
      // An error body cut short by the peer is still the status's body; the
      // status is what the caller learns of.
    }
    error_body = std::string(scratch.View());
  }
  throw EIdHTTPProtocolException(response.StoredStatusCode(), response.StatusLine, std::move(error_body));
}

}  // namespace kv
