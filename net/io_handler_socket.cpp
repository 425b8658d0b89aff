#include "net/io_handler_socket.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "net/antifreeze.h"
#include "net/connect_thread.h"
#include "net/exceptions.h"
#include "net/socket_errors.h"
#include "net/socket_stack.h"

namespace kv {

namespace {
constexpr int kConnectStepMs = 125;
constexpr int kAntiFreezeConnectLimitMs = 120000;
}  // namespace

TIdIOHandlerSocket::TIdIOHandlerSocket(Component* owner) : TIdIOHandler(owner) {}

// The binding goes first, while the stack this component keeps alive still
// exists to close its socket.
TIdIOHandlerSocket::~TIdIOHandlerSocket() {
  binding_.reset();
  if (socks_info_ != nullptr && socks_info_ != own_socks_info_.get()) socks_info_->RemoveFreeNotification(this);
}

TIdSocksInfo& TIdIOHandlerSocket::SocksInfo() {
  if (socks_info_ == nullptr) {
    if (!own_socks_info_) own_socks_info_ = std::make_unique<TIdSocksInfo>();
    socks_info_ = own_socks_info_.get();
  }
  return *socks_info_;
}

void TIdIOHandlerSocket::SetSocksInfo(TIdSocksInfo* info) {
  const bool outside = socks_info_ != nullptr && socks_info_ != own_socks_info_.get();
  if (info == nullptr) {
    if (outside) socks_info_->RemoveFreeNotification(this);
    socks_info_ = nullptr;
    return;
  }
  if (info->Owner() != nullptr) {
    if (info == socks_info_) return;
    if (outside) socks_info_->RemoveFreeNotification(this);
    own_socks_info_.reset();
    socks_info_ = info;
    info->FreeNotification(this);
  } else {
    if (outside) socks_info_->RemoveFreeNotification(this);
    if (!own_socks_info_) own_socks_info_ = std::make_unique<TIdSocksInfo>();
    if (info != own_socks_info_.get()) own_socks_info_->Assign(*info);
    socks_info_ = own_socks_info_.get();
  }
}

void TIdIOHandlerSocket::Notification(Component* component, Operation operation) {
  TIdIOHandler::Notification(component, operation);
  if (operation == Operation::opRemove && component != nullptr && component == socks_info_ &&
      socks_info_ != own_socks_info_.get())
    socks_info_ = nullptr;
}

void TIdIOHandlerSocket::ConnectTarget(std::string& host, int& port) {
  if (!SocksInUse()) return;
  host = socks_info_->Host;
  port = socks_info_->Port;
}

void TIdIOHandlerSocket::Handshake(const std::string& host, int port, int timeout) {
  if (!SocksInUse()) return;
  // The connect's own limit when it has one, else the read limit.
  const int limit = timeout > 0 ? timeout : (HandshakeTimeout > 0 ? HandshakeTimeout : IdTimeoutInfinite);
  // Through this transport's own receives and sends: a TLS transport passes
  // them to the socket until its TLS layer opens, after the handshake.
  socks_info_->SocksHandshake(*this, host, port, limit);
}

void TIdIOHandlerSocket::CloseTransport() {
  if (binding_) binding_->CloseSocket();
}

void TIdIOHandlerSocket::PrepareTransport() {
  if (!binding_)
    binding_ = std::make_unique<TIdSocketHandle>();
  else
    binding_->Reset();
}

void TIdIOHandlerSocket::ConnectTransport(const std::string& host, int port, const std::string& bound_ip,
                                          int bound_port, int bound_port_min, int bound_port_max, int timeout) {
  if (!binding_) PrepareTransport();
  std::string target_host = host;
  int target_port = port;
  ConnectTarget(target_host, target_port);
  // The stack speaks IPv4 only. An IPv6 literal, whether this socket would
  // reach it or a SOCKS proxy would be asked for it (as a name, which it is
  // not), is refused before any socket is made.
  for (const std::string_view address : {std::string_view(target_host), std::string_view(host)})
    if (TIdStack::IsIPv6Literal(address)) throw EIdIPv6NotSupported(std::string(address));

  binding_->AllocateSocket();
  binding_->IP = bound_ip;
  binding_->Port = bound_port;
  binding_->ClientPortMin = bound_port_min;
  binding_->ClientPortMax = bound_port_max;
  binding_->Bind();

  TIdStack& stack = *GStack();
  if (!TIdStack::IsDottedAddress(target_host)) ReportStatus(hsResolving, {target_host});
  binding_->RemoteIP = stack.HostToDottedAddress(target_host);
  binding_->RemotePort = target_port;

  if (!UseNagle) {
    int one = 1;
    stack.CheckSocketResult(binding_->SetSockOpt(Id_IPPROTO_TCP, Id_TCP_NODELAY, &one, sizeof one));
  }
  ReportStatus(hsConnecting, {binding_->RemoteIP});

  if (timeout == -1 || timeout == 0) {
    if (TIdAntiFreezeBase::AntiFreezeInUse())
      ConnectWithTimeout(kAntiFreezeConnectLimitMs);
    else
      stack.CheckSocketResult(binding_->Connect(Id_PF_INET));
  } else {
    ConnectWithTimeout(timeout);
  }
  binding_->UpdateBindingLocal();
  binding_->UpdateBindingPeer();
  Handshake(host, port, timeout);
}

void TIdIOHandlerSocket::ConnectWithTimeout(int timeout) {
  TIdConnectThread thread(binding_.get());
  thread.Start();
  int step = kConnectStepMs;
  if (TIdAntiFreezeBase::AntiFreezeInUse()) step = std::min(TIdAntiFreezeBase::IdleTimeOutOrDefault(step), step);
  step = std::max(step, 1);

  const bool unlimited = timeout == IdTimeoutInfinite;
  int remaining = unlimited ? step + 1 : timeout;
  auto sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  while (remaining > step) {
    // Steps are short enough that a finished connect is noticed soon; a
    // finished thread ends the wait at the next look.
    for (int waited = 0; waited < step && !thread.Finished(); waited += 5) sleep(std::min(5, step - waited));
    remaining = unlimited ? step + 1 : remaining - step;
    TIdAntiFreezeBase::RunAntiFreeze(true);
    if (thread.Finished()) {
      remaining = 0;
      break;
    }
  }
  for (int waited = 0; waited < remaining && !thread.Finished(); waited += 5) sleep(std::min(5, remaining - waited));

  if (!thread.Finished()) {
    thread.Terminate();
    thread.WaitFor();
    CloseTransport();
    throw EIdConnectTimeout();
  }
  thread.WaitFor();
  if (!thread.ErrorText().empty()) throw EIdConnectException(thread.ErrorText());
}

bool TIdIOHandlerSocket::AcceptSocket(TIdStackSocketHandle listener) {
  PrepareTransport();
  return binding_->Accept(listener);
}

bool TIdIOHandlerSocket::IsTransportOpen() { return binding_ && binding_->HandleOpen(); }

bool TIdIOHandlerSocket::WaitReadable(int timeout) {
  if (!IsTransportOpen()) throw EIdConnClosedGracefully();
  if (TIdAntiFreezeBase::AntiFreezeInUse()) {
    // Wait in slices so that the application is served between them.
    int idle = std::max(TIdAntiFreezeBase::IdleTimeOutOrDefault(250), 1);
    if (timeout == IdTimeoutInfinite) {
      for (;;) {
        bool readable = binding_->Readable(idle);
        TIdAntiFreezeBase::RunAntiFreeze(!readable);
        if (readable) return true;
        // The application may have closed the connection meanwhile.
        if (!IsTransportOpen()) throw EIdConnClosedGracefully();
      }
    }
    if (timeout > idle) {
      bool readable = binding_->Readable(timeout - idle);
      TIdAntiFreezeBase::RunAntiFreeze(!readable);
      if (readable) return true;
      if (!IsTransportOpen()) throw EIdConnClosedGracefully();
      timeout = idle;
    }
  }
  bool readable = binding_->Readable(timeout);
  TIdAntiFreezeBase::RunAntiFreeze(!readable);
  return readable;
}

namespace {

TIdReceiveResult ResultOfRecv(int result) {
  return TIdReceiveResult::OfPlatformCall(result, [] { return GStack()->LastPlatformError(); });
}

}  // namespace

TIdReceiveResult TIdIOHandlerSocket::ReceiveSome(void* buffer, int count) {
  if (!IsTransportOpen()) throw EIdClosedSocket();
  return ResultOfRecv(binding_->Recv(buffer, count));
}

std::optional<TIdReceiveResult> TIdIOHandlerSocket::ReceiveWithoutWait(void* buffer, int count, int timeout) {
  // An anti-freeze is served around every wait, and a closed transport
  // raises in the wait: both keep their wait.
  if (!IsTransportOpen() || TIdAntiFreezeBase::AntiFreezeInUse()) return std::nullopt;
  if (timeout == IdTimeoutInfinite) return ReceiveSome(buffer, count);
  const TIdReceiveResult received = ResultOfRecv(binding_->Recv(buffer, count, Id_MSG_DONTWAIT));
  if (received.kind != TIdReceiveResult::Kind::kFailed || received.error_code != Id_WSAEWOULDBLOCK) return received;
  // Negative limits other than "none" are polls too.
  if (timeout <= 0) return TIdReceiveResult::WouldBlock();
  return std::nullopt;
}

int TIdIOHandlerSocket::SendSome(const void* buffer, int count) {
  if (!IsTransportOpen()) throw EIdClosedSocket();
  return binding_->Send(buffer, count);
}

int TIdIOHandlerSocket::LastErrorCode() { return GStack()->LastPlatformError(); }

std::optional<int64_t> TIdIOHandlerSocket::TransmitWholeFile(const std::string& file_name) {
  TIdStack& stack = *GStack();
  if (!binding_ || !stack.CanTransmitWholeFile()) return std::nullopt;
  return stack.TransmitWholeFile(binding_->Handle(), file_name);
}

}  // namespace kv
