#pragma once
// A proxy of the pool as the project keeps score of it: who it is (never
// its password) and how it fared.
#include <cstdint>
#include <string>

namespace kv::harvest {

struct ProxyIdentity {
  std::string scheme;  // http, socks4, socks4a, socks5 or socks5h
  std::string host;
  int port = 0;
  std::string user;  // empty: none

  // "scheme://user@host:port", the user left out when there is none.
  std::string Text() const;
  friend bool operator==(const ProxyIdentity&, const ProxyIdentity&) = default;
};

struct ProxyScore {
  ProxyIdentity identity;
  int64_t requests = 0;
  int64_t failures = 0;
  std::string last_error;
  int64_t benched_until_ms = 0;  // ms since the epoch; 0: never benched
};

}  // namespace kv::harvest
