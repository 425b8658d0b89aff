#include "harvest/harvest_run.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "harvest/dig_failure.h"

namespace kv::harvest {

namespace {

using Clock = std::chrono::system_clock;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

Clock::time_point TimeOf(int64_t ms) { return Clock::time_point(std::chrono::milliseconds(ms)); }

// Raised inside a dig when no more requests may go: the run is stopping or
// its request limit is reached. The seed stays queued.
struct RequestRefused {};

constexpr auto kInterruptRepeat = std::chrono::milliseconds(100);

}  // namespace

Harvest::Harvest(ProjectStore& store, HarvestOptions options)
    : store_(store), options_(std::move(options)), minus_words_(store.MinusWordList()), pool_([&] {
        std::vector<ProxyIdentity> identities;
        for (const PoolProxy& proxy : options_.proxies) identities.push_back(proxy.identity);
        return ProxyPool(identities, store.ProxyScores(), options_.bench);
      }()) {
  options_.workers = std::max(1, options_.workers);
  options_.attempts = std::max(1, options_.attempts);
  options_.spacing.max_ms = std::max(options_.spacing.min_ms, options_.spacing.max_ms);
}

void Harvest::Run() {
  {
    std::scoped_lock guard(lock_, store_lock_);
    counts_ = store_.Counts();
  }
  std::exception_ptr failure;
  std::mutex failure_lock;
  auto fail_run = [&] {
    // The project could not be read or written: the run ends.
    std::lock_guard<std::mutex> guard(failure_lock);
    if (!failure) failure = std::current_exception();
    Stop();
  };
  std::thread committer([&] {
    try {
      CommitFinished();
    } catch (...) {
      fail_run();
    }
  });
  std::vector<std::thread> workers;
  working_ = options_.workers;
  for (int i = 0; i < options_.workers; ++i) {
    workers.emplace_back([&] {
      try {
        Work();
      } catch (...) {
        fail_run();
      }
      std::lock_guard<std::mutex> guard(lock_);
      --working_;
      changed_.notify_all();
    });
  }
  {
    // A request that had passed its pace but had no socket yet when Stop()
    // came would wait on its page unhindered: the diggers are cut off
    // again until every worker has ended.
    std::unique_lock<std::mutex> lock(lock_);
    while (working_ > 0) {
      changed_.wait_for(lock, kInterruptRepeat);
      if (interrupted_)
        for (SeedDigger* digger : digging_) digger->Interrupt();
    }
  }
  for (std::thread& worker : workers) worker.join();
  {
    std::lock_guard<std::mutex> guard(lock_);
    workers_ended_ = true;
    changed_.notify_all();
  }
  committer.join();
  if (failure) std::rethrow_exception(failure);
}

void Harvest::CommitFinished() {
  std::unique_lock<std::mutex> lock(lock_);
  for (;;) {
    changed_.wait(lock, [this] { return !to_commit_.empty() || workers_ended_; });
    if (to_commit_.empty()) return;
    std::vector<DigCommit> batch;
    std::vector<ProxyScore> scores;
    batch.swap(to_commit_);
    scores.swap(scores_to_keep_);
    committing_ = true;
    lock.unlock();
    std::vector<CommitCounts> added;
    {
      std::lock_guard<std::mutex> store_guard(store_lock_);
      added = store_.CommitDigs(batch);
      for (const ProxyScore& score : scores) store_.KeepProxyScore(score);
    }
    lock.lock();
    committing_ = false;
    for (size_t i = 0; i < batch.size(); ++i) {
      LeaveFlight(batch[i].seed_id);
      Counted(added[i]);
    }
    changed_.notify_all();
  }
}

void Harvest::Stop() {
  std::lock_guard<std::mutex> guard(lock_);
  stopping_ = true;
  interrupted_ = true;
  // A request waiting on a slow page would hold the stop up until the
  // client's read timeout; the digger leaves digging_ only under lock_.
  for (SeedDigger* digger : digging_) digger->Interrupt();
  changed_.notify_all();
}

HarvestProgress Harvest::Abandon() {
  // The digs already finished are committed; then both locks are held until
  // the process ends, and a worker that finishes its seed now commits
  // nothing.
  std::unique_lock<std::mutex> lock(lock_);
  stopping_ = true;
  abandoned_ = true;
  changed_.wait(lock, [this] { return to_commit_.empty() && !committing_; });
  store_lock_.lock();
  lock.release();
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
  progress.requests = requests_;
  progress.seeds_dug = seeds_dug_;
  progress.in_flight = static_cast<int>(in_flight_.size());
  progress.proxies_back_ms = proxies_back_ms_;
  progress.request_limit_reached = request_limit_reached_;
  return progress;
}

void Harvest::Work() {
  // Straight to the service a worker keeps its client, connection and
  // cookies; through the pool each seed gets a client of its own, so that
  // the service sees one client per seed.
  std::unique_ptr<SeedDigger> own_digger;
  int64_t worker_next_ms = 0;
  std::unique_lock<std::mutex> lock(lock_);
  while (std::optional<Flight> flight = Take(lock)) {
    lock.unlock();
    std::unique_ptr<SeedDigger> seed_digger;
    SeedDigger* digger = nullptr;
    if (flight->proxy) {
      const PoolProxy& proxy = options_.proxies[*flight->proxy];
      seed_digger = std::make_unique<SeedDigger>(options_.service_url, [&](TIdHTTP& http, TIdSSLIOHandlerSocket& tls) {
        if (options_.client_setup) options_.client_setup(http, tls);
        proxy.setup(http, tls);
      });
      digger = seed_digger.get();
    } else {
      if (!own_digger) own_digger = std::make_unique<SeedDigger>(options_.service_url, options_.client_setup);
      digger = own_digger.get();
    }
    DigHooks hooks;
    hooks.before_request = [&] { PaceRequest(flight->proxy, worker_next_ms); };
    hooks.after_page = [this] { ++pages_; };

    std::optional<DigOutcome> outcome;
    std::optional<DigFailure> failure;
    bool refused = false;
    lock.lock();
    digging_.push_back(digger);
    lock.unlock();
    try {
      outcome = digger->Dig(flight->job.keyword, flight->job.settings, hooks);
      // A block page may stand in for the form page (which then lacks its
      // hidden fields) or for a result page (which then lacks its table).
      std::string marker = BlockMarkerIn(outcome->form_without_fields, options_.block_markers);
      if (marker.empty() && outcome->ended_without_table) {
        marker = BlockMarkerIn(outcome->page_without_table, options_.block_markers);
      }
      if (!marker.empty()) {
        failure = BlockPageFailure(marker);
        outcome.reset();
      }
    } catch (const RequestRefused&) {
      refused = true;
    } catch (const std::exception& error) {
      failure = JudgeFailure(error, digger->Client(), NowMs());
    }
    lock.lock();
    std::erase(digging_, digger);
    // A dig that Stop() cut off failed for no fault of the seed's.
    if (failure && interrupted_) refused = true;
    lock.unlock();
    seed_digger.reset();

    // The keywords are sorted out here, without a lock, and committed by
    // the committer; the seed stays in flight until its done mark is in.
    if (outcome && !refused) {
      DigCommit finished = Prepare(flight->job, *outcome);
      lock.lock();
      if (flight->proxy) {
        pool_.Succeeded(*flight->proxy);
        pool_.Release(*flight->proxy);
        scores_to_keep_.push_back(pool_.Score(*flight->proxy));
      }
      if (abandoned_) {
        LeaveFlight(flight->job.id);
        continue;
      }
      to_commit_.push_back(std::move(finished));
      changed_.notify_all();
      continue;
    }

    lock.lock();
    EndFlight(*flight);
    if (refused || abandoned_) continue;
    std::lock_guard<std::mutex> store_guard(store_lock_);
    if (!flight->proxy || failure->kind == FailureKind::kSeed) {
      Fail(flight->job, failure->text);
    } else if (failure->kind == FailureKind::kRetryAfter) {
      pool_.WaitUntil(*flight->proxy, failure->retry_at_ms);
    } else {
      ProxyFailed(*flight->proxy, failure->text);
    }
    if (flight->proxy) store_.KeepProxyScore(pool_.Score(*flight->proxy));
  }
}

std::optional<Harvest::Flight> Harvest::Take(std::unique_lock<std::mutex>& lock) {
  while (!stopping_) {
    const int64_t now = NowMs();
    int64_t next_retry_ms = 0;
    // Read beside a commit under way: the seeds it commits are still in
    // flight, so the queue as last committed is the queue.
    std::optional<SeedJob> job = store_.NextSeed(in_flight_, now, next_retry_ms);
    if (job) {
      std::optional<size_t> proxy;
      if (!pool_.Empty()) {
        int64_t back_ms = 0;
        proxy = pool_.Acquire(now, back_ms);
        proxies_back_ms_ = proxy ? 0 : back_ms;
        if (!proxy) {
          // Every proxy is benched: wait for the first to come back.
          changed_.wait_until(lock, TimeOf(back_ms));
          continue;
        }
      }
      in_flight_.push_back(job->id);
      return Flight{std::move(*job), proxy};
    }
    if (in_flight_.empty() && next_retry_ms == 0) {
      // Nothing queued, nothing that could queue more: the run is over.
      stopping_ = true;
      changed_.notify_all();
      break;
    }
    if (next_retry_ms != 0)
      changed_.wait_until(lock, TimeOf(next_retry_ms));
    else
      changed_.wait(lock);
  }
  return std::nullopt;
}

void Harvest::PaceRequest(const std::optional<size_t>& proxy, int64_t& worker_next_ms) {
  std::unique_lock<std::mutex> lock(lock_);
  if (stopping_) throw RequestRefused{};
  if (options_.max_requests > 0 && requests_ >= options_.max_requests) {
    request_limit_reached_ = true;
    stopping_ = true;
    changed_.notify_all();
    throw RequestRefused{};
  }
  ++requests_;
  const int64_t spacing =
      std::uniform_int_distribution<int64_t>(options_.spacing.min_ms, options_.spacing.max_ms)(random_);
  const int64_t now = NowMs();
  int64_t at = 0;
  if (proxy) {
    at = pool_.ReserveRequest(*proxy, now, spacing);
  } else {
    at = std::max(now, worker_next_ms);
    worker_next_ms = at + spacing;
  }
  if (at > now && changed_.wait_until(lock, TimeOf(at), [this] { return stopping_; })) throw RequestRefused{};
}

void Harvest::EndFlight(const Flight& flight) {
  if (flight.proxy) pool_.Release(*flight.proxy);
  LeaveFlight(flight.job.id);
}

void Harvest::LeaveFlight(int64_t seed_id) {
  in_flight_.erase(std::find(in_flight_.begin(), in_flight_.end(), seed_id));
  changed_.notify_all();
}

DigCommit Harvest::Prepare(const SeedJob& job, const DigOutcome& outcome) const {
  const int depth = job.depth + 1;
  DigCommit prepared;
  prepared.seed_id = job.id;
  for (const FoundKeyword& found : outcome.keywords) {
    if (found.keyword.empty() || minus_words_.Matches(found.keyword)) continue;
    prepared.results.push_back({found.keyword, found.count, job.keyword, depth});
    if (depth <= job.settings.max_depth) prepared.seeds.push_back({found.keyword, depth, job.settings});
  }
  return prepared;
}

void Harvest::Counted(const CommitCounts& added) {
  counts_.results += added.results;
  counts_.queued += added.seeds - 1;
  counts_.done += 1;
  seeds_dug_ += 1;
}

void Harvest::Fail(const SeedJob& job, const std::string& error) {
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

void Harvest::ProxyFailed(size_t proxy, const std::string& error) {
  const std::chrono::milliseconds cooldown = pool_.Failed(proxy, error, NowMs());
  if (OnProxyBenched) OnProxyBenched(pool_.Score(proxy).identity, error, cooldown);
}

}  // namespace kv::harvest
