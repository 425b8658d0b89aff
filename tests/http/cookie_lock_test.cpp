#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/read_write_lock.h"

namespace kv {
namespace {

using namespace std::chrono_literals;

// Runs `take` on another thread and tells whether it got through while this
// thread still holds what it holds.
class Contender {
 public:
  template <typename Take>
  explicit Contender(Take take) : thread_([this, take] { take(); passed_ = true; }) {}
  bool PassedWithin(std::chrono::milliseconds wait) {
    std::this_thread::sleep_for(wait);
    return passed_;
  }
  bool Finish() {
    thread_.join();
    return passed_;
  }

 private:
  std::atomic<bool> passed_{false};
  std::thread thread_;
};

TEST(CookieIndexLock, TheWriterReentersAndOthersWaitUntilItLetsGoFully) {
  TMultiReadExclusiveWriteSynchronizer lock;
  lock.BeginWrite();
  lock.BeginWrite();  // would wait for itself if not re-entrant
  lock.BeginRead();
  lock.EndRead();
  lock.EndWrite();
  Contender reader([&] {
    lock.BeginRead();
    lock.EndRead();
  });
  EXPECT_FALSE(reader.PassedWithin(50ms));  // the outer write is still held
  lock.EndWrite();
  EXPECT_TRUE(reader.Finish());
}

TEST(CookieIndexLock, ReadersShareAndAWriterWaitsForThem) {
  TMultiReadExclusiveWriteSynchronizer lock;
  lock.BeginRead();
  Contender reader([&] {
    lock.BeginRead();
    lock.EndRead();
  });
  EXPECT_TRUE(reader.Finish());
  Contender writer([&] {
    lock.BeginWrite();
    lock.EndWrite();
  });
  EXPECT_FALSE(writer.PassedWithin(50ms));
  lock.EndRead();
  EXPECT_TRUE(writer.Finish());
}

}  // namespace
}  // namespace kv
