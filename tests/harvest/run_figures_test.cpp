// The time left as the tool and the window word it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harvest/run_figures.h"

namespace kv::harvest {
namespace {

TEST(RunFigures, ATimeLeftIsRoundedAndShownInItsTwoLargestUnits) {
  constexpr DurationWords kTool = {"h", "m", "s", ""};
  constexpr DurationWords kWindow = {" ч", " мин", " с", " "};
  struct Case {
    double seconds;
    std::string tool;
    std::string window;
  };
  const std::vector<Case> cases = {
      {0, "0s", "0 с"},
      {59.4, "59s", "59 с"},
      {59.5, "1m00s", "1 мин 00 с"},  // rounded before it is split
      {252, "4m12s", "4 мин 12 с"},
      {3599.6, "1h00m", "1 ч 00 мин"},
      {3900, "1h05m", "1 ч 05 мин"},
      {123 * 3600 + 59, "123h00m", "123 ч 00 мин"},  // seconds are dropped past an hour
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DurationText(c.seconds, kTool), c.tool) << c.seconds;
    EXPECT_EQ(DurationText(c.seconds, kWindow), c.window) << c.seconds;
  }
}

}  // namespace
}  // namespace kv::harvest
