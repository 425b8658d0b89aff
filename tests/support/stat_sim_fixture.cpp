#include "tests/support/stat_sim_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "tests/support/run_process.h"
#include "tests/support/server_process.h"

namespace kv::test {
namespace {

constexpr std::string_view kListeningPrefix = "listening on http://127.0.0.1:";
// Generous: a sanitizer build starts slowly on a busy machine.
constexpr int kStartLimitMs = 20000;

// The program's first stdout line, without its LF; empty when it ends or
// stays silent beyond the limit.
std::string ReadFirstLine(int fd) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
    char buffer[256];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return "";
    line.append(buffer, static_cast<size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

}  // namespace

StatSimProcess::StatSimProcess(const std::vector<std::string>& options) {
  std::string path = BuildDir() + "/tools/kvornis-stat-sim";
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> argv = {path};
  argv.insert(argv.end(), options.begin(), options.end());
  ServerProcessOptions server;
  server.stdout_fd = pipe_fds[1];
  try {
    pid_ = StartServerProcess(argv, server);
  } catch (...) {
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    throw;
  }
  close(pipe_fds[1]);
  output_ = pipe_fds[0];

  std::string line = ReadFirstLine(output_);
  if (line.rfind(kListeningPrefix, 0) != 0) {
    int status = Stop();
    throw std::runtime_error(path + " did not start (first line '" + line + "', exit " + std::to_string(status) + ")");
  }
  port_ = std::stoi(line.substr(kListeningPrefix.size()));
  base_url_ = line.substr(std::string_view("listening on ").size());
}

StatSimProcess::~StatSimProcess() { Stop(); }

int StatSimProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  close(output_);
  output_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace kv::test
