#pragma once
// TLS over the socket transport, on OpenSSL. The transport connects as the
// socket transport does (SOCKS included), then runs the TLS handshake unless
// it is switched to clear text; receives and sends then go through the TLS
// layer. The library never blocks on the socket: whenever it needs the peer's
// bytes the transport waits for them itself, within the connection's limits,
// so that a peer that stalls in the handshake, after it or inside a record
// ends in the timeout a plain read would raise. The server side hands out
// such transports for accepted sockets, sharing one server context.
//
// The TLS layer sits over the socket transport's own receives and sends,
// which the SOCKS handshake uses too: until the layer opens (and while the
// transport is in clear text) every call passes to the socket transport.
#include <functional>
#include <memory>
#include <string>

#include "net/io_handler_socket.h"
#include "net/ssl_context.h"
#include "net/ssl_options.h"

struct ssl_st;

namespace kv {

// The cipher a TLS connection settled on.
struct TIdSSLCipher {
  std::string Name;
  std::string Description;
  int Bits = 0;
  std::string Version;
  static TIdSSLCipher Of(ssl_st* ssl);
  // "Cipher: name = N; description = D; bits = B; version = V; "
  std::string Text() const;
};

using TCallbackEvent = std::function<void(const std::string& Msg)>;
using TPasswordEvent = std::function<void(std::string& Password)>;
using TVerifyPeerEvent = std::function<bool(TIdX509& Certificate)>;

// The handlers of one side of TLS, which the library's callbacks reach
// through TIdTlsEvents; without a handler a call does nothing (a peer is
// then accepted, a password empty). The client transport and the server
// side have them; the server side hands its own to each transport it
// accepts.
class TIdTlsHandlers : public TIdTlsEvents {
 public:
  virtual ~TIdTlsHandlers() = default;

  TCallbackEvent OnStatusInfo;
  TPasswordEvent OnGetPassword;
  TVerifyPeerEvent OnVerifyPeer;

  void DoStatusInfo(const std::string& message) override;
  void DoGetPassword(std::string& password) override;
  bool DoVerifyPeer(TIdX509& certificate) override;
};

// The client transport. Its handlers (OnStatusInfo, OnGetPassword,
// OnVerifyPeer) are those of TIdTlsHandlers, through which its context and
// its connection object report.
class TIdSSLIOHandlerSocket : public TIdIOHandlerSocket, public TIdTlsHandlers {
 public:
  explicit TIdSSLIOHandlerSocket(Component* owner = nullptr);
  ~TIdSSLIOHandlerSocket() override;

  TIdSSLOptions& SSLOptions() { return *options_; }
  TIdNotifyEvent OnBeforeHandshake;
  // A client checks the peer's certificate chain (against RootCertFile, or
  // the system's store without one) and that it names the peer host.
  // False: no checks at all, unless the options' VerifyMode asks for
  // sslvrfPeer, which makes the same whole check.
  bool VerifyPeerCertificate = true;

  bool ClearText() const { return clear_text_; }
  // Switching clear text off on a connected transport opens the TLS layer.
  void SetClearText(bool clear_text) override;
  bool SpeaksTls() const override { return true; }
  // The host the peer's certificate must name and the name sent for it
  // (SNI); the host connected to when empty.
  void SetPeerHostName(const std::string& host) override { peer_host_name_ = host; }
  bool IsServerSide() const { return server_side_; }

  // None while TLS is up: the stack would send the file past the TLS layer.
  std::optional<int64_t> TransmitWholeFile(const std::string& file_name) override;
  void CloseTransport() override;
  void ConnectTransport(const std::string& host, int port, const std::string& bound_ip, int bound_port,
                        int bound_port_min, int bound_port_max, int timeout) override;
  bool WaitReadable(int timeout) override;
  TIdReceiveResult ReceiveSome(void* buffer, int count) override;
  std::optional<TIdReceiveResult> ReceiveWithoutWait(void* buffer, int count, int timeout) override;
  int SendSome(const void* buffer, int count) override;
  int LastErrorCode() override;

  // A client context built from the options and the handlers.
  void PrepareTls();
  // The handshake as a client; nothing when the TLS layer is already open.
  // Each wait for the peer is a read: it lasts at most the read limit
  // (HandshakeTimeout) and raises EIdReadTimeout; without a read limit, a
  // connect limit (`connect_timeout` > 0) takes its place and raises
  // EIdConnectTimeout.
  void OpenTlsLayer(int connect_timeout = IdTimeoutInfinite);

  virtual void DoBeforeHandshake();

 private:
  friend class TIdServerIOHandlerSSL;
  // Accepted by a server handler: the server's context, then the handshake.
  void AcceptTls(TIdSSLContext* shared_context);
  // The connection object bound to the socket, for a handshake; null when
  // the library refuses one.
  ssl_st* NewTlsConnection();
  // The connection object while bytes go through the TLS layer; null in
  // clear text and while no layer is open, when every receive and send
  // passes to the socket transport as it is.
  ssl_st* TlsLayer() const;
  std::string PeerHostName() const;
  // Makes a library call again and again while it asks to wait, waiting on
  // the socket in its stead: for the peer's bytes at most `read_limit` ms
  // each time (IdTimeoutInfinite: without limit), for room to send without
  // limit, as a plain send waits. False when a wait for the peer ran out;
  // otherwise `result` is the call's and `reason` the library's for it.
  template <typename Call>
  bool CallUntilDone(Call&& call, int read_limit, int& result, int& reason);
  // A receive or send through the library: the bytes moved, 0 for a close,
  // -1 with last_error_ set for a failed system call, or kTlsTimedOut.
  template <typename Call>
  int Transfer(Call&& call, int read_limit);
  static constexpr int kTlsTimedOut = -2;
  // Transfer's answer for a receive.
  TIdReceiveResult ResultOfRead(int result) const;

  std::unique_ptr<TIdSSLOptions> options_;
  std::unique_ptr<TIdSSLContext> own_context_;
  TIdSSLContext* context_ = nullptr;  // own_context_, or a server's
  std::unique_ptr<TIdSSLSocket> ssl_socket_;
  bool clear_text_ = false;
  bool server_side_ = false;
  std::string peer_host_name_;
  std::string connect_host_;
  int last_error_ = 0;
};

// Hands out transports for sockets accepted on a listening socket.
class TIdServerIOHandler : public TIdComponent {
 public:
  explicit TIdServerIOHandler(Component* owner = nullptr) : TIdComponent(owner) {}
  // A transport for the next connection on `listener` (the caller owns it),
  // or null when the accept fails.
  virtual std::unique_ptr<TIdIOHandlerSocket> Accept(TIdStackSocketHandle listener) = 0;
};

// The key's password goes to its own OnGetPassword; the status and the
// peer's certificates of each connection to the handlers of the transport
// accepted for it, which are copies of its own.
class TIdServerIOHandlerSSL : public TIdServerIOHandler, public TIdTlsHandlers {
 public:
  explicit TIdServerIOHandlerSSL(Component* owner = nullptr);
  ~TIdServerIOHandlerSSL() override;

  TIdSSLOptions& SSLOptions() { return *options_; }

  // Builds the server context on first use; the handshake runs before the
  // transport is handed out and raises EIdOSSLAcceptError when it fails.
  std::unique_ptr<TIdIOHandlerSocket> Accept(TIdStackSocketHandle listener) override;

 private:
  std::unique_ptr<TIdSSLOptions> options_;
  std::unique_ptr<TIdSSLContext> context_;
};

}  // namespace kv
