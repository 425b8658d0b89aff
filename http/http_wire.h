#pragma once
// HTTP/1.x as bytes, in pure functions: the words of a request head, what a
// status line and a chunk size line say, how much a header block may hold,
// and how a request target is written. The readers of the client call
// these, and the fuzz targets feed them directly.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

class TIdHeaderList;

enum TIdHTTPProtocolVersion { pv1_0, pv1_1 };
enum TIdHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };

// "1.0" / "1.1".
const char* ProtocolVersionText(TIdHTTPProtocolVersion version);
// The request line's method word with its trailing blank, "GET " and so on.
const char* MethodWord(TIdHTTPMethod method);

// The request line, every non-empty header line and the empty line, each
// ended by CR LF, written into `head`, whose storage is reused.
void WriteRequestHead(std::string& head, TIdHTTPMethod method, std::string_view target, TIdHTTPProtocolVersion version,
                      const TIdHeaderList& lines);
// CR, LF, NUL and the other control bytes of a request target would end or
// split the request line; they come back percent-encoded, every other byte
// as it was.
std::string EncodeControlBytes(std::string target);

// The word after the status line's first blank as a decimal number; -1 when
// it is none.
int StatusCodeOf(std::string_view status_line);
// The version whose text ("1.0" or "1.1") stands at characters 6 to 8 of the
// status line, in any case; none when neither does.
std::optional<TIdHTTPProtocolVersion> StatusVersionOf(std::string_view status_line);

// A chunk size line: the hex digits before the first ";" (a chunk
// extension follows it), blank or tab; none when the line holds no such
// number or one too large for 64 bits.
std::optional<int64_t> ChunkSizeOf(std::string_view line);
// ChunkSizeOf with a line that is no size counting as 0, the end of the body.
int64_t ChunkLengthOf(std::string_view line);

// Counts a header block (or a chunked body's trailer) as its lines arrive:
// each line is limited by the connection, but the number of lines is not,
// so an endless block must fail like an endless line.
class THeaderBlockLimit {
 public:
  // `max_line_length` 0 or less: the connection's default.
  explicit THeaderBlockLimit(int max_line_length);
  // Raises EIdReadLnMaxLineLengthExceeded once `line` takes the block past
  // its limit.
  void Count(std::string_view line);

 private:
  size_t limit_;
  size_t size_ = 0;
};

}  // namespace kv
