// Proxy URLs from the command line (-x): an address or a complaint, never
// both, and a complaint never shows the password.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/transport_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kv::ProxyParse parsed = kv::ParseProxyUrl(text);
  if (parsed.address) {
    const kv::ProxyAddress& address = *parsed.address;
    if (!parsed.complaint.empty() || address.host.empty() || address.port < 1 || address.port > 65535) std::abort();
    return 0;
  }
  // "user:SECRET@": whatever stands between the first colon after the
  // scheme and the last "@" is shown as "***".
  const size_t at = text.rfind('@');
  const size_t scheme_end = text.find("://");
  const size_t user_start = scheme_end == std::string_view::npos ? 0 : scheme_end + 3;
  const size_t colon = at == std::string_view::npos || at < user_start ? std::string_view::npos
                                                                        : text.find(':', user_start);
  std::string shown(text);
  if (colon < at) shown = std::string(text.substr(0, colon + 1)) + "***" + std::string(text.substr(at));
  if (!parsed.complaint.starts_with("proxy '" + shown + "': ")) std::abort();
  return 0;
}
