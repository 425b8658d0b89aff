#pragma once
// One socket with its local and remote ends, as the socket transport holds
// it. Destroying the handle closes a socket it still holds.

#include <atomic>
#include <string>

#include "net/socket_stack.h"

namespace kv {

class TIdSocketHandle {
 public:
  TIdSocketHandle() = default;
  ~TIdSocketHandle();
  TIdSocketHandle(const TIdSocketHandle&) = delete;
  TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

  std::string IP;          // local dotted address; empty = any
  int Port = 0;            // local port; 0 = any
  int ClientPortMin = 0;
  int ClientPortMax = 0;
  std::string RemoteIP;
  int RemotePort = 0;

  TIdStackSocketHandle Handle() const { return handle_; }
  bool HandleOpen() const { return handle_open_; }

  // A fresh socket (a held one is closed first); raises EIdInvalidSocket.
  void AllocateSocket(int type = Id_SOCK_STREAM, int protocol = 0);
  // Binds to IP:Port, or within ClientPortMin ... ClientPortMax when Port is
  // 0 and both are set, then reads the local end back.
  void Bind();
  // Takes the next connection waiting on `listener` (a held socket is
  // closed first) and reads both ends; false when the accept fails.
  bool Accept(TIdStackSocketHandle listener);
  // Blocking connect to RemoteIP:RemotePort; the platform's result.
  int Connect(int family = Id_PF_INET);
  // Shuts the sending side and closes; both results are ignored.
  void CloseSocket();
  // Forgets the handle without closing it and clears both ends.
  void Reset();
  void UpdateBindingLocal();
  void UpdateBindingPeer();
  // True when exactly one socket (this one) is reported readable.
  bool Readable(int timeout);
  // flags: Id_MSG_... values, or 0.
  int Recv(void* buffer, int count, int flags = 0);
  int Send(const void* buffer, int count);
  int SetSockOpt(int level, int option, const void* value, int length);

 private:
  std::atomic<TIdStackSocketHandle> handle_{Id_INVALID_SOCKET};
  std::atomic<bool> handle_open_{false};
};

}  // namespace kv
