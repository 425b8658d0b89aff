#pragma once
// What one receive did, said by name rather than by the sign of a count.
// The transport's receive answers with it, and so does the connection's
// FillInputBuffer, the one path every received byte takes.

namespace kv {

struct TIdReceiveResult {
  enum class Kind {
    kBytes,       // `count` bytes arrived
    kClosed,      // the peer closed the connection, or there is none
    kWouldBlock,  // nothing arrived within the time allowed
    kFailed,      // the transport failed; `error_code` (Id_WSAE...) says how
  };
  Kind kind = Kind::kClosed;
  int count = 0;
  int error_code = 0;

  static constexpr TIdReceiveResult Bytes(int count) { return {Kind::kBytes, count, 0}; }
  static constexpr TIdReceiveResult Closed() { return {Kind::kClosed, 0, 0}; }
  static constexpr TIdReceiveResult WouldBlock() { return {Kind::kWouldBlock, 0, 0}; }
  static constexpr TIdReceiveResult Failed(int error_code) { return {Kind::kFailed, 0, error_code}; }

  // A platform receive's answer: bytes moved, 0 for the peer's close, or
  // a failure (Id_SOCKET_ERROR), whose code `error_code` gives only then (it reads the
  // thread's last error, which any later call may change).
  template <typename ErrorCode>
  static TIdReceiveResult OfPlatformCall(int result, ErrorCode&& error_code) {
    if (result > 0) return Bytes(result);
    if (result == 0) return Closed();
    return Failed(error_code());
  }
};

}  // namespace kv
