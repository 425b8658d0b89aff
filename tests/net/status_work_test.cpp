// Status and work events of the networking components, and the
// anti-freeze hook.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/stream.h"
#include "net/antifreeze.h"
#include "net/exceptions.h"
#include "net/component.h"
#include "net/socket_stack.h"
#include "net/tcp_client.h"
#include "tests/net/stack_listener.h"

namespace kv {
namespace {

// Counts how often the status text is made.
class CountingComponent : public TIdComponent {
 public:
  mutable int formatted = 0;

 protected:
  std::string FormatStatusText(TIdStatus status, std::initializer_list<std::string_view> arguments) const override {
    ++formatted;
    return TIdComponent::FormatStatusText(status, arguments);
  }
};

// Work events as lines: "begin read 10", "work read 4", "end read".
struct WorkLog {
  std::vector<std::string> lines;
  void Attach(TIdComponent& component) {
    auto mode = [](TWorkMode m) { return m == wmRead ? std::string("read") : std::string("write"); };
    component.OnWorkBegin = [this, mode](Component*, TWorkMode m, int64_t max) {
      lines.push_back("begin " + mode(m) + " " + std::to_string(max));
    };
    component.OnWork = [this, mode](Component*, TWorkMode m, int64_t count) {
      lines.push_back("work " + mode(m) + " " + std::to_string(count));
    };
    component.OnWorkEnd = [this, mode](Component*, TWorkMode m) { lines.push_back("end " + mode(m)); };
  }
};

using Lines = std::vector<std::string>;

TEST(StatusReports, TextsFilledWithTheirArguments) {
  TIdComponent component;
  std::vector<std::pair<TIdStatus, std::string>> seen;
  component.OnStatus = [&](Component* sender, TIdStatus status, const std::string& text) {
    EXPECT_EQ(sender, &component);
    seen.emplace_back(status, text);
  };
  struct Case {
    TIdStatus status;
    std::vector<std::string> arguments;
    const char* text;
  } cases[] = {
      {hsResolving, {"example.test"}, "Resolving hostname example.test."},
      {hsConnecting, {"127.0.0.1"}, "Connecting to 127.0.0.1."},
      {hsConnected, {"example.test"}, "Connected."},   // the argument has no place in the text
      {hsDisconnecting, {}, "Disconnecting."},
      {hsDisconnected, {}, "Disconnected."},
      {hsStatusText, {"Chunk Started"}, "Chunk Started"},
      {hsStatusText, {}, ""},                        // no arguments: one empty string
      {hsResolving, {}, "Resolving hostname ."},
      {ftpTransfer, {"100%s %d"}, "100%s %d"},       // arguments are never read as directives
      {ftpAborted, {"a", "b"}, "a"},
  };
  for (const Case& c : cases) {
    seen.clear();
    std::vector<std::string_view> views(c.arguments.begin(), c.arguments.end());
    if (views.empty())
      component.ReportStatus(c.status);
    else if (views.size() == 1)
      component.ReportStatus(c.status, {views[0]});
    else
      component.ReportStatus(c.status, {views[0], views[1]});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, c.status);
    EXPECT_EQ(seen[0].second, c.text);
  }
}

TEST(StatusReports, WithoutAHandlerNothingIsFormatted) {
  CountingComponent component;
  component.ReportStatus(hsResolving, {"host"});
  component.ReportStatus(hsDisconnected);
  EXPECT_EQ(component.formatted, 0);
  component.OnStatus = [](Component*, TIdStatus, const std::string&) {};
  component.ReportStatus(hsDisconnected);
  EXPECT_EQ(component.formatted, 1);
}

TEST(WorkEvents, NestedRunsFireOnceAndCountIntoTheOuterRun) {
  TIdComponent component;
  WorkLog log;
  log.Attach(component);
  component.ReportWork(wmRead, 5);   // outside any run: dropped
  EXPECT_EQ(component.WorkInfo(wmRead).Current, 0);

  component.ReportWorkBegin(wmRead, 100);
  component.ReportWork(wmRead, 10);
  component.ReportWorkBegin(wmRead, 7);   // nested: silent, its maximum ignored
  component.ReportWork(wmRead, 5);
  component.ReportWork(wmWrite, 3);       // the other mode has no run open
  component.ReportWorkEnd(wmRead);        // inner end: silent
  component.ReportWork(wmRead, 1);
  EXPECT_EQ(component.WorkInfo(wmRead).Max, 100);
  EXPECT_EQ(component.WorkInfo(wmRead).Level, 1);
  component.ReportWorkEnd(wmRead);
  EXPECT_EQ(log.lines, (Lines{"begin read 100", "work read 10", "work read 15", "work read 16", "end read"}));
  EXPECT_EQ(component.WorkInfo(wmRead).Level, 0);

  // A new run starts counting from 0, and an unmatched end does not
  // disturb it.
  log.lines.clear();
  component.ReportWorkEnd(wmWrite);
  component.ReportWorkBegin(wmWrite, 0);
  component.ReportWork(wmWrite, 2);
  component.ReportWorkEnd(wmWrite);
  EXPECT_EQ(log.lines, (Lines{"begin write 0", "work write 2", "end write"}));
}

TEST(WorkEvents, CountsBeyond2GiBDoNotWrap) {
  TIdComponent component;
  int64_t last = 0;
  component.OnWork = [&](Component*, TWorkMode, int64_t count) { last = count; };
  component.ReportWorkBegin(wmRead, 0);
  for (int i = 0; i < 3; ++i) component.ReportWork(wmRead, int64_t{1} << 30);
  EXPECT_EQ(last, int64_t{3} << 30);
}

// Read progress counts bytes handed to the caller, taken out of the input
// buffer, not bytes received; bytes already buffered need no socket.
TEST(WorkEvents, ReadProgressCountsRemovalsFromTheInputBuffer) {
  TIdTCPConnection connection;
  WorkLog log;
  log.Attach(connection);
  connection.InputBuffer().Append("line one\r\nrest of it", 20);

  EXPECT_EQ(connection.ReadLn(), "line one");
  EXPECT_TRUE(log.lines.empty()) << "no run open: no events";

  MemoryStream body;
  connection.ReadToStream(body, 10);
  EXPECT_EQ(body.View(), "rest of it");
  EXPECT_EQ(log.lines, (Lines{"begin read 10", "work read 10", "end read"}));

  // Inside a caller's run a line counts with its terminator.
  log.lines.clear();
  connection.InputBuffer().Append("ab\r\n", 4);
  connection.ReportWorkBegin(wmRead, 0);
  connection.ReadLn();
  connection.ReportWorkEnd(wmRead);
  EXPECT_EQ(log.lines, (Lines{"begin read 0", "work read 4", "end read"}));
}

TEST(WorkEvents, WritesOutsideAConnectionRaiseAndCloseTheirRun) {
  TIdTCPConnection connection;
  WorkLog log;
  log.Attach(connection);
  MemoryStream source;
  source.WriteText("payload");
  EXPECT_ANY_THROW(connection.WriteFromStream(source));
  EXPECT_EQ(log.lines, (Lines{"begin write 7", "end write"}));
  EXPECT_EQ(connection.WorkInfo(wmWrite).Level, 0);
}

// ---- status of a real connect ------------------------------------------------------

TEST(StatusReports, ConnectAndDisconnectReportInOrder) {
  StackListener listener;
  struct Case {
    const char* host;
    Lines expected;
  } cases[] = {
      {"LocalHost",
       {"Resolving hostname LocalHost.", "Connecting to 127.0.0.1.", "Connected.", "Disconnecting.", "OnDisconnected",
        "Disconnected."}},
      {"127.0.0.1", {"Connecting to 127.0.0.1.", "Connected.", "Disconnecting.", "OnDisconnected", "Disconnected."}},
  };
  for (const Case& c : cases) {
    TIdTCPClient client;
    Lines seen;
    client.OnStatus = [&](Component*, TIdStatus, const std::string& text) { seen.push_back(text); };
    client.OnDisconnected = [&](Component*) { seen.push_back("OnDisconnected"); };
    client.SetHost(c.host);
    client.SetPort(listener.Port());
    client.Connect();
    client.Disconnect();
    EXPECT_EQ(seen, c.expected) << c.host;
  }
}

// ---- anti-freeze -------------------------------------------------------------------

class CountingAntiFreeze : public TIdAntiFreezeBase {
 public:
  std::atomic<int> calls{0};
  void ProcessPending() override { ++calls; }
};

TEST(AntiFreeze, RunsOnlyOnTheMainThreadWhenActiveAndAsAsked) {
  EXPECT_FALSE(TIdAntiFreezeBase::AntiFreezeInUse()) << "none exists";
  {
    CountingAntiFreeze anti_freeze;
    EXPECT_EQ(TIdAntiFreezeBase::Current(), &anti_freeze);
    EXPECT_TRUE(TIdAntiFreezeBase::AntiFreezeInUse());

    TIdAntiFreezeBase::RunAntiFreeze(false);   // not idle, and only idle runs count
    EXPECT_EQ(anti_freeze.calls, 0);
    TIdAntiFreezeBase::RunAntiFreeze(false, true);
    TIdAntiFreezeBase::RunAntiFreeze(true);
    EXPECT_EQ(anti_freeze.calls, 2);
    anti_freeze.OnlyWhenIdle = false;
    TIdAntiFreezeBase::RunAntiFreeze(false);
    EXPECT_EQ(anti_freeze.calls, 3);

    std::thread([] {
      EXPECT_FALSE(TIdAntiFreezeBase::AntiFreezeInUse());
      TIdAntiFreezeBase::RunAntiFreeze(true, true);
    }).join();
    EXPECT_EQ(anti_freeze.calls, 3) << "a background thread ran the application";

    anti_freeze.Active = false;
    EXPECT_FALSE(TIdAntiFreezeBase::AntiFreezeInUse());
    TIdAntiFreezeBase::RunAntiFreeze(true, true);
    EXPECT_EQ(anti_freeze.calls, 3);
  }
  EXPECT_EQ(TIdAntiFreezeBase::Current(), nullptr);
}

TEST(AntiFreeze, ServesTheApplicationWhileAReadWaits) {
  StackListener listener;
  CountingAntiFreeze anti_freeze;
  anti_freeze.IdleTimeOut = 20;
  TIdTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(listener.Port());
  client.Connect();   // the listener's backlog takes the connect; nobody ever sends
  const int before = anti_freeze.calls;
  client.ReadTimeout = 150;
  EXPECT_THROW(client.ReadLn(), EIdReadTimeout);
  // One wait of 130 ms, then one of 20 ms, each followed by an idle run.
  EXPECT_GE(anti_freeze.calls - before, 2);
  client.Disconnect();
}

}  // namespace
}  // namespace kv
