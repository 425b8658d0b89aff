#pragma once
// Test classes register themselves, so one executable runs them all.

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace kv::ui::test {

struct RegisteredTest {
  const char* name;
  std::function<std::unique_ptr<QObject>()> make;
};

std::vector<RegisteredTest>& Registry();

#define KV_UI_TEST_CLASS(Class)                                                              \
  static const bool kRegistered##Class = [] {                                                \
    ::kv::ui::test::Registry().push_back({#Class, [] { return std::make_unique<Class>(); }}); \
    return true;                                                                             \
  }()

}  // namespace kv::ui::test
