#pragma once
// The connection's byte buffers. TIdSimpleBuffer is a growable in-memory
// stream that can hand out and drop bytes from its front; TIdManagedBuffer,
// the input buffer, drops them by advancing a read offset and only moves
// the rest to the front now and then, so reading a large buffer piece by
// piece does not copy it over and over.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/stream.h"

namespace kv {

class TIdSimpleBuffer : public Stream {
 public:
  // Told how many bytes Remove (and Extract) took out.
  using RemoveEvent = std::function<void(TIdSimpleBuffer* Sender, int64_t ByteCount)>;

  TIdSimpleBuffer() = default;
  ~TIdSimpleBuffer() override = default;
  TIdSimpleBuffer(const TIdSimpleBuffer&) = delete;
  TIdSimpleBuffer& operator=(const TIdSimpleBuffer&) = delete;

  // Stream view: the bytes from the read offset on.
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() const override { return static_cast<int64_t>(Length()); }
  void SetSize(int64_t size) override;
  void Reserve(int64_t total_size) override;

  // Unread bytes, and their memory from the first unread byte on.
  size_t Length() const { return size_ - offset_; }
  char* Memory() { return data_.get() + offset_; }
  const char* Memory() const { return data_.get() + offset_; }
  std::string_view View() const { return {Memory(), Length()}; }

  // Appends at the end whatever the position.
  void Append(const void* bytes, size_t count);
  // Room for `count` bytes at the end, to be filled in place (a receive
  // straight into the buffer) and then counted in with CommitAppend.
  char* PrepareAppend(size_t count);
  void CommitAppend(size_t count);
  // Takes the first `count` bytes out; more than Length() raises
  // EIdNotEnoughDataInBuffer. Calls OnRemove.
  virtual void Remove(size_t count);
  // The first `count` bytes, taken out.
  std::string Extract(size_t count);
  // Empties the buffer without telling OnRemove.
  void Clear();

  RemoveEvent OnRemove;

 protected:
  void DropFront(size_t count);   // moves the rest to the front
  void ReleaseIfLarge();

  std::unique_ptr<char[]> data_;
  size_t capacity_ = 0;
  size_t size_ = 0;      // bytes held, read offset included
  size_t offset_ = 0;    // bytes already taken out (managed buffer only)
  size_t position_ = 0;  // stream position, counted from the read offset

 private:
  void Grow(size_t needed);
};

class TIdManagedBuffer : public TIdSimpleBuffer {
 public:
  // Consumed bytes are moved out of the way once at least this many have
  // accumulated.
  static constexpr size_t kPackThreshold = 32768;

  void Remove(size_t count) override;
  // Bytes already consumed but still in front of the unread ones.
  size_t ReadOffset() const { return offset_; }
};

}  // namespace kv
