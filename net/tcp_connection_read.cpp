// Reading: lines, exact counts, bodies into streams, and numeric replies.
// Every read takes its bytes from the input buffer and refills it through
// FillInputBuffer only when it holds too few.

#include <arpa/inet.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/text.h"
#include "base/text_tokens.h"
#include "net/exceptions.h"
#include "net/line_reader.h"
#include "net/socket_stack.h"
#include "net/tcp_connection.h"

namespace kv {

namespace {

// Bodies announce their length before a byte of them arrives; a stream is
// prepared for at most this much up front and grows as the data comes.
constexpr int64_t kMaxPresize = int64_t{64} * 1024 * 1024;

}  // namespace

std::string TIdTCPConnection::ReadLn(std::string_view terminator, int timeout, int max_length) {
  std::string line;
  ReadLnInto(line, terminator, timeout, max_length);
  return line;
}

void TIdTCPConnection::ReadLnInto(std::string& line, std::string_view terminator, int timeout, int max_length) {
  line.clear();
  last_line_split_ = false;
  last_line_timed_out_ = false;
  TLineReader reader(terminator, max_length == -1 ? MaxLineLength : max_length);
  TLineFound found = reader.Next(input_buffer_->View());
  while (found.kind == TLineFound::Kind::kIncomplete) {
    CheckPeerClosed(IfClosed::Raise, BufferedBytes::Ignore);
    const TIdReceiveResult received =
        FillInputBuffer(IfClosed::Raise, timeout, timeout == IdTimeoutDefault ? IfTimedOut::Raise : IfTimedOut::Return);
    // A close ends the attempt; so does an explicit time limit running out,
    // since waiting on after it would make the limit meaningless.
    if (received.kind != TIdReceiveResult::Kind::kBytes) {
      last_line_timed_out_ = true;
      return;
    }
    found = reader.Next(input_buffer_->View());
  }
  if (found.kind == TLineFound::Kind::kTooLong) {
    if (MaxLineAction == maException) throw EIdReadLnMaxLineLengthExceeded();
    last_line_split_ = true;
  }
  line.assign(found.line);
  input_buffer_->Remove(found.used);
}

void TIdTCPConnection::DropTakenLines(size_t count) {
  if (count == 0) return;
  last_line_split_ = false;
  last_line_timed_out_ = false;
  input_buffer_->Remove(count);
}

std::string TIdTCPConnection::ReadLnSkipEmpty(int tries) {
  std::string line;
  for (int i = 0; i < tries && line.empty(); ++i) line = Trim(ReadLn());
  return line;
}

void TIdTCPConnection::ReadExact(void* buffer, int64_t count) {
  if (count <= 0 || !buffer) return;
  const size_t wanted = static_cast<size_t>(count);
  while (input_buffer_->Length() < wanted) {
    FillInputBuffer(IfClosed::Raise, IdTimeoutDefault, IfTimedOut::Raise);
    CheckPeerClosed(IfClosed::Raise, BufferedBytes::Ignore);
  }
  std::memcpy(buffer, input_buffer_->Memory(), wanted);
  input_buffer_->Remove(wanted);
}

int32_t TIdTCPConnection::ReadInt32(bool convert) {
  uint32_t value = 0;
  ReadExact(&value, 4);
  return static_cast<int32_t>(convert ? ntohl(value) : value);
}

void TIdTCPConnection::ReadToStream(Stream& stream, int64_t byte_count, ReadUntil until) {
  const bool read_until_closed = until == ReadUntil::Closed;
  if (byte_count == kLengthFirst && !read_until_closed) byte_count = ReadInt32(true);
  if (byte_count > 0) {
    // Room for the body in one go, but never more than the cap before the
    // bytes are actually there: a hostile length costs nothing.
    stream.Reserve(stream.Position() + std::min(byte_count, kMaxPresize));
  }
  ReportWorkBegin(wmRead, read_until_closed ? 0 : byte_count);
  auto finish = [&] {
    ReportWorkEnd(wmRead);
    // Whatever lies past the bytes written is cut off.
    if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
  };
  try {
    // Until the peer closes there is no count to stop at (not even 2 GiB).
    MovePiecesToStream(stream, read_until_closed ? INT64_MAX : byte_count, until);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TIdTCPConnection::MovePiecesToStream(Stream& stream, int64_t remaining, ReadUntil until) {
  const size_t buffered = input_buffer_->Length();
  // Bytes already buffered go out with the rest of the first piece, in
  // one write, unless no more are needed or can come.
  if (buffered > 0 && remaining > 0 && (static_cast<int64_t>(buffered) >= remaining || !Connected())) {
    const size_t first = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(buffered), remaining));
    MoveBufferedToStream(stream, first);
    remaining -= static_cast<int64_t>(first);
  }
  const int64_t chunk = std::min<int64_t>(remaining, std::max(RecvBufferSize, 1));
  while (remaining > 0 && Connected()) {
    // One chunk at a time, written from the input buffer straight into
    // the stream once the whole chunk is there.
    const size_t piece = BufferPiece(stream, static_cast<size_t>(std::min(remaining, chunk)), until);
    MoveBufferedToStream(stream, piece);
    remaining -= static_cast<int64_t>(piece);
  }
}

size_t TIdTCPConnection::BufferPiece(Stream& stream, size_t piece, ReadUntil until) {
  try {
    while (input_buffer_->Length() < piece) {
      FillInputBuffer(IfClosed::Raise, IdTimeoutDefault, IfTimedOut::Raise);
      CheckPeerClosed(IfClosed::Raise, BufferedBytes::Ignore);
    }
    return piece;
  } catch (const EIdConnClosedGracefully&) {
    if (until == ReadUntil::Closed) return input_buffer_->Length();
    // A body cut short by the peer keeps every byte that did arrive; the
    // caller still learns of the close.
    MoveBufferedToStream(stream, input_buffer_->Length());
    throw;
  }
}

void TIdTCPConnection::MoveBufferedToStream(Stream& stream, size_t count) {
  if (count == 0) return;
  stream.WriteBuffer(input_buffer_->Memory(), count);
  input_buffer_->Remove(count);
}

std::string TIdTCPConnection::ReadAvailable() {
  if (Connected()) FillInputBuffer(IfClosed::Return, IdTimeoutDefault, IfTimedOut::Raise);
  if (input_buffer_->Length() == 0) return {};
  return input_buffer_->Extract(input_buffer_->Length());
}

std::string TIdTCPConnection::ReadAllUntilClosed() {
  std::string result;
  ReportWorkBegin(wmRead, 0);
  try {
    while (Connected()) result += ReadAvailable();
    // Bytes that arrived before an already noticed close are part of what
    // the peer sent.
    if (input_buffer_->Length() > 0) result += input_buffer_->Extract(input_buffer_->Length());
  } catch (...) {
    ReportWorkEnd(wmRead);
    throw;
  }
  ReportWorkEnd(wmRead);
  return result;
}

// ---- numeric replies ------------------------------------------------------------

int TIdTCPConnection::CheckReplyCode(int code, const std::vector<int>& allowed) {
  if (allowed.empty()) return code;
  for (int candidate : allowed)
    if (static_cast<int16_t>(candidate) == static_cast<int16_t>(code)) return code;
  RaiseReplyError();
  return code;   // not reached: RaiseReplyError always raises
}

void TIdTCPConnection::RaiseReplyError() {
  std::string message;
  for (const std::string& line : last_reply_->Text) message += line + "\r\n";
  throw EIdProtocolReplyError(last_reply_->NumericCode(), message);
}

int TIdTCPConnection::ReadReply(const std::vector<int>& allowed) {
  std::vector<std::string> lines;
  lines.push_back(ReadLnSkipEmpty(INT_MAX));
  const std::string& first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    // "NNN-" continues until a line that starts "NNN " (or is too short).
    const std::string end_marker = first.substr(0, 3) + " ";
    for (;;) {
      lines.push_back(ReadLnSkipEmpty(INT_MAX));
      const std::string& line = lines.back();
      if (line.size() < 4 || SameTextAscii(std::string_view(line).substr(0, 4), end_marker)) break;
    }
  }
  last_reply_->Clear();
  std::string code = Trim(Copy(lines.front(), 1, 4));
  if (code.size() == 4 && code[3] == '-') code.resize(3);
  last_reply_->SetTextCode(code);
  for (const std::string& line : lines) last_reply_->Text.push_back(Copy(line, 5, static_cast<long>(line.size())));
  return CheckReplyCode(last_reply_->NumericCode(), allowed);
}

int TIdTCPConnection::SendCommand(std::string_view text, const std::vector<int>& allowed) {
  WriteLine(text);
  return ReadReply(allowed);
}

}  // namespace kv
