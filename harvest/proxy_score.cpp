#include "harvest/proxy_score.h"

namespace kv::harvest {

std::string ProxyIdentity::Text() const {
  std::string text = scheme + "://";
  if (!user.empty()) text += user + "@";
  // An IPv6 address is written in brackets, as in a URL.
  text += host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return text + ":" + std::to_string(port);
}

}  // namespace kv::harvest
