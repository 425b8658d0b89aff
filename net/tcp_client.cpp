#include "net/tcp_client.h"

#include "net/exceptions.h"
#include "net/io_handler_socket.h"

namespace kv {

void TIdTCPClient::NotifyConnected() {
  if (OnConnected) OnConnected(this);
}

void TIdTCPClient::Connect(int timeout) {
  CheckPortNumber(Port());
  if (!IOHandler()) {
    auto* handler = new TIdIOHandlerSocket(this);   // owned: freed with us or at Disconnect
    SetIOHandler(handler);
    handler->OnStatus = OnStatus;
    MarkOwnsIOHandler(true);
  } else if (IOHandler()->IsTransportOpen()) {
    throw EIdAlreadyConnected();
  }
  try {
    IOHandler()->PrepareTransport();
    ResetInput();
    IOHandler()->SetHandshakeTimeout(ReadTimeout);
    IOHandler()->ConnectTransport(Host(), Port(), BoundIP, BoundPort, BoundPortMin, BoundPortMax, timeout);
    if (Intercept()) Intercept()->Connect(this);
    ReportStatus(hsConnected, {Host()});
    NotifyConnected();
  } catch (...) {
    // A failed connect ends idle, without disconnect reports.
    DropSocket();
    throw;
  }
}

std::string TIdTCPClient::ConnectAndReadAll() {
  Connect(-1);
  std::string result;
  try {
    result = ReadAllUntilClosed();
  } catch (...) {
    Disconnect();
    throw;
  }
  Disconnect();
  return result;
}

}  // namespace kv
