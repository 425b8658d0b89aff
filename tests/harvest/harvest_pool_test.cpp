// A harvest through a pool of real proxies on loopback, each reaching the
// stand-in from an address of its own, against the stand-in's rate limit
// and captcha block; one proxy refuses and one stalls.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "harvest/harvest_run.h"
#include "harvest/sqlite_store.h"
#include "http/http_client.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/socks_servers.h"
#include "tests/support/squid_server.h"
#include "tests/support/stat_sim_fixture.h"
#include "tests/support/temp_dir.h"
#include "http/transport_options.h"

namespace kv::harvest {
namespace {

using namespace kv::test;

PoolProxy ProxyAt(const std::string& url, const ProxyIdentity& identity) {
  TransportOptions options;
  options.proxy = *ParseProxyUrl(url).address;
  return {identity, [options](TIdHTTP& http, TIdSSLIOHandlerSocket& tls) {
            ApplyTransportOptions(options, http, tls);
            http.ReadTimeout = 1000;
          }};
}

std::map<std::string, int64_t> Harvested(const std::string& project, const std::string& service,
                                         std::vector<PoolProxy> proxies, RequestSpacing spacing,
                                         std::vector<ProxyScore>* scores = nullptr) {
  auto store = OpenSqliteProject(project, ProjectOpening::kCreateIfMissing);
  std::vector<QueuedSeed> seeds;
  // Seeds that are no modifier of the stand-in's: no keyword is found by two.
  for (const char* seed : {"кот", "слон", "ёж", "пицца", "шины", "курсы", "енот", "игра"}) {
    seeds.push_back({Utf8ToCp1251(seed), 0, DigSettings{0, 1, 1}});
  }
  store->QueueSeeds(seeds);
  HarvestOptions options;
  options.workers = 5;
  options.service_url = service;
  options.proxies = std::move(proxies);
  options.spacing = spacing;
  options.bench = {std::chrono::milliseconds(200), std::chrono::milliseconds(800)};
  Harvest harvest(*store, options);
  harvest.OnFailure = [](const std::string& keyword, const std::string& error, bool) {
    ADD_FAILURE() << "a failure counted against " << Cp1251ToUtf8(keyword) << ": " << error;
  };
  harvest.Run();
  EXPECT_EQ(store->Counts().done, 8);
  if (scores) *scores = store->ProxyScores();
  std::map<std::string, int64_t> results;
  store->ForEachResult(0, [&](const ResultRecord& r) { results[r.keyword] = r.count; });
  return results;
}

TEST(HarvestPool, FinishesPastRateLimitsBlocksAndDeadProxies) {
  // At most 3 requests a second from an address, and after 4 a captcha
  // page for a second.
  StatSimProcess limited({"--pages", "1", "--rate-limit", "3", "--block-after", "4", "--block-seconds", "1", "--log"},
                         ErrorOutput::kFile);
  SquidServer squid_two({{"u", "p"}}, {}, "127.0.0.2");
  SquidServer squid_three({{"u", "p"}}, {}, "127.0.0.3");
  MicrosocksServer microsocks("", "", "127.0.0.5");
  RefusingPort refusing;
  StalledListener stalled(0);
  auto local = [](int port) { return "127.0.0.1:" + std::to_string(port); };
  const std::vector<PoolProxy> pool = {
      ProxyAt("http://u:p@" + local(squid_two.Port()), {"http", "127.0.0.1", squid_two.Port(), "u"}),
      ProxyAt("http://u:p@" + local(squid_three.Port()), {"http", "127.0.0.1", squid_three.Port(), "u"}),
      ProxyAt("socks5://" + microsocks.HostPort(), {"socks5", "127.0.0.1", microsocks.Port(), ""}),
      ProxyAt("http://" + local(refusing.Port()), {"http", "127.0.0.1", refusing.Port(), ""}),
      ProxyAt("http://" + local(stalled.Port()), {"http", "127.0.0.1", stalled.Port(), ""}),
  };
  TempDir dir;
  std::vector<ProxyScore> scores;
  // Spaced 400 ms apart a proxy stays under the rate limit.
  const std::map<std::string, int64_t> pooled =
      Harvested(dir.File("pooled.kvh"), limited.BaseUrl(), pool, {400, 400}, &scores);

  StatSimProcess open({"--pages", "1"});
  EXPECT_EQ(pooled, Harvested(dir.File("direct.kvh"), open.BaseUrl(), {}, {0, 0}));

  // The stand-in saw the three working proxies' addresses only, none of
  // them over its rate limit, and the block pages benched them for a while.
  const std::string log = limited.Log();
  EXPECT_EQ(log.find(" 429 "), std::string::npos) << log;
  EXPECT_EQ(limited.RequestsFrom("127.0.0.1"), 0u);
  for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.5"}) EXPECT_GT(limited.RequestsFrom(address), 0u);
  ASSERT_EQ(scores.size(), 5u);
  int64_t blocks = 0;
  for (const ProxyScore& score : scores) {
    const bool dead = score.identity.port == refusing.Port() || score.identity.port == stalled.Port();
    if (dead) {
      EXPECT_GT(score.failures, 0) << score.identity.Text();
      EXPECT_GT(score.benched_until_ms, 0) << score.identity.Text();
    } else if (score.last_error.find("block page") != std::string::npos) {
      blocks += score.failures;
    }
  }
  EXPECT_GT(blocks, 0) << "no proxy met the captcha page";
}

}  // namespace
}  // namespace kv::harvest
