#include "net/component.h"

#include "net/socket_stack.h"

namespace kv {

std::string_view StatusTemplate(TIdStatus status) noexcept {
  switch (status) {
    case hsResolving: return "Resolving hostname %s.";
    case hsConnecting: return "Connecting to %s.";
    case hsConnected: return "Connected.";
    case hsDisconnecting: return "Disconnecting.";
    case hsDisconnected: return "Disconnected.";
    case hsStatusText:
    case ftpTransfer:
    case ftpReady:
    case ftpAborted: return "%s";
  }
  return "%s";
}

std::string FormatPercentS(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
  std::string text;
  text.reserve(pattern.size());
  auto next = arguments.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
      if (next != arguments.end()) text += *next++;
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

TIdComponent::TIdComponent(Component* owner) : TIdBaseComponent(owner) { IdStackAcquire(); }

TIdComponent::~TIdComponent() { IdStackRelease(); }

void TIdComponent::ReportStatus(TIdStatus status, std::initializer_list<std::string_view> arguments) {
  if (!OnStatus) return;
  OnStatus(this, status, FormatStatusText(status, arguments));
}

std::string TIdComponent::FormatStatusText(TIdStatus status, std::initializer_list<std::string_view> arguments) const {
  if (arguments.size() == 0) return FormatPercentS(StatusTemplate(status), {std::string_view()});
  return FormatPercentS(StatusTemplate(status), arguments);
}

void TIdComponent::ReportWorkBegin(TWorkMode mode, int64_t max) {
  TIdWorkRecord& work = work_[mode];
  if (++work.Level == 1) {
    work.Max = max;
    work.Current = 0;
    if (OnWorkBegin) OnWorkBegin(this, mode, max);
  }
}

void TIdComponent::ReportWork(TWorkMode mode, int64_t count) {
  TIdWorkRecord& work = work_[mode];
  if (work.Level < 1) return;
  work.Current += count;
  if (OnWork) OnWork(this, mode, work.Current);
}

void TIdComponent::ReportWorkEnd(TWorkMode mode) {
  TIdWorkRecord& work = work_[mode];
  // An end without a begin leaves the level at 0 instead of going negative,
  // which would silence the next run's events.
  if (work.Level <= 0) return;
  if (work.Level == 1 && OnWorkEnd) OnWorkEnd(this, mode);
  --work.Level;
}

}  // namespace kv
