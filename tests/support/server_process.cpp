#include "tests/support/server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

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

std::string WaitForLine(int fd, std::string_view prefix, std::chrono::milliseconds limit, std::string& seen) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  size_t line_start = seen.size();
  for (;;) {
    for (size_t end = seen.find('\n', line_start); end != std::string::npos; end = seen.find('\n', line_start)) {
      std::string_view line(seen.data() + line_start, end - line_start);
      if (line.starts_with(prefix)) return std::string(line);
      line_start = end + 1;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return "";
    seen.append(buffer, static_cast<size_t>(n));
  }
}

int StopServerProcess(pid_t pid, bool group, std::chrono::milliseconds limit) {
  kill(group ? -pid : pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(group ? -pid : pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace kv::test
