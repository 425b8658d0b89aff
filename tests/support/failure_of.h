#pragma once
// Names what an action raised, for tests that compare failures by class and
// message in case tables.
#include <exception>
#include <string>

#include "base/exception.h"

namespace kv::test {

// "Class: message" of what `action` raised, or "no exception".
template <typename Action>
std::string FailureOf(Action&& action) {
  try {
    action();
  } catch (const kv::Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  } catch (const std::exception& e) {
    return std::string("std::exception: ") + e.what();
  }
  return "no exception";
}

}  // namespace kv::test
