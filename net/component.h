#pragma once
// The roots of the networking components: TIdBaseComponent (an owned
// component) and TIdComponent, which keeps the process's socket stack alive
// while it exists and tells its owner what it is doing through the status
// and work events.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/component.h"

namespace kv {

class TIdBaseComponent : public Component {
 public:
  explicit TIdBaseComponent(Component* owner = nullptr) : Component(owner) {}
};

enum TIdStatus {
  hsResolving = 0,
  hsConnecting = 1,
  hsConnected = 2,
  hsDisconnecting = 3,
  hsDisconnected = 4,
  hsStatusText = 5,
  ftpTransfer = 6,
  ftpReady = 7,
  ftpAborted = 8,
};

enum TWorkMode { wmRead = 0, wmWrite = 1 };

// The fixed text of a status, with "%s" where its argument goes.
std::string_view StatusTemplate(TIdStatus status) noexcept;

using TIdNotifyEvent = std::function<void(Component* Sender)>;
using TIdStatusEvent = std::function<void(Component* ASender, TIdStatus AStatus, const std::string& AStatusText)>;
using TWorkEvent = std::function<void(Component* Sender, TWorkMode AWorkMode, int64_t AWorkCount)>;
using TWorkBeginEvent = std::function<void(Component* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax)>;
using TWorkEndEvent = std::function<void(Component* Sender, TWorkMode AWorkMode)>;

// One run of reading or writing. Counts are 64-bit so that bodies beyond
// 2 GiB count on instead of overflowing.
struct TIdWorkRecord {
  int64_t Current = 0;
  int64_t Max = 0;
  int Level = 0;   // 0: no run open; deeper levels are nested runs
};

class TIdComponent : public TIdBaseComponent {
 public:
  explicit TIdComponent(Component* owner = nullptr);
  ~TIdComponent() override;

  TIdStatusEvent OnStatus;
  TWorkEvent OnWork;
  TWorkBeginEvent OnWorkBegin;
  TWorkEndEvent OnWorkEnd;

  // Calls OnStatus with the status's text formatted with the arguments
  // (none: one empty string). Without a handler nothing happens at all, not
  // even the formatting.
  void ReportStatus(TIdStatus status, std::initializer_list<std::string_view> arguments = {});

  // Only the outermost run of a mode fires OnWorkBegin and OnWorkEnd; nested
  // runs add to its count. OnWork receives the running total; progress
  // outside any run is dropped.
  virtual void ReportWorkBegin(TWorkMode mode, int64_t max);
  virtual void ReportWork(TWorkMode mode, int64_t count);
  virtual void ReportWorkEnd(TWorkMode mode);

  const TIdWorkRecord& WorkInfo(TWorkMode mode) const { return work_[mode]; }

 protected:
  // The text OnStatus receives. A descendant may word its statuses its own
  // way; it is asked only when a handler is attached.
  virtual std::string FormatStatusText(TIdStatus status, std::initializer_list<std::string_view> arguments) const;

 private:
  TIdWorkRecord work_[2];
};

// Fills the "%s" placeholders of a template with the arguments in order; a
// placeholder without an argument becomes empty. Nothing else is read as a
// directive, so arguments with '%' are safe.
std::string FormatPercentS(std::string_view pattern, std::initializer_list<std::string_view> arguments);

}  // namespace kv
