#include "net/antifreeze.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace kv {

namespace {

std::atomic<TIdAntiFreezeBase*> g_anti_freeze{nullptr};

// The program's main thread is the one whose thread id is the process id.
bool OnMainThread() { return static_cast<pid_t>(::syscall(SYS_gettid)) == ::getpid(); }

}  // namespace

TIdAntiFreezeBase::TIdAntiFreezeBase(Component* owner) : TIdBaseComponent(owner) { g_anti_freeze.store(this); }

// The process has one anti-freeze at a time; any of them going away ends
// the hook.
TIdAntiFreezeBase::~TIdAntiFreezeBase() { g_anti_freeze.store(nullptr); }

TIdAntiFreezeBase* TIdAntiFreezeBase::Current() { return g_anti_freeze.load(); }

bool TIdAntiFreezeBase::AntiFreezeInUse() {
  TIdAntiFreezeBase* current = Current();
  return current && OnMainThread() && current->Active;
}

void TIdAntiFreezeBase::RunAntiFreeze(bool idle, bool forced) {
  if (!AntiFreezeInUse()) return;
  TIdAntiFreezeBase* current = Current();
  if ((idle || !current->OnlyWhenIdle || forced) && current->Active) current->ProcessPending();
}

int TIdAntiFreezeBase::IdleTimeOutOrDefault(int fallback) {
  TIdAntiFreezeBase* current = Current();
  return current && current->IdleTimeOut > 0 ? current->IdleTimeOut : fallback;
}

}  // namespace kv
