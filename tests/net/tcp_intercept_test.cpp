// Intercepts on a real loopback connection: they rewrite the bytes in both
// directions, chain in a fixed order and hear of connects and closes.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/intercept.h"
#include "tests/net/connection_test_helpers.h"

namespace kv::test {
namespace {


// Replaces the whole content of `stream` by `change`(content).
template <typename Change>
void Rewrite(Stream& stream, Change change) {
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), bytes.size());
  std::string changed = change(bytes);
  stream.SetSize(0);
  stream.SetPosition(0);
  stream.WriteText(changed);
}

TEST(InterceptTest, RewritesAndResizesTheBytesInBothDirections) {
  LoopbackPeer peer({Script().Expect("<hi><there>").Send("ab-c\nd-e-f\n").ExpectClosed()});
  TIdConnectionIntercept intercept;
  // Out: each batch wrapped in angle brackets. In: upper case, dashes dropped.
  intercept.OnSend = [](TIdConnectionIntercept*, Stream& s) {
    Rewrite(s, [](const std::string& b) { return "<" + b + ">"; });
  };
  intercept.OnReceive = [](TIdConnectionIntercept*, Stream& s) {
    Rewrite(s, [](const std::string& b) {
      std::string out;
      for (char ch : b) {
        if (ch != '-') out += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
      }
      return out;
    });
  };
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  client.SetIntercept(&intercept);
  ConnectTo(client, peer);
  client.WriteText("hi");
  client.WriteText("there");
  EXPECT_EQ(client.ReadLn(), "ABC");
  EXPECT_EQ(client.ReadLn(), "DEF");
  EXPECT_EQ(peer.Received(0), "<hi><there>");
  EXPECT_TRUE(peer.Errors().empty()) << peer.Errors()[0];
}

TEST(InterceptTest, AChainFiltersOutwardFirstToLastAndInwardLastToFirst) {
  LoopbackPeer peer({Script().Expect("msg12").Send("x").ExpectClosed()});
  std::vector<std::string> calls;
  TIdConnectionIntercept outer;
  TIdConnectionIntercept nested;
  outer.SetIntercept(&nested);
  auto append = [&calls](const std::string& who, const std::string& what) {
    return [&calls, who, what](TIdConnectionIntercept*, Stream& s) {
      calls.push_back(who);
      Rewrite(s, [&](const std::string& b) { return b + what; });
    };
  };
  outer.OnSend = append("outer send", "1");
  nested.OnSend = append("nested send", "2");
  outer.OnReceive = append("outer receive", "1");
  nested.OnReceive = append("nested receive", "2");
  outer.OnConnect = [&](TIdConnectionIntercept*) { calls.push_back("outer connect"); };
  nested.OnConnect = [&](TIdConnectionIntercept*) { calls.push_back("nested connect"); };
  outer.OnDisconnect = [&](TIdConnectionIntercept*) { calls.push_back("outer disconnect"); };
  nested.OnDisconnect = [&](TIdConnectionIntercept*) { calls.push_back("nested disconnect"); };

  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  client.SetIntercept(&outer);
  ConnectTo(client, peer);
  EXPECT_EQ(outer.Connection(), &client);
  EXPECT_EQ(nested.Connection(), &client);
  client.WriteText("msg");
  EXPECT_EQ(client.ReadAvailable(), "x21");
  client.Disconnect();
  EXPECT_EQ(outer.Connection(), nullptr);
  EXPECT_EQ(nested.Connection(), nullptr);
  EXPECT_EQ(calls, (std::vector<std::string>{"outer connect", "nested connect", "outer send", "nested send",
                                             "nested receive", "outer receive", "nested disconnect",
                                             "outer disconnect"}));
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Received(0), "msg12");
}

TEST(InterceptTest, HearsOfAPeerCloseWhenTheConnectionNoticesIt) {
  LoopbackPeer peer({Script().Send("bye").Close()});
  TIdConnectionIntercept intercept;
  int disconnects = 0;
  intercept.OnDisconnect = [&](TIdConnectionIntercept*) { ++disconnects; };
  TIdTCPClient client;
  client.ReadTimeout = kGuardTimeout;
  client.SetIntercept(&intercept);
  ConnectTo(client, peer);
  EXPECT_EQ(client.ReadAllUntilClosed(), "bye");
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(intercept.Connection(), nullptr);
}

TEST(InterceptTest, AnInterceptDestroyedElsewhereIsForgotten) {
  LoopbackPeer peer({Script().Expect("plain").ExpectClosed()});
  TIdTCPClient client;
  auto intercept = std::make_unique<TIdConnectionIntercept>();
  intercept->OnSend = [](TIdConnectionIntercept*, Stream& s) { Rewrite(s, [](const std::string&) { return "!"; }); };
  client.SetIntercept(intercept.get());
  ConnectTo(client, peer);
  intercept.reset();
  EXPECT_EQ(client.Intercept(), nullptr);
  client.WriteText("plain");
  client.Disconnect();
  ASSERT_TRUE(peer.WaitDone());
  EXPECT_EQ(peer.Received(0), "plain");
}

}  // namespace
}  // namespace kv::test
