#pragma once
// The run's progress for a person watching: on a terminal one line redrawn
// in place at most 4 times a second, elsewhere (a log file, a pipe) a plain
// line every 10 seconds, and a summary at the end.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "harvest/harvest_run.h"

namespace kv::tools {

// "seeds 12 done / 340 queued / 1 failed, 5321 keywords, 3.2 pages/s,
// ETA 4m12s": the ETA is the queue at the rate seeds were finished so far.
std::string ProgressText(const harvest::HarvestProgress& progress, double elapsed_seconds);

class ProgressReporter {
 public:
  // Prints to `out` (stderr), reading the figures from `figures`.
  ProgressReporter(std::FILE* out, std::function<harvest::HarvestProgress()> figures);
  ~ProgressReporter();
  ProgressReporter(const ProgressReporter&) = delete;
  ProgressReporter& operator=(const ProgressReporter&) = delete;

  // Prints `line` on a line of its own (an error), the progress line
  // redrawn below it.
  void PrintLine(const std::string& line);
  // Ends the reports; the last line is the summary.
  void Finish(const std::string& summary);

  double ElapsedSeconds() const;

 private:
  // Shows the progress line; called with the lock held.
  void Show(const std::string& line);

  std::FILE* out_;
  std::function<harvest::HarvestProgress()> figures_;
  const bool terminal_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex lock_;
  std::condition_variable wake_;
  bool finished_ = false;
  bool line_shown_ = false;
  std::thread thread_;
};

}  // namespace kv::tools
