#include "net/buffers.h"

#include "net/exceptions.h"

namespace kv {

void TIdSimpleBuffer::Remove(size_t count) {
  const size_t length = Length();
  if (count > length) throw EIdNotEnoughDataInBuffer();
  if (count == length) {
    Clear();
  } else {
    Bytes().DropFront(count);
    // The stream position keeps to the byte it was on, or to the first.
    Seek(-static_cast<int64_t>(count), SeekOrigin::Current);
    if (PackAfterRemove()) Bytes().Pack();
  }
  if (OnRemove) OnRemove(this, static_cast<int64_t>(count));
}

std::string TIdSimpleBuffer::Extract(size_t count) {
  if (count > Length()) throw EIdNotEnoughDataInBuffer();
  std::string bytes(Memory(), count);
  Remove(count);
  return bytes;
}

bool TIdManagedBuffer::PackAfterRemove() const {
  // Move the unread bytes to the front once enough is consumed, and only
  // when the move is no larger than what was consumed: a large unread rest
  // read in small pieces is then copied a bounded number of times instead
  // of once per piece.
  const size_t consumed = ReadOffset();
  return consumed >= kPackThreshold && consumed >= Length();
}

}  // namespace kv
