// URLs from redirects and callers: splitting, merging and rebuilding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/exception.h"
#include "http/uri.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kv::TIdURI uri(text);
  size_t split = text.find('\n');
  if (split != std::string_view::npos) kv::MergePath(text.substr(0, split), text.substr(split + 1));
  try {
    uri.FullUri();
  } catch (const kv::EIdURIException&) {
  }
  return 0;
}
