#pragma once
// The anti-freeze: a process-wide hook through which a windowed program can
// handle its pending work while a network call blocks its main thread. The
// windowing layer derives a concrete one; the connection calls it after
// each readability wait, after each send and in each step of a timed
// connect. Creating one makes it the process's current anti-freeze.

#include "net/component.h"

namespace kv {

class TIdAntiFreezeBase : public TIdBaseComponent {
 public:
  explicit TIdAntiFreezeBase(Component* owner = nullptr);
  ~TIdAntiFreezeBase() override;

  bool Active = true;
  bool ApplicationHasPriority = true;
  int IdleTimeOut = 250;   // milliseconds
  bool OnlyWhenIdle = true;

  // Lets the application handle what is pending.
  virtual void ProcessPending() = 0;

  // The current anti-freeze, or null.
  static TIdAntiFreezeBase* Current();
  // True when an anti-freeze exists, is active, and the caller runs on the
  // program's main thread (background threads never run the application).
  static bool AntiFreezeInUse();
  static void RunAntiFreeze(bool idle, bool forced = false);
  // The wait slice of blocking calls while an anti-freeze is in use.
  static int IdleTimeOutOrDefault(int fallback);
};

}  // namespace kv
