#pragma once
// The options both command-line tools share for the way to the server:
// the TLS checks (--cacert, -k) and the proxy, HTTP or SOCKS (-x/--proxy,
// -U/--proxy-user, --proxy-anyauth), parsed in one place and applied to a
// client and its TLS transport. Origin credentials (-u, --anyauth) are
// parsed here too, for the tool that offers them.

#include <optional>
#include <string>
#include <string_view>

namespace kv {
class TIdHTTP;
class TIdSSLIOHandlerSocket;
}  // namespace kv

namespace kv {

struct Credentials {
  std::string user;
  std::string password;
};

// "USER:PASS", split at the first colon; without a colon the password is
// empty. Taken as given, without percent-decoding.
Credentials ParseCredentials(std::string_view text);

// socks4: the target's name resolved here; socks4a: by the proxy; socks5
// and socks5h alike send the host as given (a name or a dotted address).
enum class ProxyKind { kHttp, kSocks4, kSocks4A, kSocks5 };

struct ProxyAddress {
  ProxyKind kind = ProxyKind::kHttp;
  std::string host;
  int port = 1080;
  std::optional<Credentials> credentials;  // from "user:pass@", percent-decoded
};

// "[SCHEME://][user:pass@]host[:port][/]" with SCHEME http (the default),
// socks4, socks4a, socks5 or socks5h, in any case. A complaint when the text
// is no such address: another scheme, a bad port, a bad percent escape.
struct ProxyParse {
  std::optional<ProxyAddress> address;
  std::string complaint;
};
ProxyParse ParseProxyUrl(std::string_view text);

struct TransportOptions {
  std::string ca_file;  // empty: the transport's own setting
  bool insecure = false;
  std::optional<ProxyAddress> proxy;
  std::optional<Credentials> proxy_user;  // -U: wins over the URL's user:pass@
  bool proxy_anyauth = false;
  // Only for a tool that accepts them (see TakeTransportOption).
  std::optional<Credentials> user;
  bool anyauth = false;

  // The proxy's credentials: -U, else the URL's.
  std::optional<Credentials> ProxyCredentials() const;
};

enum class OptionTaken {
  kNo,   // not a transport option: the tool's own, or a mistake
  kYes,  // taken, with its value if it has one
  kBad,  // a transport option with a missing or bad value: see complaint
};

// Looks at argv[i]; takes it (and its value, moving `i` past it) when it is
// a transport option. `origin_credentials` lets -u and --anyauth in too.
OptionTaken TakeTransportOption(TransportOptions& options, int argc, char** argv, int& i, bool origin_credentials,
                                std::string& complaint);

// Sets the client and its transport `tls` as the options say: the
// certificate check, the proxy and its credentials, the origin's credentials
// (sent at once, or only when a 401 asks with --anyauth). `tls` is the
// transport the client talks through; it is attached to the client when a
// SOCKS proxy needs it and the client has none yet. An HTTP proxy's
// credentials go at once, or only when a 407 asks with --proxy-anyauth; a
// SOCKS proxy is set on `tls`, and its credentials are the SOCKS user name
// and password, never an HTTP header.
void ApplyTransportOptions(const TransportOptions& options, TIdHTTP& client, TIdSSLIOHandlerSocket& tls);

}  // namespace kv
