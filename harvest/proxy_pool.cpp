#include "harvest/proxy_pool.h"

#include <algorithm>

namespace kv::harvest {

ProxyPool::ProxyPool(const std::vector<ProxyIdentity>& proxies, const std::vector<ProxyScore>& kept,
                     BenchRules rules)
    : rules_(rules) {
  for (const ProxyIdentity& identity : proxies) {
    Proxy proxy;
    proxy.score.identity = identity;
    for (const ProxyScore& score : kept) {
      if (score.identity == identity) proxy.score = score;
    }
    proxies_.push_back(std::move(proxy));
  }
}

std::optional<size_t> ProxyPool::Acquire(int64_t now_ms, int64_t& back_ms) {
  std::optional<size_t> best;
  for (size_t i = 0; i < proxies_.size(); ++i) {
    const Proxy& proxy = proxies_[i];
    if (proxy.score.benched_until_ms > now_ms) continue;
    if (!best || proxy.users < proxies_[*best].users ||
        (proxy.users == proxies_[*best].users && proxy.last_taken_ms < proxies_[*best].last_taken_ms)) {
      best = i;
    }
  }
  if (!best) {
    back_ms = AllBenchedUntil(now_ms);
    return std::nullopt;
  }
  ++proxies_[*best].users;
  proxies_[*best].last_taken_ms = now_ms;
  return best;
}

void ProxyPool::Release(size_t proxy) { --proxies_[proxy].users; }

int64_t ProxyPool::ReserveRequest(size_t proxy, int64_t now_ms, int64_t spacing_ms) {
  Proxy& entry = proxies_[proxy];
  const int64_t at = std::max(now_ms, entry.next_request_ms);
  entry.next_request_ms = at + spacing_ms;
  ++entry.score.requests;
  return at;
}

void ProxyPool::Succeeded(size_t proxy) { proxies_[proxy].failures_in_a_row = 0; }

std::chrono::milliseconds ProxyPool::Failed(size_t proxy, const std::string& error, int64_t now_ms) {
  Proxy& entry = proxies_[proxy];
  std::chrono::milliseconds cooldown = rules_.first;
  for (int i = 0; i < entry.failures_in_a_row && cooldown < rules_.longest; ++i) cooldown *= 2;
  cooldown = std::min(cooldown, rules_.longest);
  ++entry.failures_in_a_row;
  ++entry.score.failures;
  entry.score.last_error = error;
  entry.score.benched_until_ms = now_ms + cooldown.count();
  return cooldown;
}

void ProxyPool::WaitUntil(size_t proxy, int64_t until_ms) {
  proxies_[proxy].next_request_ms = std::max(proxies_[proxy].next_request_ms, until_ms);
}

int64_t ProxyPool::AllBenchedUntil(int64_t now_ms) const {
  int64_t first_back = 0;
  for (const Proxy& proxy : proxies_) {
    if (proxy.score.benched_until_ms <= now_ms) return 0;
    if (first_back == 0 || proxy.score.benched_until_ms < first_back) first_back = proxy.score.benched_until_ms;
  }
  return first_back;
}

}  // namespace kv::harvest
