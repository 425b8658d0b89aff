#pragma once
// The proxies a harvest digs through, and their health. Each seed is dug
// through one proxy; a worker takes the healthy proxy with the fewest
// workers on it that has waited longest, so that workers share a proxy
// only when there are more of them than healthy proxies. A proxy that
// fails is benched for a cooldown that starts at 30 s and doubles with each
// failure in a row, up to 30 min; a success ends the row. A proxy told to
// wait (Retry-After) takes its next request no earlier than that.
//
// Not thread-safe: the engine calls it under its own lock.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "harvest/proxy_score.h"

namespace kv::harvest {

struct BenchRules {
  std::chrono::milliseconds first = std::chrono::seconds(30);
  std::chrono::milliseconds longest = std::chrono::minutes(30);
};

class ProxyPool {
 public:
  // `kept`: the scores a project kept from earlier runs; a proxy benched
  // then stays benched until its time.
  ProxyPool(const std::vector<ProxyIdentity>& proxies, const std::vector<ProxyScore>& kept, BenchRules rules = {});

  size_t Size() const { return proxies_.size(); }
  bool Empty() const { return proxies_.empty(); }

  // A healthy proxy for a worker, now counted as in use; none when every
  // proxy is benched, and then `back_ms` is when the first comes back.
  std::optional<size_t> Acquire(int64_t now_ms, int64_t& back_ms);
  void Release(size_t proxy);

  // The time a request through `proxy` may go, at least `spacing_ms` after
  // the one before it and no earlier than a Retry-After allows; reserved,
  // so that the next caller waits behind it. The request is counted.
  int64_t ReserveRequest(size_t proxy, int64_t now_ms, int64_t spacing_ms);

  void Succeeded(size_t proxy);
  // Benches `proxy`; returns how long.
  std::chrono::milliseconds Failed(size_t proxy, const std::string& error, int64_t now_ms);
  void WaitUntil(size_t proxy, int64_t until_ms);

  const ProxyScore& Score(size_t proxy) const { return proxies_[proxy].score; }
  // When every proxy is benched: when the first comes back; else 0.
  int64_t AllBenchedUntil(int64_t now_ms) const;

 private:
  struct Proxy {
    ProxyScore score;
    int users = 0;
    int failures_in_a_row = 0;
    int64_t last_taken_ms = 0;
    int64_t next_request_ms = 0;
  };
  std::vector<Proxy> proxies_;
  BenchRules rules_;
};

}  // namespace kv::harvest
