// The proxies a harvest test puts in a pool, each connecting out from an
// address of its own, checked by the address the stand-in logs for the
// request that came through it; and the two that fail, one refusing the
// connect and one taking it and never answering.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/loopback_peer.h"
#include "tests/support/run_process.h"
#include "tests/support/socks_servers.h"
#include "tests/support/squid_server.h"
#include "tests/support/stat_sim_fixture.h"

namespace kv::test {
namespace {

constexpr const char* kFormTarget = "/stat/wordsstat.pl?rpt=ppc&shw=1";

TEST(ProxyPool, EachProxyReachesTheStandInFromItsOwnAddress) {
  StatSimProcess sim({"--log"}, ErrorOutput::kFile);
  SquidServer squid_two({{"u", "p"}}, {}, "127.0.0.2");
  SquidServer squid_three({{"u", "p"}}, {}, "127.0.0.3");
  DanteServer dante(0, "127.0.0.4");
  MicrosocksServer microsocks("", "", "127.0.0.5");
  RefusingPort refusing;
  StalledListener stalled(0);

  struct Case {
    std::string proxy;
    std::string source;   // the address the stand-in sees; empty: the fetch fails
    std::string failure;  // what kvornis-get names then
  };
  auto local = [](int port) { return "127.0.0.1:" + std::to_string(port); };
  const Case cases[] = {
      {"http://u:p@" + local(squid_two.Port()), "127.0.0.2", ""},
      {"http://u:p@" + local(squid_three.Port()), "127.0.0.3", ""},
      {"socks5://" + dante.HostPort(), "127.0.0.4", ""},
      {"socks5://" + microsocks.HostPort(), "127.0.0.5", ""},
      {"http://" + local(refusing.Port()), "", "Connection refused"},
      {"http://" + local(stalled.Port()), "", "EIdReadTimeout"},
  };
  for (const Case& c : cases) {
    const ProcessResult get =
        RunBuildProgram("tools/kvornis-get", {"--read-timeout", "500", "-x", c.proxy, sim.BaseUrl() + kFormTarget});
    if (c.source.empty()) {
      EXPECT_EQ(get.exit_code, 1) << c.proxy;
      EXPECT_NE(get.err.find(c.failure), std::string::npos) << c.proxy << ": " << get.err;
      continue;
    }
    EXPECT_EQ(get.exit_code, 0) << c.proxy << ": " << get.err;
    EXPECT_NE(get.out.find("<form"), std::string::npos) << c.proxy;
    EXPECT_EQ(sim.RequestsFrom(c.source), 1u) << c.proxy << "\n" << sim.Log();
  }
  EXPECT_EQ(sim.RequestsFrom("127.0.0.1"), 0u) << sim.Log();
}

}  // namespace
}  // namespace kv::test
