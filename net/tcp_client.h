#pragma once
// The client side of a connection: the target address and the connect step.

#include <string>

#include "net/tcp_connection.h"

namespace kv {

class TIdTCPClient : public TIdTCPConnection {
 public:
  explicit TIdTCPClient(Component* owner = nullptr) : TIdTCPConnection(owner) {}

  std::string BoundIP;     // local address; empty = any
  int BoundPort = 0;       // local port; 0 = any
  int BoundPortMax = 0;    // a local port range, both 0 = none
  int BoundPortMin = 0;
  TIdNotifyEvent OnConnected;

  const std::string& Host() const { return host_; }
  virtual void SetHost(const std::string& host) { host_ = host; }
  int Port() const { return port_; }
  virtual void SetPort(int port) { port_ = port; }

  virtual void NotifyConnected();
  // Opens the connection (a socket transport is made and owned when none is
  // set). Timeout -1 or 0: blocking connect; other values: connect with that
  // limit in ms (-2: none). A failure drops the socket and re-raises;
  // already open raises EIdAlreadyConnected.
  virtual void Connect(int timeout = -1);
  // Connect, read until the peer closes, always Disconnect.
  virtual std::string ConnectAndReadAll();

 private:
  std::string host_;
  int port_ = 0;
};

}  // namespace kv
