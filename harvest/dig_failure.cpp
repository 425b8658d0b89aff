#include "harvest/dig_failure.h"

#include <algorithm>
#include <cmath>

#include "base/date_time.h"
#include "base/exception.h"
#include "base/int_conversion.h"
#include "http/http_client.h"
#include "http/http_exceptions.h"
#include "http/internet_date.h"
#include "net/exceptions.h"

namespace kv::harvest {

namespace {

constexpr int64_t kMsPerDay = 86400000;

// "CLASS: MESSAGE" on one line: the socket errors' texts have a line break.
std::string FailureText(const std::exception& failure) {
  std::string text = std::string(ExceptionClassName(failure)) + ": ";
  for (const char* c = failure.what(); *c != '\0'; ++c) {
    if (*c != '\r') text += *c == '\n' ? ' ' : *c;
  }
  return text;
}

// Retry-After as seconds or as a date; 0 without one that reads.
int64_t RetryAt(TIdHTTP& http, int64_t now_ms) {
  const std::string value = http.LastResponse().HeaderLines.ValueOf("Retry-After");
  if (value.empty()) return 0;
  if (const std::optional<int64_t> seconds = TryStrToInt64(value)) {
    return *seconds >= 0 ? now_ms + std::min<int64_t>(*seconds, kMsPerDay / 1000) * 1000 : 0;
  }
  try {
    // An unreadable date reads as the local offset alone, a day in 1899.
    const TDateTime date = InternetDateToLocal(value);
    if (!std::isfinite(date) || date < kUnixDateDelta) return 0;
    const double wait_ms = (date - Now()) * static_cast<double>(kMsPerDay);
    return now_ms + static_cast<int64_t>(std::clamp(wait_ms, 0.0, static_cast<double>(kMsPerDay)));
  } catch (const Exception&) {
    return 0;
  }
}

// The Windows-1251 letters in lower case, for comparing without case.
char LowerCp1251(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDF)) return static_cast<char>(byte + 0x20);
  if (byte == 0xA8) return static_cast<char>(0xB8);  // Ё
  return c;
}

}  // namespace

DigFailure JudgeFailure(const std::exception& failure, TIdHTTP& http, int64_t now_ms) {
  DigFailure judged{FailureKind::kSeed, FailureText(failure), 0};
  if (const auto* status = dynamic_cast<const EIdHTTPProtocolException*>(&failure)) {
    const int code = status->ReplyCode();
    if (code == 429 || code == 503) {
      judged.retry_at_ms = RetryAt(http, now_ms);
      judged.kind = judged.retry_at_ms != 0 ? FailureKind::kRetryAfter : FailureKind::kProxy;
    } else if (code == 403 || code == 407 || code >= 500) {
      judged.kind = FailureKind::kProxy;
    }
    return judged;
  }
  // Every other failure of the connection (refused, reset, closed early,
  // timed out, a SOCKS or TLS handshake, a tunnel) is the way's, not the
  // seed's; a count that is no number or a page too large is the seed's.
  if (dynamic_cast<const EIdException*>(&failure) != nullptr) judged.kind = FailureKind::kProxy;
  return judged;
}

DigFailure BlockPageFailure(std::string_view marker) {
  return {FailureKind::kProxy, "a block page (\"" + std::string(marker) + "\") in place of the results", 0};
}

std::string BlockMarkerIn(std::string_view page_text, const std::vector<std::string>& markers) {
  std::string page(page_text);
  std::transform(page.begin(), page.end(), page.begin(), LowerCp1251);
  for (const std::string& marker : markers) {
    std::string wanted = marker;
    std::transform(wanted.begin(), wanted.end(), wanted.begin(), LowerCp1251);
    if (!wanted.empty() && page.find(wanted) != std::string::npos) return marker;
  }
  return {};
}

}  // namespace kv::harvest
