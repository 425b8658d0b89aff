// kvornis-cli run as a program, the way scripts and users run it.

#include <gtest/gtest.h>

#include "tests/support/run_process.h"
#include "tests/support/socks_servers.h"
#include "tests/support/squid_server.h"
#include "tests/support/stat_sim_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tls_peers.h"

namespace kv::test {
namespace {

ProcessResult Cli(const std::vector<std::string>& args) { return RunBuildProgram("tools/kvornis-cli", args); }

TEST(KvornisCli, CleansSortsPrintsAndSavesARealFile) {
  TempDir dir;
  WriteFileBytes(dir.File("in.txt"),
                 "      5   -   ёж\n    351   -   кот\r\n     42   -   собака\r    351   -   кот\r\n");
  ProcessResult r = Cli({"list=" + dir.File("in.txt"), "remdup", "sort", "print=list", "count",
                         "save=" + dir.File("out"), "savekw=" + dir.File("kw.txt"), "print=grid"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "status: Выполнено: удалено 1 дубликатов\n"
            "status: Выполнено: удалено 1 дубликатов\n"
            "    351   -   кот\n     42   -   собака\n      5   -   ёж\n"
            "status: 3 кейвордов в списке\n"
            "status: Сохранить в: " + dir.File("out.txt") + "\n"
            "status: Сохранить в: " + dir.File("kw.txt") + "\n"
            "Кейворд\tВсего запросов\nкот\t    351\nсобака\t     42\nёж\t      5\n");
  EXPECT_EQ(ReadFileBytes(dir.File("out.txt")),
            "    351   -   \xEA\xEE\xF2\r\n     42   -   \xF1\xEE\xE1\xE0\xEA\xE0\r\n      5   -   \xB8\xE6\r\n");
  EXPECT_EQ(ReadFileBytes(dir.File("kw.txt")), "\xEA\xEE\xF2\r\n\xF1\xEE\xE1\xE0\xEA\xE0\r\n\xB8\xE6\r\n");
}

TEST(KvornisCli, RawModeReadsAndPrintsWindows1251Bytes) {
  TempDir dir;
  WriteFileBytes(dir.File("in.txt"), "    351   -   \xEA\xEE\xF2\r\n");
  ProcessResult r = Cli({"--raw", "list=" + dir.File("in.txt"), "ltor", "print=grid"});
  EXPECT_EQ(r.out, "status: \n\xCA\xE5\xE9\xE2\xEE\xF0\xE4\t\xC2\xF1\xE5\xE3\xEE \xE7\xE0\xEF\xF0\xEE\xF1\xEE\xE2\n\xEA\xEE\xF2\t    351\n");
}

TEST(KvornisCli, FailuresOfHandlersAreShownAndTheRunGoesOn) {
  TempDir dir;
  ProcessResult r = Cli({"save=" + dir.File("missing/x.txt"), "count", "save="});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "error: Cannot create file \"" + dir.File("missing/x.txt") +
                       "\". No such file or directory.\n"
                       "status: \n"
                       "status: 0 кейвордов в списке\n"
                       "status: Сохранить в: " + dir.File("missing/x.txt") + "\n");
}

TEST(KvornisCli, MinusWordsRemoveLinesAndExportWritesTheRest) {
  TempDir dir;
  WriteFileBytes(dir.File("in.txt"), "    351   -   кот\n     42   -   Ёжик в тумане\nтекст\n      7   -   котёл\n");
  WriteFileBytes(dir.File("minus.txt"), "ежик\n\n");
  ProcessResult r = Cli({"list=" + dir.File("in.txt"), "minus=" + dir.File("minus.txt"), "print=list",
                         "export=" + dir.File("out.csv"), "export=" + dir.File("missing/x.csv"),
                         "export=" + dir.File("out.doc"), "export="});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "status: Удалено строк: 1\n"
            "    351   -   кот\nтекст\n      7   -   котёл\n"
            "status: Экспортировано в: " + dir.File("out.csv") + "\n"
            "error: Cannot create file \"" + dir.File("missing/x.csv") + "\". No such file or directory.\n"
            "status: Экспортировано в: " + dir.File("out.csv") + "\n"
            "error: Cannot export to \"" + dir.File("out.doc") +
            "\": the name must end in .xlsx, .csv or .txt.\n"
            "status: Экспортировано в: " + dir.File("out.csv") + "\n"
            "status: Экспортировано в: " + dir.File("out.csv") + "\n");
  EXPECT_EQ(ReadFileBytes(dir.File("out.csv")),
            "\xEF\xBB\xBFКейворд;Всего запросов\r\nкот;351\r\n;\r\nкотёл;7\r\n");
}

TEST(KvornisCli, NumberFieldsClampWhenLeftAndRowsMustExist) {
  ProcessResult r = Cli({"pages=5000", "min=abc", "row=3", "count"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "error: Row 3 does not exist (the grid has 1 rows)\nstatus: 0 кейвордов в списке\n");
}

TEST(KvornisCli, NonUtf8ListFileIsRefusedWithAHint) {
  TempDir dir;
  WriteFileBytes(dir.File("cp.txt"), "\xEA\xEE\xF2\r\n");
  ProcessResult r = Cli({"list=" + dir.File("cp.txt"), "count"});
  EXPECT_EQ(r.out, "error: The file \"" + dir.File("cp.txt") +
                       "\" is not UTF-8 text (use --raw for Windows-1251 files)\nstatus: 0 кейвордов в списке\n");
}

TEST(KvornisCli, BadArgumentsExitWith2AndRunNothing) {
  TempDir dir;
  const std::vector<std::vector<std::string>> bad = {
      {}, {"count", "bogus"}, {"print=table"}, {"row=x"}, {"--frobnicate"}, {"save=" + dir.File("a.txt"), "count="},
      {"--proxy", "socks6://127.0.0.1:1080", "count"}, {"--proxy", "http://127.0.0.1:0", "count"},
      {"count", "--proxy-user"},
  };
  for (const auto& args : bad) {
    ProcessResult r = Cli(args);
    EXPECT_EQ(r.exit_code, 2) << testing::PrintToString(args);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("usage: kvornis-cli"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.txt")));
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

TEST(KvornisCli, DigsAtTheStandInService) {
  StatSimProcess sim({"--pages", "9"});
  const ProcessResult result = RunBuildProgram(
      "tools/kvornis-cli", {"--service", sim.BaseUrl(), "keyword=кот", "pages=5", "get", "print=list", "row=2",
                            "deep", "broad"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  size_t list_lines = 0;
  for (size_t at = result.out.find("   -   "); at != std::string::npos; at = result.out.find("   -   ", at + 1)) {
    ++list_lines;
  }
  EXPECT_EQ(list_lines, 250u);
  EXPECT_NE(result.out.find("кот"), std::string::npos);
  EXPECT_NE(result.out.find("status: Выполнено - получено 250 кейвордов\n"), std::string::npos);
  EXPECT_NE(result.out.find("status: Выполнено - получено 500 кейвордов\n"), std::string::npos);
  EXPECT_NE(result.out.find("status: Выполнено - получено 10 кейвордов\n"), std::string::npos);
}

TEST(KvornisCli, DigsAtTheStandInServiceOverTls) {
  TestCertificates certs;
  StatSimProcess sim({"--tls-cert", certs.ServerCert(), "--tls-key", certs.ServerKey()});
  ASSERT_EQ(sim.BaseUrl().rfind("https://", 0), 0u) << sim.BaseUrl();
  struct Case {
    std::vector<std::string> options;
    std::string out_has;
  } cases[] = {
      {{"--cacert", certs.Ca()}, "status: Выполнено - получено 150 кейвордов\n"},
      {{"-k"}, "status: Выполнено - получено 150 кейвордов\n"},
      // The build trusts the system's store, which does not know the test
      // authority: the failure is no socket failure, so the error box shows it.
      {{}, "error: Error connecting with SSL."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.options));
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--service", sim.BaseUrl(), "keyword=кот", "pages=3", "get"});
    const ProcessResult result = RunBuildProgram("tools/kvornis-cli", args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_NE(result.out.find(c.out_has), std::string::npos) << result.out;
  }
}

TEST(KvornisCli, DigsThroughAProxyThatAsksForCredentials) {
  StatSimProcess sim({"--pages", "9"});
  SquidServer squid({{"u", "p"}}, {});
  const std::string hostport = squid.Url().substr(7);
  struct Case {
    std::vector<std::string> proxy_options;
    std::string out_has;
  } cases[] = {
      {{"--proxy", squid.Url(), "--proxy-user", "u:p"}, "status: Выполнено - получено 100 кейвордов\n"},
      {{"--proxy", "http://u:p@" + hostport}, "status: Выполнено - получено 100 кейвордов\n"},
      // Not a socket failure: the error box shows the proxy's refusal.
      {{"--proxy", squid.Url()}, "error: HTTP/1.1 407 Proxy Authentication Required"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.proxy_options));
    std::vector<std::string> args = c.proxy_options;
    args.insert(args.end(), {"--service", sim.BaseUrl(), "keyword=кот", "pages=2", "get"});
    const ProcessResult result = RunBuildProgram("tools/kvornis-cli", args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_NE(result.out.find(c.out_has), std::string::npos) << result.out;
  }
  // The form page and both result pages went through squid.
  const std::string log = squid.AccessLog();
  size_t fetched = 0;
  for (size_t at = log.find("/200 "); at != std::string::npos; at = log.find("/200 ", at + 1)) {
    if (log.find(" GET " + sim.BaseUrl() + "/", at) < log.find('\n', at)) ++fetched;
  }
  EXPECT_EQ(fetched, 6u) << log;
}

TEST(KvornisCli, DigsThroughASocksProxy) {
  StatSimProcess sim({"--pages", "9"});
  DanteServer dante;
  const ProcessResult result = RunBuildProgram(
      "tools/kvornis-cli",
      {"--proxy", "socks5://" + dante.HostPort(), "--service", sim.BaseUrl(), "keyword=кот", "pages=2", "get"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "status: Выполнено - получено 100 кейвордов\n");
  // The window's client reached the stand-in through dante.
  const std::string log = dante.Log();
  EXPECT_NE(log.find("tcp/connect [: "), std::string::npos) << log;
  EXPECT_NE(log.find(" 127.0.0.1." + std::to_string(sim.Port()) + "\n"), std::string::npos) << log;
}

TEST(KvornisCli, UnreachableServiceIsShownAsAConnectionProblem) {
  const ProcessResult result =
      RunBuildProgram("tools/kvornis-cli", {"--service", "http://127.0.0.1:1", "keyword=a", "get"});
  EXPECT_EQ(result.exit_code, 0);
  // Both fetches fail on the socket; the empty result page has no table.
  EXPECT_EQ(result.out, "status: Не найдено кейвордов\n");
}

}  // namespace
}  // namespace kv::test
