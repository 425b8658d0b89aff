#include "harvest/run_figures.h"

#include <cinttypes>
#include <cstdio>

namespace kv::harvest {

double PagesPerSecond(const HarvestProgress& progress, double elapsed_seconds) {
  return elapsed_seconds > 0 ? static_cast<double>(progress.pages) / elapsed_seconds : 0;
}

std::optional<double> SecondsLeft(const HarvestProgress& progress, double elapsed_seconds) {
  if (progress.seeds.queued == 0) return 0.0;
  if (progress.seeds_dug == 0 || elapsed_seconds <= 0) return std::nullopt;
  return static_cast<double>(progress.seeds.queued) * elapsed_seconds / static_cast<double>(progress.seeds_dug);
}

std::string DurationText(double seconds, const DurationWords& words) {
  const auto total = static_cast<int64_t>(seconds + 0.5);
  char text[96];
  auto two_units = [&](int64_t first, const char* first_sign, int64_t second, const char* second_sign) {
    std::snprintf(text, sizeof text, "%" PRId64 "%s%s%02" PRId64 "%s", first, first_sign, words.gap, second,
                  second_sign);
  };
  if (total >= 3600) {
    two_units(total / 3600, words.hours, total / 60 % 60, words.minutes);
  } else if (total >= 60) {
    two_units(total / 60, words.minutes, total % 60, words.seconds);
  } else {
    std::snprintf(text, sizeof text, "%" PRId64 "%s", total, words.seconds);
  }
  return text;
}

}  // namespace kv::harvest
