#pragma once
// What a harvest keeps: the queue of seeds with their settings and state,
// the keywords found, and the minus words. All of it sits behind this one
// interface, so that another database can stand behind it; the harvest's
// rules (what is dug, what is kept) live in the engine, not here.
//
// Texts are Windows-1251, as everywhere in the program; a store keeps them
// in whatever form suits it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "harvest/proxy_score.h"

namespace kv::harvest {

// How deep and how far a seed is dug; a keyword queued while digging a seed
// keeps its seed's settings.
struct DigSettings {
  int max_depth = 1;
  int page_limit = 5;
  int minimum_count = 1;
};

struct SeedJob {
  int64_t id = 0;
  std::string keyword;
  int depth = 0;  // 0 for a seed the user added
  DigSettings settings;
  int failed_attempts = 0;
};

// A keyword found while digging `seed`, at depth `depth`.
struct ResultRecord {
  std::string keyword;
  int64_t count = 0;
  std::string seed;
  int depth = 0;
};

struct QueuedSeed {
  std::string keyword;
  int depth = 0;
  DigSettings settings;
};

// A finished dig: its seed, the results it keeps and the seeds it queues.
struct DigCommit {
  int64_t seed_id = 0;
  std::vector<ResultRecord> results;
  std::vector<QueuedSeed> seeds;
};

struct CommitCounts {
  int64_t results = 0;
  int64_t seeds = 0;
};

struct SeedCounts {
  int64_t done = 0;
  int64_t queued = 0;
  int64_t failed = 0;
  int64_t results = 0;
};

struct FailedSeed {
  std::string keyword;
  int attempts = 0;
  std::string error;
};

class ProjectStore {
 public:
  virtual ~ProjectStore() = default;

  // Queues each seed that the store has never seen as a seed; the number
  // queued.
  virtual int64_t QueueSeeds(const std::vector<QueuedSeed>& seeds) = 0;

  // The queued seed to dig next: the shallowest, then the first queued,
  // among those not in `in_flight` whose retry time (ms since the epoch)
  // has come by `now_ms`. Without one: none, and `next_retry_ms` is the
  // earliest retry time still to come among the others (0: none). It sees
  // what is committed, and may run beside any other call; the other calls
  // run one at a time.
  virtual std::optional<SeedJob> NextSeed(const std::vector<int64_t>& in_flight, int64_t now_ms,
                                          int64_t& next_retry_ms) = 0;

  // One transaction for all of `digs`, each dig as one: its results (a
  // keyword already kept stays as it is), the seeds it queues (as
  // QueueSeeds), and its seed marked done. Returns, dig by dig, how many
  // results and seeds were new.
  virtual std::vector<CommitCounts> CommitDigs(const std::vector<DigCommit>& digs) = 0;

  // One dig in its own transaction.
  CommitCounts CommitDig(int64_t seed_id, std::vector<ResultRecord> results, std::vector<QueuedSeed> seeds) {
    return CommitDigs({DigCommit{seed_id, std::move(results), std::move(seeds)}}).front();
  }

  // A failed attempt: the seed waits until `retry_at_ms`, or with `final`
  // it is marked failed with `error`.
  virtual void RecordFailure(int64_t seed_id, const std::string& error, int64_t retry_at_ms, bool final) = 0;
  // Failed seeds are queued again with no attempts counted; the number.
  virtual int64_t RequeueFailed() = 0;
  // Drops every queued seed `drop` says yes to; the number dropped.
  virtual int64_t DropQueuedSeeds(const std::function<bool(const std::string&)>& drop) = 0;

  virtual int64_t AddMinusWords(const std::vector<std::string>& words) = 0;
  virtual std::vector<std::string> MinusWordList() = 0;

  // The score of a proxy, kept by its identity (its latest figures win).
  virtual void KeepProxyScore(const ProxyScore& score) = 0;
  virtual std::vector<ProxyScore> ProxyScores() = 0;

  virtual SeedCounts Counts() = 0;
  virtual std::vector<FailedSeed> FailedSeeds() = 0;

  // Every result with a count of at least `minimum_count`, by count from
  // the largest, then by keyword in the list sort's order.
  virtual void ForEachResult(int64_t minimum_count, const std::function<void(const ResultRecord&)>& visit) = 0;
  // The `limit` results kept last, the latest first.
  virtual std::vector<ResultRecord> LatestResults(int64_t limit) = 0;
};

}  // namespace kv::harvest
