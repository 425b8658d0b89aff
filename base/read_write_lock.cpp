#include "base/read_write_lock.h"

namespace kv {

void TMultiReadExclusiveWriteSynchronizer::BeginRead() {
  std::unique_lock lock(mutex_);
  if (HeldByThisWriter()) {
    ++writer_reads_;
    return;
  }
  released_.wait(lock, [this] { return write_depth_ == 0; });
  ++readers_;
}

void TMultiReadExclusiveWriteSynchronizer::EndRead() {
  std::lock_guard lock(mutex_);
  if (HeldByThisWriter() && writer_reads_ > 0) {
    --writer_reads_;
    return;
  }
  if (readers_ > 0 && --readers_ == 0) released_.notify_all();
}

void TMultiReadExclusiveWriteSynchronizer::BeginWrite() {
  std::unique_lock lock(mutex_);
  if (HeldByThisWriter()) {
    ++write_depth_;
    return;
  }
  released_.wait(lock, [this] { return write_depth_ == 0 && readers_ == 0; });
  writer_ = std::this_thread::get_id();
  write_depth_ = 1;
}

void TMultiReadExclusiveWriteSynchronizer::EndWrite() {
  std::lock_guard lock(mutex_);
  if (!HeldByThisWriter()) return;
  if (--write_depth_ == 0) {
    writer_ = std::thread::id();
    writer_reads_ = 0;
    released_.notify_all();
  }
}

}  // namespace kv
