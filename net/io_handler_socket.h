#pragma once
// The plain socket transport: one TIdSocketHandle and the socket stack.

#include <memory>
#include <string>

#include "net/io_handler.h"
#include "net/socket_handle.h"

namespace kv {

class TIdIOHandlerSocket : public TIdIOHandler {
 public:
  explicit TIdIOHandlerSocket(Component* owner = nullptr);
  ~TIdIOHandlerSocket() override;

  // When false, the connect switches Nagle's algorithm off (TCP no-delay).
  bool UseNagle = true;

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
  int ReceiveSome(void* buffer, int count) override;
  int SendSome(const void* buffer, int count) override;
  int LastErrorCode() override;

 protected:
  // Connects the binding on a TIdConnectThread, polling it in steps of
  // 125 ms (less when an anti-freeze asks for it); -2 waits without limit.
  // Raises EIdConnectTimeout, or EIdConnectException with the thread's
  // error text.
  void ConnectWithTimeout(int timeout);

  // The proxy handshake, run once the TCP connection stands; nothing here.
  // A SOCKS transport replaces it and ConnectTarget().
  virtual void Handshake(const std::string& /*host*/, int /*port*/) {}
  // The host and port the socket itself connects to.
  virtual void ConnectTarget(std::string& /*host*/, int& /*port*/) {}

 private:
  std::unique_ptr<TIdSocketHandle> binding_;
};

}  // namespace kv
