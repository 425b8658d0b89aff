#pragma once
// A listening socket on 127.0.0.1 made through the socket stack, for tests
// that need a peer without the scripted one.

#include <string>

#include "net/component.h"
#include "net/socket_stack.h"

namespace kv {

// Listens on 127.0.0.1 with a port the system picked; keeps the stack alive.
class StackListener {
 public:
  StackListener() {
    TIdStack& stack = *GStack();
    handle_ = stack.NewSocket(Id_SOCK_STREAM, 0);
    stack.CheckSocketResult(stack.SockBind(handle_, Id_PF_INET, "127.0.0.1", 0));
    stack.CheckSocketResult(stack.SockListen(handle_, 8));
    int family = 0;
    std::string ip;
    stack.SockLocalName(handle_, family, ip, port_);
  }
  ~StackListener() { GStack()->SockClose(handle_); }
  TIdStackSocketHandle Handle() const { return handle_; }
  int Port() const { return port_; }

 private:
  TIdComponent keep_stack_;
  TIdStackSocketHandle handle_ = Id_INVALID_SOCKET;
  int port_ = 0;
};

}  // namespace kv
