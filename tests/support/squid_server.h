#pragma once
// A real squid on a free loopback port: a forward proxy that asks for Basic
// credentials (checked by basic_ncsa_auth against a password file made for
// the test) and opens CONNECT tunnels only to the ports it is given. The
// config, password file, pid file and logs live in a temp folder of its
// own; the system's squid, if any, is not touched. It is stopped with its
// helpers when the object goes, and cannot outlive a test that dies.
//
//   NginxServer origin;
//   SquidServer squid({{"u", "p"}}, {tls_origin.Port()});
//   kvornis-get -x squid.Url() -U u:p origin.BaseUrl() + "/a.txt"
//
// With an outgoing address (any of 127/8, which is all local) squid
// connects to the origin from it, so that an origin on loopback tells
// several proxies apart by the client address it sees:
//
//   SquidServer second({{"u", "p"}}, {}, "127.0.0.2");

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/password_file.h"
#include "tests/support/temp_dir.h"

namespace kv::test {

class SquidServer {
 public:
  // Raises std::runtime_error, with squid's own words, when squid is
  // missing or does not come up.
  // `outgoing_address`: the address squid connects out from (empty: the
  // system's choice).
  SquidServer(const Users& users, const std::vector<int>& connect_ports, const std::string& outgoing_address = "");
  ~SquidServer();
  SquidServer(const SquidServer&) = delete;
  SquidServer& operator=(const SquidServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:PORT"
  std::string Url() const;
  // One line per request squid has finished: "... TCP_MISS/200 ... GET URL user ...".
  std::string AccessLog() const;

 private:
  bool TryStart(int port);
  void Stop();

  TempDir dir_;
  pid_t pid_ = -1;  // squid, leader of its own process group (its helpers too)
  int port_ = 0;
  std::string complaint_;
};

}  // namespace kv::test
