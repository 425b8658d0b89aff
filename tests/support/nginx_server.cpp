#include "tests/support/nginx_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/run_process.h"
#include "tests/support/server_process.h"

namespace kv::test {

namespace {

constexpr std::string_view kReadyPrefix = "listening on http://127.0.0.1:";
constexpr auto kStartLimit = std::chrono::seconds(15);
constexpr auto kStopLimit = std::chrono::seconds(5);

constexpr auto kServedFolder = std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                               std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                               std::filesystem::perms::others_exec;
constexpr auto kServedFile = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                             std::filesystem::perms::group_read | std::filesystem::perms::others_read;

// The first line the process writes to `fd`, or what arrived of it when the
// process ends its output or the time is up.
std::string ReadFirstLine(int fd, std::chrono::steady_clock::time_point deadline) {
  std::string line;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return line;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char c;
    if (::read(fd, &c, 1) != 1) return line;
    if (c == '\n') return line;
    line += c;
  }
}

}  // namespace

NginxServer::NginxServer() {
  std::filesystem::permissions(root_.Path(), kServedFolder);
  const std::string script = SourceDir() + "/scripts/run-nginx";
  const std::string err_path = scratch_.File("stderr");
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  try {
    // A process group of its own, so that stopping reaches nginx's master
    // and workers too.
    pid_ = StartServerProcess({script, root_.Path().string()},
                              {.stdout_fd = out[1], .stderr_path = err_path, .own_process_group = true});
  } catch (...) {
    ::close(out[0]);
    ::close(out[1]);
    pid_ = -1;
    throw;
  }
  ::close(out[1]);

  const std::string line = ReadFirstLine(out[0], std::chrono::steady_clock::now() + kStartLimit);
  ::close(out[0]);
  if (line.starts_with(kReadyPrefix)) port_ = std::atoi(line.c_str() + kReadyPrefix.size());
  if (port_ <= 0) {
    Stop();
    std::string complaint;
    try {
      complaint = ReadFileBytes(err_path);
    } catch (const std::exception&) {
      // Without the script's words the first line still tells what failed.
    }
    throw std::runtime_error("nginx did not start (" + script + "): first line \"" + line + "\"; stderr: " +
                             complaint);
  }
}

NginxServer::~NginxServer() { Stop(); }

std::string NginxServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string NginxServer::AddFile(std::string_view relative_path, std::string_view bytes) {
  const std::filesystem::path path = root_.Path() / relative_path;
  std::vector<std::filesystem::path> made;
  for (auto folder = path.parent_path(); folder != root_.Path() && !std::filesystem::exists(folder);
       folder = folder.parent_path()) {
    made.push_back(folder);
  }
  std::filesystem::create_directories(path.parent_path());
  for (const auto& folder : made) std::filesystem::permissions(folder, kServedFolder);
  WriteFileBytes(path.string(), bytes);
  std::filesystem::permissions(path, kServedFile);
  return path.string();
}

void NginxServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(-pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

}  // namespace kv::test
