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
  if (max_length == -1) max_length = MaxLineLength;
  // Other negative maxima mean no limit rather than "every line is too long".
  const size_t maximum = max_length > 0 ? static_cast<size_t>(max_length) : 0;
  const std::string_view term = terminator.empty() ? std::string_view("\n") : terminator;
  last_line_split_ = false;
  last_line_timed_out_ = false;

  // The usual case first: a line ended by LF, already buffered and within
  // the limit.
  if (terminator.empty()) {
    const std::string_view bytes = input_buffer_->View();
    const void* lf = bytes.empty() ? nullptr : std::memchr(bytes.data(), '\n', bytes.size());
    if (lf != nullptr) {
      const size_t at = static_cast<size_t>(static_cast<const char*>(lf) - bytes.data());
      if (maximum == 0 || at <= maximum) {
        line.assign(bytes.data(), at > 0 && bytes[at - 1] == '\r' ? at - 1 : at);
        input_buffer_->Remove(at + 1);
        return;
      }
    }
  }

  size_t found = 0;      // 1-based position of the terminator, 0: none yet
  size_t searched = 0;   // unread bytes already searched
  for (;;) {
    const size_t size = input_buffer_->Length();
    if (size > 0 && found == 0) {
      // Search only what is new, going back far enough to find a
      // terminator split across two receives.
      size_t from = searched >= term.size() - 1 ? searched - (term.size() - 1) : 0;
      size_t at = input_buffer_->View().find(term, from);
      found = at == std::string_view::npos ? 0 : at + 1;
      searched = size;
    }
    bool too_long = false;
    if (found > 0) {
      too_long = maximum != 0 && found - 1 > maximum;
    } else if (maximum != 0 && searched > maximum) {
      // Noticed as soon as more than the maximum is buffered, without
      // waiting for a terminator that may never come.
      too_long = true;
    }
    if (too_long) {
      if (MaxLineAction == maException) throw EIdReadLnMaxLineLengthExceeded();
      last_line_split_ = true;
      line.assign(input_buffer_->View().substr(0, maximum));
      input_buffer_->Remove(maximum);
      return;
    }
    if (found > 0) {
      size_t length = found - 1;
      const std::string_view bytes = input_buffer_->View();
      if (term == "\n" && length > 0 && bytes[length - 1] == '\r') --length;
      line.assign(bytes.substr(0, length));
      input_buffer_->Remove(found - 1 + term.size());
      return;
    }
    CheckPeerClosed(IfClosed::Raise, BufferedBytes::Ignore);
    const TIdReceiveResult received =
        FillInputBuffer(IfClosed::Raise, timeout, timeout == IdTimeoutDefault ? IfTimedOut::Raise : IfTimedOut::Return);
    // A close ends the attempt; so does an explicit time limit running out,
    // since waiting on after it would make the limit meaningless.
    if (received.kind != TIdReceiveResult::Kind::kBytes) {
      last_line_timed_out_ = true;
      return;
    }
  }
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
  // Until the peer closes there is no count to stop at (not even 2 GiB).
  int64_t remaining = read_until_closed ? INT64_MAX : byte_count;
  ReportWorkBegin(wmRead, read_until_closed ? 0 : byte_count);

  auto finish = [&] {
    ReportWorkEnd(wmRead);
    // Whatever lies past the bytes written is cut off.
    if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
  };
  try {
    TIdManagedBuffer& input = *input_buffer_;
    // Bytes already buffered go out with the rest of the first piece, in
    // one write, unless no more are needed or can come.
    if (input.Length() > 0 && remaining > 0 && (static_cast<int64_t>(input.Length()) >= remaining || !Connected())) {
      size_t k = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(input.Length()), remaining));
      stream.WriteBuffer(input.Memory(), k);
      input.Remove(k);
      remaining -= static_cast<int64_t>(k);
    }
    const int64_t chunk = std::min<int64_t>(remaining, std::max(RecvBufferSize, 1));
    while (remaining > 0 && Connected()) {
      // One chunk at a time, written from the input buffer straight into
      // the stream once the whole chunk is there.
      size_t piece = static_cast<size_t>(std::min(remaining, chunk));
      try {
        while (input.Length() < piece) {
          FillInputBuffer(IfClosed::Raise, IdTimeoutDefault, IfTimedOut::Raise);
          CheckPeerClosed(IfClosed::Raise, BufferedBytes::Ignore);
        }
      } catch (const EIdConnClosedGracefully&) {
        piece = input.Length();
        if (!read_until_closed) {
          // A body cut short by the peer keeps every byte that did arrive;
          // the caller still learns of the close.
          if (piece > 0) {
            stream.WriteBuffer(input.Memory(), piece);
            input.Remove(piece);
          }
          throw;
        }
      }
      if (piece > 0) {
        stream.WriteBuffer(input.Memory(), piece);
        input.Remove(piece);
        remaining -= static_cast<int64_t>(piece);
      }
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
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
