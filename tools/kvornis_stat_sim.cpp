// kvornis-stat-sim: the local stand-in of the keyword-statistics service,
// for the digging tests, the demo and the benchmarks. `--help` tells what it
// serves; tools/stat_sim/pages.cpp tells the page layout.

#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/version.h"
#include "tools/stat_sim/client_limits.h"
#include "tools/stat_sim/options.h"
#include "tools/stat_sim/pages.h"
#include "tools/stat_sim/service.h"
#include "tools/stat_sim/session.h"

namespace {

using kv::statsim::SimOptions;

constexpr const char* kContentType = "text/html; charset=utf-8";
// A dig of up to 999 pages, with its form page, must stay on one connection.
constexpr size_t kKeepAliveMaxCount = 100000;
constexpr time_t kKeepAliveSeconds = 30;
constexpr size_t kServerThreads = 64;
// How long a stop waits for open connections before the process just ends.
constexpr auto kStopGrace = std::chrono::milliseconds(500);

// Answers a request from an address over its limits in place of the
// service; false when the request is to be served.
bool TurnAway(kv::statsim::ClientLimits& limits, const httplib::Request& request, httplib::Response& response) {
  if (!limits.Active()) return false;
  switch (limits.Admit(request.remote_addr, kv::statsim::ClientLimits::Clock::now())) {
    case kv::statsim::Verdict::kServe:
      return false;
    case kv::statsim::Verdict::kTooManyRequests:
      response.status = 429;
      response.set_header("Retry-After", "1");
      response.set_content(kv::statsim::TooManyRequestsPage(), kContentType);
      return true;
    case kv::statsim::Verdict::kBlocked:
      response.set_content(kv::statsim::CaptchaPage(), kContentType);
      return true;
  }
  return false;
}

void Configure(httplib::Server& server, const kv::statsim::StatService& service, kv::statsim::ClientLimits& limits,
               const SimOptions& options) {
  const auto latency = std::chrono::milliseconds(options.latency_ms);
  server.Get(".*", [&service, &limits, latency](const httplib::Request& request, httplib::Response& response) {
    // Counted on arrival, as a service counts them, before the pause.
    const bool turned_away = TurnAway(limits, request, response);
    if (latency.count() > 0) std::this_thread::sleep_for(latency);
    if (turned_away) return;
    if (request.path == kv::statsim::kServicePath)
      service.Handle(request, response);
    else
      response.status = 404;
  });
  // The library calls this for every status from 400 on, a 429 with its
  // own page too; only a bare one gets the "not found" page.
  server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) response.set_content("<html><body><p>Not found</p></body></html>\n", kContentType);
  });
  // The head and the body go out in separate writes; with Nagle's rule the
  // body would wait for the client's delayed ACK, some 40 ms a page.
  server.set_tcp_nodelay(true);
  // The library's default also sets SO_REUSEPORT, with which a second
  // stand-in on the same fixed port would quietly share it; a taken port
  // must be an error instead.
  server.set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  // Every kept-alive connection holds a thread of the pool while it is
  // open, so the pool must outnumber the clients that dig in parallel.
  server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  server.set_keep_alive_max_count(kKeepAliveMaxCount);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  if (options.log) {
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
      // The address goes last: scripts read the first fields by position.
      // The line is written in one piece, so that the lines of requests
      // answered at once on other threads never interleave.
      const std::string line = request.method + ' ' + request.target + ' ' + std::to_string(response.status) + ' ' +
                               request.remote_addr + '\n';
      std::fwrite(line.data(), 1, line.size(), stderr);
    });
  }
}

// A plain server, or an https one with the options' certificate and key;
// null when those cannot be used.
std::unique_ptr<httplib::Server> MakeServer(const SimOptions& options) {
  if (options.tls_cert.empty()) return std::make_unique<httplib::Server>();
  auto server = std::make_unique<httplib::SSLServer>(options.tls_cert.c_str(), options.tls_key.c_str());
  if (!server->is_valid()) return nullptr;
  return server;
}

// Bound port, or -1.
int Bind(httplib::Server& server, int port) {
  if (port == 0) return server.bind_to_any_port("127.0.0.1");
  return server.bind_to_port("127.0.0.1", port) ? port : -1;
}

// SIGINT and SIGTERM are blocked in every thread (the server's threads
// inherit the mask) and taken by one thread with sigwait, which stops the
// server outside any signal handler.
sigset_t BlockStopSignals() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);  // a client that leaves mid-page is not our end
  return stop_signals;
}

// Serves until one of the stop signals comes; whether the server ended cleanly.
bool ServeUntilStopped(httplib::Server& server, const sigset_t& stop_signals) {
  std::mutex mutex;
  std::condition_variable listen_ended;
  bool listening_over = false;
  std::thread stopper([&] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    // A signal can come before the accept loop runs; stop() only acts on a running server.
    std::unique_lock lock(mutex);
    while (!server.is_running() && !listening_over) listen_ended.wait_for(lock, std::chrono::milliseconds(5));
    server.stop();
    // The accept loop waits for open keep-alive connections to go idle;
    // a stopped stand-in should not linger for them.
    if (!listen_ended.wait_for(lock, kStopGrace, [&] { return listening_over; })) std::_Exit(0);
  });

  bool clean = server.listen_after_bind();
  {
    std::lock_guard lock(mutex);
    listening_over = true;
  }
  listen_ended.notify_all();
  if (!clean) kill(getpid(), SIGTERM);  // wakes the stopper, still waiting for a signal
  stopper.join();
  return clean;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<SimOptions> options = kv::statsim::ParseOptions(argc, argv, std::cerr);
  if (!options) {
    std::cerr << kv::statsim::kUsage;
    return 2;
  }
  if (options->help) {
    std::cout << kv::statsim::kUsage;
    return 0;
  }
  if (options->version) {
    std::cout << "kvornis-stat-sim " << kv::kVersion << '\n';
    return 0;
  }

  const sigset_t stop_signals = BlockStopSignals();
  kv::statsim::StatService service(*options);
  kv::statsim::ClientLimits limits(options->limits);
  std::unique_ptr<httplib::Server> made = MakeServer(*options);
  if (!made) {
    std::cerr << "kvornis-stat-sim: cannot serve https with the certificate " << options->tls_cert << " and the key "
              << options->tls_key << '\n';
    return 1;
  }
  httplib::Server& server = *made;
  Configure(server, service, limits, *options);
  int port = Bind(server, options->port);
  if (port < 0) {
    std::cerr << "kvornis-stat-sim: cannot listen on 127.0.0.1:" << options->port << '\n';
    return 1;
  }

  const char* scheme = options->tls_cert.empty() ? "http" : "https";
  std::cout << "listening on " << scheme << "://127.0.0.1:" << port << std::endl;
  return ServeUntilStopped(server, stop_signals) ? 0 : 1;
}
