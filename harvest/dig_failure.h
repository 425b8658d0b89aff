#pragma once
// Why a dig failed, as far as the proxy pool cares: through the proxy's
// fault (it is benched and the seed is tried through another, without
// counting against the seed), because the service asked to wait
// (Retry-After: no failure, the proxy waits), or the seed's own failure.
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace kv {
class TIdHTTP;
}

namespace kv::harvest {

enum class FailureKind {
  kSeed,        // counts against the seed's attempts
  kProxy,       // the way to the service failed: connect, handshake, read, time-out,
                // a 407, a 5xx, or through it a 403, a 429 or 503 without Retry-After
  kRetryAfter,  // a 429 or 503 with Retry-After
};

struct DigFailure {
  FailureKind kind = FailureKind::kSeed;
  std::string text;  // "CLASS: MESSAGE" on one line
  int64_t retry_at_ms = 0;
};

// Judges `failure`, raised by `http` (whose last response is the one that
// failed, for a status error). `now_ms`: ms since the epoch.
DigFailure JudgeFailure(const std::exception& failure, TIdHTTP& http, int64_t now_ms);

// The failure of a dig that ended on a block page.
DigFailure BlockPageFailure(std::string_view marker);

// The first of `markers` (Windows-1251) that a page without a result table
// holds, compared without regard to case; empty when none.
std::string BlockMarkerIn(std::string_view page_text, const std::vector<std::string>& markers);

}  // namespace kv::harvest
