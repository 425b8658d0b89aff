#pragma once
// The blocking, buffered TCP connection. Every byte sent leaves through
// WriteBytes and every byte received arrives through FillInputBuffer into
// the input buffer; all reads take their bytes from that buffer, so bytes
// that came early are never lost between calls. The connection drives an
// exchangeable transport (TIdIOHandler) and never touches a socket itself.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "net/buffers.h"
#include "net/component.h"
#include "net/intercept.h"
#include "net/io_handler.h"
#include "net/line_reader.h"
#include "net/receive_result.h"
#include "net/rfc_reply.h"

namespace kv {

enum TIdMaxLineAction { maException = 0, maSplit = 1 };

// The connection's flag arguments, named so that every call says what it
// asks for.
enum class IfClosed : bool { Return, Raise };        // when the peer has closed
enum class BufferedBytes : bool { Count, Ignore };   // do unread bytes keep a close quiet?
enum class IfTimedOut : bool { Return, Raise };      // when a wait runs out
enum class ReadUntil : bool { Count, Closed };       // a body's end: its byte count or the close
enum class StreamFrom : bool { Position, Start };
enum class ByteCountFirst : bool { No, Yes };
// ReadToStream's byte count when a 4-byte length in network order comes
// first, and when the read runs until the close, which needs none.
inline constexpr int64_t kLengthFirst = -1;
inline constexpr int64_t kNoByteCount = -1;
// WriteFromStream's byte count for everything up to the stream's end.
inline constexpr int64_t kToStreamEnd = 0;

// A time limit of -1 means the connection's ReadTimeout (0 there: none);
// -2 means no limit.
class TIdTCPConnection : public TIdComponent {
 public:
  explicit TIdTCPConnection(Component* owner = nullptr);
  ~TIdTCPConnection() override;

  // ---- settings -------------------------------------------------------------
  bool ASCIIFilter = false;                 // clear bit 7 of received bytes
  TIdMaxLineAction MaxLineAction = maException;
  int MaxLineLength = 16384;                // 0: no limit
  int ReadTimeout = 0;                      // ms; 0: wait without limit
  int RecvBufferSize = 32768;               // one receive; ReadToStream chunk
  int SendBufferSize = 32768;               // WriteFromStream block
  TIdNotifyEvent OnDisconnected;

  // The transport. Assigning one frees a transport that Connect made.
  TIdIOHandler* IOHandler() const { return io_handler_; }
  void SetIOHandler(TIdIOHandler* handler);
  bool OwnsIOHandler() const { return owns_io_handler_; }
  TIdConnectionIntercept* Intercept() const { return intercept_; }
  void SetIntercept(TIdConnectionIntercept* intercept);

  // ---- state ----------------------------------------------------------------
  // Set when a receive or send moved 0 bytes and by DropSocket; cleared by
  // ResetInput and by every receive that brings data.
  bool PeerClosed() const { return peer_closed_; }
  bool LastLineSplit() const { return last_line_split_; }
  bool LastLineTimedOut() const { return last_line_timed_out_; }
  TIdManagedBuffer& InputBuffer() { return *input_buffer_; }
  TIdRFCReply& LastReply() { return *last_reply_; }
  TIdRFCReply& Greeting() { return *greeting_; }

  // ---- connection -----------------------------------------------------------
  virtual void NotifyDisconnected();
  // Empties the input buffer and clears PeerClosed.
  virtual void ResetInput();
  // Notices a peer close once: the socket is dropped, hsDisconnected is
  // reported and OnDisconnected called a single time, and buffered bytes
  // stay readable. When disconnected and asked to raise, raises
  // EIdConnClosedGracefully if the buffer is empty or is to be ignored.
  virtual void CheckPeerClosed(IfClosed if_closed, BufferedBytes buffered);
  // A look without waiting that takes in what has arrived and notices a
  // close.
  virtual void ProbePeerClosed(IfClosed if_closed);
  virtual bool Connected();
  // Orderly close: hsDisconnecting, DropSocket, free an owned transport,
  // OnDisconnected, hsDisconnected.
  virtual void Disconnect();
  // Close without reports.
  virtual void DropSocket();

  // ---- receiving ------------------------------------------------------------
  // The one receive path: kBytes with the count appended, kClosed when the
  // peer closed or there is no transport, kWouldBlock on a timeout that does
  // not raise; never kFailed (a failure raises, or reads as a close while
  // bytes are buffered).
  virtual TIdReceiveResult FillInputBuffer(IfClosed if_closed, int timeout, IfTimedOut if_timed_out);
  // A line without its terminator (empty terminator: LF, and a CR before
  // the LF goes too). Maximum -1: MaxLineLength. A peer close before a
  // complete line returns "" with LastLineTimedOut set and leaves the
  // partial line buffered.
  virtual std::string ReadLn(std::string_view terminator = {}, int timeout = -1, int max_length = -1);
  // ReadLn into `line`, whose storage is reused: a reader of many short
  // lines allocates nothing.
  void ReadLnInto(std::string& line, std::string_view terminator = {}, int timeout = -1, int max_length = -1);
  // The lines already received whole, each as ReadLn with the defaults would
  // return it, handed to `take` (bool(std::string_view)) until it returns
  // false or none is left; the bytes of the lines handed over then leave the
  // input buffer in one step, also when `take` throws. A line longer than
  // MaxLineLength is left for ReadLn. `take` must not read from this
  // connection: the lines it gets are views into the input buffer.
  template <typename Take>
  void TakeBufferedLines(Take&& take);
  // ReadLn until a line that is not empty once trimmed, at most `tries`
  // times; the trimmed line or "".
  std::string ReadLnSkipEmpty(int tries);
  // Exactly `count` bytes; a close before they arrive raises
  // EIdConnClosedGracefully and leaves the partial bytes buffered.
  void ReadExact(void* buffer, int64_t count);
  // ReadUntil::Count: `byte_count` bytes, or with kLengthFirst a 4-byte
  // length in network order first. ReadUntil::Closed: until the peer closes,
  // without an exception for the close.
  void ReadToStream(Stream& stream, int64_t byte_count = kLengthFirst, ReadUntil until = ReadUntil::Count);
  // One fill attempt, then everything buffered.
  std::string ReadAvailable();
  virtual std::string ReadAllUntilClosed();
  int32_t ReadInt32(bool convert = true);

  // ---- sending --------------------------------------------------------------
  // The one send path. With write buffering open (and not `write_now`) the
  // bytes are collected instead.
  void WriteBytes(const void* buffer, int64_t count, bool write_now = false);
  virtual void WriteText(std::string_view text);
  virtual void WriteLine(std::string_view text);
  void WriteInt32(int32_t value, bool convert = true);
  // From the position (or from 0) to the end, or `byte_count` bytes.
  virtual void WriteFromStream(Stream& stream, StreamFrom from = StreamFrom::Start, int64_t byte_count = kToStreamEnd,
                               ByteCountFirst count_first = ByteCountFirst::No);
  // The file's bytes; the result is the file's size.
  virtual int64_t WriteFileContents(const std::string& file_name, bool allow_platform_send = true);

  // Write buffering: a threshold > 0 sends a block of that many bytes each
  // time that many are collected; -1 or 0 sends only on demand.
  void OpenWriteBuffering(int threshold = -1);
  void FlushWriteBuffering(int64_t byte_count = -1);
  void CloseWriteBuffering();   // flush all, then drop the buffer, also on failure
  void ClearWriteBuffering();
  bool WriteBufferingOpen() const { return write_buffer_ != nullptr; }

  // ---- numeric replies of line protocols -------------------------------------
  // The code when the list is empty or holds it; otherwise RaiseReplyError.
  virtual int CheckReplyCode(int code, const std::vector<int>& allowed);
  // Reads one (possibly multi-line "NNN-") reply into LastReply and checks
  // its code; an empty list accepts any code. Raises EIdProtocolReplyError.
  virtual int ReadReply(const std::vector<int>& allowed = {});
  [[noreturn]] virtual void RaiseReplyError();
  virtual int SendCommand(std::string_view text, const std::vector<int>& allowed = {});

 protected:
  void Notification(Component* component, Operation operation) override;
  // The caller's read time limit resolved: -1 -> ReadTimeout, 0 -> none.
  int EffectiveTimeout(int timeout) const;
  // For a send's result of -1: keeps the transport's error code and
  // answers true when it is one of `accepted`; any other code drops the
  // socket and raises EIdSocketError. False for every other result.
  bool CheckTransportResult(int result, std::initializer_list<int> accepted);
  // Drops the socket after an accepted send failure and raises
  // EIdSocketError for the kept error code.
  [[noreturn]] void DropAndRaiseSocketError();
  void SendNow(const void* buffer, int64_t count);
  void MarkOwnsIOHandler(bool owns) { owns_io_handler_ = owns; }

  bool peer_closed_ = false;
  bool last_line_split_ = false;
  bool last_line_timed_out_ = false;

 private:
  void FreeOwnedIOHandler();
  // FillInputBuffer's steps. `direct`: no intercept, so the bytes go
  // straight into the input buffer's free end.
  char* ReceiveTarget(bool direct, int size);
  // One receive from the transport, into `target`.
  TIdReceiveResult ReceiveOnce(IfClosed if_closed, int timeout, bool direct, char*& target);
  // A failed receive drops the socket; a shutdown or an aborted connection
  // then reads as a close while bytes are buffered, anything else raises.
  TIdReceiveResult ReceiveFailed(int error_code);
  // Appends `count` bytes received at `target`, through the intercept when
  // there is one; the count appended.
  int AppendReceived(bool direct, char* target, int count);
  // ReadToStream's steps: the pieces of a body from the input buffer into
  // the stream; waiting until a piece is buffered (a close before then
  // yields what is there for ReadUntil::Closed, else moves it and raises);
  // moving the first `count` buffered bytes.
  void MovePiecesToStream(Stream& stream, int64_t remaining, ReadUntil until);
  size_t BufferPiece(Stream& stream, size_t piece, ReadUntil until);
  void MoveBufferedToStream(Stream& stream, size_t count);
  // Removes the first `count` buffered bytes, lines TakeBufferedLines handed
  // over, as ReadLn would have removed them.
  void DropTakenLines(size_t count);

  std::unique_ptr<TIdRFCReply> greeting_;
  bool owns_io_handler_ = false;
  std::unique_ptr<TIdManagedBuffer> input_buffer_;
  TIdConnectionIntercept* intercept_ = nullptr;
  TIdIOHandler* io_handler_ = nullptr;
  std::unique_ptr<TIdRFCReply> last_reply_;
  std::unique_ptr<TIdSimpleBuffer> recv_buffer_;
  std::unique_ptr<TIdSimpleBuffer> write_buffer_;
  int write_threshold_ = 0;
  int last_transport_error_ = 0;
};

template <typename Take>
void TIdTCPConnection::TakeBufferedLines(Take&& take) {
  const std::string_view bytes = input_buffer_->View();
  size_t used = 0;
  try {
    while (used < bytes.size()) {
      // An unfinished or over-long line is left for ReadLn.
      const TLineFound found = TLineReader({}, MaxLineLength).Next(bytes.substr(used));
      if (found.kind != TLineFound::Kind::kLine) break;
      used += found.used;
      if (!take(found.line)) break;
    }
  } catch (...) {
    DropTakenLines(used);
    throw;
  }
  DropTakenLines(used);
}

}  // namespace kv
