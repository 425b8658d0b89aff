#include "base/byte_store.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

// The smallest block worth allocating.
constexpr size_t kMinimumCapacity = 4096;

// An emptied store keeps its block up to this size, so that a steady
// fill-and-empty cycle does not allocate each time.
constexpr size_t kKeepCapacity = 256 * 1024;

}  // namespace

void ByteStore::Reallocate(size_t capacity) {
  std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ > 0) std::memcpy(block.get(), Data(), size_);
  block_ = std::move(block);
  capacity_ = capacity;
  front_ = 0;
}

void ByteStore::Reserve(size_t size) {
  if (front_ + size <= capacity_) return;
  // Dropped bytes in front are given up first when that alone makes room.
  if (size <= capacity_) {
    Pack();
  } else {
    Reallocate(size);
  }
}

void ByteStore::MakeRoom(size_t size) {
  // Growing at least twofold copies bytes added piece by piece a bounded
  // number of times in all.
  if (size > capacity_) size = std::max({size, capacity_ * 2, kMinimumCapacity});
  Reserve(size);
}

void ByteStore::Resize(size_t size) {
  if (size > size_) {
    MakeRoom(size);
    std::memset(Data() + size_, 0, size - size_);
  }
  size_ = size;
}

void ByteStore::Write(size_t at, const void* bytes, size_t count) {
  if (count == 0) return;
  const size_t end = at + count;
  MakeRoom(end);
  if (at > size_) std::memset(Data() + size_, 0, at - size_);
  std::memcpy(Data() + at, bytes, count);
  size_ = std::max(size_, end);
}

size_t ByteStore::Read(size_t at, void* out, size_t count) const {
  if (at >= size_) return 0;
  const size_t n = std::min(count, size_ - at);
  std::memcpy(out, Data() + at, n);
  return n;
}

char* ByteStore::PrepareAppend(size_t count) {
  MakeRoom(size_ + count);
  return Data() + size_;
}

void ByteStore::CommitAppend(size_t count) { size_ = std::min(size_ + count, capacity_ - front_); }

void ByteStore::DropFront(size_t count) {
  count = std::min(count, size_);
  front_ += count;
  size_ -= count;
}

void ByteStore::Pack() {
  if (front_ == 0) return;
  if (size_ > 0) std::memmove(block_.get(), Data(), size_);
  front_ = 0;
}

void ByteStore::Clear() {
  size_ = 0;
  front_ = 0;
  if (capacity_ > kKeepCapacity) {
    block_.reset();
    capacity_ = 0;
  }
}

}  // namespace kv
