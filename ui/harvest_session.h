#pragma once
// One run of a harvest project for the harvest window, off the window's
// thread: the project locked and opened, the minus words and seeds added,
// the engine running on a thread of its own, and its figures, errors and
// latest keywords for the window to poll. No Qt: the window presents it.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "harvest/harvest_run.h"
#include "harvest/run_lock.h"

namespace kv::ui {

struct HarvestSettings {
  std::string project;                   // the file, as the file system names it
  std::vector<std::string> seeds;        // Windows-1251 phrases
  harvest::DigSettings dig;
  int workers = 4;
  std::string proxies_file;              // empty: straight to the service
  int pause_ms = 0;                      // between two requests of a worker (of a proxy)
  std::vector<std::string> minus_words;  // Windows-1251 phrases
  std::string service_url;
};

class HarvestSession {
 public:
  // Everything that can be refused is refused here, before the run starts:
  // a bad proxies file, a project run elsewhere, a file that is no project.
  explicit HarvestSession(const HarvestSettings& settings);
  // Stops the run and waits for it (within a second).
  ~HarvestSession();
  HarvestSession(const HarvestSession&) = delete;
  HarvestSession& operator=(const HarvestSession&) = delete;

  void Stop() { harvest_->Stop(); }
  bool Finished() const { return finished_; }
  // Why the run ended early (the project could not be written); after
  // Finished().
  std::optional<std::string> Failure() const;

  harvest::HarvestProgress Progress() const { return harvest_->Progress(); }
  double ElapsedSeconds() const;
  // The failed attempts and benched proxies since the last call
  // (Windows-1251 texts).
  std::vector<std::string> TakeErrors();
  // The results kept last, the latest first (read through a connection of
  // the calling thread's own).
  std::vector<harvest::ResultRecord> LatestResults(int64_t limit);

 private:
  void Report(std::string text);

  std::vector<harvest::PoolProxy> proxies_;  // read first: a bad file opens nothing
  harvest::ProjectRunLock run_lock_;
  std::unique_ptr<harvest::ProjectStore> store_;
  std::unique_ptr<harvest::ProjectStore> reader_;
  std::unique_ptr<harvest::Harvest> harvest_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  mutable std::mutex lock_;  // errors_ and failure_
  std::vector<std::string> errors_;
  std::optional<std::string> failure_;
  std::atomic<bool> finished_{false};
  std::thread thread_;  // last: it ends before anything it uses
};

}  // namespace kv::ui
