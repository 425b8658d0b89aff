#include "base/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/exception.h"

namespace kv {

void Stream::ReadBuffer(void* buffer, size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void Stream::WriteBuffer(const void* buffer, size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

// ---- MemoryStream -----------------------------------------------------------

MemoryStream::MemoryStream(size_t max_size, std::string overflow_message)
    : max_size_(max_size), overflow_message_(std::move(overflow_message)) {}

void MemoryStream::CheckRoom(size_t size) const {
  if (size > max_size_) throw EOutOfResources(overflow_message_);
}

size_t MemoryStream::Read(void* buffer, size_t count) {
  const size_t n = bytes_.Read(position_, buffer, count);
  position_ += n;
  return n;
}

size_t MemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (count > max_size_ || position_ > max_size_ - count) throw EOutOfResources(overflow_message_);
  bytes_.Write(position_, buffer, count);
  position_ += count;
  return count;
}

int64_t MemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::Beginning ? 0
               : origin == SeekOrigin::Current   ? static_cast<int64_t>(position_)
                                                 : Size();
  int64_t target = base + offset;
  position_ = target < 0 ? 0 : static_cast<size_t>(target);
  return static_cast<int64_t>(position_);
}

void MemoryStream::SetSize(int64_t size) {
  size_t n = size < 0 ? 0 : static_cast<size_t>(size);
  CheckRoom(n);
  bytes_.Resize(n);
  position_ = std::min(position_, n);
}

void MemoryStream::Reserve(int64_t total_size) {
  if (total_size <= 0) return;
  bytes_.Reserve(std::min(static_cast<size_t>(total_size), max_size_));
}

void MemoryStream::Clear() {
  bytes_.Clear();
  position_ = 0;
}

// ---- CountingStream ---------------------------------------------------------

size_t CountingStream::Read(void*, size_t) { return 0; }

size_t CountingStream::Write(const void*, size_t count) {
  position_ += static_cast<int64_t>(count);
  return count;
}

int64_t CountingStream::Seek(int64_t offset, SeekOrigin origin) {
  position_ = origin == SeekOrigin::Beginning ? offset : position_ + offset;
  return position_;
}

// ---- FileStream -------------------------------------------------------------

FileStream::FileStream(const std::string& path, Mode mode) {
  if (mode == Mode::Create) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      int error = errno;
      std::error_code ec;
      std::string full = std::filesystem::absolute(path, ec).string();
      if (ec) full = path;
      throw EFCreateError("Cannot create file \"" + full + "\". " + std::strerror(error));
    }
  } else {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw EReadError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd_, &st) == 0) size_ = static_cast<int64_t>(st.st_size);
}

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

void FileStream::Close() {
  if (fd_ < 0) return;
  int rc = ::close(fd_);
  fd_ = -1;
  position_ = 0;
  size_ = 0;
  if (rc != 0 && errno != EINTR) throw EWriteError("Stream write error");
}

size_t FileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  Moved(done);
  return done;
}

size_t FileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  Moved(done);
  return done;
}

void FileStream::Moved(size_t count) {
  position_ += static_cast<int64_t>(count);
  // Bytes past the known end: written there, or appended by someone else.
  size_ = std::max(size_, position_);
}

int64_t FileStream::Seek(int64_t offset, SeekOrigin origin) {
  if (fd_ < 0) return 0;
  const int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_ : size_;
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0) return 0;
  // Asking for the position, or for the place it already is, needs no call.
  if (target == position_) return position_;
  const off_t at = ::lseek(fd_, static_cast<off_t>(target), SEEK_SET);
  if (at < 0) return 0;
  // The system's answer: a device may put the position elsewhere.
  position_ = static_cast<int64_t>(at);
  return position_;
}

int64_t FileStream::Size() const { return size_; }

void FileStream::SetSize(int64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw EWriteError("Stream write error");
  size_ = size;
}

}  // namespace kv
