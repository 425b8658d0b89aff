#pragma once
// The short-lived thread of a connect with a time limit. It performs the
// one blocking connect of a binding; the caller's thread polls Finished()
// and calls Terminate() when the time is up, which breaks the connect off.

#include <atomic>
#include <string>
#include <thread>

namespace kv {

class TIdSocketHandle;

class TIdConnectThread {
 public:
  // Created suspended: nothing runs before Start().
  explicit TIdConnectThread(TIdSocketHandle* binding);
  ~TIdConnectThread();   // terminates and waits for the thread
  TIdConnectThread(const TIdConnectThread&) = delete;
  TIdConnectThread& operator=(const TIdConnectThread&) = delete;

  void Start();
  // Asks the connect to stop; it ends soon after without a connection.
  void Terminate();
  void WaitFor();
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
  // The failed connect's message; empty when it succeeded or was stopped.
  // Read it only once Finished() is true.
  const std::string& ErrorText() const { return error_text_; }

 private:
  void Execute();
  int ConnectInterruptibly();

  TIdSocketHandle* binding_;
  std::thread thread_;
  std::string error_text_;
  std::atomic<bool> finished_{false};
  std::atomic<bool> terminated_{false};
  int wake_read_ = -1;    // a pipe that wakes the thread's wait on Terminate
  int wake_write_ = -1;
};

}  // namespace kv
