#include "tests/support/stat_sim_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/support/run_process.h"
#include "tests/support/server_process.h"

namespace kv::test {
namespace {

constexpr std::string_view kListeningPrefix = "listening on ";
// Generous: a sanitizer build starts slowly on a busy machine.
constexpr auto kStartLimit = std::chrono::seconds(20);

}  // namespace

StatSimProcess::StatSimProcess(const std::vector<std::string>& options, ErrorOutput error_output) {
  std::string path = BuildDir() + "/tools/kvornis-stat-sim";
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> argv = {path};
  argv.insert(argv.end(), options.begin(), options.end());
  ServerProcessOptions server;
  server.stdout_fd = pipe_fds[1];
  if (error_output == ErrorOutput::kFile) {
    log_dir_.emplace();
    server.stderr_path = LogPath();
  }
  try {
    pid_ = StartServerProcess(argv, server);
  } catch (...) {
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    throw;
  }
  close(pipe_fds[1]);
  output_ = pipe_fds[0];

  std::string seen;
  const std::string line = WaitForLine(output_, kListeningPrefix, kStartLimit, seen);
  if (line.empty()) {
    int status = Stop();
    throw std::runtime_error(path + " did not start (output '" + seen + "', exit " + std::to_string(status) + ")");
  }
  base_url_ = line.substr(kListeningPrefix.size());
  port_ = std::stoi(base_url_.substr(base_url_.rfind(':') + 1));
}

StatSimProcess::~StatSimProcess() { Stop(); }

int StatSimProcess::Stop() {
  if (pid_ <= 0) return -1;
  const int status = StopServerProcess(pid_, false);
  pid_ = -1;
  close(output_);
  output_ = -1;
  return status;
}

std::string StatSimProcess::LogPath() const { return log_dir_ ? log_dir_->File("stderr") : ""; }

std::string StatSimProcess::Log() const { return log_dir_ ? ReadFileBytes(LogPath()) : ""; }

size_t StatSimProcess::RequestsFrom(std::string_view address) const {
  const std::string log = Log();
  size_t count = 0;
  for (size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string_view line(log.data() + start, end - start);
    // The address is the last field; "127.0.0.2" must not match "127.0.0.21".
    if (line.starts_with("GET ") && line.ends_with(" " + std::string(address))) ++count;
  }
  return count;
}

}  // namespace kv::test
