#include "tools/harvest/progress_line.h"

#include <unistd.h>

#include <cinttypes>
#include <optional>

#include "harvest/run_figures.h"

namespace kv::tools {

namespace {

constexpr auto kTerminalPeriod = std::chrono::milliseconds(250);
constexpr auto kLogPeriod = std::chrono::seconds(10);

// "4m12s", "1h05m".
constexpr harvest::DurationWords kDurationWords = {"h", "m", "s", ""};

}  // namespace

std::string ProgressText(const harvest::HarvestProgress& progress, double elapsed_seconds) {
  const harvest::SeedCounts& seeds = progress.seeds;
  char text[256];
  std::snprintf(text, sizeof text,
                "seeds %" PRId64 " done / %" PRId64 " queued / %" PRId64 " failed, %" PRId64
                " keywords, %.1f pages/s, ETA ",
                seeds.done, seeds.queued, seeds.failed, seeds.results,
                harvest::PagesPerSecond(progress, elapsed_seconds));
  std::string line = text;
  const std::optional<double> left = harvest::SecondsLeft(progress, elapsed_seconds);
  line += left ? harvest::DurationText(*left, kDurationWords) : "--";
  if (progress.proxies_back_ms != 0) {
    const int64_t now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    if (progress.proxies_back_ms > now_ms) {
      line += "; every proxy benched, the first back in " +
              harvest::DurationText(static_cast<double>(progress.proxies_back_ms - now_ms) / 1000.0, kDurationWords);
    }
  }
  return line;
}

ProgressReporter::ProgressReporter(std::FILE* out, std::function<harvest::HarvestProgress()> figures)
    : out_(out), figures_(std::move(figures)), terminal_(isatty(fileno(out)) != 0) {
  thread_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(lock_);
    while (!wake_.wait_for(lock, terminal_ ? kTerminalPeriod : kLogPeriod, [this] { return finished_; })) {
      // The figures are read without the lock: a run that is being
      // abandoned keeps them locked for good, and the summary must still
      // be printed.
      lock.unlock();
      const std::string line = ProgressText(figures_(), ElapsedSeconds());
      lock.lock();
      if (!finished_) Show(line);
    }
  });
}

ProgressReporter::~ProgressReporter() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    finished_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

double ProgressReporter::ElapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressReporter::Show(const std::string& line) {
  if (terminal_) {
    // Back to the line's start, the new text, and the rest of the old one
    // cleared.
    std::fprintf(out_, "\r%s\x1b[K", line.c_str());
    line_shown_ = true;
  } else {
    std::fprintf(out_, "%s\n", line.c_str());
  }
  std::fflush(out_);
}

void ProgressReporter::PrintLine(const std::string& line) {
  std::lock_guard<std::mutex> guard(lock_);
  if (line_shown_) std::fputs("\r\x1b[K", out_);
  line_shown_ = false;
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void ProgressReporter::Finish(const std::string& summary) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    finished_ = true;
    if (line_shown_) std::fputs("\r\x1b[K", out_);
    line_shown_ = false;
    std::fprintf(out_, "%s\n", summary.c_str());
    std::fflush(out_);
  }
  wake_.notify_all();
}

}  // namespace kv::tools
