// The connection's life: transport and intercept references, the one
// receive path, noticing the peer's close, and closing.

#include "net/tcp_connection.h"

#include <algorithm>

#include "net/exceptions.h"
#include "net/io_handler_socket.h"
#include "net/socket_errors.h"
#include "net/socket_stack.h"

namespace kv {

TIdTCPConnection::TIdTCPConnection(Component* owner)
    : TIdComponent(owner),
      greeting_(std::make_unique<TIdRFCReply>()),
      input_buffer_(std::make_unique<TIdManagedBuffer>()),
      last_reply_(std::make_unique<TIdRFCReply>()),
      recv_buffer_(std::make_unique<TIdSimpleBuffer>()) {
  // Read progress counts the bytes handed to the caller, not the bytes
  // received: every removal from the input buffer reports its size.
  input_buffer_->OnRemove = [this](TIdSimpleBuffer*, int64_t count) { ReportWork(wmRead, count); };
}

TIdTCPConnection::~TIdTCPConnection() {
  try {
    DropSocket();
  } catch (...) {
    // An intercept's disconnect handler failing must not escape a destructor.
  }
  FreeOwnedIOHandler();
  if (io_handler_) io_handler_->RemoveFreeNotification(this);
  if (intercept_) intercept_->RemoveFreeNotification(this);
  input_buffer_->OnRemove = nullptr;
}

// ---- references ---------------------------------------------------------------

void TIdTCPConnection::FreeOwnedIOHandler() {
  if (!owns_io_handler_ || !io_handler_) {
    owns_io_handler_ = false;
    return;
  }
  TIdIOHandler* handler = io_handler_;
  io_handler_ = nullptr;
  socket_handler_ = nullptr;
  owns_io_handler_ = false;
  delete handler;
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* handler) {
  if (handler == io_handler_) return;   // re-assigning must not free the one kept
  if (owns_io_handler_) {
    FreeOwnedIOHandler();
  } else if (io_handler_) {
    io_handler_->RemoveFreeNotification(this);
  }
  io_handler_ = handler;
  socket_handler_ = dynamic_cast<TIdIOHandlerSocket*>(handler);
  if (handler) handler->FreeNotification(this);
}

void TIdTCPConnection::SetIntercept(TIdConnectionIntercept* intercept) {
  if (intercept_ && intercept_ != intercept) intercept_->RemoveFreeNotification(this);
  intercept_ = intercept;
  if (intercept_) intercept_->FreeNotification(this);
}

void TIdTCPConnection::Notification(Component* component, Operation operation) {
  TIdComponent::Notification(component, operation);
  if (operation != Operation::opRemove) return;
  if (component == io_handler_) {
    io_handler_ = nullptr;
    socket_handler_ = nullptr;
    owns_io_handler_ = false;
  }
  if (component == intercept_) intercept_ = nullptr;
}

// ---- closing ------------------------------------------------------------------

void TIdTCPConnection::NotifyDisconnected() {
  if (OnDisconnected) OnDisconnected(this);
}

void TIdTCPConnection::ResetInput() {
  input_buffer_->Clear();
  peer_closed_ = false;
}

void TIdTCPConnection::DropSocket() {
  if (!io_handler_) return;
  peer_closed_ = true;
  try {
    if (intercept_) intercept_->Disconnect();
  } catch (...) {
    io_handler_->CloseTransport();   // the socket goes whatever the intercept did
    throw;
  }
  io_handler_->CloseTransport();
}

void TIdTCPConnection::Disconnect() {
  ReportStatus(hsDisconnecting);
  DropSocket();
  if (owns_io_handler_) FreeOwnedIOHandler();
  NotifyDisconnected();
  ReportStatus(hsDisconnected);
}

void TIdTCPConnection::CheckPeerClosed(IfClosed if_closed, BufferedBytes buffered) {
  bool disconnected;
  if (peer_closed_ || !io_handler_) {
    disconnected = io_handler_ != nullptr;
    // The close is noticed once: the socket is still open only the first
    // time round.
    if (io_handler_ && io_handler_->IsTransportOpen()) {
      DropSocket();
      ReportStatus(hsDisconnected);
      NotifyDisconnected();
    }
  } else {
    disconnected = !io_handler_->IsTransportOpen();
  }
  if (disconnected && if_closed == IfClosed::Raise &&
      (buffered == BufferedBytes::Ignore || input_buffer_->Length() == 0))
    throw EIdConnClosedGracefully();
}

// A poll, not a wait: what has arrived is taken in and a close that has
// arrived is noticed, without costing a millisecond before every reused
// request.
void TIdTCPConnection::ProbePeerClosed(IfClosed if_closed) { FillInputBuffer(if_closed, 0, IfTimedOut::Return); }

bool TIdTCPConnection::Connected() {
  CheckPeerClosed(IfClosed::Return, BufferedBytes::Count);
  return io_handler_ && io_handler_->IsTransportOpen();
}

// ---- receiving ----------------------------------------------------------------

int TIdTCPConnection::EffectiveTimeout(int timeout) const {
  if (timeout != IdTimeoutDefault) return timeout;
  return ReadTimeout == 0 ? IdTimeoutInfinite : ReadTimeout;
}

bool TIdTCPConnection::CheckTransportResult(int result, std::initializer_list<int> accepted) {
  if (result != Id_SOCKET_ERROR) return false;
  last_transport_error_ = io_handler_ ? io_handler_->LastErrorCode() : 0;
  if (std::find(accepted.begin(), accepted.end(), last_transport_error_) != accepted.end()) return true;
  // A socket that failed carries nothing more: it goes before the error
  // does, so that nobody writes or reads on it as if it still stood.
  const int code = last_transport_error_;
  DropSocket();
  GStack()->ThrowSocketError(code);
}

void TIdTCPConnection::DropAndRaiseSocketError() {
  // The code was kept by the check before the socket goes, so that the
  // close cannot change what is reported.
  const int code = last_transport_error_;
  DropSocket();
  GStack()->ThrowSocketError(code);
}

int TIdTCPConnection::FillInputBuffer(IfClosed if_closed, int timeout, IfTimedOut if_timed_out) {
  const bool raise_if_closed = if_closed == IfClosed::Raise;
  timeout = EffectiveTimeout(timeout);
  CheckPeerClosed(if_closed, BufferedBytes::Count);
  if (!Connected()) {
    if (raise_if_closed) throw EIdNotConnected();
    return 0;
  }
  int n = 0;
  do {
    const int size = std::max(RecvBufferSize, 1);
    // Without an intercept the bytes are received straight into the input
    // buffer's free end; an intercept needs them on their own first.
    const bool direct = intercept_ == nullptr;
    auto prepare_target = [&] {
      if (direct) return input_buffer_->PrepareAppend(static_cast<size_t>(size));
      recv_buffer_->SetSize(size);
      return recv_buffer_->Memory();
    };
    // The transport receives at once where waiting first could not change
    // what the wait decides; otherwise it is the wait, then the receive.
    char* target = prepare_target();
    n = io_handler_->ReceiveWithoutWait(target, size, timeout);
    if (n == TIdIOHandler::kReceiveNeedsWait || n == TIdIOHandler::kReceiveNothingYet) {
      if (n == TIdIOHandler::kReceiveNothingYet || !io_handler_->WaitReadable(timeout)) {
        if (if_timed_out == IfTimedOut::Raise) throw EIdReadTimeout();
        return -1;
      }
      if (io_handler_) {
        // Whatever ran during the wait (an anti-freeze) may have moved
        // the buffers.
        target = prepare_target();
        n = io_handler_->ReceiveSome(target, size);
      } else {
        if (raise_if_closed) throw EIdNotConnected();
        n = 0;
      }
    }
    peer_closed_ = n == 0;
    if (n != 0 && CheckTransportResult(n, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED})) {
      n = 0;
      const int code = last_transport_error_;
      if (io_handler_) DropSocket();
      // Bytes already buffered stay readable; the failure is reported when
      // there are none.
      if (input_buffer_->Length() == 0) GStack()->ThrowSocketError(code);
    }
    if (n > 0) {
      if (!direct) {
        recv_buffer_->SetSize(n);
        recv_buffer_->SetPosition(0);
        intercept_->Receive(*recv_buffer_);
        n = static_cast<int>(recv_buffer_->Size());
        target = recv_buffer_->Memory();
      }
      if (ASCIIFilter)
        for (int i = 0; i < n; ++i) target[i] = static_cast<char>(target[i] & 0x7F);
      if (direct)
        input_buffer_->CommitAppend(static_cast<size_t>(n));
      else
        input_buffer_->Append(target, static_cast<size_t>(n));
    }
    CheckPeerClosed(if_closed, BufferedBytes::Count);
  } while (n == 0 && Connected());
  return n;
}

}  // namespace kv
