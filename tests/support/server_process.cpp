#include "tests/support/server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <stdexcept>

namespace kv::test {

pid_t StartServerProcess(const std::vector<std::string>& argv, const ServerProcessOptions& options) {
  // Everything the child needs is prepared before the fork: between fork
  // and exec only async-signal-safe calls are allowed.
  std::vector<std::string> args = argv;
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(127);
    if (options.own_process_group) setpgid(0, 0);
    const int null_input = open("/dev/null", O_RDONLY);
    if (null_input < 0 || dup2(null_input, 0) < 0) _exit(127);
    if (options.stdout_fd >= 0 && dup2(options.stdout_fd, 1) < 0) _exit(127);
    if (!options.stderr_path.empty()) {
      const int error_file = open(options.stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (error_file < 0 || dup2(error_file, 2) < 0) _exit(127);
    }
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  return pid;
}

}  // namespace kv::test
