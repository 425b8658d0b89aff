// A response head as a server sends it: header lines, unfolded and parsed
// into the response record.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/exception.h"
#include "http/http_wire.h"
#include "http/response_header.h"
#include "net/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kv::TIdResponseHeaderInfo response;
  // Line by line as the client's reader takes them, with the block's limit
  // (small here, so that inputs reach it).
  kv::THeaderBlockLimit limit(64);
  try {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view line = text.substr(start, end - start);
      limit.Count(line);
      response.HeaderLines.Add(std::string(line));
      start = end + 1;
    }
    response.ParseHeaders();
  } catch (const kv::EConvertError&) {
  } catch (const kv::EIdReadLnMaxLineLengthExceeded&) {
  }
  return 0;
}
