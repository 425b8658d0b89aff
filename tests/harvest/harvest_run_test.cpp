// The harvest engine digging at the real stand-in with parallel workers:
// which keywords are kept and dug, minus words, and failed seeds.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/cp1251.h"
#include "harvest/harvest_run.h"
#include "harvest/sqlite_store.h"
#include "http/http_client.h"
#include "tests/support/stat_sim_fixture.h"
#include "tests/support/temp_dir.h"

namespace kv::harvest {
namespace {

using test::StatSimProcess;
using test::TempDir;

std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

std::map<std::string, ResultRecord> Results(ProjectStore& store) {
  std::map<std::string, ResultRecord> results;
  store.ForEachResult(0, [&](const ResultRecord& r) { results[r.keyword] = r; });
  return results;
}

HarvestOptions OptionsFor(const StatSimProcess& sim, int workers) {
  HarvestOptions options;
  options.workers = workers;
  options.service_url = sim.BaseUrl();
  options.retry_pauses = {std::chrono::milliseconds(10), std::chrono::milliseconds(20)};
  return options;
}

TEST(Harvest, DigsFoundKeywordsToTheDepthOnceEach) {
  StatSimProcess sim({"--pages", "3"});
  struct Case {
    int max_depth;
    int workers;
    int64_t seeds_done;
  };
  // Two seeds, one result page of 50 keywords each, the seed itself the
  // first: depth 0 digs the seeds alone; depth 1 digs every keyword found
  // once, the seeds not again.
  for (const Case& c : {Case{0, 1, 2}, Case{1, 4, 100}}) {
    TempDir dir;
    auto store = OpenSqliteProject(dir.File("p.kvh"), ProjectOpening::kCreateIfMissing);
    const DigSettings settings{c.max_depth, 1, 1};
    store->QueueSeeds({{W("кот"), 0, settings}, {W("слон"), 0, settings}});
    Harvest harvest(*store, OptionsFor(sim, c.workers));
    harvest.Run();

    const SeedCounts counts = store->Counts();
    EXPECT_EQ(counts.done, c.seeds_done) << c.max_depth;
    EXPECT_EQ(counts.queued, 0);
    EXPECT_EQ(harvest.Progress().seeds.done, c.seeds_done);
    EXPECT_EQ(harvest.Progress().pages, c.seeds_done);
    const std::map<std::string, ResultRecord> results = Results(*store);
    EXPECT_EQ(harvest.Progress().seeds.results, static_cast<int64_t>(results.size()));
    const ResultRecord& cat = results.at(W("купить кот"));
    EXPECT_EQ(cat.seed, W("кот"));
    EXPECT_EQ(cat.depth, 1);
    EXPECT_EQ(cat.count, 50000);
    if (c.max_depth == 1) {
      // Found only by digging a keyword of depth 1.
      const ResultRecord& deeper = results.at(W("купить купить кот"));
      EXPECT_EQ(deeper.depth, 2);
      EXPECT_EQ(deeper.seed, W("купить кот"));
    }
  }
}

TEST(Harvest, MinusWordsKeepKeywordsOutOfResultsAndQueue) {
  StatSimProcess sim({"--pages", "1"});
  TempDir dir;
  auto store = OpenSqliteProject(dir.File("p.kvh"), ProjectOpening::kCreateIfMissing);
  store->AddMinusWords({W("КУПИТЬ")});
  store->QueueSeeds({{W("кот"), 0, DigSettings{1, 1, 1}}});
  Harvest harvest(*store, OptionsFor(sim, 3));
  harvest.Run();
  const std::map<std::string, ResultRecord> results = Results(*store);
  EXPECT_GT(results.size(), 10u);
  int64_t first_level = 0;
  for (const auto& [keyword, record] : results) {
    EXPECT_EQ(Cp1251ToUtf8(keyword).find("купить"), std::string::npos) << Cp1251ToUtf8(keyword);
    first_level += record.depth == 1 ? 1 : 0;
  }
  // The seed is among its own keywords: the seeds dug were the kept
  // keywords of depth 1, none that held the word.
  EXPECT_EQ(store->Counts().done, first_level);
  EXPECT_LT(first_level, 50);
}

TEST(Harvest, FailedDigsAreRetriedThenMarkedFailed) {
  // The first result page breaks off in the middle of its body, and a
  // closed port refuses the connection: every dig fails, in parallel.
  StatSimProcess broken({"--pages", "1", "--close-mid-page", "1"});
  for (const std::string& service : {broken.BaseUrl(), std::string("http://127.0.0.1:1")}) {
    TempDir dir;
    auto store = OpenSqliteProject(dir.File("p.kvh"), ProjectOpening::kCreateIfMissing);
    store->QueueSeeds({{W("кот"), 0, DigSettings{0, 1, 1}}, {W("слон"), 0, DigSettings{0, 1, 1}}});
    std::mutex lock;
    std::map<std::string, std::vector<bool>> finals;
    HarvestOptions options = OptionsFor(broken, 2);
    options.service_url = service;
    Harvest harvest(*store, options);
    harvest.OnFailure = [&](const std::string& keyword, const std::string& error, bool final) {
      std::lock_guard<std::mutex> guard(lock);
      EXPECT_FALSE(error.empty());
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
      finals[keyword].push_back(final);
    };
    harvest.Run();
    for (const std::string& seed : {W("кот"), W("слон")}) EXPECT_EQ(finals[seed], (std::vector<bool>{false, false, true}));
    const std::vector<FailedSeed> failed = store->FailedSeeds();
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0].attempts, 3);
    EXPECT_EQ(harvest.Progress().seeds.failed, 2);

    // Queued again and dug at a sound service, they finish.
    StatSimProcess sound({"--pages", "1"});
    store->RequeueFailed();
    Harvest again(*store, OptionsFor(sound, 2));
    again.Run();
    EXPECT_EQ(store->Counts().done, 2);
    EXPECT_EQ(store->Counts().failed, 0);
    EXPECT_EQ(Results(*store).size(), 100u);
  }
}

// Regression test: a stop waited for a slow page until the client's read
// timeout. Now the page is cut off; the seed stays queued, with no failure.
TEST(Harvest, StopCutsOffRequestsUnderWay) {
  StatSimProcess sim({"--pages", "1", "--latency", "20000"});
  TempDir dir;
  auto store = OpenSqliteProject(dir.File("p.kvh"), ProjectOpening::kCreateIfMissing);
  store->QueueSeeds({{W("кот"), 0, {0, 1, 1}}, {W("слон"), 0, {0, 1, 1}}});
  HarvestOptions options = OptionsFor(sim, 2);
  options.client_setup = [](TIdHTTP& http, TIdSSLIOHandlerSocket&) { http.ReadTimeout = 60000; };
  Harvest harvest(*store, options);
  int failures = 0;
  harvest.OnFailure = [&](const std::string&, const std::string&, bool) { ++failures; };
  std::thread run([&] { harvest.Run(); });
  while (harvest.Progress().requests < 2) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const auto stopped_at = std::chrono::steady_clock::now();
  harvest.Stop();
  run.join();
  // Far below the stand-in's latency, whatever the machine's load.
  EXPECT_LT(std::chrono::steady_clock::now() - stopped_at, std::chrono::seconds(10));
  EXPECT_EQ(failures, 0);
  const SeedCounts counts = store->Counts();
  EXPECT_EQ(counts.queued, 2);
  EXPECT_EQ(counts.failed, 0);
  EXPECT_EQ(counts.done, 0);
}

}  // namespace
}  // namespace kv::harvest
