#include "http/transport_options.h"

#include "base/text_tokens.h"
#include "http/authentication.h"
#include "http/http_client.h"
#include "net/io_handler_ssl.h"
#include "net/socks.h"

namespace kv {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%XX" escapes to their bytes; nullopt for a "%" not followed by two hex
// digits.
std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[i + 1]);
    const int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
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

// The SOCKS proxy on the client's socket transport. The user name is the
// SOCKS5 user name (offered with its password when there is one) and the
// SOCKS4 user id.
void ApplySocksProxy(const ProxyAddress& proxy, const std::optional<Credentials>& credentials, TIdHTTP& client,
                     TIdSSLIOHandlerSocket& tls) {
  TIdIOHandlerSocket* transport = client.SocketHandler();
  if (transport == nullptr) {
    // Without one the client would make a plain transport of its own at
    // the first connect, without these settings.
    client.SetIOHandler(&tls);
    transport = &tls;
  }
  TIdSocksInfo& socks = transport->SocksInfo();
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
  std::string_view rest = text;
  ProxyAddress address;
  if (const size_t scheme_end = rest.find("://"); scheme_end != std::string_view::npos) {
    const std::string scheme(rest.substr(0, scheme_end));
    const std::optional<ProxyKind> kind = KindOfScheme(UpperCaseAscii(scheme));
    if (!kind) {
      return Complaint(text, "unsupported scheme '" + scheme +
                       "'; use http://, socks4://, socks4a://, socks5:// or socks5h://");
    }
    address.kind = *kind;
    rest.remove_prefix(scheme_end + 3);
  }
  if (rest.ends_with('/')) rest.remove_suffix(1);
  if (rest.find_first_of("/?#") != std::string_view::npos) {
    return Complaint(text, "a proxy address has no path");
  }
  if (const size_t at = rest.rfind('@'); at != std::string_view::npos) {
    const Credentials raw = ParseCredentials(rest.substr(0, at));
    const std::optional<std::string> user = PercentDecode(raw.user);
    const std::optional<std::string> password = PercentDecode(raw.password);
    if (!user || !password) return Complaint(text, "bad percent escape in user:pass");
    address.credentials = Credentials{*user, *password};
    rest.remove_prefix(at + 1);
  }
  std::string_view port;
  if (rest.starts_with('[')) {
    // [IPv6 address]
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) return Complaint(text, "unclosed '['");
    address.host = std::string(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return Complaint(text, "junk after ']'");
      port = rest.substr(1);
      if (port.empty()) return Complaint(text, "empty port");
    }
  } else if (const size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    address.host = std::string(rest.substr(0, colon));
    port = rest.substr(colon + 1);
    if (port.empty()) return Complaint(text, "empty port");
  } else {
    address.host = std::string(rest);
  }
  if (address.host.empty()) return Complaint(text, "no host");
  if (!port.empty()) {
    const std::optional<int> number = ParsePort(port);
    if (!number) return Complaint(text, "bad port '" + std::string(port) + "'");
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
