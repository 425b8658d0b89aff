#pragma once
// The limits a busy service puts on each client address: a rate limit over
// a sliding one-second window, and a block (a captcha in place of the
// pages) after a number of requests. The server's threads share one
// ClientLimits; it guards its own state.

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace kv::statsim {

struct LimitOptions {
  int rate_limit = 0;      // requests a second per address; 0: no limit
  int block_after = 0;     // served requests per address before a block; 0: never
  int block_seconds = 60;  // how long a block lasts
};

enum class Verdict { kServe, kTooManyRequests, kBlocked };

class ClientLimits {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ClientLimits(const LimitOptions& options) : options_(options) {}

  // What the request from `address` arriving at `now` gets. Only requests
  // that are served count toward either limit: a client turned away is
  // neither slowed down nor blocked further by its own retries.
  Verdict Admit(const std::string& address, Clock::time_point now);

  bool Active() const { return options_.rate_limit > 0 || options_.block_after > 0; }

 private:
  struct Client {
    std::deque<Clock::time_point> served_last_second;  // oldest first
    int served_since_block = 0;
    std::optional<Clock::time_point> blocked_until;
  };

  bool OverRate(Client& client, Clock::time_point now) const;

  LimitOptions options_;
  std::mutex mutex_;
  std::map<std::string, Client> clients_;
};

}  // namespace kv::statsim
