#include "tools/stat_sim/client_limits.h"

namespace kv::statsim {

Verdict ClientLimits::Admit(const std::string& address, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  Client& client = clients_[address];
  if (client.blocked_until) {
    if (now < *client.blocked_until) return Verdict::kBlocked;
    // The block is over: the address starts from a clean slate.
    client.blocked_until.reset();
    client.served_since_block = 0;
  }
  if (OverRate(client, now)) return Verdict::kTooManyRequests;
  if (options_.block_after > 0 && client.served_since_block >= options_.block_after) {
    client.blocked_until = now + std::chrono::seconds(options_.block_seconds);
    return Verdict::kBlocked;
  }
  ++client.served_since_block;
  if (options_.rate_limit > 0) client.served_last_second.push_back(now);
  return Verdict::kServe;
}

// A sliding window rather than fixed one-second slots: a client never gets
// more than the limit in any second, not even across a slot boundary.
bool ClientLimits::OverRate(Client& client, Clock::time_point now) const {
  if (options_.rate_limit <= 0) return false;
  auto& served = client.served_last_second;
  while (!served.empty() && now - served.front() >= std::chrono::seconds(1)) served.pop_front();
  return served.size() >= static_cast<size_t>(options_.rate_limit);
}

}  // namespace kv::statsim
