// A response head as a server sends it: header lines found by the
// connection's line reader, unfolded and parsed into the response record.
// The bytes arrive in two pieces at a split taken from the input, and the
// reader must find the same lines as when they arrive whole.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/exception.h"
#include "http/http_wire.h"
#include "http/response_header.h"
#include "net/exceptions.h"
#include "net/line_reader.h"

namespace {

// The line at the front of `text` when only its first `arrived` bytes are
// there at first and the rest come later.
kv::TLineFound LineInTwoPieces(std::string_view text, size_t arrived, int maximum) {
  kv::TLineReader reader({}, maximum);
  const kv::TLineFound early = reader.Next(text.substr(0, arrived));
  if (early.kind != kv::TLineFound::Kind::kIncomplete) return early;
  return reader.Next(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t split = data[0];
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  kv::TIdResponseHeaderInfo response;
  // The line limit is small here, so that inputs reach it.
  constexpr int kMaximum = 64;
  kv::THeaderBlockLimit limit(kMaximum);
  try {
    for (;;) {
      const kv::TLineFound found = kv::TLineReader({}, kMaximum).Next(text);
      const kv::TLineFound pieces = LineInTwoPieces(text, split, kMaximum);
      if (pieces.kind != found.kind || pieces.line != found.line || pieces.used != found.used) __builtin_trap();
      if (found.used > text.size() || found.line.size() > found.used) __builtin_trap();
      if (found.kind == kv::TLineFound::Kind::kIncomplete) break;
      limit.Count(found.line);
      response.HeaderLines.Add(std::string(found.line));
      text.remove_prefix(found.used);
    }
    response.ParseHeaders();
  } catch (const kv::EConvertError&) {
  } catch (const kv::EIdReadLnMaxLineLengthExceeded&) {
  }
  return 0;
}
