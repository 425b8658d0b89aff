#pragma once
// Runs the built kvornis-stat-sim on a free loopback port for the length of
// a test:
//
//   StatSimProcess sim({"--pages", "3", "--blank-count", "50"});
//   form.ServiceUrl = sim.BaseUrl();   // "http://127.0.0.1:PORT"
//   StatSimProcess secure({"--tls-cert", cert, "--tls-key", key});   // "https://..."
//   ...
//
// The constructor returns once the stand-in accepts connections (it has
// printed its "listening on" line) and throws when it does not start. The
// destructor stops it; Stop() does the same and tells how it ended.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kv::test {

class StatSimProcess {
 public:
  explicit StatSimProcess(const std::vector<std::string>& options = {});
  ~StatSimProcess();
  StatSimProcess(const StatSimProcess&) = delete;
  StatSimProcess& operator=(const StatSimProcess&) = delete;

  int Port() const { return port_; }
  const std::string& BaseUrl() const { return base_url_; }

  // SIGTERM, then SIGKILL if it has not ended within 5 seconds. The exit
  // code (0 after a clean stop), or 128 + the signal that ended it; -1 when
  // it was already stopped.
  int Stop();

 private:
  pid_t pid_ = -1;
  int output_ = -1;  // read end of the program's stdout
  int port_ = 0;
  std::string base_url_;
};

}  // namespace kv::test
