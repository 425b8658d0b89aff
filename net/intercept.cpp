#include "net/intercept.h"

namespace kv {

TIdConnectionIntercept::TIdConnectionIntercept(Component* owner) : TIdBaseComponent(owner) {}

void TIdConnectionIntercept::SetIntercept(TIdConnectionIntercept* intercept) {
  if (intercept == this) return;   // a chain through itself would never end
  if (intercept_) intercept_->RemoveFreeNotification(this);
  intercept_ = intercept;
  if (intercept_) intercept_->FreeNotification(this);
}

void TIdConnectionIntercept::Notification(Component* component, Operation operation) {
  TIdBaseComponent::Notification(component, operation);
  if (operation == Operation::opRemove && component == intercept_) intercept_ = nullptr;
}

void TIdConnectionIntercept::NestedConnect(TIdTCPConnection* connection) {
  if (intercept_) intercept_->Connect(connection);
}

void TIdConnectionIntercept::NestedDisconnect() {
  if (intercept_) intercept_->Disconnect();
}

void TIdConnectionIntercept::NestedReceive(Stream& buffer) {
  if (intercept_) intercept_->Receive(buffer);
}

void TIdConnectionIntercept::NestedSend(Stream& buffer) {
  if (intercept_) intercept_->Send(buffer);
}

void TIdConnectionIntercept::Connect(TIdTCPConnection* connection) {
  connection_ = connection;
  if (OnConnect) OnConnect(this);
  NestedConnect(connection);
}

void TIdConnectionIntercept::Disconnect() {
  NestedDisconnect();
  if (OnDisconnect) OnDisconnect(this);
  connection_ = nullptr;
}

void TIdConnectionIntercept::Receive(Stream& buffer) {
  NestedReceive(buffer);
  if (OnReceive) {
    OnReceive(this, buffer);
    buffer.SetPosition(0);
  }
}

void TIdConnectionIntercept::Send(Stream& buffer) {
  if (OnSend) {
    OnSend(this, buffer);
    buffer.SetPosition(0);
  }
  NestedSend(buffer);
}

}  // namespace kv
