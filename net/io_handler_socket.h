#pragma once
// The plain socket transport: one TIdSocketHandle and the socket stack.

#include <memory>
#include <string>

#include "net/io_handler.h"
#include "net/socket_handle.h"
#include "net/socks.h"

namespace kv {

class TIdIOHandlerSocket : public TIdIOHandler {
 public:
  explicit TIdIOHandlerSocket(Component* owner = nullptr);
  ~TIdIOHandlerSocket() override;

  // When false, the connect switches Nagle's algorithm off (TCP no-delay).
  bool UseNagle = true;
  // How long (ms) each SOCKS reply is awaited when the connect has no limit
  // of its own; 0: without limit. The TCP client sets its read limit here
  // (SetHandshakeTimeout).
  int HandshakeTimeout = 0;
  void SetHandshakeTimeout(int timeout) override { HandshakeTimeout = timeout; }

  // The SOCKS settings; reading them makes the transport's own object on
  // first use. Assigning null forgets the object in use (without freeing
  // it); an object with an owner is used as it is and watched for its
  // removal; one without an owner is copied into the transport's own.
  TIdSocksInfo& SocksInfo();
  void SetSocksInfo(TIdSocksInfo* info);

  // The binding; null before the first PrepareTransport.
  TIdSocketHandle* Binding() const { return binding_.get(); }

  void CloseTransport() override;
  void ConnectTransport(const std::string& host, int port, const std::string& bound_ip, int bound_port,
                        int bound_port_min, int bound_port_max, int timeout) override;
  bool IsTransportOpen() override;
  // Takes the next connection waiting on `listener` into the binding;
  // false when the accept fails.
  bool AcceptSocket(TIdStackSocketHandle listener);
  void PrepareTransport() override;
  bool WaitReadable(int timeout) override;
  TIdReceiveResult ReceiveSome(void* buffer, int count) override;
  std::optional<TIdReceiveResult> ReceiveWithoutWait(void* buffer, int count, int timeout) override;
  int SendSome(const void* buffer, int count) override;
  int LastErrorCode() override;
  std::optional<int64_t> TransmitWholeFile(const std::string& file_name) override;

 protected:
  // Connects the binding on a TIdConnectThread, polling it in steps of
  // 125 ms (less when an anti-freeze asks for it); -2 waits without limit.
  // Raises EIdConnectTimeout, or EIdConnectException with the thread's
  // error text.
  void ConnectWithTimeout(int timeout);

  void Notification(Component* component, Operation operation) override;

 private:
  // The SOCKS handshake with the target, once the TCP connection to the
  // proxy stands; nothing without SOCKS.
  void Handshake(const std::string& host, int port, int timeout);
  // The host and port the socket itself connects to: the SOCKS proxy's,
  // when there is one.
  void ConnectTarget(std::string& host, int& port);
  bool SocksInUse() const { return socks_info_ != nullptr && socks_info_->Version != svNoSocks; }

  std::unique_ptr<TIdSocketHandle> binding_;
  std::unique_ptr<TIdSocksInfo> own_socks_info_;
  TIdSocksInfo* socks_info_ = nullptr;  // own_socks_info_, or an outside object
};

}  // namespace kv
