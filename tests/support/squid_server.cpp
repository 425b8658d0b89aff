#include "tests/support/squid_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>

#include "tests/support/server_process.h"

namespace kv::test {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr int kPortTries = 10;
constexpr const char* kHelper = "/usr/lib/squid/basic_ncsa_auth";

std::string SquidProgram() {
  const char* program = std::getenv("SQUID");
  return program ? program : "/usr/sbin/squid";
}

// A loopback port that can be bound now, below the range the system hands
// out to outgoing connections, so that those rarely take it meanwhile.
int FreePort(std::mt19937& random) {
  for (int i = 0; i < 100; ++i) {
    const int port = 20000 + static_cast<int>(random() % 12000);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    if (bound) return port;
  }
  throw std::runtime_error("squid: no free loopback port found");
}

std::string ReadOrEmpty(const std::string& path) {
  try {
    return ReadFileBytes(path);
  } catch (const std::exception&) {
    return "";
  }
}

}  // namespace

SquidServer::SquidServer(const Users& users, const std::vector<int>& connect_ports,
                         const std::string& outgoing_address) {
  for (const std::string& program : {SquidProgram(), std::string(kHelper)}) {
    if (::access(program.c_str(), X_OK) != 0) {
      throw std::runtime_error(program + " not found (scripts/install-deps installs squid)");
    }
  }
  // Running as root, squid works as the user "proxy": the folder is its,
  // so that it can write its logs and pid file, and read the rest.
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                std::filesystem::perms::group_exec |
                                                std::filesystem::perms::others_read |
                                                std::filesystem::perms::others_exec);
  if (::geteuid() == 0) {
    const passwd* proxy = ::getpwnam("proxy");
    if (proxy == nullptr) throw std::runtime_error("squid: there is no user \"proxy\" to run it as");
    if (::chown(dir_.Path().c_str(), proxy->pw_uid, proxy->pw_gid) != 0) {
      throw std::runtime_error("squid: cannot hand " + dir_.Path().string() + " to the user \"proxy\"");
    }
  }
  WritePasswordFile(dir_.File("passwd"), users);

  std::mt19937 random(static_cast<unsigned>(::getpid()) ^
                      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::string tunnel_ports;
  for (int port : connect_ports) tunnel_ports += " " + std::to_string(port);
  for (int attempt = 0; attempt < kPortTries; ++attempt) {
    const int port = FreePort(random);
    const std::string d = dir_.Path().string();
    std::string config = "http_port 127.0.0.1:" + std::to_string(port) +
                         "\n"
                         "visible_hostname kvornis-test\n"
                         "pid_filename " + d + "/squid.pid\n"
                         "cache_log " + d + "/cache.log\n"
                         "access_log stdio:" + d + "/access.log\n"
                         "cache_store_log none\n"
                         "netdb_filename none\n"
                         "coredump_dir " + d + "\n"
                         "pinger_enable off\n"
                         "dns_nameservers 127.0.0.1\n"
                         "shutdown_lifetime 0 seconds\n"
                         "cache deny all\n"
                         "auth_param basic program " + std::string(kHelper) + " " + d + "/passwd\n"
                         "auth_param basic realm kvornis-test\n"
                         "acl authenticated proxy_auth REQUIRED\n"
                         "acl CONNECT method CONNECT\n";
    if (!tunnel_ports.empty()) config += "acl tunnel_ports port" + tunnel_ports + "\n";
    config += tunnel_ports.empty() ? "http_access deny CONNECT\n" : "http_access deny CONNECT !tunnel_ports\n";
    config += "http_access allow authenticated\nhttp_access deny all\n";
    if (::geteuid() == 0) config += "cache_effective_user proxy\n";
    if (!outgoing_address.empty()) config += "tcp_outgoing_address " + outgoing_address + "\n";
    WriteFileBytes(dir_.File("squid.conf"), config);
    std::filesystem::permissions(dir_.File("squid.conf"), std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::owner_write |
                                                              std::filesystem::perms::group_read |
                                                              std::filesystem::perms::others_read);
    if (TryStart(port)) return;
  }
  throw std::runtime_error("squid did not start: " + complaint_);
}

bool SquidServer::TryStart(int port) {
  std::filesystem::remove(dir_.File("cache.log"));
  const std::vector<std::string> argv = {SquidProgram(), "-N", "-f", dir_.File("squid.conf")};
  // A process group of its own, so that stopping reaches its helpers too.
  pid_ = StartServerProcess(argv, {.stdout_fd = -1, .stderr_path = dir_.File("stderr"), .own_process_group = true});
  // Squid says in its log when it listens; until then the port may still
  // be another program's.
  const std::string ready = "Accepting HTTP Socket connections at ";
  const std::string address = "local=127.0.0.1:" + std::to_string(port) + " ";
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  for (;;) {
    const std::string log = ReadOrEmpty(dir_.File("cache.log"));
    if (const size_t at = log.find(ready); at != std::string::npos && log.find(address, at) != std::string::npos) {
      port_ = port;
      return true;
    }
    int status = 0;
    const bool ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
    if (ended || std::chrono::steady_clock::now() > deadline) {
      if (ended) {
        pid_ = -1;
      } else {
        Stop();
      }
      complaint_ = (ended ? "it ended" : "it did not listen in time") + std::string("; stderr: ") +
                   ReadOrEmpty(dir_.File("stderr")) + "; cache.log: " + ReadOrEmpty(dir_.File("cache.log"));
      // Only a port someone else took is worth another try.
      if (complaint_.find("Address already in use") == std::string::npos) {
        throw std::runtime_error("squid did not start: " + complaint_);
      }
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

SquidServer::~SquidServer() { Stop(); }

std::string SquidServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string SquidServer::AccessLog() const { return ReadOrEmpty(dir_.File("access.log")); }

void SquidServer::Stop() {
  if (pid_ <= 0) return;
  StopServerProcess(pid_, true);
  pid_ = -1;
}

}  // namespace kv::test
