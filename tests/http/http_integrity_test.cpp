// The exchange over an in-memory transport: every response shape read the
// same at every split point, every fault ending in a closed connection that
// the next request replaces, and a connection kept only when its response
// was read to the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/http/http_test_helpers.h"
#include "tests/support/memory_transport.h"

namespace kv::test {
namespace {

struct Shape {
  const char* name;
  std::vector<std::string> replies;  // one connection's server side
  std::string outcome;  // what Outcome() gives for it
};

const std::string kOkBody = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfresh";

std::vector<Shape> Shapes() {
  return {
      {"counted", {Response("200 OK", "0123456789")}, "200 [0123456789] no exception"},
      {"after a 100 head", {"HTTP/1.1 100 Continue\r\n\r\n" + Response("200 OK", "abc", "X-A: 1\r\n")},
       "200 [abc] no exception"},
      {"chunked with extensions and trailers",
       {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;a=1\r\nhello\r\n2 \r\n, \r\n3\r\nyou\r\n0;z\r\n"
        "T1: x\r\nT2: y\r\n\r\n"},
       "200 [hello, you] no exception"},
      {"until close", {"HTTP/1.1 200 OK\r\n\r\nall that comes"}, "200 [all that comes] no exception"},
      {"redirect followed on the same connection",
       {"HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 7\r\n\r\nmoved..", Response("200 OK", "there")},
       "200 [there] no exception"},
      {"status error with its body", {Response("404 Not Found", "<html>gone</html>")},
       "404 [] EIdHTTPProtocolException: HTTP/1.1 404 Not Found {<html>gone</html>}"},
  };
}

// Status code, body and failure of one Get, as one text.
std::string Outcome(TIdHTTP& client, const std::string& url) {
  MemoryStream body;
  std::string failure = "no exception";
  try {
    client.Get(url, &body);
  } catch (const EIdHTTPProtocolException& e) {
    failure = std::string(e.ClassName()) + ": " + e.Message() + " {" + e.ErrorBody() + "}";
  } catch (const Exception& e) {
    failure = std::string(e.ClassName()) + ": " + e.Message();
  }
  return IntToStr(client.LastResponse().StoredStatusCode()) + " [" + BodyOf(body) + "] " + failure;
}

struct Client {
  explicit Client(std::vector<MemoryTransport::Server> servers) : transport(std::move(servers)) {
    http.SetIOHandler(&transport);
    http.HandleRedirects = true;
  }
  MemoryTransport transport;
  TIdHTTP http;
};

TEST(HttpSplitPoints, EveryShapeReadsTheSameInPiecesOfAnySize) {
  for (const Shape& shape : Shapes()) {
    size_t longest = 0;
    for (const std::string& reply : shape.replies) longest = std::max(longest, reply.size());
    for (size_t piece = 1; piece <= longest; ++piece) {
      Client client({{shape.replies, true}});
      client.transport.PieceSize = piece;
      ASSERT_EQ(Outcome(client.http, "http://h/"), shape.outcome) << shape.name << ", pieces of " << piece;
    }
  }
}

TEST(HttpFaults, EveryFailedCallClosesTheConnectionAndTheNextRequestGetsANewOne) {
  for (const Shape& shape : Shapes()) {
    // The calls of a clean run are the points where a fault can strike.
    Client clean({{shape.replies, true}});
    clean.transport.PieceSize = 16;
    Outcome(clean.http, "http://h/");
    for (int call = 1; call <= clean.transport.Calls(); ++call) {
      Client client({{shape.replies, true}, {{kOkBody, kOkBody}, false}});
      client.transport.PieceSize = 16;
      client.transport.FailCall = call;
      const std::string outcome = Outcome(client.http, "http://h/");
      const std::string where = std::string(shape.name) + ", call " + IntToStr(call);
      // A fault while a redirect's body is dropped only costs the
      // connection: the target comes over a new one.
      if (outcome != shape.outcome && outcome != "200 [fresh] no exception") {
        EXPECT_NE(outcome.find("EIdSocketError: Socket Error # 10054"), std::string::npos) << where << ": " << outcome;
        EXPECT_FALSE(client.transport.IsTransportOpen()) << where << ": the failed connection stayed open";
      }
      client.transport.FailCall = 0;
      EXPECT_EQ(Outcome(client.http, "http://h/"), "200 [fresh] no exception") << where;
      EXPECT_EQ(client.transport.Connects(), 2) << where;
    }
  }
}

TEST(HttpConnectionReuse, HalfReadResponsesNeverCarryTheNextRequest) {
  struct Case {
    const char* name;
    std::string reply;  // the server falls silent after it
    std::string failure;
  };
  const std::string long_line(20000, 'x');
  const std::vector<Case> cases = {
      {"error body that does not arrive in time", "HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\n\r\nabc",
       "EIdReadTimeout: Read Timeout"},
      {"error body over its cap",
       "HTTP/1.1 500 Oops\r\nContent-Length: 17000000\r\n\r\n" + std::string(17000000, 'e'),
       "EOutOfResources"},
      {"header line over the line limit", "HTTP/1.1 200 OK\r\nX-Long: " + long_line + "\r\n\r\n",
       "EIdReadLnMaxLineLengthExceeded: Max line length exceeded."},
      {"malformed Content-Range", "HTTP/1.1 206 Partial\r\nContent-Range: bytes x-1/2\r\nContent-Length: 1\r\n\r\nz",
       "EConvertError: 'x' is not a valid integer value"},
      {"bad Set-cookie2 port", "HTTP/1.1 200 OK\r\nSet-cookie2: a=b; Port=\"8x\"\r\nContent-Length: 1\r\n\r\nz",
       "EConvertError"},
      {"counted body short of its length", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc",
       "EIdReadTimeout: Read Timeout"},
      {"redirect whose body never comes, then the target",
       "HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 10\r\n\r\nab", "no exception"},
      {"chunk size line that is no size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nleft over",
       "no exception"},
  };
  for (const Case& c : cases) {
    Client client({{{c.reply}, false}, {{kOkBody, kOkBody}, false}});
    MemoryStream body;
    const std::string failure = FailureOf([&] { client.http.Get("http://h/", &body); });
    EXPECT_EQ(failure.substr(0, c.failure.size()), c.failure) << c.name << ": " << failure;
    MemoryStream next;
    EXPECT_EQ(FailureOf([&] { client.http.Get("http://h/", &next); }), "no exception") << c.name;
    EXPECT_EQ(BodyOf(next), "fresh") << c.name;
  }
}

TEST(HttpConnectionReuse, BodiesThatStayUnreadCloseTheConnection) {
  // No stream for a body that came, and a stream too small for it: neither
  // may leave its bytes to the next request.
  Client client({{{Response("200 OK", "unread")}, false},
                 {{Response("200 OK", "far too long for the stream")}, false},
                 {{kOkBody}, false}});
  client.http.Get("http://h/", nullptr);
  MemoryStream small(8, "Text exceeds memo capacity");
  EXPECT_EQ(FailureOf([&] { client.http.Get("http://h/", &small); }),
            "EOutOfResources: Text exceeds memo capacity");
  MemoryStream body;
  client.http.Get("http://h/", &body);
  EXPECT_EQ(BodyOf(body), "fresh");
  EXPECT_EQ(client.transport.Connects(), 3);
}

TEST(HttpRequestText, ControlBytesOfARedirectTargetArePercentEncoded) {
  const std::string location = std::string("/x\rX-Injected: 1\x01y\x7F", 19) + std::string(1, '\0') + "z?q=%41 b";
  Client client({{{"HTTP/1.1 301 Moved\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n", kOkBody}, false}});
  MemoryStream body;
  client.http.Get("http://h/", &body);
  const std::string& sent = client.transport.Sent(0);
  const size_t second = sent.find("GET ", 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(sent.substr(second, sent.find("\r\n", second) - second),
            "GET /x%0DX-Injected: 1%01y%7F%00z?q=%41 b HTTP/1.1");
}

// Stands for a stream far past 4 GiB without holding a byte of it.
class FarStream : public Stream {
 public:
  explicit FarStream(int64_t position) : position_(position), size_(position) {}
  size_t Read(void*, size_t) override { throw EReadError("nothing to read here"); }
  size_t Write(const void*, size_t count) override {
    position_ += static_cast<int64_t>(count);
    size_ = std::max(size_, position_);
    return count;
  }
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    position_ = origin == SeekOrigin::Beginning ? offset : origin == SeekOrigin::End ? size_ + offset
                                                                                    : position_ + offset;
    return position_;
  }
  int64_t Size() const override { return size_; }
  void SetSize(int64_t size) override { size_ = size; }

 private:
  int64_t position_;
  int64_t size_;
};

TEST(HttpLargeStreams, PositionsAndLengthsPast4GiBStayWhole) {
  constexpr int64_t kFar = (int64_t{5} << 30) + 7;
  {
    // A followed redirect cuts the stream back to where it stood.
    Client client({{{"HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 3\r\n\r\nold", kOkBody}, false}});
    FarStream body(kFar);
    client.http.Get("http://h/", &body);
    EXPECT_EQ(body.Size(), kFar + 5);
  }
  {
    // An upload announces its whole size.
    Client client({{{kOkBody}, false}});
    FarStream upload(kFar);
    MemoryStream body;
    EXPECT_EQ(FailureOf([&] { client.http.Post("http://h/", upload, &body); }),
              "EReadError: nothing to read here");
    EXPECT_NE(client.transport.Sent(0).find("Content-Length: 5368709127\r\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace kv::test
