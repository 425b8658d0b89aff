// The connection's byte buffers, and the cap on pre-sizing a stream for an
// announced body length.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/stream.h"
#include "net/buffers.h"
#include "net/exceptions.h"
#include "net/tcp_connection.h"

namespace kv {
namespace {

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 23);
  return bytes;
}

TEST(InputBuffer, PiecesComeOutInOrderAcrossPacksAndAppends) {
  // Remove sizes around the pack threshold, with appends in between, so
  // that packing happens with unread bytes both smaller and larger than
  // what was consumed.
  const std::string data = Pattern(300000);
  for (size_t piece : {1u, 127u, 4096u, 32767u, 32768u, 40000u}) {
    TIdManagedBuffer buffer;
    int64_t reported = 0;
    buffer.OnRemove = [&](TIdSimpleBuffer*, int64_t count) { reported += count; };
    size_t appended = 0, consumed = 0;
    std::string out;
    while (consumed < data.size()) {
      if (appended < data.size() && buffer.Length() < piece + 1000) {
        size_t n = std::min<size_t>(50000, data.size() - appended);
        buffer.Append(data.data() + appended, n);
        appended += n;
      }
      size_t n = std::min(piece, buffer.Length());
      out.append(buffer.Memory(), n);
      buffer.Remove(n);
      consumed += n;
      ASSERT_EQ(buffer.Length(), appended - consumed);
    }
    EXPECT_EQ(out, data) << "piece " << piece;
    EXPECT_EQ(reported, static_cast<int64_t>(data.size()));
    EXPECT_EQ(buffer.ReadOffset(), 0u) << "an emptied buffer starts again at 0";
  }
}

TEST(InputBuffer, ConsumedBytesAreNotMovedOverAndOver) {
  // A large unread rest read in small pieces: the read offset may grow past
  // the threshold instead of moving the whole rest after every piece.
  TIdManagedBuffer buffer;
  const std::string data = Pattern(1 << 20);
  buffer.Append(data.data(), data.size());
  buffer.Remove(40000);
  EXPECT_EQ(buffer.ReadOffset(), 40000u) << "moving 1 MiB to save 40 KB";
  EXPECT_EQ(buffer.View().substr(0, 5), data.substr(40000, 5));
  // Once the consumed part outweighs the rest, it goes.
  buffer.Remove(buffer.Length() - 1000);
  EXPECT_EQ(buffer.ReadOffset(), 0u);
  EXPECT_EQ(buffer.View(), data.substr(data.size() - 1000));
}

TEST(InputBuffer, RemoveAndExtractRefuseMoreThanIsThere) {
  TIdManagedBuffer buffer;
  buffer.Append("abcdef", 6);
  EXPECT_THROW(buffer.Remove(7), EIdNotEnoughDataInBuffer);
  EXPECT_THROW(buffer.Extract(7), EIdNotEnoughDataInBuffer);
  EXPECT_EQ(buffer.Extract(2), "ab");
  EXPECT_EQ(buffer.Extract(4), "cdef");
  EXPECT_EQ(buffer.Length(), 0u);
}

TEST(SimpleBuffer, AsAStreamItCanBeRewrittenAndResizedInPlace) {
  // What an intercept does with the bytes it is given.
  TIdManagedBuffer buffer;
  buffer.Append("xxHELLO", 7);
  buffer.Remove(2);   // the stream view starts at the first unread byte
  EXPECT_EQ(buffer.Size(), 5);
  char first[2] = {};
  EXPECT_EQ(buffer.Read(first, 2), 2u);
  EXPECT_EQ(std::string(first, 2), "HE");
  buffer.SetPosition(0);
  buffer.WriteText("he");
  buffer.Seek(0, SeekOrigin::End);
  buffer.WriteText(" world");
  EXPECT_EQ(buffer.View(), "heLLO world");
  buffer.SetSize(3);
  EXPECT_EQ(buffer.View(), "heL");
  buffer.SetPosition(5);
  buffer.WriteText("!");
  EXPECT_EQ(buffer.View(), std::string("heL\0\0!", 6)) << "a gap is zeroed";
}

TEST(ReadToStreamPresize, AHostileLengthReservesNoMoreThanTheCap) {
  // 1 TiB announced, 5 bytes buffered, and no transport to wait on: the
  // call must neither try to allocate the announced size nor keep bytes it
  // did not receive.
  TIdTCPConnection connection;
  connection.InputBuffer().Append("hello", 5);
  MemoryStream body;
  body.WriteText("head:");
  EXPECT_NO_THROW(connection.ReadToStream(body, int64_t{1} << 40));
  EXPECT_EQ(body.View(), "head:hello");
  EXPECT_EQ(body.Size(), 10);
}

TEST(ReadToStreamPresize, TheStreamIsCutAtItsPositionAfterwards) {
  TIdTCPConnection connection;
  MemoryStream body;
  body.WriteText("0123456789");
  body.SetPosition(4);
  connection.InputBuffer().Append("ab", 2);
  connection.ReadToStream(body, 0);
  EXPECT_EQ(body.View(), "0123") << "a count of 0 reads nothing and cuts the stream";
  connection.ReadToStream(body, 2);
  EXPECT_EQ(body.View(), "0123ab");
}

}  // namespace
}  // namespace kv
