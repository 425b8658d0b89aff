#include "tests/support/socks_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/server_process.h"

namespace kv::test {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr int kPortTries = 10;

std::string Program(const char* variable, const char* fallback) {
  const char* program = std::getenv(variable);
  return program ? program : fallback;
}

void RequireProgram(const std::string& program, const std::string& package) {
  if (::access(program.c_str(), X_OK) != 0) {
    throw std::runtime_error(program + " not found (scripts/install-deps installs " + package + ")");
  }
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

// A loopback port that can be bound now, below the range the system hands
// out to outgoing connections, so that those rarely take it meanwhile.
int FreePort(std::mt19937& random) {
  for (int i = 0; i < 100; ++i) {
    const int port = 20000 + static_cast<int>(random() % 12000);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    if (bound) return port;
  }
  throw std::runtime_error("no free loopback port found");
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) ::close(fd);
  return connected;
}

std::string ReadOrEmpty(const std::string& path) {
  try {
    return ReadFileBytes(path);
  } catch (const std::exception&) {
    return "";
  }
}

std::mt19937 Random() {
  return std::mt19937(static_cast<unsigned>(::getpid()) ^
                      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
}

// Waits until `ready` holds or the server ends or the time is up. True
// when ready; otherwise `complaint` says why (with `what_it_said`) and the
// server is stopped.
bool WaitReady(pid_t& pid, const std::function<bool()>& ready, const std::function<std::string()>& what_it_said,
               bool group, std::string& complaint) {
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  for (;;) {
    if (ready()) return true;
    int status = 0;
    const bool ended = ::waitpid(pid, &status, WNOHANG) == pid;
    if (ended || std::chrono::steady_clock::now() > deadline) {
      if (!ended) StopServerProcess(pid, group);
      pid = -1;
      complaint = (ended ? "it ended" : "it did not listen in time") + std::string("; ") + what_it_said();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool PortTaken(const std::string& complaint) { return complaint.find("Address already in use") != std::string::npos; }

}  // namespace

// ---- dante ----------------------------------------------------------------

DanteServer::DanteServer(int blocked_port, const std::string& external_address) {
  RequireProgram(Program("DANTED", "/usr/sbin/danted"), "dante-server");
  std::mt19937 random = Random();
  for (int attempt = 0; attempt < kPortTries; ++attempt) {
    if (TryStart(FreePort(random), blocked_port, external_address)) return;
    if (!PortTaken(complaint_)) break;
  }
  throw std::runtime_error("danted did not start: " + complaint_);
}

bool DanteServer::TryStart(int port, int blocked_port, const std::string& external_address) {
  const std::string log = dir_.File("danted.log");
  std::filesystem::remove(log);
  std::string config = "logoutput: " + log + "\n" +
                       "internal: 127.0.0.1 port = " + std::to_string(port) + "\n" +
                       "external: " + external_address + "\n" +
                       "clientmethod: none\n"
                       "socksmethod: none\n";
  // As root, danted works as "nobody" once it has read its config and
  // opened its log.
  if (::geteuid() == 0) config += "user.privileged: root\nuser.unprivileged: nobody\n";
  config += "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n";
  if (blocked_port > 0) {
    config += "socks block { from: 0.0.0.0/0 to: 0.0.0.0/0 port = " + std::to_string(blocked_port) +
              " log: connect error }\n";
  }
  config += "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 log: connect error }\n";
  WriteFileBytes(dir_.File("danted.conf"), config);

  const std::vector<std::string> argv = {Program("DANTED", "/usr/sbin/danted"), "-f", dir_.File("danted.conf"),
                                         "-p", dir_.File("danted.pid"), "-N", "1"};
  // A process group of its own, so that stopping reaches its children too.
  pid_ = StartServerProcess(argv, {.stdout_fd = -1, .stderr_path = dir_.File("stderr"), .own_process_group = true});
  const bool ready = WaitReady(
      pid_, [&] { return ReadOrEmpty(log).find(" running\n") != std::string::npos; },
      [&] { return "stderr: " + ReadOrEmpty(dir_.File("stderr")) + "; log: " + ReadOrEmpty(log); }, true,
      complaint_);
  if (ready) port_ = port;
  return ready;
}

DanteServer::~DanteServer() { Stop(); }

std::string DanteServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string DanteServer::Log() const { return ReadOrEmpty(dir_.File("danted.log")); }

void DanteServer::Stop() {
  if (pid_ <= 0) return;
  StopServerProcess(pid_, true);
  pid_ = -1;
}

// ---- microsocks -----------------------------------------------------------

MicrosocksServer::MicrosocksServer(const std::string& user, const std::string& password,
                                   const std::string& outgoing_address) {
  RequireProgram(Program("MICROSOCKS", "/usr/bin/microsocks"), "microsocks");
  std::vector<std::string> arguments;
  if (!user.empty()) arguments.insert(arguments.end(), {"-u", user, "-P", password});
  if (!outgoing_address.empty()) arguments.insert(arguments.end(), {"-b", outgoing_address});
  std::mt19937 random = Random();
  for (int attempt = 0; attempt < kPortTries; ++attempt) {
    if (TryStart(FreePort(random), arguments)) return;
    if (!PortTaken(complaint_)) break;
  }
  throw std::runtime_error("microsocks did not start: " + complaint_);
}

bool MicrosocksServer::TryStart(int port, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {Program("MICROSOCKS", "/usr/bin/microsocks"), "-i", "127.0.0.1", "-p",
                                   std::to_string(port)};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  // It tells of every client on standard output: into a file, not the test's.
  const int output = ::open(dir_.File("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (output < 0) throw std::runtime_error("microsocks: cannot open " + dir_.File("stdout"));
  try {
    pid_ = StartServerProcess(argv, {.stdout_fd = output, .stderr_path = dir_.File("stderr"),
                                     .own_process_group = false});
  } catch (...) {
    ::close(output);
    throw;
  }
  ::close(output);
  // It says nothing when it listens: the port was free a moment ago, so a
  // connect that goes through reaches it.
  const bool ready = WaitReady(
      pid_, [&] { return Accepts(port); }, [&] { return "stderr: " + ReadOrEmpty(dir_.File("stderr")); }, false,
      complaint_);
  if (ready) port_ = port;
  return ready;
}

MicrosocksServer::~MicrosocksServer() { Stop(); }

std::string MicrosocksServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

void MicrosocksServer::Stop() {
  if (pid_ <= 0) return;
  StopServerProcess(pid_, false);
  pid_ = -1;
}

}  // namespace kv::test
