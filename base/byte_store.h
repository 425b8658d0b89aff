#pragma once
// Growable bytes in one block: the storage behind the memory stream and,
// through it, the connection's buffers. The held bytes need not start at
// the beginning of the block: bytes dropped from the front are only
// skipped, and moved out of the way by Pack, or when growing needs the room.

#include <cstddef>
#include <memory>
#include <string_view>

namespace kv {

class ByteStore {
 public:
  ByteStore() = default;
  ByteStore(const ByteStore&) = delete;
  ByteStore& operator=(const ByteStore&) = delete;
  ByteStore(ByteStore&&) noexcept = default;
  ByteStore& operator=(ByteStore&&) noexcept = default;

  // The held bytes.
  size_t Size() const { return size_; }
  char* Data() { return block_.get() + front_; }
  const char* Data() const { return block_.get() + front_; }
  std::string_view View() const { return {Data(), size_}; }
  // Bytes dropped from the front that still take room before Data().
  size_t DroppedFront() const { return front_; }
  // Room in the block, the dropped bytes' included.
  size_t Capacity() const { return capacity_; }

  // Room for `size` held bytes in all, so that growing to it allocates no
  // more; when the block must grow, it grows to exactly that.
  void Reserve(size_t size);
  // Holds `size` bytes; bytes added at the end are zero.
  void Resize(size_t size);
  // Copies `count` bytes in at `at`, growing as needed. A gap between the
  // end and `at` is zeroed, so that no stale bytes show.
  void Write(size_t at, const void* bytes, size_t count);
  // Copies up to `count` bytes out from `at`; returns how many.
  size_t Read(size_t at, void* out, size_t count) const;
  void Append(const void* bytes, size_t count) { Write(size_, bytes, count); }

  // Room for `count` bytes at the end, to be filled in place (a receive
  // straight into the store) and then counted in with CommitAppend, which
  // never counts in more than the block holds.
  char* PrepareAppend(size_t count);
  void CommitAppend(size_t count);

  // Forgets the first `count` held bytes (at most all) without moving the
  // rest; Pack moves the held bytes to the beginning of the block.
  void DropFront(size_t count);
  void Pack();

  // Holds nothing. The block is kept for the next bytes unless it is large
  // (left by a burst): then it is given back.
  void Clear();

 private:
  // Room for `size` held bytes, growing the block at least twofold.
  void MakeRoom(size_t size);
  void Reallocate(size_t capacity);

  std::unique_ptr<char[]> block_;
  size_t capacity_ = 0;
  size_t front_ = 0;  // dropped bytes before the held ones
  size_t size_ = 0;   // held bytes
};

}  // namespace kv
