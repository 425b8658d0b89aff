// Reading over loopback: a large body with ReadToStream and many short lines
// with ReadLn, each next to a plain recv loop fed by the same sender, which
// is what loopback can do on this machine. The summary at the end gives each
// connection figure as a share of its plain loop from the same run.
//
//   kv_net_bench                      1 GiB body, 100,000 lines
//   KV_NET_BENCH_MB=64 kv_net_bench   a smaller body, for a quick look

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/stream.h"
#include "bench/loopback_peer.h"
#include "net/tcp_client.h"

namespace {

int64_t BodyBytes() {
  const char* mb = std::getenv("KV_NET_BENCH_MB");
  int64_t megabytes = mb ? std::atoll(mb) : 1024;
  return (megabytes > 0 ? megabytes : 1024) << 20;
}

constexpr int kLineCount = 100'000;

// What the lines benchmarks receive: short numbered lines ended by CR LF.
const std::string& LinesPayload() {
  static const std::string payload = [] {
    std::string text;
    char line[64];
    for (int i = 0; i < kLineCount; ++i) {
      int n = std::snprintf(line, sizeof line, "%6d   -   keyword number %d\r\n", i % 99991, i);
      text.append(line, static_cast<size_t>(n));
    }
    return text;
  }();
  return payload;
}

// A one-connection sender on 127.0.0.1: accepts, sends `total` bytes (the
// payload repeated), closes.
class Sender : public kv::bench::LoopbackPeer {
 public:
  Sender(const std::string& payload, int64_t total)
      : LoopbackPeer("sender", [&payload, total](int fd) { Send(fd, payload, total); }) {}

 private:
  static void Send(int fd, const std::string& payload, int64_t total) {
    int64_t left = total;
    size_t at = 0;
    while (left > 0) {
      size_t piece = std::min<size_t>(payload.size() - at, static_cast<size_t>(left));
      ssize_t n = ::send(fd, payload.data() + at, piece, MSG_NOSIGNAL);
      if (n <= 0) break;
      left -= n;
      at = (at + static_cast<size_t>(n)) % payload.size();
    }
  }
};

int PlainConnect(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("plain connect failed");
  }
  return fd;
}

// Rates by benchmark name, for the summary.
std::map<std::string, double>& Rates() {
  static std::map<std::string, double> rates;
  return rates;
}

void Record(const std::string& name, double units, double seconds) {
  if (seconds > 0) Rates()[name] = units / seconds;
}

const std::string& BodyBlock() {
  static const std::string block = [] {
    std::string b(256 * 1024, '\0');
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>(i * 131 % 251);
    return b;
  }();
  return block;
}

// ---- the body ---------------------------------------------------------------

// The plain loop, dropping the bytes or writing each receive into a memory
// stream (the fair measure for ReadToStream into a memory stream).
void BodyPlainRecv(benchmark::State& state, bool into_memory) {
  const int64_t total = BodyBytes();
  std::vector<char> buffer(32768);
  double seconds = 0;
  for (auto _ : state) {
    Sender sender(BodyBlock(), total);
    kv::MemoryStream memory;
    auto start = std::chrono::steady_clock::now();
    int fd = PlainConnect(sender.Port());
    int64_t got = 0;
    for (;;) {
      ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) break;
      if (into_memory) memory.WriteBuffer(buffer.data(), static_cast<size_t>(n));
      got += n;
    }
    ::close(fd);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (got != total) state.SkipWithError("short body");
  }
  state.SetBytesProcessed(state.iterations() * total);
  Record(into_memory ? "body plain recv, memory stream" : "body plain recv",
         static_cast<double>(state.iterations() * total), seconds);
}

void BM_BodyPlainRecv(benchmark::State& state) { BodyPlainRecv(state, false); }
void BM_BodyPlainRecvIntoMemory(benchmark::State& state) { BodyPlainRecv(state, true); }

void BodyReadToStream(benchmark::State& state, bool into_memory) {
  const int64_t total = BodyBytes();
  double seconds = 0;
  for (auto _ : state) {
    Sender sender(BodyBlock(), total);
    kv::TIdTCPClient client;
    kv::MemoryStream memory;
    // Keeps nothing: the figure is the connection's alone.
    kv::CountingStream counting;
    kv::Stream& stream = into_memory ? static_cast<kv::Stream&>(memory) : counting;
    auto start = std::chrono::steady_clock::now();
    client.SetHost("127.0.0.1");
    client.SetPort(sender.Port());
    client.Connect();
    client.ReadToStream(stream, total);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (stream.Size() != total) state.SkipWithError("short body");
    client.Disconnect();
  }
  state.SetBytesProcessed(state.iterations() * total);
  Record(into_memory ? "body ReadToStream, memory stream" : "body ReadToStream, counting stream",
         static_cast<double>(state.iterations() * total), seconds);
}

void BM_BodyReadToStream(benchmark::State& state) { BodyReadToStream(state, false); }
void BM_BodyReadToStreamIntoMemory(benchmark::State& state) { BodyReadToStream(state, true); }

// ---- short lines ------------------------------------------------------------

void BM_LinesPlainRecv(benchmark::State& state) {
  const std::string& payload = LinesPayload();
  double seconds = 0;
  for (auto _ : state) {
    Sender sender(payload, static_cast<int64_t>(payload.size()));
    auto start = std::chrono::steady_clock::now();
    int fd = PlainConnect(sender.Port());
    // The plain loop's own line split: receive, cut at each LF, drop the CR.
    std::vector<char> buffer(32768);
    std::string pending;
    int64_t lines = 0;
    for (;;) {
      ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) break;
      pending.append(buffer.data(), static_cast<size_t>(n));
      size_t from = 0;
      for (size_t lf; (lf = pending.find('\n', from)) != std::string::npos; from = lf + 1) {
        size_t end = lf > from && pending[lf - 1] == '\r' ? lf - 1 : lf;
        std::string line = pending.substr(from, end - from);
        benchmark::DoNotOptimize(line);
        ++lines;
      }
      pending.erase(0, from);
    }
    ::close(fd);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (lines != kLineCount) state.SkipWithError("lines lost");
  }
  state.SetItemsProcessed(state.iterations() * kLineCount);
  Record("lines plain recv", static_cast<double>(state.iterations() * kLineCount), seconds);
}

void BM_LinesReadLn(benchmark::State& state) {
  const std::string& payload = LinesPayload();
  double seconds = 0;
  for (auto _ : state) {
    Sender sender(payload, static_cast<int64_t>(payload.size()));
    kv::TIdTCPClient client;
    auto start = std::chrono::steady_clock::now();
    client.SetHost("127.0.0.1");
    client.SetPort(sender.Port());
    client.Connect();
    int64_t lines = 0;
    for (int i = 0; i < kLineCount; ++i) {
      std::string line = client.ReadLn();
      benchmark::DoNotOptimize(line);
      ++lines;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    client.Disconnect();
    if (lines != kLineCount) state.SkipWithError("lines lost");
  }
  state.SetItemsProcessed(state.iterations() * kLineCount);
  Record("lines ReadLn", static_cast<double>(state.iterations() * kLineCount), seconds);
}

BENCHMARK(BM_BodyPlainRecv)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BodyReadToStream)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BodyPlainRecvIntoMemory)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BodyReadToStreamIntoMemory)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LinesPlainRecv)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LinesReadLn)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintSummary() {
  auto& r = Rates();
  auto share = [&](const std::string& name, const std::string& base) {
    if (!r.count(name) || !r.count(base) || r[base] <= 0) return;
    std::printf("  %-36s %6.1f%% of the plain loop\n", name.c_str(), 100.0 * r[name] / r[base]);
  };
  std::printf("\nSummary (body %lld MiB, %d lines)\n", static_cast<long long>(BodyBytes() >> 20), kLineCount);
  for (const char* name : {"body plain recv", "body ReadToStream, counting stream", "body plain recv, memory stream",
                           "body ReadToStream, memory stream"}) {
    if (r.count(name)) std::printf("  %-36s %10.1f MB/s\n", name, r[name] / 1e6);
  }
  for (const char* name : {"lines plain recv", "lines ReadLn"}) {
    if (r.count(name)) std::printf("  %-36s %10.0f lines/s\n", name, r[name]);
  }
  share("body ReadToStream, counting stream", "body plain recv");
  share("body ReadToStream, memory stream", "body plain recv, memory stream");
  share("lines ReadLn", "lines plain recv");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
