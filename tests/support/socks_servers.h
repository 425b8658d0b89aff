#pragma once
// Real SOCKS proxies on free loopback ports, each with a config (or
// command line) made for the test and gone with its object, even when the
// test dies; a system instance, if any, is never touched:
//
//   DanteServer dante(9);   // SOCKS4 and SOCKS5 without authentication;
//                           // connects to port 9 are refused by its rules
//   kvornis-get -x "socks5://" + dante.HostPort() origin.BaseUrl() + "/a.txt"
//
//   MicrosocksServer micro("u", "p");   // SOCKS5 with user name and password
//   kvornis-get -x "socks5://u:p@" + micro.HostPort() ...
//
//   DanteServer fourth(0, "127.0.0.4");   // connects out from 127.0.0.4
//   MicrosocksServer fifth("", "", "127.0.0.5");   // no authentication;
//                                                  // connects out from 127.0.0.5
//
// An outgoing address lets an origin on loopback tell several proxies
// apart by the client address it sees (the whole of 127/8 is local, so no
// address needs to be added to an interface).
//
// Dante speaks SOCKS4 and SOCKS5, not SOCKS4A. Each raises
// std::runtime_error, naming what is missing or what the server said, when
// it cannot start (scripts/install-deps installs dante-server and
// microsocks).

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace kv::test {

class DanteServer {
 public:
  // `blocked_port`: connects to this port on any host are refused by a
  // rule (0: none). `external_address`: the address it connects out from.
  explicit DanteServer(int blocked_port = 0, const std::string& external_address = "127.0.0.1");
  ~DanteServer();
  DanteServer(const DanteServer&) = delete;
  DanteServer& operator=(const DanteServer&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:PORT"
  std::string HostPort() const;
  // What dante logged: one line per refused request among others.
  std::string Log() const;

 private:
  bool TryStart(int port, int blocked_port, const std::string& external_address);
  void Stop();

  TempDir dir_;
  pid_t pid_ = -1;  // danted, leader of its own process group (its children too)
  int port_ = 0;
  std::string complaint_;
};

class MicrosocksServer {
 public:
  // An empty `user`: no authentication. `outgoing_address`: the address it
  // connects out from (empty: the system's choice).
  MicrosocksServer(const std::string& user, const std::string& password, const std::string& outgoing_address = "");
  ~MicrosocksServer();
  MicrosocksServer(const MicrosocksServer&) = delete;
  MicrosocksServer& operator=(const MicrosocksServer&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:PORT"
  std::string HostPort() const;

 private:
  bool TryStart(int port, const std::vector<std::string>& arguments);
  void Stop();

  TempDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  std::string complaint_;
};

}  // namespace kv::test
