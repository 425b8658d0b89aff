#include "tools/buffered_output.h"

namespace kv::tools {

size_t BufferedOutput::Write(const void* buffer, size_t count) {
  // A large piece is not worth a copy: it goes on as it is, after what
  // waits.
  if (count >= kPassThroughSize || waiting_.size() + count > kBlockSize) Flush();
  if (count >= kPassThroughSize) {
    target_.WriteBuffer(buffer, count);
  } else {
    if (waiting_.capacity() < kBlockSize) waiting_.reserve(kBlockSize);
    waiting_.append(static_cast<const char*>(buffer), count);
  }
  return CountingStream::Write(buffer, count);
}

void BufferedOutput::Flush() {
  if (waiting_.empty()) return;
  try {
    target_.WriteBuffer(waiting_.data(), waiting_.size());
  } catch (...) {
    // Not tried again: the failure is reported once, by the fetch (or the
    // end of the run) that met it.
    waiting_.clear();
    throw;
  }
  waiting_.clear();
}

}  // namespace kv::tools
