#pragma once
// The harvest engine: workers on threads of one process take seeds from the
// project's queue, dig each through their own client, and commit what they
// found. A finished seed's keywords, the seeds it queues and its done mark
// go into the project in one transaction, so a crash loses only the seeds
// in flight. What is kept and what is dug:
// - a keyword found while digging a seed of depth d is a result of depth
//   d + 1, unless it holds a minus word or did not convert (it is empty);
// - it is queued when d + 1 is at most the seed's depth limit and it was
//   never queued before (the store keeps every seed ever queued);
// - a failed dig goes back to the queue after a growing pause; after the
//   last attempt the seed is marked failed with the error.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "harvest/minus_words.h"
#include "harvest/project_store.h"
#include "harvest/seed_dig.h"

namespace kv::harvest {

struct HarvestOptions {
  int workers = 4;
  std::string service_url;
  ClientSetup client_setup;
  // The pause after each failed attempt but the last; a seed has one
  // attempt more than pauses.
  std::vector<std::chrono::milliseconds> retry_pauses{std::chrono::seconds(1), std::chrono::seconds(2),
                                                      std::chrono::seconds(4)};
  int attempts = 3;
};

// Figures of a run, for the progress line.
struct HarvestProgress {
  SeedCounts seeds;       // the project's, kept up to date while running
  int64_t pages = 0;      // result pages fetched in this run
  int64_t seeds_dug = 0;  // seeds finished in this run
  int in_flight = 0;
};

class Harvest {
 public:
  Harvest(ProjectStore& store, HarvestOptions options);
  Harvest(const Harvest&) = delete;
  Harvest& operator=(const Harvest&) = delete;

  // Digs until the queue is empty or Stop() is called; returns when every
  // worker has ended.
  void Run();
  // No new seed is taken; the seeds in flight are finished and committed.
  void Stop();
  // No new seed is taken and nothing more is committed; returns once no
  // commit is under way, with the store left to the caller, who ends the
  // process without waiting for the seeds in flight (they stay queued).
  // The figures as they stand then.
  HarvestProgress Abandon();

  HarvestProgress Progress() const;
  // Called (on a worker's thread) for every failed attempt of a seed.
  std::function<void(const std::string& keyword, const std::string& error, bool final)> OnFailure;

 private:
  void Work();
  // The next seed to dig, waiting for one while seeds in flight may queue
  // more or a retry time is still to come; none when the run is over.
  std::optional<SeedJob> Take(std::unique_lock<std::mutex>& lock);
  void Commit(const SeedJob& job, const DigOutcome& outcome);
  void Fail(const SeedJob& job, const std::string& error);
  void EndFlight(int64_t id);
  HarvestProgress Figures() const;  // with the lock held

  ProjectStore& store_;
  HarvestOptions options_;
  MinusWords minus_words_;

  mutable std::mutex lock_;  // the store, the flight list and the counts
  std::condition_variable changed_;
  std::vector<int64_t> in_flight_;
  bool stopping_ = false;
  bool abandoned_ = false;
  SeedCounts counts_;
  int64_t seeds_dug_ = 0;
  std::atomic<int64_t> pages_{0};
};

}  // namespace kv::harvest
