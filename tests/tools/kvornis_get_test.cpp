// kvornis-get as a program: bodies and heads on its output, failures named
// by class, exit codes, one connection for several URLs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/int_conversion.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace kv::test {
namespace {


std::string Url(int port, const std::string& path) { return "http://127.0.0.1:" + IntToStr(port) + path; }

TEST(KvornisGet, FetchesSeveralUrlsOverOneConnectionAndGoesOnAfterAFailure) {
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\none\n")
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ntwo\n")});
  const ProcessResult result = RunBuildProgram(
      "tools/kvornis-get", {"-v", Url(peer.Port(), "/a"), Url(peer.Port(), "/missing"), Url(peer.Port(), "/b")});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "one\ntwo\n");
  EXPECT_NE(result.err.find("kvornis-get: EIdHTTPProtocolException: HTTP/1.1 404 Not Found\n"), std::string::npos);
  EXPECT_NE(result.err.find("> GET /missing HTTP/1.1\n"), std::string::npos);
  EXPECT_NE(result.err.find("< HTTP/1.1 404 Not Found\n"), std::string::npos);
  size_t connects = 0;
  for (size_t at = result.err.find("* Connected."); at != std::string::npos;
       at = result.err.find("* Connected.", at + 1)) {
    ++connects;
  }
  EXPECT_EQ(connects, 1u);
  EXPECT_EQ(peer.Accepted(), 1u);
}

TEST(KvornisGet, OptionsShapeTheRequestAndTheOutput) {
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 301 Moved\r\nLocation: /new\r\nContent-Length: 0\r\n\r\n")
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nX-Served: yes\r\nContent-Length: 5\r\n\r\nfinal")});
  TempDir dir;
  const std::string file = (dir.Path() / "out.bin").string();
  const ProcessResult result = RunBuildProgram(
      "tools/kvornis-get", {"-L", "-i", "-A", "agent/2", "-H", "X-Test: 1", "-o", file, Url(peer.Port(), "/old")});
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadFileBytes(file), "HTTP/1.1 200 OK\r\nX-Served: yes\r\nContent-Length: 5\r\n\r\nfinal");
  const std::string sent = peer.Received(0);
  EXPECT_NE(sent.find("GET /new HTTP/1.1\r\n"), std::string::npos);
  EXPECT_NE(sent.find("\r\nX-Test: 1\r\n"), std::string::npos);
  EXPECT_NE(sent.find("\r\nUser-Agent: agent/2\r\n"), std::string::npos);
}

// Bodies are written out in blocks: a file that takes nothing still fails
// the run, named once, and a large body passes whole.
TEST(KvornisGet, OutputThatCannotBeWrittenFailsTheRunAndLargeBodiesPassWhole) {
  const std::string large(200000, 'x');
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none")
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nContent-Length: " + IntToStr(large.size()) + "\r\n\r\n" + large)
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo")});
  const std::vector<std::string> urls = {Url(peer.Port(), "/a"), Url(peer.Port(), "/b"), Url(peer.Port(), "/c")};
  TempDir dir;
  const std::string file = (dir.Path() / "out.bin").string();
  std::vector<std::string> args = {"-o", file};
  args.insert(args.end(), urls.begin(), urls.end());
  ProcessResult result = RunBuildProgram("tools/kvornis-get", args);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadFileBytes(file), "one" + large + "two");

  LoopbackPeer full_peer({Script()
                              .ExpectUntil(kHeadEnd)
                              .Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none")
                              .ExpectUntil(kHeadEnd)
                              .Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo")});
  result = RunBuildProgram("tools/kvornis-get",
                           {"-o", "/dev/full", Url(full_peer.Port(), "/a"), Url(full_peer.Port(), "/b")});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "kvornis-get: EWriteError: Stream write error\n");
}

TEST(KvornisGet, BadArgumentsAndUnreachablePeers) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* err;  // expected at the start of stderr
  };
  const std::vector<Case> cases = {
      {{}, 2, "usage: kvornis-get"},
      {{"--bogus", "http://h/"}, 2, "usage: kvornis-get"},
      {{"--max-redirs", "x", "http://h/"}, 2, "usage: kvornis-get"},
      {{"-H", "no colon", "http://h/"}, 2, "usage: kvornis-get"},
      {{"-x", "socks6://127.0.0.1:1080", "http://h/"}, 2,
       "kvornis-get: proxy 'socks6://127.0.0.1:1080': unsupported scheme 'socks6'"},
      // Not a bad argument: the SOCKS proxy is not there.
      {{"-x", "socks5://127.0.0.1:1", "http://h/"}, 1, "kvornis-get: EIdSocketError: Socket Error # 10061"},
      {{"http://h/", "-U"}, 2, "kvornis-get: option -U needs a value\nusage: kvornis-get"},
      {{"ftp://h/x"}, 1, "kvornis-get: EIdUnknownProtocol: \n"},
      {{"http://127.0.0.1:1/"}, 1, "kvornis-get: EIdSocketError: Socket Error # 10061"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = RunBuildProgram("tools/kvornis-get", c.args);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_EQ(result.err.rfind(c.err, 0), 0u) << result.err;
  }
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

TEST(KvornisGet, CookiesCarryFromOneUrlToTheNext) {
  LoopbackPeer peer({Script()
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nSet-Cookie: session=42; path=/\r\nContent-Length: 0\r\n\r\n")
                         .ExpectUntil(kHeadEnd)
                         .Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")});
  const ProcessResult result =
      RunBuildProgram("tools/kvornis-get", {"-v", Url(peer.Port(), "/login"), Url(peer.Port(), "/stat/page")});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const size_t second_request = result.err.find("> GET /stat/page HTTP/1.1\n");
  ASSERT_NE(second_request, std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("> Cookie: "), result.err.find("> Cookie: session=42\n", second_request));
}

}  // namespace
}  // namespace kv::test
