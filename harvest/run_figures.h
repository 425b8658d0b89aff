#pragma once
// What a person watching a run wants from its figures: the pace and the
// time left, the same in the tool's progress line and in the window.
#include <cstdint>
#include <optional>

#include "harvest/harvest_run.h"

namespace kv::harvest {

double PagesPerSecond(const HarvestProgress& progress, double elapsed_seconds);

// The queue at the rate seeds were finished so far; 0 with nothing queued,
// none while no seed has been finished yet.
std::optional<double> SecondsLeft(const HarvestProgress& progress, double elapsed_seconds);

// A time in whole hours, minutes and seconds (rounded to the second), for
// showing it in the words of the tool or the window.
struct ClockTime {
  int64_t hours = 0;
  int64_t minutes = 0;  // 0-59
  int64_t seconds = 0;  // 0-59
};
ClockTime ClockTimeOf(double seconds);

}  // namespace kv::harvest
