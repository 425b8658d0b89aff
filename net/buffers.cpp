#include "net/buffers.h"

#include <algorithm>
#include <cstring>

#include "net/exceptions.h"

namespace kv {

namespace {
// An emptied buffer keeps its memory up to this size, so that the steady
// receive-and-consume cycle does not allocate each time; a larger block
// (left by a burst) is given back.
constexpr size_t kKeepCapacity = 256 * 1024;
}  // namespace

void TIdSimpleBuffer::Grow(size_t needed) {
  // `needed` counts from the start of the block. Consumed bytes in front
  // are dropped first when that alone makes room.
  if (needed <= capacity_) return;
  if (offset_ > 0 && needed - offset_ <= capacity_) {
    std::memmove(data_.get(), data_.get() + offset_, size_ - offset_);
    size_ -= offset_;
    offset_ = 0;
    return;
  }
  size_t live = size_ - offset_;
  size_t wanted = needed - offset_;
  size_t capacity = std::max({wanted, capacity_ * 2, size_t{4096}});
  std::unique_ptr<char[]> block(new char[capacity]);
  if (live) std::memcpy(block.get(), data_.get() + offset_, live);
  data_ = std::move(block);
  capacity_ = capacity;
  size_ = live;
  offset_ = 0;
}

size_t TIdSimpleBuffer::Read(void* buffer, size_t count) {
  size_t length = Length();
  if (position_ >= length) return 0;
  size_t n = std::min(count, length - position_);
  std::memcpy(buffer, Memory() + position_, n);
  position_ += n;
  return n;
}

size_t TIdSimpleBuffer::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  size_t end = position_ + count;
  if (offset_ + end > capacity_) Grow(offset_ + end);
  // A write after a seek past the end leaves no stale bytes in the gap.
  if (position_ > Length()) std::memset(Memory() + Length(), 0, position_ - Length());
  std::memcpy(Memory() + position_, buffer, count);
  position_ = end;
  if (offset_ + end > size_) size_ = offset_ + end;
  return count;
}

int64_t TIdSimpleBuffer::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::Beginning ? 0
               : origin == SeekOrigin::Current   ? static_cast<int64_t>(position_)
                                                 : static_cast<int64_t>(Length());
  int64_t target = base + offset;
  position_ = target < 0 ? 0 : static_cast<size_t>(target);
  return static_cast<int64_t>(position_);
}

void TIdSimpleBuffer::SetSize(int64_t size) {
  size_t n = size < 0 ? 0 : static_cast<size_t>(size);
  if (offset_ + n > capacity_) Grow(offset_ + n);
  size_ = offset_ + n;
  position_ = std::min(position_, n);
}

void TIdSimpleBuffer::Reserve(int64_t total_size) {
  if (total_size > 0) Grow(offset_ + static_cast<size_t>(total_size));
}

void TIdSimpleBuffer::Append(const void* bytes, size_t count) {
  if (count == 0) return;
  if (size_ + count > capacity_) Grow(size_ + count);
  std::memcpy(data_.get() + size_, bytes, count);
  size_ += count;
}

char* TIdSimpleBuffer::PrepareAppend(size_t count) {
  if (size_ + count > capacity_) Grow(size_ + count);
  return data_.get() + size_;
}

void TIdSimpleBuffer::CommitAppend(size_t count) { size_ = std::min(size_ + count, capacity_); }

void TIdSimpleBuffer::DropFront(size_t count) {
  size_t rest = Length() - count;
  if (rest) std::memmove(data_.get() + offset_, data_.get() + offset_ + count, rest);
  size_ -= count;
  position_ = position_ > count ? position_ - count : 0;
}

void TIdSimpleBuffer::ReleaseIfLarge() {
  if (capacity_ > kKeepCapacity) {
    data_.reset();
    capacity_ = 0;
  }
}

void TIdSimpleBuffer::Remove(size_t count) {
  if (count > Length()) throw EIdNotEnoughDataInBuffer();
  if (count == Length()) {
    Clear();
  } else {
    DropFront(count);
  }
  if (OnRemove) OnRemove(this, static_cast<int64_t>(count));
}

std::string TIdSimpleBuffer::Extract(size_t count) {
  if (count > Length()) throw EIdNotEnoughDataInBuffer();
  std::string bytes(Memory(), count);
  Remove(count);
  return bytes;
}

void TIdSimpleBuffer::Clear() {
  size_ = 0;
  offset_ = 0;
  position_ = 0;
  ReleaseIfLarge();
}

void TIdManagedBuffer::Remove(size_t count) {
  size_t length = Length();
  if (count > length) throw EIdNotEnoughDataInBuffer();
  if (count == length) {
    Clear();
  } else {
    offset_ += count;
    position_ = position_ > count ? position_ - count : 0;
    // Move the unread bytes to the front once enough is consumed, and only
    // when the move is no larger than what was consumed: a large unread
    // rest read in small pieces is then copied a bounded number of times
    // instead of once per piece.
    size_t rest = Length();
    if (offset_ >= kPackThreshold && offset_ >= rest) {
      std::memmove(data_.get(), data_.get() + offset_, rest);
      size_ = rest;
      offset_ = 0;
    }
  }
  if (OnRemove) OnRemove(this, static_cast<int64_t>(count));
}

}  // namespace kv
