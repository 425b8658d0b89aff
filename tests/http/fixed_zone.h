#pragma once
// Fixes the C library's local time zone for the life of the object and puts
// the previous one back after.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace kv::testing {

class FixedZone {
 public:
  explicit FixedZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) previous_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~FixedZone() {
    if (previous_) {
      setenv("TZ", previous_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  FixedZone(const FixedZone&) = delete;
  FixedZone& operator=(const FixedZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

}  // namespace kv::testing
