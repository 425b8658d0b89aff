#include "base/component.h"

#include <algorithm>

namespace kv {

Component::Component(Component* owner) {
  if (owner) owner->InsertOwned(this);
}

Component::~Component() {
  destroying_ = true;
  // Tell every listener first, so that none keeps a pointer to us.
  while (!listeners_.empty()) {
    Component* listener = listeners_.back();
    listeners_.pop_back();
    Forget(listener->watched_, this);
    listener->Notification(this, Operation::opRemove);
  }
  while (!watched_.empty()) {
    Component* watched = watched_.back();
    watched_.pop_back();
    Forget(watched->listeners_, this);
  }
  // Free what we own; each one takes itself out of owned_.
  while (!owned_.empty()) delete owned_.back();
  if (owner_) owner_->RemoveOwned(this);
}

void Component::Forget(std::vector<Component*>& list, Component* component) {
  list.erase(std::remove(list.begin(), list.end(), component), list.end());
}

void Component::InsertOwned(Component* component) {
  owned_.push_back(component);
  component->owner_ = this;
  Notification(component, Operation::opInsert);
}

void Component::RemoveOwned(Component* component) {
  Forget(owned_, component);
  component->owner_ = nullptr;
  if (!destroying_) Notification(component, Operation::opRemove);
}

void Component::FreeNotification(Component* listener) {
  if (!listener || listener == this) return;
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
    listeners_.push_back(listener);
    listener->watched_.push_back(this);
  }
}

void Component::RemoveFreeNotification(Component* listener) {
  if (!listener) return;
  Forget(listeners_, listener);
  Forget(listener->watched_, this);
}

void Component::Notification(Component*, Operation) {}

}  // namespace kv
