#include "harvest/proxy_list.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "base/text_tokens.h"

namespace kv::harvest {

namespace {

// The scheme as the line names it (socks5h and socks5 stay apart in the
// project's score), "http" when it names none.
std::string SchemeOf(std::string_view line) {
  const size_t end = line.find("://");
  std::string scheme(end == std::string_view::npos ? std::string_view("http") : line.substr(0, end));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
  return scheme;
}

}  // namespace

std::vector<harvest::PoolProxy> ReadProxyList(const std::string& path, const TransportOptions& base) {
  std::ifstream in(path);
  if (!in) throw EProxyList(path + ": " + std::strerror(errno));
  std::vector<harvest::PoolProxy> proxies;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string_view text = TrimView(line);
    if (text.empty() || text.front() == '#') continue;
    const ProxyParse parse = ParseProxyUrl(text);
    if (!parse.address) throw EProxyList(path + ":" + std::to_string(number) + ": " + parse.complaint);
    const ProxyAddress& address = *parse.address;
    harvest::PoolProxy proxy;
    proxy.identity.scheme = SchemeOf(text);
    proxy.identity.host = address.host;
    proxy.identity.port = address.port;
    const std::optional<Credentials> credentials = base.proxy_user ? base.proxy_user : address.credentials;
    if (credentials) proxy.identity.user = credentials->user;
    TransportOptions options = base;
    options.proxy = address;
    proxy.setup = [options](TIdHTTP& http, TIdSSLIOHandlerSocket& tls) { ApplyTransportOptions(options, http, tls); };
    proxies.push_back(std::move(proxy));
  }
  if (in.bad()) throw EProxyList(path + ": " + std::strerror(errno));
  if (proxies.empty()) throw EProxyList(path + ": no proxy in the file");
  return proxies;
}

}  // namespace kv::harvest
