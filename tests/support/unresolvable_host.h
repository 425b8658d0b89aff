#pragma once
#include <string>

namespace kv::test {

// A host name the resolver refuses without asking any name server: its first
// label is longer than the 63 characters a label may have. Tests that need a
// name that cannot resolve use it, so they never leave the machine and do
// not depend on a reachable resolver.
inline const std::string kUnresolvableHost = std::string(70, 'x') + ".invalid";

}  // namespace kv::test
