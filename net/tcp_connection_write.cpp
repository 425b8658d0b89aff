// Writing: the one send path, write buffering, streams and files.

#include <arpa/inet.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <memory>
#include <optional>

#include "net/antifreeze.h"
#include "net/exceptions.h"
#include "net/socket_errors.h"
#include "net/socket_stack.h"
#include "net/tcp_connection.h"

namespace kv {

void TIdTCPConnection::WriteBytes(const void* buffer, int64_t count, bool write_now) {
  if (count <= 0 || !buffer) return;
  // Checked also when the bytes only go into the write buffer, so that a
  // request is not collected for a connection that is already gone.
  CheckPeerClosed(IfClosed::Raise, BufferedBytes::Ignore);
  if (!Connected()) throw EIdNotConnected();
  if (write_now || !write_buffer_) {
    SendNow(buffer, count);
    return;
  }
  write_buffer_->Append(buffer, static_cast<size_t>(count));
  if (write_threshold_ > 0 && write_buffer_->Length() >= static_cast<size_t>(write_threshold_))
    FlushWriteBuffering(write_threshold_);
}

void TIdTCPConnection::SendNow(const void* buffer, int64_t count) {
  const char* data = static_cast<const char*>(buffer);
  size_t size = static_cast<size_t>(count);
  // The intercept may rewrite the bytes, so it gets a copy of its own.
  std::unique_ptr<TIdSimpleBuffer> filtered;
  if (intercept_) {
    filtered = std::make_unique<TIdSimpleBuffer>();
    filtered->Append(data, size);
    filtered->SetPosition(0);
    intercept_->Send(*filtered);
    data = filtered->Memory();
    size = filtered->Length();
  }
  // An intercept that swallowed everything leaves nothing to send; a send
  // of 0 bytes would read as the peer having closed.
  size_t position = 0;
  while (position < size) {
    int piece = static_cast<int>(std::min<size_t>(size - position, INT_MAX));
    int sent = io_handler_->SendSome(data + position, piece);
    TIdAntiFreezeBase::RunAntiFreeze(false);
    peer_closed_ = sent == 0;
    CheckPeerClosed(IfClosed::Raise, BufferedBytes::Count);
    if (CheckTransportResult(sent, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED, Id_WSAECONNRESET}))
      DropAndRaiseSocketError();
    ReportWork(wmWrite, sent);
    position += static_cast<size_t>(std::max(sent, 0));
  }
}

void TIdTCPConnection::WriteText(std::string_view text) {
  if (!text.empty()) WriteBytes(text.data(), static_cast<int64_t>(text.size()), false);
}

void TIdTCPConnection::WriteLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append("\r\n");
  WriteText(line);
}

void TIdTCPConnection::WriteInt32(int32_t value, bool convert) {
  uint32_t bytes = convert ? htonl(static_cast<uint32_t>(value)) : static_cast<uint32_t>(value);
  WriteBytes(&bytes, 4, false);
}

// ---- write buffering ------------------------------------------------------------

void TIdTCPConnection::OpenWriteBuffering(int threshold) {
  // Opening again keeps what is already collected: dropping it would lose
  // part of a request without a word.
  if (!write_buffer_) write_buffer_ = std::make_unique<TIdSimpleBuffer>();
  write_threshold_ = threshold;
}

void TIdTCPConnection::FlushWriteBuffering(int64_t byte_count) {
  if (!write_buffer_ || write_buffer_->Length() == 0) return;
  TIdSimpleBuffer& buffer = *write_buffer_;
  if (byte_count != -1 && byte_count >= 0 && buffer.Length() >= static_cast<size_t>(byte_count)) {
    WriteBytes(buffer.Memory(), byte_count, true);
    buffer.Remove(static_cast<size_t>(byte_count));
  } else {
    WriteBytes(buffer.Memory(), static_cast<int64_t>(buffer.Length()), true);
    buffer.Clear();
  }
}

void TIdTCPConnection::CloseWriteBuffering() {
  try {
    FlushWriteBuffering(-1);
  } catch (...) {
    write_buffer_.reset();
    throw;
  }
  write_buffer_.reset();
}

void TIdTCPConnection::ClearWriteBuffering() {
  if (write_buffer_) write_buffer_->Clear();
}

// ---- streams and files ----------------------------------------------------------

void TIdTCPConnection::WriteFromStream(Stream& stream, StreamFrom from, int64_t byte_count,
                                       ByteCountFirst count_first) {
  if (from == StreamFrom::Start) stream.SetPosition(0);
  int64_t position = stream.Position();
  const int64_t end = byte_count != kToStreamEnd ? position + byte_count : stream.Size();
  const int64_t size = end - position;
  if (count_first == ByteCountFirst::Yes) WriteInt32(static_cast<int32_t>(size), true);
  ReportWorkBegin(wmWrite, size);
  try {
    const size_t block_size = static_cast<size_t>(std::max(SendBufferSize, 1));
    std::unique_ptr<char[]> block(new char[block_size]);
    for (;;) {
      int64_t n = std::min<int64_t>(end - position, static_cast<int64_t>(block_size));
      if (n <= 0) break;
      size_t read = stream.Read(block.get(), static_cast<size_t>(n));
      if (read == 0) throw EIdNoDataToRead();
      WriteBytes(block.get(), static_cast<int64_t>(read), false);
      position += static_cast<int64_t>(read);
    }
  } catch (...) {
    ReportWorkEnd(wmWrite);
    throw;
  }
  ReportWorkEnd(wmWrite);
}

int64_t TIdTCPConnection::WriteFileContents(const std::string& file_name, bool allow_platform_send) {
  std::error_code error;
  if (!std::filesystem::exists(file_name, error)) throw EIdFileNotFound(file_name);
  if (!intercept_ && allow_platform_send && io_handler_ != nullptr) {
    if (const std::optional<int64_t> sent = io_handler_->TransmitWholeFile(file_name)) return *sent;
  }
  FileStream file(file_name, FileStream::Mode::Read);
  WriteFromStream(file);
  return file.Size();
}

}  // namespace kv
