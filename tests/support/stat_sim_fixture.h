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
//
// With ErrorOutput::kFile its standard error (the --log lines among it)
// goes to a file of its own, for a test that checks who asked for what:
//
//   StatSimProcess sim({"--log"}, ErrorOutput::kFile);
//   ... requests through a proxy whose outgoing address is 127.0.0.2 ...
//   EXPECT_EQ(sim.RequestsFrom("127.0.0.2"), 3u);

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

namespace kv::test {

enum class ErrorOutput {
  kTestOutput,  // the test's own standard error
  kFile,        // a file read by Log()
};

class StatSimProcess {
 public:
  explicit StatSimProcess(const std::vector<std::string>& options = {},
                          ErrorOutput error_output = ErrorOutput::kTestOutput);
  ~StatSimProcess();
  StatSimProcess(const StatSimProcess&) = delete;
  StatSimProcess& operator=(const StatSimProcess&) = delete;

  int Port() const { return port_; }
  const std::string& BaseUrl() const { return base_url_; }

  // SIGTERM, then SIGKILL if it has not ended within 5 seconds. The exit
  // code (0 after a clean stop), or 128 + the signal that ended it; -1 when
  // it was already stopped.
  int Stop();

  // With ErrorOutput::kFile: the file, and what the stand-in has written to
  // it so far (with --log, one "GET TARGET STATUS ADDRESS" line per answered
  // request). Empty otherwise.
  std::string LogPath() const;
  std::string Log() const;
  // Log lines of requests from the client address `address`, whatever
  // their answer.
  size_t RequestsFrom(std::string_view address) const;

 private:
  pid_t pid_ = -1;
  int output_ = -1;  // read end of the program's stdout
  int port_ = 0;
  std::string base_url_;
  std::optional<TempDir> log_dir_;
};

}  // namespace kv::test
