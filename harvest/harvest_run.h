#pragma once
// The harvest engine: workers on threads of one process take seeds from the
// project's queue, dig each through their own client (straight to the
// service, or through a proxy of the pool), and commit what they found. A
// finished seed's keywords, the seeds it queues and its done mark go into
// the project in one transaction, so a crash loses only the seeds in
// flight. What is kept and what is dug:
// - a keyword found while digging a seed of depth d is a result of depth
//   d + 1, unless it holds a minus word or did not convert (it is empty);
// - it is queued when d + 1 is at most the seed's depth limit and it was
//   never queued before (the store keeps every seed ever queued);
// - a failed dig goes back to the queue after a growing pause; after the
//   last attempt the seed is marked failed with the error. Through a pool,
//   a failure that is the proxy's benches the proxy instead, and the seed
//   is tried again through another without counting the attempt.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/minus_words.h"
#include "harvest/project_store.h"
#include "harvest/proxy_pool.h"
#include "harvest/seed_dig.h"

namespace kv::harvest {

// A proxy of the pool and how to set a client to go through it.
struct PoolProxy {
  ProxyIdentity identity;
  ClientSetup setup;
};

// The least time between two requests through one proxy (without a pool:
// through one worker), drawn evenly from min to max for each request.
struct RequestSpacing {
  int64_t min_ms = 0;
  int64_t max_ms = 0;
};

struct HarvestOptions {
  int workers = 4;
  std::string service_url;
  ClientSetup client_setup;         // every client, before its proxy's setup
  std::vector<PoolProxy> proxies;   // empty: straight to the service
  BenchRules bench;
  RequestSpacing spacing;
  int64_t max_requests = 0;         // the run stops after this many; 0: no limit
  // A page without a result table that holds one of them is a block page
  // (Windows-1251, compared without regard to case).
  std::vector<std::string> block_markers{"captcha"};
  // The pause after each failed attempt but the last; a seed has one
  // attempt more than pauses.
  std::vector<std::chrono::milliseconds> retry_pauses{std::chrono::seconds(1), std::chrono::seconds(2)};
  int attempts = 3;
};

// Figures of a run, for the progress line.
struct HarvestProgress {
  SeedCounts seeds;       // the project's, kept up to date while running
  int64_t pages = 0;      // result pages fetched in this run
  int64_t requests = 0;   // requests sent in this run
  int64_t seeds_dug = 0;  // seeds finished in this run
  int in_flight = 0;
  // When every proxy of the pool is benched: when the first comes back
  // (ms since the epoch); else 0.
  int64_t proxies_back_ms = 0;
  bool request_limit_reached = false;
};

class Harvest {
 public:
  Harvest(ProjectStore& store, HarvestOptions options);
  Harvest(const Harvest&) = delete;
  Harvest& operator=(const Harvest&) = delete;

  // Digs until the queue is empty, the request limit is reached or Stop()
  // is called; returns when every worker has ended.
  void Run();
  // No new seed and no new request: the requests under way are cut off,
  // so the seeds in flight end at once and stay queued; what is finished
  // is committed.
  void Stop();
  // No new seed is taken and nothing more is committed; returns once no
  // commit is under way, with the store left to the caller, who ends the
  // process without waiting for the seeds in flight (they stay queued).
  // The figures as they stand then.
  HarvestProgress Abandon();

  HarvestProgress Progress() const;
  // Called (on a worker's thread) for every failed attempt that counts
  // against a seed.
  std::function<void(const std::string& keyword, const std::string& error, bool final)> OnFailure;
  // Called when a proxy of the pool is benched.
  std::function<void(const ProxyIdentity& proxy, const std::string& error, std::chrono::milliseconds cooldown)>
      OnProxyBenched;

 private:
  struct Flight {
    SeedJob job;
    std::optional<size_t> proxy;
  };
  void Work();
  // The next seed to dig and its proxy, waiting for one while seeds in
  // flight may queue more, a retry time is still to come or every proxy is
  // benched; none when the run is over.
  std::optional<Flight> Take(std::unique_lock<std::mutex>& lock);
  // Waits until the request may go, by the pace of its proxy (or worker).
  void PaceRequest(const std::optional<size_t>& proxy, int64_t& worker_next_ms);
  // A finished dig's results and the seeds it queues, as the rules say.
  DigCommit Prepare(const SeedJob& job, const DigOutcome& outcome) const;
  // The committer's loop: commits the finished digs waiting for it, in one
  // transaction at a time, until the workers have ended and nothing is
  // left. A seed stays in flight until its dig is committed.
  void CommitFinished();
  // The figures after a committed dig.
  void Counted(const CommitCounts& added);
  void Fail(const SeedJob& job, const std::string& error);
  void ProxyFailed(size_t proxy, const std::string& error);
  void EndFlight(const Flight& flight);
  void LeaveFlight(int64_t seed_id);
  HarvestProgress Figures() const;  // with the lock held

  ProjectStore& store_;
  HarvestOptions options_;
  MinusWords minus_words_;

  // The store has a lock of its own, so that a commit does not hold up the
  // other workers' requests; where both are taken, lock_ comes first. Finished
  // digs are committed by a thread of their own, so that a worker goes on to
  // its next seed while the disk takes its last.
  std::mutex store_lock_;
  mutable std::mutex lock_;  // everything below but pages_
  std::condition_variable changed_;
  ProxyPool pool_;
  std::mt19937_64 random_{std::random_device{}()};
  std::vector<int64_t> in_flight_;
  std::vector<SeedDigger*> digging_;  // the diggers of the seeds in flight
  std::vector<DigCommit> to_commit_;
  std::vector<ProxyScore> scores_to_keep_;
  bool committing_ = false;    // the committer has digs out of to_commit_
  bool workers_ended_ = false;
  bool stopping_ = false;
  bool interrupted_ = false;  // by Stop(): a failed dig is no failure
  int working_ = 0;           // workers that have not ended
  bool abandoned_ = false;
  SeedCounts counts_;
  int64_t seeds_dug_ = 0;
  int64_t requests_ = 0;
  int64_t proxies_back_ms_ = 0;
  bool request_limit_reached_ = false;
  std::atomic<int64_t> pages_{0};
};

}  // namespace kv::harvest
