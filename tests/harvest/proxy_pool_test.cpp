// The proxy pool's choices and cooldowns, and how failures are judged.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "harvest/dig_failure.h"
#include "harvest/proxy_pool.h"

namespace kv::harvest {
namespace {

using std::chrono::milliseconds;

std::vector<ProxyIdentity> ThreeProxies() {
  return {{"http", "127.0.0.2", 3128, "u"}, {"socks5h", "127.0.0.3", 1080, ""}, {"socks4", "::1", 1080, ""}};
}

TEST(ProxyPool, WorkersShareOnlyWhenTheyOutnumberTheHealthyProxies) {
  ProxyPool pool(ThreeProxies(), {});
  int64_t back = -1;
  // Idle proxies first, the one that waited longest; then the least used.
  EXPECT_EQ(pool.Acquire(10, back), 0u);
  EXPECT_EQ(pool.Acquire(11, back), 1u);
  EXPECT_EQ(pool.Acquire(12, back), 2u);
  EXPECT_EQ(pool.Acquire(13, back), 0u);
  pool.Release(1);
  EXPECT_EQ(pool.Acquire(14, back), 1u);
  for (size_t i : {0u, 0u, 1u, 2u}) pool.Release(i);

  // A benched proxy is passed over; when all are, the first back is told.
  pool.Failed(0, "refused", 100);
  EXPECT_EQ(pool.Acquire(101, back), 2u);
  pool.Release(2);
  pool.Failed(1, "refused", 100);
  pool.Failed(2, "refused", 200);
  EXPECT_EQ(pool.Acquire(101, back), std::nullopt);
  EXPECT_EQ(back, 100 + 30000);
  EXPECT_EQ(pool.AllBenchedUntil(101), 100 + 30000);
  EXPECT_EQ(pool.Acquire(30100, back), 0u);
  EXPECT_EQ(pool.AllBenchedUntil(30100), 0);
}

TEST(ProxyPool, CooldownDoublesToItsCapAndASuccessEndsTheRow) {
  ProxyPool pool(ThreeProxies(), {});
  std::vector<int64_t> cooldowns;
  for (int i = 0; i < 8; ++i) cooldowns.push_back(pool.Failed(0, "e" + std::to_string(i), 0).count());
  EXPECT_EQ(cooldowns, (std::vector<int64_t>{30000, 60000, 120000, 240000, 480000, 960000, 1800000, 1800000}));
  EXPECT_EQ(pool.Score(0).failures, 8);
  EXPECT_EQ(pool.Score(0).last_error, "e7");
  pool.Succeeded(0);
  EXPECT_EQ(pool.Failed(0, "again", 0), milliseconds(30000));

  // A score kept from an earlier run keeps the proxy benched.
  ProxyScore kept;
  kept.identity = ThreeProxies()[1];
  kept.benched_until_ms = 5000;
  kept.requests = 7;
  ProxyPool resumed(ThreeProxies(), {kept});
  int64_t back = 0;
  EXPECT_EQ(resumed.Acquire(0, back), 0u);
  EXPECT_EQ(resumed.Acquire(0, back), 2u);
  EXPECT_EQ(resumed.Acquire(0, back), 0u);
  EXPECT_EQ(resumed.Score(1).requests, 7);
}

TEST(ProxyPool, RequestsAreSpacedAndWaitForRetryAfter) {
  ProxyPool pool(ThreeProxies(), {});
  EXPECT_EQ(pool.ReserveRequest(0, 1000, 500), 1000);
  EXPECT_EQ(pool.ReserveRequest(0, 1100, 500), 1500);  // behind the one before
  EXPECT_EQ(pool.ReserveRequest(0, 1200, 0), 2000);
  pool.WaitUntil(1, 9000);
  EXPECT_EQ(pool.ReserveRequest(1, 1000, 0), 9000);
  EXPECT_EQ(pool.Score(0).requests, 3);
  EXPECT_EQ(ThreeProxies()[2].Text(), "socks4://[::1]:1080");
  EXPECT_EQ(ThreeProxies()[0].Text(), "http://u@127.0.0.2:3128");
}

TEST(BlockPages, MarkersFoundWithoutRegardToCase) {
  const std::vector<std::string> markers = {"captcha", Utf8ToCp1251("Доступ ограничен")};
  EXPECT_EQ(BlockMarkerIn("<p>Enter the CAPTCHA</p>", markers), "captcha");
  EXPECT_EQ(BlockMarkerIn(Utf8ToCp1251("ДОСТУП ОГРАНИЧЕН на час"), markers), markers[1]);
  EXPECT_EQ(BlockMarkerIn("<p>no keywords found</p>", markers), "");
  EXPECT_EQ(BlockPageFailure("captcha").kind, FailureKind::kProxy);
}

}  // namespace
}  // namespace kv::harvest
