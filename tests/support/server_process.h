#pragma once
// Starts a server program for a test as a child that cannot outlive the
// test: if the test process dies (a crash, an abort), the child is sent
// SIGTERM, so no stray server keeps a port or an output pipe.
#include <sys/types.h>

#include <string>
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

}  // namespace kv::test
