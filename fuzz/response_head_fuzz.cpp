// A response head as a server sends it: header lines, unfolded and parsed
// into the response record.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/exception.h"
#include "http/response_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kv::TIdResponseHeaderInfo response;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    response.HeaderLines.Add(std::string(text.substr(start, end - start)));
    start = end + 1;
  }
  try {
    response.ParseHeaders();
  } catch (const kv::EConvertError&) {
  }
  return 0;
}
