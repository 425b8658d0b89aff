#include "harvest/run_figures.h"

namespace kv::harvest {

double PagesPerSecond(const HarvestProgress& progress, double elapsed_seconds) {
  return elapsed_seconds > 0 ? static_cast<double>(progress.pages) / elapsed_seconds : 0;
}

std::optional<double> SecondsLeft(const HarvestProgress& progress, double elapsed_seconds) {
  if (progress.seeds.queued == 0) return 0.0;
  if (progress.seeds_dug == 0 || elapsed_seconds <= 0) return std::nullopt;
  return static_cast<double>(progress.seeds.queued) * elapsed_seconds / static_cast<double>(progress.seeds_dug);
}

ClockTime ClockTimeOf(double seconds) {
  const auto total = static_cast<int64_t>(seconds + 0.5);
  return {total / 3600, total / 60 % 60, total % 60};
}

}  // namespace kv::harvest
