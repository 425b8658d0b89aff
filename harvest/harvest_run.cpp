#include "harvest/harvest_run.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "base/exception.h"

namespace kv::harvest {

namespace {

using Clock = std::chrono::system_clock;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// "CLASS: MESSAGE" on one line: the socket errors' texts have a line break.
std::string FailureText(const std::exception& failure) {
  std::string text = std::string(ExceptionClassName(failure)) + ": " + failure.what();
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    line += c == '\n' ? ' ' : c;
  }
  return line;
}

}  // namespace

Harvest::Harvest(ProjectStore& store, HarvestOptions options)
    : store_(store), options_(std::move(options)), minus_words_(store.MinusWordList()) {
  options_.workers = std::max(1, options_.workers);
  options_.attempts = std::max(1, options_.attempts);
}

void Harvest::Run() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    counts_ = store_.Counts();
  }
  std::exception_ptr failure;
  std::mutex failure_lock;
  std::vector<std::thread> workers;
  for (int i = 0; i < options_.workers; ++i) {
    workers.emplace_back([&] {
      try {
        Work();
      } catch (...) {
        // The project could not be read or written: the run ends.
        std::lock_guard<std::mutex> guard(failure_lock);
        if (!failure) failure = std::current_exception();
        Stop();
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);
}

void Harvest::Stop() {
  std::lock_guard<std::mutex> guard(lock_);
  stopping_ = true;
  changed_.notify_all();
}

HarvestProgress Harvest::Abandon() {
  // Held until the process ends: a worker that finishes its seed now waits
  // for the lock and commits nothing.
  lock_.lock();
  stopping_ = true;
  abandoned_ = true;
  return Figures();
}

HarvestProgress Harvest::Progress() const {
  std::lock_guard<std::mutex> guard(lock_);
  return Figures();
}

HarvestProgress Harvest::Figures() const {
  HarvestProgress progress;
  progress.seeds = counts_;
  progress.pages = pages_.load();
  progress.seeds_dug = seeds_dug_;
  progress.in_flight = static_cast<int>(in_flight_.size());
  return progress;
}

void Harvest::Work() {
  SeedDigger digger(options_.service_url, options_.client_setup);
  std::unique_lock<std::mutex> lock(lock_);
  while (std::optional<SeedJob> job = Take(lock)) {
    lock.unlock();
    std::optional<DigOutcome> outcome;
    std::string error;
    try {
      outcome = digger.Dig(job->keyword, job->settings, [this] { ++pages_; });
    } catch (const std::exception& failure) {
      error = FailureText(failure);
    }
    lock.lock();
    // Leave the flight first: a store failure below must not leave the
    // seed counted as in flight for the other workers.
    EndFlight(job->id);
    if (outcome)
      Commit(*job, *outcome);
    else
      Fail(*job, error);
  }
}

std::optional<SeedJob> Harvest::Take(std::unique_lock<std::mutex>& lock) {
  while (!stopping_) {
    int64_t next_retry_ms = 0;
    std::optional<SeedJob> job = store_.NextSeed(in_flight_, NowMs(), next_retry_ms);
    if (job) {
      in_flight_.push_back(job->id);
      return job;
    }
    if (in_flight_.empty() && next_retry_ms == 0) {
      // Nothing queued, nothing that could queue more: the run is over.
      stopping_ = true;
      changed_.notify_all();
      break;
    }
    if (next_retry_ms != 0)
      changed_.wait_until(lock, Clock::time_point(std::chrono::milliseconds(next_retry_ms)));
    else
      changed_.wait(lock);
  }
  return std::nullopt;
}

void Harvest::EndFlight(int64_t id) {
  in_flight_.erase(std::find(in_flight_.begin(), in_flight_.end(), id));
  changed_.notify_all();
}

void Harvest::Commit(const SeedJob& job, const DigOutcome& outcome) {
  if (abandoned_) return;
  const int depth = job.depth + 1;
  std::vector<ResultRecord> results;
  std::vector<QueuedSeed> seeds;
  for (const FoundKeyword& found : outcome.keywords) {
    if (found.keyword.empty() || minus_words_.Matches(found.keyword)) continue;
    results.push_back({found.keyword, found.count, job.keyword, depth});
    if (depth <= job.settings.max_depth) seeds.push_back({found.keyword, depth, job.settings});
  }
  const CommitCounts added = store_.CommitDig(job.id, results, seeds);
  counts_.results += added.results;
  counts_.queued += added.seeds - 1;
  counts_.done += 1;
  seeds_dug_ += 1;
}

void Harvest::Fail(const SeedJob& job, const std::string& error) {
  if (abandoned_) return;
  const int attempts = job.failed_attempts + 1;
  const bool final = attempts >= options_.attempts || options_.retry_pauses.empty();
  int64_t retry_at = 0;
  if (!final) {
    const size_t pause = std::min<size_t>(static_cast<size_t>(attempts - 1), options_.retry_pauses.size() - 1);
    retry_at = NowMs() + options_.retry_pauses[pause].count();
  }
  store_.RecordFailure(job.id, error, retry_at, final);
  if (final) {
    counts_.queued -= 1;
    counts_.failed += 1;
  }
  if (OnFailure) OnFailure(job.keyword, error, final);
}

}  // namespace kv::harvest
