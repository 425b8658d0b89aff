// The two numbers a response gives in its own words: the status code of the
// status line and the sizes of a chunked body.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "http/http_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const int code = kv::StatusCodeOf(text);
  (void)code;
  (void)kv::StatusVersionOf(text);
  const int64_t length = kv::ChunkLengthOf(text);
  if (length < 0) __builtin_trap();  // a size is never negative
  const std::optional<int64_t> chunk_size = kv::ChunkSizeOf(text);
  if (chunk_size.value_or(0) != length) __builtin_trap();
  return 0;
}
