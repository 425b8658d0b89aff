#pragma once
// Components with an owner. The owner frees the components it owns when it
// is destroyed; a component that keeps a plain pointer to another registers
// for that one's removal notice and forgets the pointer when it goes.
//
// A component made with an owner belongs to that owner alone: do not also
// hold it in a unique_ptr. A component without an owner is freed by whoever
// made it.

#include <string>
#include <vector>

namespace kv {

enum class Operation { opInsert, opRemove };

class Component {
 public:
  explicit Component(Component* owner = nullptr);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  Component* Owner() const { return owner_; }
  const std::vector<Component*>& Components() const { return owned_; }

  // Asks for a removal notice (Notification with opRemove) to `listener`
  // when this component is destroyed. Both sides forget each other when
  // either goes.
  void FreeNotification(Component* listener);
  void RemoveFreeNotification(Component* listener);

  std::string Name;

 protected:
  // Called on the owner for every component inserted into or removed from it,
  // and on every listener when a component it registered for is destroyed.
  virtual void Notification(Component* component, Operation operation);

 private:
  void InsertOwned(Component* component);
  void RemoveOwned(Component* component);
  static void Forget(std::vector<Component*>& list, Component* component);

  Component* owner_ = nullptr;
  std::vector<Component*> owned_;
  std::vector<Component*> listeners_;   // told when this one goes
  std::vector<Component*> watched_;     // components this one listens to
  bool destroying_ = false;
};

}  // namespace kv
