// The connection's life: transport and intercept references, the one
// receive path, noticing the peer's close, and closing.

#include "net/tcp_connection.h"

#include <algorithm>
#include <optional>

#include "net/exceptions.h"
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

char* TIdTCPConnection::ReceiveTarget(bool direct, int size) {
  if (direct) return input_buffer_->PrepareAppend(static_cast<size_t>(size));
  recv_buffer_->SetSize(size);
  return recv_buffer_->Memory();
}

TIdReceiveResult TIdTCPConnection::ReceiveOnce(IfClosed if_closed, int timeout, bool direct, char*& target) {
  const int size = std::max(RecvBufferSize, 1);
  // The transport receives at once where waiting first could not change
  // what the wait decides; otherwise it is the wait, then the receive.
  target = ReceiveTarget(direct, size);
  if (const std::optional<TIdReceiveResult> at_once = io_handler_->ReceiveWithoutWait(target, size, timeout))
    return *at_once;
  if (!io_handler_->WaitReadable(timeout)) return TIdReceiveResult::WouldBlock();
  if (!io_handler_) {
    if (if_closed == IfClosed::Raise) throw EIdNotConnected();
    return TIdReceiveResult::Closed();
  }
  // Whatever ran during the wait (an anti-freeze) may have moved the
  // buffers.
  target = ReceiveTarget(direct, size);
  return io_handler_->ReceiveSome(target, size);
}

TIdReceiveResult TIdTCPConnection::ReceiveFailed(int error_code) {
  // A socket that failed carries nothing more: it goes before the error
  // does, so that nobody reads on it as if it still stood.
  DropSocket();
  const bool closing = error_code == Id_WSAESHUTDOWN || error_code == Id_WSAECONNABORTED;
  if (!closing || input_buffer_->Length() == 0) GStack()->ThrowSocketError(error_code);
  return TIdReceiveResult::Closed();
}

int TIdTCPConnection::AppendReceived(bool direct, char* target, int count) {
  if (!direct) {
    recv_buffer_->SetSize(count);
    recv_buffer_->SetPosition(0);
    intercept_->Receive(*recv_buffer_);
    count = static_cast<int>(recv_buffer_->Size());
    target = recv_buffer_->Memory();
  }
  if (ASCIIFilter)
    for (int i = 0; i < count; ++i) target[i] = static_cast<char>(target[i] & 0x7F);
  if (direct)
    input_buffer_->CommitAppend(static_cast<size_t>(count));
  else
    input_buffer_->Append(target, static_cast<size_t>(count));
  return count;
}

TIdReceiveResult TIdTCPConnection::FillInputBuffer(IfClosed if_closed, int timeout, IfTimedOut if_timed_out) {
  timeout = EffectiveTimeout(timeout);
  CheckPeerClosed(if_closed, BufferedBytes::Count);
  if (!Connected()) {
    if (if_closed == IfClosed::Raise) throw EIdNotConnected();
    return TIdReceiveResult::Closed();
  }
  TIdReceiveResult received;
  do {
    // Without an intercept the bytes are received straight into the input
    // buffer's free end; an intercept needs them on their own first.
    const bool direct = intercept_ == nullptr;
    char* target = nullptr;
    received = ReceiveOnce(if_closed, timeout, direct, target);
    if (received.kind == TIdReceiveResult::Kind::kWouldBlock) {
      if (if_timed_out == IfTimedOut::Raise) throw EIdReadTimeout();
      return received;
    }
    peer_closed_ = received.kind == TIdReceiveResult::Kind::kClosed;
    if (received.kind == TIdReceiveResult::Kind::kFailed) received = ReceiveFailed(received.error_code);
    if (received.kind == TIdReceiveResult::Kind::kBytes)
      received.count = AppendReceived(direct, target, received.count);
    CheckPeerClosed(if_closed, BufferedBytes::Count);
    // An intercept may hold every byte back: with nothing appended, the
    // loop receives again while the connection stands.
  } while (received.count == 0 && Connected());
  return received.count > 0 ? received : TIdReceiveResult::Closed();
}

}  // namespace kv
