// The header records on the path every request takes: a response head read
// into the response record as the exchange reads it (lines into a list
// whose storage is reused, then one parse), a request head composed, and
// whole keep-alive GETs of a 1 KiB body from a loopback server that answers
// at once, where the records' share is what is left besides the socket.
//
//   kv_http_bench --benchmark_filter=Head    the records alone
//   kv_http_bench --benchmark_repetitions=5  several runs, for a noisy machine

#include <sys/socket.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "bench/loopback_peer.h"
#include "http/http_client.h"
#include "http/request_header.h"
#include "http/response_header.h"

namespace {

// What nginx sends before a small static file.
const std::vector<std::string_view> kResponseLines = {
    "Server: nginx/1.24.0",
    "Date: Wed, 09 Dec 2026 18:56:20 GMT",
    "Content-Type: application/octet-stream",
    "Content-Length: 1024",
    "Last-Modified: Wed, 09 Dec 2026 18:50:01 GMT",
    "Connection: keep-alive",
    "ETag: \"6757a9d9-400\"",
    "Accept-Ranges: bytes",
};

// The records live on the heap, as the client's do.
void BM_ResponseHeadRead(benchmark::State& state) {
  auto response = std::make_unique<kv::TIdResponseHeaderInfo>();
  for (auto _ : state) {
    response->HeaderLines.Clear();
    for (std::string_view line : kResponseLines) response->HeaderLines.AddCopy(line);
    response->ParseHeaders();
    benchmark::DoNotOptimize(response->ContentLength);
  }
}

void BM_RequestHeadCompose(benchmark::State& state) {
  auto request = std::make_unique<kv::TIdRequestHeaderInfo>();
  request->Host = "127.0.0.1:8080";
  request->Connection = "keep-alive";
  request->AcceptEncoding = "identity";
  request->Referer = "http://127.0.0.1:8080/";
  for (auto _ : state) {
    request->ComposeHeaders();
    benchmark::DoNotOptimize(request->HeaderLines.Count());
  }
}

// Answers every request head on one connection with a 1 KiB body, until
// the client closes.
class KeepAliveServer : public kv::bench::LoopbackPeer {
 public:
  KeepAliveServer() : LoopbackPeer("server", Serve) {}

 private:
  static void Serve(int fd) {
    std::string reply = "HTTP/1.1 200 OK\r\n";
    for (std::string_view line : kResponseLines) reply.append(line).append("\r\n");
    reply += "\r\n" + std::string(1024, 'x');
    std::string received;
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      received.append(buffer, static_cast<size_t>(n));
      for (size_t end = received.find("\r\n\r\n"); end != std::string::npos; end = received.find("\r\n\r\n")) {
        received.erase(0, end + 4);
        if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply.size())) return;
      }
    }
  }
};

void BM_KeepAliveGet(benchmark::State& state) {
  KeepAliveServer server;
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/small.bin";
  kv::TIdHTTP client;
  kv::MemoryStream body;
  for (auto _ : state) {
    body.Clear();
    client.Get(url, &body);
  }
  client.Disconnect();
}

}  // namespace

BENCHMARK(BM_ResponseHeadRead);
BENCHMARK(BM_RequestHeadCompose);
BENCHMARK(BM_KeepAliveGet)->UseRealTime();

BENCHMARK_MAIN();
