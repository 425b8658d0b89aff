#pragma once
// An intercept sits between a connection and its transport and may rewrite
// the bytes in both directions; intercepts chain through Intercept. Bytes
// received pass the nested intercept first and then OnReceive; bytes to send
// pass OnSend first and then the nested intercept, so a chain undoes on the
// way in what it did on the way out.

#include <functional>

#include "base/stream.h"
#include "net/component.h"

namespace kv {

class TIdTCPConnection;

class TIdConnectionIntercept : public TIdBaseComponent {
 public:
  // The stream is positioned at 0; the handler may rewrite and resize it.
  using TIdInterceptStreamEvent = std::function<void(TIdConnectionIntercept* ASender, Stream& AStream)>;
  using TIdInterceptNotifyEvent = std::function<void(TIdConnectionIntercept* ASender)>;

  explicit TIdConnectionIntercept(Component* owner = nullptr);

  TIdConnectionIntercept* Intercept() const { return intercept_; }
  void SetIntercept(TIdConnectionIntercept* intercept);
  TIdTCPConnection* Connection() const { return connection_; }

  TIdInterceptNotifyEvent OnConnect;
  TIdInterceptNotifyEvent OnDisconnect;
  TIdInterceptStreamEvent OnReceive;
  TIdInterceptStreamEvent OnSend;

  // Passing on to the nested intercept.
  virtual void NestedConnect(TIdTCPConnection* connection);
  virtual void NestedDisconnect();
  virtual void NestedReceive(Stream& buffer);
  virtual void NestedSend(Stream& buffer);
  // What the connection calls.
  virtual void Connect(TIdTCPConnection* connection);
  virtual void Disconnect();
  virtual void Receive(Stream& buffer);
  virtual void Send(Stream& buffer);

 protected:
  void Notification(Component* component, Operation operation) override;

 private:
  TIdConnectionIntercept* intercept_ = nullptr;
  TIdTCPConnection* connection_ = nullptr;
};

}  // namespace kv
