// Reading counted and unbounded data on a real loopback connection, and what
// the connection does when the peer closes or resets under a read.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/exceptions.h"
#include "tests/net/connection_test_helpers.h"

namespace kv::test {
namespace {

const std::string kClosed = "EIdConnClosedGracefully: Connection Closed Gracefully.";

std::string ReadExactText(TIdTCPClient& client, size_t count) {
  std::string out(count, '\0');
  client.ReadExact(out.data(), static_cast<int64_t>(count));
  return out;
}

TEST(ReadTest, BytesThatArriveAheadOfAReadServeTheNextReads) {
  // Everything comes in one send; each read after the first must find its
  // bytes in the input buffer. A lost byte would show as a read timeout.
  const std::string wire = std::string("one\r\ntwo\n") + std::string("\x00\x00\x00\x05", 4) + "hello" + "XYZ" + "tail";
  LoopbackPeer peer({Script().Send(wire).ExpectClosed()});
  TIdTCPClient client;
  client.ReadTimeout = 300;
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadLn(), "one");
  EXPECT_EQ(client.InputBuffer().View(), wire.substr(5));
  EXPECT_EQ(client.ReadLn(), "two");
  MemoryStream body;
  client.ReadToStream(body);  // length-prefixed
  EXPECT_EQ(StreamText(body), "hello");
  EXPECT_EQ(ReadExactText(client, 3), "XYZ");
  MemoryStream tail;
  client.ReadToStream(tail, 4);
  EXPECT_EQ(StreamText(tail), "tail");
}

TEST(ReadTest, APeerCloseAtEveryOffsetOfAnExchangeRaisesInTheReadThatNeedsMore) {
  // The exchange: a line, 4 exact bytes, a counted body of 5 bytes.
  const std::string wire = "OK\r\nABCD12345";
  for (size_t cut = 0; cut <= wire.size(); ++cut) {
    SCOPED_TRACE("peer closes after " + std::to_string(cut) + " bytes");
    LoopbackPeer peer({Script().Send(wire.substr(0, cut)).Close()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    ConnectTo(client, peer);
    ASSERT_TRUE(peer.WaitDone());

    std::string line;
    std::string read_line = FailureOf([&] { line = client.ReadLn(); });
    if (cut == 0) {
      EXPECT_EQ(read_line, kClosed);
      continue;
    }
    ASSERT_EQ(read_line, "no exception");
    if (cut < 4) {
      EXPECT_EQ(line, "");
      EXPECT_TRUE(client.LastLineTimedOut());
      EXPECT_EQ(client.InputBuffer().View(), wire.substr(0, cut));
      continue;
    }
    EXPECT_EQ(line, "OK");
    std::string exact = FailureOf([&] { ReadExactText(client, 4); });
    if (cut < 8) {
      EXPECT_EQ(exact, kClosed);
      EXPECT_EQ(client.InputBuffer().View(), wire.substr(4, cut - 4));
      continue;
    }
    ASSERT_EQ(exact, "no exception");
    MemoryStream body;
    std::string counted = FailureOf([&] { client.ReadToStream(body, 5); });
    if (cut < wire.size()) {
      EXPECT_EQ(counted, kClosed);
      continue;
    }
    EXPECT_EQ(counted, "no exception");
    EXPECT_EQ(StreamText(body), "12345");
    EXPECT_EQ(FailureOf([&] { client.ReadLn(); }), kClosed);
  }
}

TEST(ReadTest, ReadExactWaitsForEveryByteAndKeepsAPartialReadAtAClose) {
  LoopbackPeer peer({Script().SendInPieces("0123456789", 3, 30).Send("abc").Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EXPECT_EQ(ReadExactText(client, 10), "0123456789");
  char unused = 'u';
  client.ReadExact(&unused, 0);  // reads nothing
  client.ReadExact(nullptr, 5);  // nothing to read into: does nothing
  EXPECT_EQ(unused, 'u');
  EXPECT_EQ(FailureOf([&] { ReadExactText(client, 5); }), kClosed);
  EXPECT_EQ(client.InputBuffer().View(), "abc");
}

TEST(ReadToStreamTest, UntilClosedTakesEveryByteWithoutAnException) {
  const std::string body = Pattern(200000);
  LoopbackPeer peer({Script().SendInPieces(body, 70000, 20).Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  MemoryStream stream;
  stream.WriteText("HEAD");
  client.ReadToStream(stream, kNoByteCount, ReadUntil::Closed);
  EXPECT_EQ(stream.Size(), 4 + 200000);
  EXPECT_TRUE(SameBytes(StreamText(stream), "HEAD" + body));
  EXPECT_FALSE(client.Connected());
}

TEST(ReadToStreamTest, ACountedReadCutShortKeepsEveryByteThatArrivedAndRaises) {
  // 100000 of 200000 announced bytes arrive: all of them reach the stream,
  // the part chunk after the three whole ones included, and the stream keeps
  // no room for the missing part.
  const std::string sent = Pattern(100000);
  LoopbackPeer peer({Script().Send(sent).Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  MemoryStream stream;
  EXPECT_EQ(FailureOf([&] { client.ReadToStream(stream, 200000); }), kClosed);
  EXPECT_EQ(stream.Size(), 100000);
  EXPECT_EQ(stream.Position(), 100000);
  EXPECT_TRUE(SameBytes(StreamText(stream), sent));
  EXPECT_EQ(client.InputBuffer().Length(), 0u);
}

TEST(ReadToStreamTest, ACountOfZeroReadsNothingAndCutsTheStreamAtItsPosition) {
  LoopbackPeer peer({Script().Send("xyz").ExpectClosed()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  MemoryStream stream;
  stream.WriteText("abcdef");
  stream.SetPosition(2);
  client.ReadToStream(stream, 0);
  EXPECT_EQ(StreamText(stream), "ab");
  EXPECT_EQ(ReadExactText(client, 3), "xyz");
}

TEST(ReadToStreamTest, AfterANoticedCloseACountedReadTakesWhatIsBufferedWithoutAnException) {
  LoopbackPeer peer({Script().Send("x\n12345").Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadLn(), "x");
  ASSERT_TRUE(peer.WaitDone());
  client.ProbePeerClosed(IfClosed::Return);
  ASSERT_FALSE(client.Connected());
  MemoryStream stream;
  EXPECT_EQ(FailureOf([&] { client.ReadToStream(stream, 10); }), "no exception");
  EXPECT_EQ(StreamText(stream), "12345");
}

TEST(ReadToStreamTest, AHugeAnnouncedCountIsNotAllocatedBeforeTheBytesArrive) {
  // A hostile peer announces 2 GiB - 1 and sends 100000 bytes; the stream
  // must not be asked to make room for the announced size up front.
  const int64_t announced = 2147483647;
  const std::string sent = Pattern(100000);
  struct Case {
    std::string name;
    std::string prefix;      // what comes before the body on the wire
    int64_t byte_count;
  };
  const std::vector<Case> cases = {
      {"counted", "", announced},
      {"length prefix", std::string("\x7F\xFF\xFF\xFF", 4), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPeer peer({Script().Send(c.prefix + sent).Close()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    ConnectTo(client, peer);
    SizeRecordingStream stream;
    EXPECT_EQ(FailureOf([&] { client.ReadToStream(stream, c.byte_count); }), kClosed);
    EXPECT_LE(stream.LargestRequest(), int64_t{256} << 20) << "pre-sized to " << stream.LargestRequest();
    // Nothing lost, nothing doubled, and no unfilled room left at the end.
    EXPECT_EQ(stream.Size(), stream.Position());
    EXPECT_GT(stream.Size(), 0);
    EXPECT_TRUE(SameBytes(StreamText(stream) + std::string(client.InputBuffer().View()), sent));
  }
}

TEST(ReadToStreamTest, ReportsReadWorkForTheBytesTakenFromTheInputBuffer) {
  // The reads before ReadToStream leave 15 bytes in the input buffer, of
  // which the counted read takes 5: progress counts bytes handed over, not
  // bytes received, and reads outside a run report nothing.
  struct Case {
    std::string name;
    std::string wire;        // after the "go\n" line
    int64_t byte_count;
    bool until_closed;
    std::vector<std::string> events;
  };
  const std::vector<Case> cases = {
      {"counted, from the buffer", "12345" "6789012345", 5, false, {"begin read 5", "work read 5", "end read"}},
      {"length prefix", std::string("\x00\x00\x00\x03", 4) + "abcdefg", -1, false,
       {"begin read 3", "work read 3", "end read"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPeer peer({Script().Send("go\n" + c.wire).ExpectClosed()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    ConnectTo(client, peer);
    EventLog log;
    log.AttachWork(client);
    EXPECT_EQ(client.ReadLn(), "go");
    MemoryStream stream;
    client.ReadToStream(stream, c.byte_count, c.until_closed ? ReadUntil::Closed : ReadUntil::Count);
    EXPECT_EQ(log.lines, c.events);
  }
}

TEST(ReadToStreamTest, ReportsARunningTotalOverSeveralReceives) {
  const std::string body = Pattern(100000);
  LoopbackPeer peer({Script().SendInPieces(body, 40000, 30).Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EventLog log;
  log.AttachWork(client);
  MemoryStream stream;
  client.ReadToStream(stream, kNoByteCount, ReadUntil::Closed);
  ASSERT_GE(log.lines.size(), 3u);
  EXPECT_EQ(log.lines.front(), "begin read 0");
  EXPECT_EQ(log.lines[log.lines.size() - 2], "work read 100000");
  EXPECT_EQ(log.lines.back(), "end read");
  EXPECT_EQ(log.Count("begin read 0"), 1);
  EXPECT_EQ(log.Count("end read"), 1);
  int64_t previous = 0;
  for (const std::string& line : log.Starting("work read ")) {
    int64_t total = std::stoll(line.substr(10));
    EXPECT_GT(total, previous) << line;
    previous = total;
  }
}

TEST(ReadAvailableTest, TakesWhatOneReceiveBringsAndRaisesOnAReadTimeout) {
  LoopbackPeer peer({Script().Send("abc").Pause(300).Send("def").ExpectClosed()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadAvailable(), "abc");
  EXPECT_EQ(client.ReadAvailable(), "def");
  client.ReadTimeout = 100;
  EXPECT_EQ(FailureOf([&] { client.ReadAvailable(); }), "EIdReadTimeout: Read Timeout");
}

TEST(ReadAvailableTest, AfterThePeerClosedItStillHandsOutTheBufferedBytes) {
  LoopbackPeer peer({Script().Send("a\nrest").Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadLn(), "a");
  ASSERT_TRUE(peer.WaitDone());
  client.ProbePeerClosed(IfClosed::Return);
  EXPECT_EQ(client.ReadAvailable(), "rest");
  EXPECT_EQ(client.ReadAvailable(), "");
}

TEST(ReadAllUntilClosedTest, ConcatenatesEverythingUntilThePeerCloses) {
  LoopbackPeer peer({Script().Send("first ").Pause(30).Send("second ").Pause(30).Send("third").Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  EventLog log;
  log.AttachWork(client);
  EXPECT_EQ(client.ReadAllUntilClosed(), "first second third");
  EXPECT_EQ(log.lines.front(), "begin read 0");
  EXPECT_EQ(log.lines[log.lines.size() - 2], "work read 18");
  EXPECT_EQ(log.lines.back(), "end read");
}

TEST(ReadAllUntilClosedTest, ConnectAndReadAllDisconnectsAfterwards) {
  LoopbackPeer peer({Script().Send("whole answer").Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  client.SetHost("127.0.0.1");
  client.SetPort(peer.Port());
  EventLog log;
  log.Attach(client);
  EXPECT_EQ(client.ConnectAndReadAll(), "whole answer");
  EXPECT_EQ(log.lines.back(), "hsDisconnected Disconnected.");
  EXPECT_EQ(log.Count("hsDisconnecting Disconnecting."), 1);
  EXPECT_EQ(client.IOHandler(), nullptr);  // the transport Connect made is freed
}

TEST(PeerCloseTest, IsNoticedOnceAndBufferedBytesStayReadable) {
  LoopbackPeer peer({Script().Send("first\nsecond\n").Close()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  EventLog log;
  log.Attach(client);
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadLn(), "first");
  ASSERT_TRUE(peer.WaitDone());
  client.ProbePeerClosed(IfClosed::Return);
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(client.Connected());
  client.ProbePeerClosed(IfClosed::Return);
  EXPECT_EQ(client.ReadLn(), "second");
  EXPECT_EQ(FailureOf([&] { client.ReadLn(); }), kClosed);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(log.Count("hsDisconnected Disconnected."), 1);
  EXPECT_EQ(log.Count("OnDisconnected"), 1);
  EXPECT_EQ(log.Count("hsDisconnecting Disconnecting."), 0);

  // An explicit Disconnect afterwards reports the whole close again.
  client.Disconnect();
  EXPECT_EQ(log.Count("hsDisconnecting Disconnecting."), 1);
  EXPECT_EQ(log.Count("hsDisconnected Disconnected."), 2);
  EXPECT_EQ(log.Count("OnDisconnected"), 2);
}

TEST(PeerCloseTest, AResetUnderAReadRaisesTheSocketError) {
  LoopbackPeer peer({Script().Expect("x").Reset()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  ConnectTo(client, peer);
  client.WriteText("x");
  ASSERT_TRUE(peer.WaitDone());
  int code = 0;
  std::string failure = FailureOf([&] {
    try {
      client.ReadLn();
    } catch (const EIdSocketError& e) {
      code = e.Code();
      throw;
    }
  });
  EXPECT_EQ(failure, "EIdSocketError: Socket Error # 10054\r\nConnection reset by peer.");
  EXPECT_EQ(code, 10054);
}

TEST(ReceiveFilterTest, AsciiFilterClearsBitSevenOfEveryReceivedByte) {
  LoopbackPeer peer({Script().Send("\xC1\xE2z\xFF\n").ExpectClosed()});
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  client.ASCIIFilter = true;
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadLn(), "Abz\x7F");
}

TEST(IdleConnectionTest, ReadsAndWritesOnAConnectionNeverOpened) {
  TIdTCPClient client;
  client.ReadTimeout = 200;
  char byte = 0;
  EXPECT_EQ(FailureOf([&] { client.ProbePeerClosed(IfClosed::Return); }), "no exception");
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(FailureOf([&] { EXPECT_EQ(client.ReadAvailable(), ""); }), "no exception");
  EXPECT_EQ(FailureOf([&] { client.ReadLn(); }), "EIdNotConnected: Not Connected");
  EXPECT_EQ(FailureOf([&] { client.ReadExact(&byte, 1); }), "EIdNotConnected: Not Connected");
  EXPECT_EQ(FailureOf([&] { client.WriteLine("x"); }), "EIdNotConnected: Not Connected");
  EXPECT_EQ(FailureOf([&] { client.ProbePeerClosed(IfClosed::Raise); }), "EIdNotConnected: Not Connected");
}

}  // namespace
}  // namespace kv::test
