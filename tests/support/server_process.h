#pragma once
// Starts a server program for a test as a child that cannot outlive the
// test: if the test process dies (a crash, an abort), the child is sent
// SIGTERM, so no stray server keeps a port or an output pipe.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

struct ServerProcessOptions {
  int stdout_fd = -1;          // the child's standard output
  std::string stderr_path;     // empty: the test's own standard error
  bool own_process_group = false;
};

// argv[0] is the program's path. Throws std::runtime_error when it cannot
// be started.
pid_t StartServerProcess(const std::vector<std::string>& argv, const ServerProcessOptions& options);

// The first line (without its LF) that a server writes to `fd` and that
// begins with `prefix`, such as its "listening on" line; empty when the
// server ends its output or the time is up first. `seen` gets every byte
// read, for the complaint when the line does not come.
std::string WaitForLine(int fd, std::string_view prefix, std::chrono::milliseconds limit, std::string& seen);

// SIGTERM to the server (to its whole process group with `group`), SIGKILL
// when it has not ended within `limit`. The exit code, or 128 + the signal
// that ended it.
int StopServerProcess(pid_t pid, bool group, std::chrono::milliseconds limit = std::chrono::seconds(5));

}  // namespace kv::test
