#pragma once
// A reader/writer lock: many readers at once, or one writer. The writer may
// take the lock again (and read under it) without waiting for itself, so
// that code running under the write lock can call code that takes it too.
// A thread that holds only the read lock must not ask for the write lock:
// it would wait for itself.

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kv {

class TMultiReadExclusiveWriteSynchronizer {
 public:
  TMultiReadExclusiveWriteSynchronizer() = default;
  TMultiReadExclusiveWriteSynchronizer(const TMultiReadExclusiveWriteSynchronizer&) = delete;
  TMultiReadExclusiveWriteSynchronizer& operator=(const TMultiReadExclusiveWriteSynchronizer&) = delete;

  void BeginRead();
  void EndRead();
  void BeginWrite();
  void EndWrite();

 private:
  bool HeldByThisWriter() const { return write_depth_ > 0 && writer_ == std::this_thread::get_id(); }

  std::mutex mutex_;
  std::condition_variable released_;
  int readers_ = 0;
  std::thread::id writer_;
  int write_depth_ = 0;
  int writer_reads_ = 0;  // reads taken by the writer under its own lock
};

}  // namespace kv
