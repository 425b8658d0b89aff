#pragma once
// The connection's byte buffers. TIdSimpleBuffer is a memory stream that
// can also hand out and drop bytes from its front; TIdManagedBuffer, the
// input buffer, drops them by advancing a read offset and only moves the
// rest to the front now and then, so reading a large buffer piece by piece
// does not copy it over and over.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "base/stream.h"

namespace kv {

// As a stream (Read, Write, Seek, Size, SetSize, Reserve) it holds the
// unread bytes: position 0 is the first unread byte. Clear empties it
// without telling OnRemove.
class TIdSimpleBuffer : public MemoryStream {
 public:
  // Told how many bytes Remove (and Extract) took out.
  using RemoveEvent = std::function<void(TIdSimpleBuffer* Sender, int64_t ByteCount)>;

  TIdSimpleBuffer() = default;
  ~TIdSimpleBuffer() override = default;
  TIdSimpleBuffer(const TIdSimpleBuffer&) = delete;
  TIdSimpleBuffer& operator=(const TIdSimpleBuffer&) = delete;

  // Unread bytes, and their memory from the first unread byte on.
  size_t Length() const { return Bytes().Size(); }
  char* Memory() { return Bytes().Data(); }
  const char* Memory() const { return Bytes().Data(); }

  // Appends at the end whatever the position.
  void Append(const void* bytes, size_t count) { Bytes().Append(bytes, count); }
  // Room for `count` bytes at the end, to be filled in place (a receive
  // straight into the buffer) and then counted in with CommitAppend.
  char* PrepareAppend(size_t count) { return Bytes().PrepareAppend(count); }
  void CommitAppend(size_t count) { Bytes().CommitAppend(count); }
  // Takes the first `count` bytes out; more than Length() raises
  // EIdNotEnoughDataInBuffer. Calls OnRemove.
  void Remove(size_t count);
  // The first `count` bytes, taken out.
  std::string Extract(size_t count);

  RemoveEvent OnRemove;

 protected:
  // Whether the unread bytes move to the front of the memory as soon as
  // bytes are taken out in front of them.
  virtual bool PackAfterRemove() const { return true; }
};

class TIdManagedBuffer : public TIdSimpleBuffer {
 public:
  // Consumed bytes are moved out of the way once at least this many have
  // accumulated.
  static constexpr size_t kPackThreshold = 32768;

  // Bytes already consumed but still in front of the unread ones.
  size_t ReadOffset() const { return Bytes().DroppedFront(); }

 protected:
  bool PackAfterRemove() const override;
};

}  // namespace kv
