#pragma once
// A transport that never touches a socket, for proving the exchange at every
// split point and under every fault. Each connect plays the next scripted
// server side: its replies, the kth released once the client has sent k
// request heads, go out in pieces of at most PieceSize; after the last the
// server either closes or falls silent (a wait then times out at once, so
// nothing hangs). Receives go first where a socket's would (see
// ReceiveWithoutWait). What the client sends is recorded per connection.
// A fault makes the Nth receive or send (counted together over all
// connections) fail with a socket error number.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "net/exceptions.h"
#include "net/io_handler.h"
#include "net/socket_errors.h"
#include "net/socket_stack.h"

namespace kv::test {

class MemoryTransport : public TIdIOHandler {
 public:
  struct Server {
    std::vector<std::string> replies;  // one per request
    bool close_at_end = true;
    // Every reply goes out at the connect, for protocols without request
    // heads (a SOCKS handshake).
    bool reply_at_once = false;
  };

  explicit MemoryTransport(std::vector<Server> servers = {}) : servers_(std::move(servers)) {}

  size_t PieceSize = static_cast<size_t>(-1);
  int FailCall = 0;  // 1-based number of the failing receive or send; 0: none
  int FailCode = Id_WSAECONNRESET;

  int Calls() const { return calls_; }
  int Connects() const { return static_cast<int>(sent_.size()); }
  // What the client sent on connection i (from 0).
  const std::string& Sent(int i) const { return sent_.at(static_cast<size_t>(i)); }

  void ConnectTransport(const std::string&, int, const std::string&, int, int, int, int) override {
    if (sent_.size() >= servers_.size()) GStack()->ThrowSocketError(Id_WSAECONNREFUSED);
    sent_.emplace_back();
    released_.clear();
    heads_ = 0;
    read_ = 0;
    open_ = true;
    if (Current().reply_at_once) {
      for (const std::string& reply : Current().replies) released_ += reply;
      heads_ = Current().replies.size();
    }
  }
  void CloseTransport() override { open_ = false; }
  bool IsTransportOpen() override { return open_; }

  bool WaitReadable(int) override {
    if (!open_) throw EIdConnClosedGracefully();
    return calls_ + 1 == FailCall || read_ < released_.size() || AtClose();
  }

  // Takes at once what is there, the close or the fault, as a socket
  // receive that does not block would; with nothing there a poll is
  // answered and any other wait is left to WaitReadable.
  std::optional<TIdReceiveResult> ReceiveWithoutWait(void* buffer, int count, int timeout) override {
    if (!open_) return std::nullopt;
    if (calls_ + 1 == FailCall || read_ < released_.size() || AtClose()) return ReceiveSome(buffer, count);
    if (timeout == IdTimeoutInfinite || timeout > 0) return std::nullopt;
    return TIdReceiveResult::WouldBlock();
  }

  TIdReceiveResult ReceiveSome(void* buffer, int count) override {
    if (!open_) throw EIdClosedSocket();
    if (++calls_ == FailCall) return TIdReceiveResult::Failed(FailCode);
    const size_t n = std::min({static_cast<size_t>(count), PieceSize, released_.size() - read_});
    if (n == 0 && !AtClose()) return TIdReceiveResult::Failed(Id_WSAEWOULDBLOCK);
    if (n == 0) return TIdReceiveResult::Closed();
    std::memcpy(buffer, released_.data() + read_, n);
    read_ += n;
    return TIdReceiveResult::Bytes(static_cast<int>(n));
  }

  int SendSome(const void* buffer, int count) override {
    if (!open_) throw EIdClosedSocket();
    if (++calls_ == FailCall) return Fail();
    const size_t n = std::min(static_cast<size_t>(count), PieceSize);
    std::string& sent = sent_.back();
    sent.append(static_cast<const char*>(buffer), n);
    // A request head that is now complete releases the next reply.
    const size_t from = sent.size() - n >= 3 ? sent.size() - n - 3 : 0;
    for (size_t at = sent.find("\r\n\r\n", from); at != std::string::npos; at = sent.find("\r\n\r\n", at + 4)) {
      if (heads_ < Current().replies.size()) released_ += Current().replies[heads_];
      ++heads_;
    }
    return static_cast<int>(n);
  }

  int LastErrorCode() override { return last_error_; }

 private:
  const Server& Current() const { return servers_.at(sent_.size() - 1); }
  bool AtClose() const { return Current().close_at_end && heads_ >= Current().replies.size(); }
  // A failed send, as the platform answers it.
  int Fail() {
    last_error_ = FailCode;
    return Id_SOCKET_ERROR;
  }

  std::vector<Server> servers_;
  std::vector<std::string> sent_;
  std::string released_;  // the replies to the request heads sent so far
  size_t heads_ = 0;
  size_t read_ = 0;
  bool open_ = false;
  int calls_ = 0;
  int last_error_ = 0;
};

}  // namespace kv::test
