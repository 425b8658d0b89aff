#pragma once
// Byte streams with a position: memory streams hold page bodies and buffers,
// file streams let large bodies go to disk without passing through memory,
// and a counting stream takes bodies that nobody keeps.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_store.h"

namespace kv {

enum class SeekOrigin { Beginning, Current, End };

class Stream {
 public:
  virtual ~Stream() = default;

  // Reads up to `count` bytes at the position; returns how many were read.
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes `count` bytes at the position; returns how many were written.
  virtual size_t Write(const void* buffer, size_t count) = 0;
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t Size() const = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() const { return const_cast<Stream*>(this)->Seek(0, SeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::Beginning); }

  // All or nothing: raise EReadError / EWriteError when short.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  void WriteText(std::string_view text) { WriteBuffer(text.data(), text.size()); }

  // Room the stream can make for a write about to come, a hint only.
  virtual void Reserve(int64_t /*total_size*/) {}
};

class MemoryStream : public Stream {
 public:
  // A stream never grows past `max_size` bytes; a write that would make it
  // grow further raises EOutOfResources with `overflow_message`.
  explicit MemoryStream(size_t max_size = SIZE_MAX, std::string overflow_message = "Out of memory while expanding memory stream");

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() const override { return static_cast<int64_t>(bytes_.Size()); }
  void SetSize(int64_t size) override;
  // Pre-sizes for `total_size` bytes, but never for more than the limit.
  void Reserve(int64_t total_size) override;

  const char* Data() const { return bytes_.Data(); }
  std::string_view View() const { return bytes_.View(); }
  // Empties the stream; a large block of memory is given back.
  void Clear();
  size_t MaxSize() const { return max_size_; }

 protected:
  ByteStore& Bytes() { return bytes_; }
  const ByteStore& Bytes() const { return bytes_; }

 private:
  void CheckRoom(size_t size) const;

  ByteStore bytes_;
  size_t position_ = 0;
  size_t max_size_;
  std::string overflow_message_;
};

// A stream that keeps nothing: every byte written is taken and counted.
// Writing moves the position on; a seek from the beginning sets it and any
// other seek moves it by the offset; the size is the position, and setting
// the size sets the position.
class CountingStream : public Stream {
 public:
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() const override { return position_; }
  void SetSize(int64_t size) override { position_ = size; }

 private:
  int64_t position_ = 0;
};

// The stream keeps its own position and the file's size, so that asking
// for either costs no system call: the position moves with every read,
// write and seek; the size is the file's at the open, grows with writes
// past it and is what SetSize makes it. A seek the system refuses (before
// the start, or on a pipe) answers 0 and leaves the position. On a file
// without positions (a pipe, a character device) the position counts the
// bytes read or written.
class FileStream : public Stream {
 public:
  enum class Mode { Create, Read };
  // Create replaces any file of that name. Raises EFCreateError
  // ("Cannot create file "PATH". REASON") or EReadError.
  FileStream(const std::string& path, Mode mode);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() const override;
  void SetSize(int64_t size) override;

  // Closes the file; a failure of the close (data that never reached the
  // disk) raises EWriteError.
  void Close();

 private:
  // After `count` bytes were read or written at the position.
  void Moved(size_t count);

  int fd_ = -1;
  int64_t position_ = 0;
  int64_t size_ = 0;
};

}  // namespace kv
