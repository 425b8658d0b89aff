#include "tests/support/nginx_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "tests/support/run_process.h"
#include "tests/support/server_process.h"

namespace kv::test {

namespace {

constexpr std::string_view kReadyPrefix = "listening on ";
constexpr auto kStartLimit = std::chrono::seconds(15);

constexpr auto kServedFolder = std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                               std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                               std::filesystem::perms::others_exec;
constexpr auto kServedFile = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                             std::filesystem::perms::group_read | std::filesystem::perms::others_read;

}  // namespace

NginxServer::NginxServer() { Start({}); }

NginxServer::NginxServer(const std::string& cert_file, const std::string& key_file) {
  Start({.cert_file = cert_file, .key_file = key_file, .users = {}});
}

NginxServer::NginxServer(const NginxOptions& options) { Start(options); }

void NginxServer::Start(const NginxOptions& options) {
  std::filesystem::permissions(root_.Path(), kServedFolder);
  const std::string script = SourceDir() + "/scripts/run-nginx";
  std::vector<std::string> argv = {script};
  if (!options.users.empty()) {
    // Outside the served folder, where the workers can read it.
    std::filesystem::permissions(scratch_.Path(), kServedFolder);
    WritePasswordFile(scratch_.File("htpasswd"), options.users);
    argv.insert(argv.end(), {"--htpasswd", scratch_.File("htpasswd")});
  }
  argv.push_back(root_.Path().string());
  if (!options.cert_file.empty()) argv.insert(argv.end(), {options.cert_file, options.key_file});
  const std::string err_path = scratch_.File("stderr");
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  try {
    // A process group of its own, so that stopping reaches nginx's master
    // and workers too.
    pid_ = StartServerProcess(argv, {.stdout_fd = out[1], .stderr_path = err_path, .own_process_group = true});
  } catch (...) {
    ::close(out[0]);
    ::close(out[1]);
    pid_ = -1;
    throw;
  }
  ::close(out[1]);

  std::string seen;
  const std::string line = WaitForLine(out[0], kReadyPrefix, kStartLimit, seen);
  ::close(out[0]);
  base_url_ = line.substr(std::min(line.size(), kReadyPrefix.size()));
  if (const size_t colon = base_url_.rfind(':'); colon != std::string::npos) {
    port_ = std::atoi(base_url_.c_str() + colon + 1);
  }
  if (port_ <= 0) {
    Stop();
    std::string complaint;
    try {
      complaint = ReadFileBytes(err_path);
    } catch (const std::exception&) {
      // Without the script's words its output still tells what failed.
    }
    throw std::runtime_error("nginx did not start (" + script + "): output \"" + seen + "\"; stderr: " +
                             complaint);
  }
}

NginxServer::~NginxServer() { Stop(); }

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
  StopServerProcess(pid_, true);
  pid_ = -1;
}

}  // namespace kv::test
