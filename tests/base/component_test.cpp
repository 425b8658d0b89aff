#include "base/component.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

// Records its own destruction and the removal notices it receives.
class Probe : public Component {
 public:
  Probe(Component* owner, std::vector<std::string>* log, std::string name) : Component(owner), log_(log) {
    Name = std::move(name);
  }
  ~Probe() override { log_->push_back("free " + Name); }
  Component* watched = nullptr;

 protected:
  void Notification(Component* c, Operation op) override {
    if (op == Operation::opRemove) {
      log_->push_back(Name + " told " + c->Name + " went");
      if (c == watched) watched = nullptr;
    }
  }

 private:
  std::vector<std::string>* log_;
};

TEST(Component, OwnerFreesWhatItOwns) {
  std::vector<std::string> log;
  auto* owner = new Probe(nullptr, &log, "owner");
  new Probe(owner, &log, "a");
  auto* b = new Probe(owner, &log, "b");
  EXPECT_EQ(owner->Components().size(), 2u);
  delete b;  // freed early: the owner forgets it
  EXPECT_EQ(owner->Components().size(), 1u);
  delete owner;
  EXPECT_EQ(log, (std::vector<std::string>{"free b", "owner told b went", "free owner", "free a"}));
}

TEST(Component, ListenerForgetsAComponentFreedElsewhere) {
  std::vector<std::string> log;
  Probe client(nullptr, &log, "client");
  {
    Probe manager(nullptr, &log, "manager");
    client.watched = &manager;
    manager.FreeNotification(&client);
  }
  EXPECT_EQ(client.watched, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"free manager", "client told manager went"}));
}

TEST(Component, AFreedListenerIsNotToldLater) {
  std::vector<std::string> log;
  Probe manager(nullptr, &log, "manager");
  {
    Probe client(nullptr, &log, "client");
    manager.FreeNotification(&client);
    manager.FreeNotification(&client);  // registering twice is one registration
  }
  log.clear();
  // Destroying manager now must not touch the freed client (ASan would tell).
}

}  // namespace
}  // namespace kv
