// Line reading on a real loopback connection: terminators, the CR rule, line
// length limits, partial lines at a close or a timeout.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/exceptions.h"
#include "tests/net/connection_test_helpers.h"

namespace kv::test {
namespace {

// A read that should never need it still gives up after this, so a fault
// shows as a failure instead of a hang.

std::string ReadRest(TIdTCPClient& client, size_t count) {
  std::string rest(count, '\0');
  client.ReadExact(rest.data(), static_cast<int64_t>(count));
  return rest;
}

TEST(ReadLnTest, EndsAtTheTerminatorAndDropsACrOnlyBeforeAPlainLf) {
  struct Case {
    std::string wire;
    std::string terminator;
    std::string line;
    std::string rest;  // left in the input buffer
  };
  const std::vector<Case> cases = {
      {"abc\r\nnext", "", "abc", "next"},
      {"abc\nnext", "", "abc", "next"},
      {"abc\r\r\n", "", "abc\r", ""},
      {"a\rb\n", "", "a\rb", ""},
      {"\n\n", "", "", "\n"},
      {"\r\n", "", "", ""},
      {"abc\r\n", "\n", "abc", ""},
      {"abc\r\nx", "\r\n", "abc", "x"},
      {"abc\r\n", "\r", "abc", "\n"},
      {"abc\rEND!", "END", "abc\r", "!"},
      {"abc\r\nEND", "END", "abc\r\n", ""},
      {"xENxEND", "END", "xENx", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("wire \"" + Printable(c.wire) + "\", terminator \"" + Printable(c.terminator) + "\"");
    LoopbackPeer peer({Script().Send(c.wire).ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    ConnectTo(client, peer);
    EXPECT_EQ(Printable(client.ReadLn(c.terminator)), Printable(c.line));
    EXPECT_FALSE(client.LastLineTimedOut());
    EXPECT_FALSE(client.LastLineSplit());
    EXPECT_EQ(Printable(ReadRest(client, c.rest.size())), Printable(c.rest));
  }
}

TEST(ReadLnTest, FindsATerminatorSplitAcrossTwoReceives) {
  struct Case {
    std::string first;
    std::string second;
    std::string terminator;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"abc\r", "\ndef\r\n", "", {"abc", "def"}},
      {"abc\r", "\ndef\r\n", "\r\n", {"abc", "def"}},
      {"abcE", "ND", "END", {"abc"}},
      {"abcEN", "DxyzEND", "END", {"abc", "xyz"}},
      {"abcEN", "xEND", "END", {"abcENx"}},
      {"abc", "\n", "", {"abc"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + Printable(c.first) + "\" | \"" + Printable(c.second) + "\"");
    LoopbackPeer peer({Script().Send(c.first).Pause(60).Send(c.second).ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    ConnectTo(client, peer);
    for (const std::string& line : c.lines) EXPECT_EQ(Printable(client.ReadLn(c.terminator)), Printable(line));
    EXPECT_EQ(client.InputBuffer().Length(), 0u);
  }
}

TEST(ReadLnTest, AcceptsALineOfTheMaximumLengthAndActsOnALongerOne) {
  struct Case {
    std::string name;
    int max_line_length;         // the connection's MaxLineLength
    int max_argument;            // ReadLn's maximum (-1: MaxLineLength)
    TIdMaxLineAction action;
    std::string wire;
    std::vector<std::string> lines;  // lines returned, in order
    std::vector<bool> split;         // LastLineSplit after each
    std::string failure;             // what the read after those raises
  };
  const std::string k16384(16384, 'x');
  const std::vector<Case> cases = {
      {"default limit, exactly 16384", 16384, -1, maException, k16384 + "\n", {k16384}, {false}, "no exception"},
      {"default limit, 16385", 16384, -1, maException, k16384 + "y\n", {}, {},
       "EIdReadLnMaxLineLengthExceeded: Max line length exceeded."},
      {"default limit, 16385, split", 16384, -1, maSplit, k16384 + "y\n", {k16384, "y"}, {true, false}, "no exception"},
      {"explicit maximum 10", 16384, 10, maException, "0123456789\n", {"0123456789"}, {false}, "no exception"},
      {"explicit maximum 10, 11 bytes", 16384, 10, maException, "0123456789A\n", {}, {},
       "EIdReadLnMaxLineLengthExceeded: Max line length exceeded."},
      {"the CR before LF counts towards the length", 16384, 10, maException, "0123456789\r\n", {}, {},
       "EIdReadLnMaxLineLengthExceeded: Max line length exceeded."},
      {"split into three pieces", 10, -1, maSplit, "0123456789ABCDEFGHIJK\n", {"0123456789", "ABCDEFGHIJ", "K"},
       {true, true, false}, "no exception"},
      {"limit 0 means none", 0, -1, maException, std::string(40000, 'z') + "\n", {std::string(40000, 'z')}, {false},
       "no exception"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPeer peer({Script().Send(c.wire).ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    client.MaxLineLength = c.max_line_length;
    client.MaxLineAction = c.action;
    ConnectTo(client, peer);
    for (size_t i = 0; i < c.lines.size(); ++i) {
      std::string line = client.ReadLn("", -1, c.max_argument);
      EXPECT_TRUE(SameBytes(line, c.lines[i])) << "line " << i;
      EXPECT_EQ(client.LastLineSplit(), c.split[i]) << "line " << i;
    }
    if (c.failure != "no exception") {
      EXPECT_EQ(FailureOf([&] { client.ReadLn("", -1, c.max_argument); }), c.failure);
    }
  }
}

TEST(ReadLnTest, NoticesAnOverlongLineBeforeItsTerminatorArrives) {
  // The peer sends one byte more than the limit and then nothing at all: the
  // read must act on what it has instead of waiting for the LF (which would
  // end in a read timeout).
  const std::string bytes(16385, 'q');
  struct Case {
    TIdMaxLineAction action;
    std::string outcome;
  };
  for (const Case& c : {Case{maException, "EIdReadLnMaxLineLengthExceeded: Max line length exceeded."},
                        Case{maSplit, "split 16384"}}) {
    SCOPED_TRACE(c.outcome);
    LoopbackPeer peer({Script().Send(bytes).ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = 1500;
    client.MaxLineAction = c.action;
    ConnectTo(client, peer);
    std::string line;
    std::string outcome = FailureOf([&] { line = client.ReadLn(); });
    if (outcome == "no exception") {
      outcome = std::string(client.LastLineSplit() ? "split " : "whole ") + std::to_string(line.size());
    }
    EXPECT_EQ(outcome, c.outcome);
  }
}

TEST(ReadLnTest, APeerCloseInsideALineGivesAnEmptyTimedOutLineAndKeepsTheBytes) {
  LoopbackPeer peer({Script().Send("whole\nabc").Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadLn(), "whole");
  EXPECT_FALSE(client.LastLineTimedOut());
  EXPECT_EQ(client.ReadLn(), "");
  EXPECT_TRUE(client.LastLineTimedOut());
  EXPECT_EQ(client.InputBuffer().View(), "abc");
  EXPECT_EQ(FailureOf([&] { client.ReadLn(); }), "EIdConnClosedGracefully: Connection Closed Gracefully.");
  // The partial line is still there for a read that needs no more than it.
  EXPECT_EQ(ReadRest(client, 3), "abc");
}

TEST(ReadLnTest, ATimeLimitEndsTheReadAndKeepsThePartialLine) {
  // With the default limit (ReadTimeout) the read raises; with a limit of
  // its own it gives up quietly with an empty, timed-out line. Either way
  // the partial line waits in the input buffer for the next read.
  struct Case {
    std::string name;
    int read_timeout;
    int timeout_argument;
    std::string outcome;
  };
  const std::vector<Case> cases = {
      {"ReadTimeout", 150, -1, "EIdReadTimeout: Read Timeout"},
      {"a limit of its own", 0, 150, "timed out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPeer peer({Script().Send("ab").Pause(600).Send("c\n").ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = c.read_timeout;
    ConnectTo(client, peer);
    std::string line = "unset";
    std::string outcome = FailureOf([&] { line = client.ReadLn("", c.timeout_argument); });
    if (outcome == "no exception" && line.empty() && client.LastLineTimedOut()) outcome = "timed out";
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(client.InputBuffer().View(), "ab");
    client.ReadTimeout = kGuardTimeout;
    EXPECT_EQ(client.ReadLn(), "abc");
    EXPECT_FALSE(client.LastLineTimedOut());
  }
}

TEST(ReadLnTest, SkipEmptyReturnsTheFirstLineWithTextTrimmed) {
  LoopbackPeer peer({Script().Send("\r\n  \t\r\n  hello \r\n\r\n\r\n\r\nlast\r\n").ExpectClosed()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadLnSkipEmpty(5), "hello");
  EXPECT_EQ(client.ReadLnSkipEmpty(2), "");  // two empty lines use up the tries
  EXPECT_EQ(client.ReadLnSkipEmpty(5), "last");
}

}  // namespace
}  // namespace kv::test
