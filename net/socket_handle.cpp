#include "net/socket_handle.h"

#include "net/exceptions.h"
#include "net/socket_errors.h"

namespace kv {

TIdSocketHandle::~TIdSocketHandle() { CloseSocket(); }

void TIdSocketHandle::AllocateSocket(int type, int protocol) {
  CloseSocket();
  handle_ = GStack()->NewSocket(type, protocol);
  handle_open_ = true;
}

void TIdSocketHandle::Bind() {
  TIdStack& stack = *GStack();
  if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
    if (stack.CheckSocketResult(stack.SockBind(handle_, Id_PF_INET, IP, Port), {Id_WSAEADDRINUSE}))
      throw EIdCouldNotBindSocket();
  } else {
    if (ClientPortMax < ClientPortMin) throw EIdInvalidPortRange(ClientPortMin, ClientPortMax);
    bool bound = false;
    // From the top of the range down, the first free port wins.
    for (int port = ClientPortMax; port >= ClientPortMin && !bound; --port) {
      int rc = stack.SockBind(handle_, Id_PF_INET, IP, port);
      if (!stack.CheckSocketResult(rc, {Id_WSAEADDRINUSE})) bound = true;
    }
    if (!bound) throw EIdCanNotBindPortInRange(ClientPortMin, ClientPortMax);
  }
  UpdateBindingLocal();
}

bool TIdSocketHandle::Accept(TIdStackSocketHandle listener) {
  CloseSocket();
  const TIdStackSocketHandle handle = GStack()->SockAccept(listener, RemoteIP, RemotePort);
  if (handle == Id_INVALID_SOCKET) return false;
  handle_ = handle;
  handle_open_ = true;
  UpdateBindingLocal();
  return true;
}

int TIdSocketHandle::Connect(int family) { return GStack()->SockConnect(handle_, family, RemoteIP, RemotePort); }

void TIdSocketHandle::CloseSocket() {
  if (!handle_open_.exchange(false)) return;
  TIdStackSocketHandle handle = handle_.exchange(Id_INVALID_SOCKET);
  if (handle == Id_INVALID_SOCKET) return;
  // Shutting the sending side first lets the peer see an orderly end of
  // our data; both results are of no interest to a socket being thrown away.
  GStack()->SockShutdown(handle, Id_SD_SEND);
  GStack()->SockClose(handle);
}

void TIdSocketHandle::Reset() {
  // A handle still held would be lost by forgetting it; close it instead.
  CloseSocket();
  handle_ = Id_INVALID_SOCKET;
  handle_open_ = false;
  IP.clear();
  Port = 0;
  RemoteIP.clear();
  RemotePort = 0;
}

void TIdSocketHandle::UpdateBindingLocal() {
  int family = 0;
  GStack()->SockLocalName(handle_, family, IP, Port);
}

void TIdSocketHandle::UpdateBindingPeer() {
  int family = 0;
  GStack()->SockPeerName(handle_, family, RemoteIP, RemotePort);
}

bool TIdSocketHandle::Readable(int timeout) {
  TIdSocketListPosix list;
  list.Add(handle_);
  return GStack()->SockSelect(&list, nullptr, nullptr, timeout) == 1;
}

int TIdSocketHandle::Recv(void* buffer, int count, int flags) {
  return GStack()->SockRecv(handle_, buffer, count, flags);
}

int TIdSocketHandle::Send(const void* buffer, int count) { return GStack()->SockSend(handle_, buffer, count, 0); }

int TIdSocketHandle::SetSockOpt(int level, int option, const void* value, int length) {
  return GStack()->SockSetOption(handle_, level, option, value, length);
}

}  // namespace kv
