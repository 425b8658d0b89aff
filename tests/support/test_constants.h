#pragma once
// Values that the suites share.

namespace kv::test {

// The empty line that ends a request or response head.
inline constexpr const char* kHeadEnd = "\r\n\r\n";
// A read limit (ms) for connections under test, so that a broken test
// fails instead of waiting forever.
inline constexpr int kGuardTimeout = 3000;

}  // namespace kv::test
