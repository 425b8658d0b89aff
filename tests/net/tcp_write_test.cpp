// Writing on a real loopback connection: the bytes on the wire, write
// buffering and its thresholds, streams and files, and sends that fail.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/exceptions.h"
#include "tests/net/connection_test_helpers.h"
#include "tests/support/temp_dir.h"

namespace kv::test {
namespace {


// Records the size of every batch the connection hands to the transport.
struct SendRecorder {
  TIdConnectionIntercept intercept;
  std::vector<int64_t> sizes;

  explicit SendRecorder(TIdTCPConnection& connection) {
    intercept.OnSend = [this](TIdConnectionIntercept*, Stream& bytes) { sizes.push_back(bytes.Size()); };
    connection.SetIntercept(&intercept);
  }
};

TEST(WriteTest, TextLinesAndIntegersReachThePeerByteForByte) {
  const std::string expected = std::string("a") + "b\r\n" + "\r\n" + std::string("\x01\x02\x03\x04", 4) +
                               std::string("\x04\x03\x02\x01", 4) + "raw";
  LoopbackPeer peer({Script().Expect(expected).ExpectClosed()});
  TIdTCPClient client;
  ConnectTo(client, peer);
  client.WriteText("a");
  client.WriteText("");
  client.WriteLine("b");
  client.WriteLine("");
  client.WriteInt32(0x01020304, true);
  client.WriteInt32(0x01020304, false);
  client.WriteBytes("rawXYZ", 3);
  client.WriteBytes("never", 0);
  client.WriteBytes(nullptr, 5);
  client.Disconnect();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(Printable(peer.Received(0)), Printable(expected));
  EXPECT_TRUE(peer.Errors().empty()) << peer.Errors()[0];
}

TEST(WriteBufferingTest, SendsOneBlockPerThresholdAndTheRestOnClose) {
  struct Case {
    int threshold;
    std::vector<std::string> writes;
    std::vector<int64_t> sends_before_close;
    std::vector<int64_t> sends_at_close;
  };
  const std::vector<Case> cases = {
      {-1, {"aaa", "bbb", "ccc"}, {}, {9}},
      {0, {"aaa", "bbb", "ccc"}, {}, {9}},
      {4, {"aaa", "bbb", "ccc"}, {4, 4}, {1}},
      {4, {"0123456789"}, {4}, {6}},  // one flush per write, of one block
      {3, {"abc", "def"}, {3, 3}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("threshold " + std::to_string(c.threshold));
    std::string all;
    for (const auto& w : c.writes) all += w;
    LoopbackPeer peer({Script().Expect(all).ExpectClosed()});
    TIdTCPClient client;
    ConnectTo(client, peer);
    SendRecorder recorder(client);
    client.OpenWriteBuffering(c.threshold);
    for (const auto& w : c.writes) client.WriteText(w);
    EXPECT_EQ(recorder.sizes, c.sends_before_close);
    recorder.sizes.clear();
    client.CloseWriteBuffering();
    EXPECT_EQ(recorder.sizes, c.sends_at_close);
    EXPECT_FALSE(client.WriteBufferingOpen());
    client.Disconnect();
    ASSERT_TRUE(peer.WaitDone());
    EXPECT_EQ(peer.Received(0), all);
  }
}

TEST(WriteBufferingTest, FlushSendsTheAskedCountOrEverythingAndClearDropsTheRest) {
  LoopbackPeer peer({Script().Expect("0123456789").ExpectClosed()});
  TIdTCPClient client;
  ConnectTo(client, peer);
  SendRecorder recorder(client);
  client.OpenWriteBuffering();
  client.WriteText("0123456789");
  client.FlushWriteBuffering(3);
  client.FlushWriteBuffering(100);  // fewer buffered than asked: all of them
  client.FlushWriteBuffering(-1);   // nothing left: no send
  client.WriteText("dropped");
  client.ClearWriteBuffering();
  client.CloseWriteBuffering();
  EXPECT_EQ(recorder.sizes, (std::vector<int64_t>{3, 7}));
  client.Disconnect();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Received(0), "0123456789");
}

TEST(WriteBufferingTest, ARequestWrittenLineByLineLeavesInOneSend) {
  const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n";
  LoopbackPeer peer({Script().ExpectUntil("\r\n\r\n").ExpectClosed()});
  TIdTCPClient client;
  ConnectTo(client, peer);
  SendRecorder recorder(client);
  client.OpenWriteBuffering(-1);
  client.WriteLine("GET / HTTP/1.1");
  client.WriteLine("Host: 127.0.0.1");
  client.WriteLine("Accept: */*");
  client.WriteLine("");
  client.CloseWriteBuffering();
  EXPECT_EQ(recorder.sizes, (std::vector<int64_t>{static_cast<int64_t>(request.size())}));
  client.Disconnect();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Received(0), request);
}

TEST(WriteTest, WritingWithoutAnOpenConnectionRaises) {
  struct Case {
    std::string state;
    std::string failure;
  };
  const std::vector<Case> cases = {
      {"never connected", "EIdNotConnected: Not Connected"},
      {"never connected, buffering", "EIdNotConnected: Not Connected"},
      {"after Disconnect", "EIdNotConnected: Not Connected"},
      {"after a noticed peer close", "EIdConnClosedGracefully: Connection Closed Gracefully."},
      {"after a noticed peer close, buffering", "EIdConnClosedGracefully: Connection Closed Gracefully."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    LoopbackPeer peer({Script().Close()});
    TIdTCPClient client;
    client.ReadTimeout = kGuardTimeout;
    if (c.state != "never connected" && c.state != "never connected, buffering") {
      ConnectTo(client, peer);
      if (c.state == "after Disconnect") {
        client.Disconnect();
      } else {
        ASSERT_TRUE(peer.WaitDone());
        EXPECT_EQ(client.ReadAvailable(), "");
        ASSERT_FALSE(client.Connected());
      }
    }
    if (c.state.find("buffering") != std::string::npos) client.OpenWriteBuffering();
    EXPECT_EQ(FailureOf([&] { client.WriteText("x"); }), c.failure);
  }
}

TEST(WriteTest, SendingToAPeerThatResetRaisesASocketErrorAndDropsTheSocket) {
  // Sends never raise SIGPIPE; the failure surfaces as EIdSocketError with
  // one of the codes a send accepts as a lost connection, after which the
  // connection is closed.
  LoopbackPeer peer({Script().Expect("hello").Reset()});
  TIdTCPClient client;
  ConnectTo(client, peer);
  client.WriteText("hello");
  ASSERT_TRUE(peer.WaitDone());
  const std::string block(65536, 'z');
  int code = 0;
  std::string failure;
  for (int attempt = 0; attempt < 50 && code == 0; ++attempt) {
    failure = FailureOf([&] {
      try {
        client.WriteText(block);
      } catch (const EIdSocketError& e) {
        code = e.Code();
        throw;
      }
    });
  }
  EXPECT_TRUE(code == 10053 || code == 10054 || code == 10058) << failure;
  EXPECT_EQ(failure.rfind("EIdSocketError: Socket Error # " + std::to_string(code) + "\r\n", 0), 0u) << failure;
  EXPECT_FALSE(client.Connected());
}

TEST(WriteFromStreamTest, SendsTheChosenPartOfTheStream) {
  struct Case {
    std::string name;
    bool from_start;
    int64_t position;
    int64_t byte_count;
    bool send_byte_count;
    std::string wire;
  };
  const std::vector<Case> cases = {
      {"from the start", true, 5, 0, false, "hello world"},
      {"from the position", false, 6, 0, false, "world"},
      {"a count", false, 0, 5, false, "hello"},
      {"a count from the start, with its length", true, 3, 5, true, std::string("\0\0\0\x05", 4) + "hello"},
      {"the rest, with its length", false, 6, 0, true, std::string("\0\0\0\x05", 4) + "world"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPeer peer({Script().Expect(c.wire).ExpectClosed()});
    TIdTCPClient client;
    ConnectTo(client, peer);
    MemoryStream stream;
    stream.WriteText("hello world");
    stream.SetPosition(c.position);
    client.WriteFromStream(stream, c.from_start ? StreamFrom::Start : StreamFrom::Position, c.byte_count,
                           c.send_byte_count ? ByteCountFirst::Yes : ByteCountFirst::No);
    client.Disconnect();
    ASSERT_TRUE(peer.WaitDone());
    EXPECT_EQ(Printable(peer.Received(0)), Printable(c.wire));
  }
}

TEST(WriteFromStreamTest, MovesALargeStreamInBlocksAndReportsWriteWork) {
  const std::string body = Pattern(100000);
  LoopbackPeer peer({Script().ExpectCount(body.size()).ExpectClosed()});
  TIdTCPClient client;
  ConnectTo(client, peer);
  SendRecorder recorder(client);
  EventLog log;
  log.AttachWork(client);
  MemoryStream stream;
  stream.WriteText(body);
  client.WriteFromStream(stream);
  EXPECT_EQ(recorder.sizes, (std::vector<int64_t>{32768, 32768, 32768, 1696}));
  ASSERT_GE(log.lines.size(), 3u);
  EXPECT_EQ(log.lines.front(), "begin write 100000");
  EXPECT_EQ(log.lines[log.lines.size() - 2], "work write 100000");
  EXPECT_EQ(log.lines.back(), "end write");
  client.Disconnect();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_TRUE(SameBytes(peer.Received(0), body));
}

TEST(WriteFromStreamTest, AStreamShorterThanTheCountRaisesAfterSendingWhatItHad) {
  LoopbackPeer peer({Script().Expect("hello world").ExpectClosed()});
  TIdTCPClient client;
  ConnectTo(client, peer);
  EventLog log;
  log.AttachWork(client);
  MemoryStream stream;
  stream.WriteText("hello world");
  EXPECT_EQ(FailureOf([&] { client.WriteFromStream(stream, StreamFrom::Start, 20); }),
            "EIdNoDataToRead: No data to read.");
  EXPECT_EQ(log.lines.back(), "end write");
  client.Disconnect();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Received(0), "hello world");
}

TEST(WriteFileContentsTest, SendsTheWholeFileAndReturnsItsSize) {
  TempDir dir;
  const std::string body = Pattern(70000);
  WriteFileBytes(dir.File("body.bin"), body);
  WriteFileBytes(dir.File("empty.bin"), "");
  LoopbackPeer peer({Script().ExpectCount(body.size()).ExpectClosed()});
  TIdTCPClient client;
  ConnectTo(client, peer);
  EXPECT_EQ(client.WriteFileContents(dir.File("body.bin")), 70000);
  EXPECT_EQ(client.WriteFileContents(dir.File("empty.bin")), 0);
  const std::string missing = dir.File("missing.bin");
  EXPECT_EQ(FailureOf([&] { client.WriteFileContents(missing); }),
            "EIdFileNotFound: File \"" + missing + "\" not found");
  client.Disconnect();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_TRUE(SameBytes(peer.Received(0), body));
}

}  // namespace
}  // namespace kv::test
