#pragma once
// Output collected into blocks before it goes on to its stream: a run of
// many small bodies costs one write per block instead of one per body.

#include <cstddef>
#include <string>

#include "base/stream.h"

namespace kv::tools {

class BufferedOutput : public CountingStream {
 public:
  static constexpr size_t kBlockSize = 64 * 1024;
  static constexpr size_t kPassThroughSize = 8 * 1024;

  explicit BufferedOutput(Stream& target) : target_(target) {}
  // Whatever is still waiting is dropped: the owner flushes, so that a
  // failure can be reported.
  ~BufferedOutput() override = default;
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  // Collects the bytes of small pieces; larger ones go straight on, after
  // what waits. A failure of the stream behind raises here, also for bytes
  // collected earlier.
  size_t Write(const void* buffer, size_t count) override;
  // Writes out what is waiting; raises what the stream behind raises, and
  // the bytes that failed are dropped.
  void Flush();

 private:
  Stream& target_;
  std::string waiting_;
};

}  // namespace kv::tools
