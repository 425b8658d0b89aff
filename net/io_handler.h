#pragma once
// The exchangeable transport under a connection. The connection buffers and
// interprets; the transport only opens, waits, moves raw bytes and closes.

#include <cstdint>
#include <optional>
#include <string>

#include "net/component.h"
#include "net/receive_result.h"

namespace kv {

class TIdIOHandler : public TIdComponent {
 public:
  explicit TIdIOHandler(Component* owner = nullptr) : TIdComponent(owner) {}

  virtual void AcceptDone() {}
  virtual void CloseTransport() {}
  // Opens the transport to host:port, bound locally as given (empty address
  // and port 0: any; both range ends non-zero: the first free port from the
  // highest down). Timeout -1 or 0: plain blocking connect; otherwise a
  // connect with that limit in ms (-2: none).
  virtual void ConnectTransport(const std::string& /*host*/, int /*port*/, const std::string& /*bound_ip*/,
                                int /*bound_port*/, int /*bound_port_min*/, int /*bound_port_max*/,
                                int /*timeout*/) {}
  virtual bool IsTransportOpen() = 0;
  // A TLS transport answers true; switched to clear text it passes bytes
  // through unencrypted (a plain route on a connection set up for TLS).
  virtual bool SpeaksTls() const { return false; }
  virtual void SetClearText(bool /*clear_text*/) {}
  // A TLS transport checks that the peer's certificate names this host and
  // sends it as the server name; others ignore it.
  virtual void SetPeerHostName(const std::string& /*host*/) {}
  virtual void PrepareTransport() {}
  // How long (ms) each wait for the peer in the transport's own handshakes
  // (SOCKS, TLS) may last when the connect has no limit of its own; 0:
  // without limit. The TCP client sets its read limit here before each
  // connect; a transport without handshakes ignores it.
  virtual void SetHandshakeTimeout(int /*timeout*/) {}
  // True when bytes (or the peer's close) can be read within the limit
  // (ms; -2: none; 0: a poll).
  virtual bool WaitReadable(int timeout) = 0;
  // The platform call's outcome: bytes, the peer's close, or a failure with
  // its code. A closed transport raises EIdClosedSocket.
  virtual TIdReceiveResult ReceiveSome(void* buffer, int count) = 0;

  // A receive made without the wait before it, where the wait's outcome
  // could not differ: what ReceiveSome would answer, or kWouldBlock when a
  // wait of `timeout` would not have been readable; none when the caller
  // must wait (WaitReadable) and then call ReceiveSome. Bytes found, the
  // peer's close and a failed receive are what the wait would have been
  // readable for; a wait without limit is what a blocking receive does
  // anyway; a wait that is a mere poll (timeout 0) is what a receive that
  // would block has just done. Transports that cannot tell leave every
  // receive to the wait. A transport whose receive may have to wait
  // part-way (TLS, for the rest of a record) waits itself, each time within
  // `timeout`, and answers kWouldBlock when a wait runs out.
  virtual std::optional<TIdReceiveResult> ReceiveWithoutWait(void* /*buffer*/, int /*count*/, int /*timeout*/) {
    return std::nullopt;
  }
  virtual int SendSome(const void* buffer, int count) = 0;
  // The socket error number (Id_WSAE...) behind the last SendSome that
  // gave -1. The connection asks its transport, not the
  // process-wide stack, so that a transport of another kind reports its own.
  virtual int LastErrorCode() = 0;
  // Sends the whole file by one call of the socket stack, when the stack
  // offers one and the file's bytes would go out as they are: the bytes
  // sent, or none when the caller must send the file itself.
  virtual std::optional<int64_t> TransmitWholeFile(const std::string& /*file_name*/) { return std::nullopt; }
};

}  // namespace kv
