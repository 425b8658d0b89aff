#pragma once
// What a person watching a run wants from its figures: the pace and the
// time left, the same in the tool's progress line and in the window.
#include <cstdint>
#include <optional>
#include <string>

#include "harvest/harvest_run.h"

namespace kv::harvest {

double PagesPerSecond(const HarvestProgress& progress, double elapsed_seconds);

// The queue at the rate seeds were finished so far; 0 with nothing queued,
// none while no seed has been finished yet.
std::optional<double> SecondsLeft(const HarvestProgress& progress, double elapsed_seconds);

// The words of a time left: the units' signs and what stands between the
// two figures shown, as the tool's "1h05m" or the window's "1 ч 05 мин".
struct DurationWords {
  const char* hours;
  const char* minutes;
  const char* seconds;
  const char* gap;
};
// A time rounded to the second in its two largest units (the second one in
// two digits), or in seconds alone under a minute.
std::string DurationText(double seconds, const DurationWords& words);

}  // namespace kv::harvest
