#include "http/transport_options.h"

#include "base/percent_encoding.h"
#include "base/text_tokens.h"
#include "http/authentication.h"
#include "http/http_client.h"
#include "http/uri.h"
#include "net/io_handler_ssl.h"
#include "net/socks.h"

namespace kv {

namespace {

// A proxy URL split by the URL class, but for what it would split otherwise.
struct ProxyUrlParts {
  std::optional<std::string_view> user_info;  // before the authority's last "@"
  std::string_view authority;  // the rest of it, up to the first "/"
  TIdURI uri;  // the URL without user_info and its "@"
};

// The URL class ends user and password at the authority's first "@"; a
// proxy's password may hold one, so here they end at its last "@", and the
// URL class is given the rest. `url` has a scheme and outlives the parts.
ProxyUrlParts SplitProxyUrl(std::string_view url) {
  ProxyUrlParts parts;
  const size_t start = url.find("://") + 3;
  std::string_view authority = url.substr(start, url.find('/', start) - start);
  std::string without_user_info(url);
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    parts.user_info = authority.substr(0, at);
    authority.remove_prefix(at + 1);
    without_user_info.erase(start, at + 1);
  }
  parts.authority = authority;
  parts.uri.Parse(without_user_info);
  return parts;
}

// A port of 1 to 65535 written in decimal digits alone.
std::optional<int> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

// A proxy URL as complaints show it: a password in it becomes "***".
std::string ShownProxyUrl(std::string_view text) {
  const size_t scheme_end = text.find("://");
  const size_t user_start = scheme_end == std::string_view::npos ? 0 : scheme_end + 3;
  const size_t at = text.rfind('@');
  if (at == std::string_view::npos || at < user_start) return std::string(text);
  const size_t colon = text.find(':', user_start);
  if (colon > at) return std::string(text);
  return std::string(text.substr(0, colon + 1)) + "***" + std::string(text.substr(at));
}

// "proxy 'URL': " + why, the URL shown without its password.
ProxyParse Complaint(std::string_view text, const std::string& why) {
  return {std::nullopt, "proxy '" + ShownProxyUrl(text) + "': " + why};
}

// A proxy URL's scheme, upper-cased; nullopt for one that is no proxy's.
std::optional<ProxyKind> KindOfScheme(const std::string& scheme) {
  if (scheme == "HTTP") return ProxyKind::kHttp;
  if (scheme == "SOCKS4") return ProxyKind::kSocks4;
  if (scheme == "SOCKS4A") return ProxyKind::kSocks4A;
  if (scheme == "SOCKS5" || scheme == "SOCKS5H") return ProxyKind::kSocks5;
  return std::nullopt;
}

TSocksVersion SocksVersionOf(ProxyKind kind) {
  switch (kind) {
    case ProxyKind::kSocks4: return svSocks4;
    case ProxyKind::kSocks4A: return svSocks4A;
    case ProxyKind::kSocks5: return svSocks5;
    case ProxyKind::kHttp: break;
  }
  return svNoSocks;
}

// The SOCKS proxy on the client's transport. The user name is the SOCKS5
// user name (offered with its password when there is one) and the SOCKS4
// user id.
void ApplySocksProxy(const ProxyAddress& proxy, const std::optional<Credentials>& credentials, TIdHTTP& client,
                     TIdSSLIOHandlerSocket& tls) {
  // Without one the client would make a plain transport of its own at the
  // first connect, without these settings.
  if (client.IOHandler() == nullptr) client.SetIOHandler(&tls);
  TIdSocksInfo& socks = tls.SocksInfo();
  socks.Version = SocksVersionOf(proxy.kind);
  socks.Host = proxy.host;
  socks.Port = proxy.port;
  if (credentials) {
    socks.Username = credentials->user;
    socks.Password = credentials->password;
    if (!credentials->user.empty()) socks.Authentication = saUsernamePassword;
  }
}

// A handler for a challenge: answers with the tool's credentials, and only
// when there is a user name to answer with.
TIdOnAuthorization AnswerWith(const Credentials& credentials) {
  return [credentials](Component*, TIdAuthentication& authentication, bool& handled) {
    authentication.AssignUserName(credentials.user);
    authentication.AssignPassword(credentials.password);
    handled = !credentials.user.empty();
  };
}

}  // namespace

Credentials ParseCredentials(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return {std::string(text), {}};
  return {std::string(text.substr(0, colon)), std::string(text.substr(colon + 1))};
}

ProxyParse ParseProxyUrl(std::string_view text) {
  // Without a scheme the URL class would see a path: a bare address is an
  // HTTP proxy's.
  const std::string url = text.find("://") == std::string_view::npos ? "http://" + std::string(text) : std::string(text);
  const ProxyUrlParts parts = SplitProxyUrl(url);
  const TIdURI& uri = parts.uri;
  const std::optional<ProxyKind> kind = KindOfScheme(UpperCaseAscii(uri.Protocol));
  if (!kind) {
    return Complaint(text, "unsupported scheme '" + uri.Protocol +
                     "'; use http://, socks4://, socks4a://, socks5:// or socks5h://");
  }
  // The URL class ends the authority at "/" alone.
  const bool has_path = uri.Directory.size() > 1 || !uri.Resource.empty() || !uri.Query.empty() ||
                        !uri.Fragment.empty() || parts.authority.find_first_of("?#") != std::string_view::npos;
  if (has_path) return Complaint(text, "a proxy address has no path");
  ProxyAddress address{*kind, uri.Host, 1080, std::nullopt};
  if (parts.user_info) {
    const Credentials raw = ParseCredentials(*parts.user_info);
    std::optional<std::string> user = PercentDecode(raw.user, BadEscape::kFail);
    std::optional<std::string> password = PercentDecode(raw.password, BadEscape::kFail);
    if (!user || !password) return Complaint(text, "bad percent escape in user:pass");
    address.credentials = Credentials{std::move(*user), std::move(*password)};
  }
  // The URL class keeps an IPv6 literal's brackets (a Host header needs
  // them); a socket address has none.
  if (address.host.starts_with('[')) {
    const size_t close = address.host.find(']');
    if (close == std::string::npos) return Complaint(text, "unclosed '['");
    if (close + 1 != address.host.size()) return Complaint(text, "junk after ']'");
    address.host = address.host.substr(1, close - 1);
  }
  if (uri.Port.empty() && parts.authority.ends_with(':')) return Complaint(text, "empty port");
  if (address.host.empty()) return Complaint(text, "no host");
  if (!uri.Port.empty()) {
    const std::optional<int> number = ParsePort(uri.Port);
    if (!number) return Complaint(text, "bad port '" + uri.Port + "'");
    address.port = *number;
  }
  return {address, {}};
}

std::optional<Credentials> TransportOptions::ProxyCredentials() const {
  if (proxy_user) return proxy_user;
  if (proxy) return proxy->credentials;
  return std::nullopt;
}

OptionTaken TakeTransportOption(TransportOptions& options, int argc, char** argv, int& i, bool origin_credentials,
                                std::string& complaint) {
  const std::string_view arg = argv[i];
  // The option's value, the next argument; a complaint when there is none
  // or it is empty.
  auto value = [&]() -> std::optional<std::string> {
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
      complaint = "option " + std::string(arg) + " needs a value";
      return std::nullopt;
    }
    return std::string(argv[++i]);
  };
  std::optional<std::string> v;
  if (arg == "--cacert") {
    if (!(v = value())) return OptionTaken::kBad;
    options.ca_file = *v;
  } else if (arg == "-k" || arg == "--insecure") {
    options.insecure = true;
  } else if (arg == "-x" || arg == "--proxy") {
    if (!(v = value())) return OptionTaken::kBad;
    ProxyParse parsed = ParseProxyUrl(*v);
    if (!parsed.address) {
      complaint = parsed.complaint;
      return OptionTaken::kBad;
    }
    options.proxy = std::move(parsed.address);
  } else if (arg == "-U" || arg == "--proxy-user") {
    if (!(v = value())) return OptionTaken::kBad;
    options.proxy_user = ParseCredentials(*v);
  } else if (arg == "--proxy-anyauth") {
    options.proxy_anyauth = true;
  } else if (origin_credentials && arg == "-u") {
    if (!(v = value())) return OptionTaken::kBad;
    options.user = ParseCredentials(*v);
  } else if (origin_credentials && arg == "--anyauth") {
    options.anyauth = true;
  } else {
    return OptionTaken::kNo;
  }
  return OptionTaken::kYes;
}

void ApplyTransportOptions(const TransportOptions& options, TIdHTTP& client, TIdSSLIOHandlerSocket& tls) {
  if (!options.ca_file.empty()) tls.SSLOptions().RootCertFile = options.ca_file;
  tls.VerifyPeerCertificate = !options.insecure;

  if (options.proxy && options.proxy->kind != ProxyKind::kHttp) {
    ApplySocksProxy(*options.proxy, options.ProxyCredentials(), client, tls);
  } else if (options.proxy) {
    TIdProxyConnectionInfo& proxy = client.ProxyParams();
    proxy.SetProxyServer(options.proxy->host);
    proxy.SetProxyPort(options.proxy->port);
    if (const std::optional<Credentials> credentials = options.ProxyCredentials()) {
      proxy.ProxyUsername = credentials->user;
      proxy.ProxyPassword = credentials->password;
      if (options.proxy_anyauth) {
        client.OnProxyAuthorization = AnswerWith(*credentials);
        client.HTTPOptions |= hoInProcessAuth;
      } else {
        proxy.BasicAuthentication = true;
      }
    }
  }

  if (options.user) {
    TIdHTTPRequest& request = client.Request();
    request.Username = options.user->user;
    request.Password = options.user->password;
    if (options.anyauth) {
      client.OnAuthorization = AnswerWith(*options.user);
      client.HTTPOptions |= hoInProcessAuth;
    } else {
      request.BasicAuthentication = true;
    }
  }
}

}  // namespace kv
