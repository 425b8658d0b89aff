// The TLS transport: the handshake after the plain connect, receives and
// sends through the TLS layer, clear text on request, and the server side
// that hands out transports for accepted sockets.
#include "net/io_handler_ssl.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cerrno>

#include "net/antifreeze.h"
#include "net/socket_errors.h"
#include "net/socket_stack.h"
#include "net/ssl_context.h"
#include "net/ssl_exceptions.h"

namespace kv {

namespace {

// The failure's fixed message, with the library's reason after it when it
// gives one.
template <typename Failure>
[[noreturn]] void RaiseWithReason(SSL* ssl) {
  std::string reason = TlsErrorReason();
  if (ssl != nullptr && SSL_get_verify_result(ssl) != X509_V_OK) {
    reason += std::string(reason.empty() ? "" : " (") + X509_verify_cert_error_string(SSL_get_verify_result(ssl)) +
              (reason.empty() ? "" : ")");
  }
  const std::string fixed = Failure().Message();
  throw Failure(reason.empty() ? fixed : fixed + " " + reason);
}

// Whether building a context from these options could fail for a reason of
// theirs: files to load, a cipher list to take, a method out of range.
bool OptionsCanBeRefused(const TIdSSLOptions& options) {
  return !options.RootCertFile.empty() || !options.CertFile.empty() || !options.KeyFile.empty() ||
         !options.CipherList.empty() || options.Method < sslvSSLv2 || options.Method > sslvTLSv1;
}

// The host the client expects: sent as the server name (SNI) unless it is an
// address, and, when the client checks its peer, to be named by the peer's
// certificate: a name among its DNS entries, an address among its IP
// entries. A wildcard stands for one whole label only ("*.example.org",
// never "f*.example.org"), as browsers and curl take it.
void NamePeer(SSL* ssl, const std::string& host, bool verifies_peer) {
  if (host.empty()) return;
  const bool is_address = TIdStack::IsDottedAddress(host);
  if (verifies_peer && is_address) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
  } else if (verifies_peer) {
    SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    SSL_set1_host(ssl, host.c_str());
  }
  if (!is_address) SSL_set_tlsext_host_name(ssl, host.c_str());
}

// The context of one side, client or server, built from the options. The
// library's callbacks reach `handlers`; those without a handler are not set,
// so that a handshake does not pay for them. `client_checks_peer` is a
// client's VerifyPeerCertificate; a server checks its clients only as the
// verify mode asks.
std::unique_ptr<TIdSSLContext> BuildTlsContext(TlsSide side, const TIdSSLOptions& options, TIdTlsHandlers& handlers,
                                               bool client_checks_peer) {
  auto context = std::make_unique<TIdSSLContext>();
  context->Options.Assign(options);
  context->WantsStatusCallback = static_cast<bool>(handlers.OnStatusInfo);
  context->WantsVerifyCallback = static_cast<bool>(handlers.OnVerifyPeer);
  context->VerifyPeerCertificate = client_checks_peer;
  context->Events = &handlers;
  context->BuildContext(side);
  return context;
}

}  // namespace

// ---- TIdSSLCipher, TIdTlsHandlers ------------------------------------------------

TIdSSLCipher TIdSSLCipher::Of(SSL* ssl) {
  TIdSSLCipher cipher;
  const SSL_CIPHER* current = SSL_get_current_cipher(ssl);
  if (current == nullptr) return cipher;
  char description[256];
  cipher.Name = SSL_CIPHER_get_name(current);
  cipher.Description = SSL_CIPHER_description(current, description, sizeof description);
  // The library ends the description with a line break of its own.
  while (!cipher.Description.empty() && (cipher.Description.back() == '\n' || cipher.Description.back() == ' '))
    cipher.Description.pop_back();
  cipher.Bits = SSL_CIPHER_get_bits(current, nullptr);
  cipher.Version = SSL_CIPHER_get_version(current);
  return cipher;
}

std::string TIdSSLCipher::Text() const {
  return "Cipher: name = " + Name + "; description = " + Description + "; bits = " + std::to_string(Bits) +
         "; version = " + Version + "; ";
}

void TIdTlsHandlers::DoStatusInfo(const std::string& message) {
  if (OnStatusInfo) OnStatusInfo(message);
}

void TIdTlsHandlers::DoGetPassword(std::string& password) {
  if (OnGetPassword) OnGetPassword(password);
}

bool TIdTlsHandlers::DoVerifyPeer(TIdX509& certificate) { return OnVerifyPeer ? OnVerifyPeer(certificate) : true; }

// ---- TIdSSLIOHandlerSocket -----------------------------------------------------

TIdSSLIOHandlerSocket::TIdSSLIOHandlerSocket(Component* owner)
    : TIdIOHandlerSocket(owner), options_(std::make_unique<TIdSSLOptions>()) {}

TIdSSLIOHandlerSocket::~TIdSSLIOHandlerSocket() {
  ssl_socket_.reset();
  own_context_.reset();
}

void TIdSSLIOHandlerSocket::DoBeforeHandshake() {
  if (OnBeforeHandshake) OnBeforeHandshake(this);
}

std::string TIdSSLIOHandlerSocket::PeerHostName() const {
  return peer_host_name_.empty() ? connect_host_ : peer_host_name_;
}

template <typename Call>
bool TIdSSLIOHandlerSocket::CallUntilDone(Call&& call, int read_limit, int& result, int& reason) {
  for (;;) {
    SSL* ssl = ssl_socket_->Handle();
    ERR_clear_error();
    errno = 0;
    result = call();
    reason = result > 0 ? SSL_ERROR_NONE : SSL_get_error(ssl, result);
    if (reason == SSL_ERROR_WANT_READ) {
      // The plain transport's wait, which serves an anti-freeze; whatever
      // that ran may have closed the transport, and the TLS layer with it.
      if (!TIdIOHandlerSocket::WaitReadable(read_limit)) return false;
      if (!ssl_socket_ || !IsTransportOpen()) throw EIdClosedSocket();
    } else if (reason == SSL_ERROR_WANT_WRITE) {
      pollfd entry{Binding()->Handle(), POLLOUT, 0};
      while (::poll(&entry, 1, -1) == -1 && errno == EINTR) {
      }
    } else {
      return true;
    }
  }
}

template <typename Call>
int TIdSSLIOHandlerSocket::Transfer(Call&& call, int read_limit) {
  int result = 0;
  int reason = SSL_ERROR_NONE;
  if (!CallUntilDone(call, read_limit, result, reason)) return kTlsTimedOut;
  switch (reason) {
    case SSL_ERROR_NONE:
      return result;
    case SSL_ERROR_ZERO_RETURN:
      return 0;
    case SSL_ERROR_SYSCALL:
      if (errno == 0) return 0;  // the peer closed without a goodbye
      last_error_ = SocketErrorFromErrno(errno);
      ERR_clear_error();
      return Id_SOCKET_ERROR;
    default: {
      const std::string why = TlsErrorReason();
      throw EIdOpenSSLError("TLS failure" + (why.empty() ? std::string(".") : ": " + why));
    }
  }
}

void TIdSSLIOHandlerSocket::ConnectTransport(const std::string& host, int port, const std::string& bound_ip,
                                             int bound_port, int bound_port_min, int bound_port_max, int timeout) {
  connect_host_ = host;
  TIdIOHandlerSocket::ConnectTransport(host, port, bound_ip, bound_port, bound_port_min, bound_port_max, timeout);
  DoBeforeHandshake();
  // In clear text with options that nothing can refuse, the context waits
  // until TLS starts: building it costs milliseconds that a plain exchange
  // would pay on every connect, and no error could come of it here.
  if (clear_text_ && !OptionsCanBeRefused(*options_)) return;
  try {
    PrepareTls();
  } catch (const EIdOSSLCouldNotLoadSSLLibrary&) {
    // Without the library a transport in clear text still works.
    if (!clear_text_) throw;
  }
  if (!clear_text_) OpenTlsLayer(timeout);
}

void TIdSSLIOHandlerSocket::PrepareTls() {
  auto context = BuildTlsContext(TlsSide::Client, *options_, *this, VerifyPeerCertificate);
  ssl_socket_.reset();
  own_context_ = std::move(context);
  context_ = own_context_.get();
}

void TIdSSLIOHandlerSocket::OpenTlsLayer(int connect_timeout) {
  if (ssl_socket_ || context_ == nullptr) return;
  const bool verifies_peer = context_->ClientVerifiesPeer();
  if (verifies_peer) context_->UseSystemStore();
  SSL* ssl = NewTlsConnection();
  if (ssl == nullptr) return;

  NamePeer(ssl, PeerHostName(), verifies_peer);

  // Each wait for the peer is a read, bounded by the read limit; without
  // one, the connect's own limit stands in.
  const bool read_limited = HandshakeTimeout > 0;
  int wait_limit = IdTimeoutInfinite;
  if (read_limited)
    wait_limit = HandshakeTimeout;
  else if (connect_timeout > 0)
    wait_limit = connect_timeout;
  int result = 0;
  int reason = SSL_ERROR_NONE;
  if (!CallUntilDone([ssl] { return SSL_connect(ssl); }, wait_limit, result, reason)) {
    if (read_limited) throw EIdReadTimeout();
    throw EIdConnectTimeout();
  }
  if (result < 1) {
    if (reason == SSL_ERROR_SYSCALL && errno != 0) {
      const int code = SocketErrorFromErrno(errno);
      ERR_clear_error();
      GStack()->ThrowSocketError(code);
    }
    RaiseWithReason<EIdOSSLConnectError>(ssl);
  }
  DoStatusInfo(TIdSSLCipher::Of(ssl).Text());
}

void TIdSSLIOHandlerSocket::AcceptTls(TIdSSLContext* shared_context) {
  server_side_ = true;
  context_ = shared_context;
  SSL* ssl = NewTlsConnection();
  if (ssl == nullptr) throw EIdOSSLAcceptError();
  int result = 0;
  int reason = SSL_ERROR_NONE;
  CallUntilDone([ssl] { return SSL_accept(ssl); }, IdTimeoutInfinite, result, reason);
  if (result < 1) RaiseWithReason<EIdOSSLAcceptError>(ssl);
  DoStatusInfo(TIdSSLCipher::Of(ssl).Text());
}

SSL* TIdSSLIOHandlerSocket::NewTlsConnection() {
  ssl_socket_ = std::make_unique<TIdSSLSocket>(*this, *context_);
  SSL* ssl = ssl_socket_->Handle();
  if (ssl != nullptr) ssl_socket_->Bind(Binding()->Handle());
  return ssl;
}

SSL* TIdSSLIOHandlerSocket::TlsLayer() const {
  return clear_text_ || !ssl_socket_ ? nullptr : ssl_socket_->Handle();
}

void TIdSSLIOHandlerSocket::SetClearText(bool clear_text) {
  if (!clear_text && clear_text_ && IsTransportOpen()) {
    // A context put off at connect is built now; one that could not be
    // built then (no library) fails again with the same error.
    if (context_ == nullptr) PrepareTls();
    if (context_ == nullptr) throw EIdOSSLCouldNotLoadSSLLibrary();
    OpenTlsLayer();
  }
  clear_text_ = clear_text;
}

void TIdSSLIOHandlerSocket::CloseTransport() {
  ssl_socket_.reset();
  if (!server_side_) {
    own_context_.reset();
    context_ = nullptr;
  }
  TIdIOHandlerSocket::CloseTransport();
}

bool TIdSSLIOHandlerSocket::WaitReadable(int timeout) {
  // Bytes the library has already taken off the socket are readable now,
  // though the socket itself may have nothing more.
  SSL* ssl = TlsLayer();
  if (ssl != nullptr && IsTransportOpen() && SSL_pending(ssl) > 0) return true;
  return TIdIOHandlerSocket::WaitReadable(timeout);
}

TIdReceiveResult TIdSSLIOHandlerSocket::ResultOfRead(int result) const {
  if (result == kTlsTimedOut) return TIdReceiveResult::WouldBlock();
  return TIdReceiveResult::OfPlatformCall(result, [this] { return last_error_; });
}

TIdReceiveResult TIdSSLIOHandlerSocket::ReceiveSome(void* buffer, int count) {
  SSL* ssl = TlsLayer();
  if (ssl == nullptr) return TIdIOHandlerSocket::ReceiveSome(buffer, count);
  if (!IsTransportOpen()) throw EIdClosedSocket();
  // A blocking receive: no limit to the waits.
  return ResultOfRead(Transfer([&] { return SSL_read(ssl, buffer, count); }, IdTimeoutInfinite));
}

std::optional<TIdReceiveResult> TIdSSLIOHandlerSocket::ReceiveWithoutWait(void* buffer, int count, int timeout) {
  SSL* ssl = TlsLayer();
  if (ssl == nullptr) return TIdIOHandlerSocket::ReceiveWithoutWait(buffer, count, timeout);
  // A closed transport raises in the wait, as a plain one does.
  if (!IsTransportOpen()) return std::nullopt;
  // The socket alone cannot say whether a read would have to wait: what is
  // readable may be a record's beginning, or a message that carries no data
  // (a TLS 1.3 session ticket). So the library reads first, and the
  // transport waits for the socket whenever the library needs more.
  return ResultOfRead(Transfer([&] { return SSL_read(ssl, buffer, count); }, timeout));
}

int TIdSSLIOHandlerSocket::SendSome(const void* buffer, int count) {
  SSL* ssl = TlsLayer();
  if (ssl == nullptr) return TIdIOHandlerSocket::SendSome(buffer, count);
  if (!IsTransportOpen()) throw EIdClosedSocket();
  // A send waits for the peer's bytes only when the library must read to
  // go on (a renegotiation, a key update); that wait is a read.
  const int read_limit = HandshakeTimeout > 0 ? HandshakeTimeout : IdTimeoutInfinite;
  const int n = Transfer([&] { return SSL_write(ssl, buffer, count); }, read_limit);
  if (n == kTlsTimedOut) throw EIdReadTimeout();
  return n;
}

int TIdSSLIOHandlerSocket::LastErrorCode() {
  return TlsLayer() == nullptr ? TIdIOHandlerSocket::LastErrorCode() : last_error_;
}

std::optional<int64_t> TIdSSLIOHandlerSocket::TransmitWholeFile(const std::string& file_name) {
  if (TlsLayer() != nullptr) return std::nullopt;
  return TIdIOHandlerSocket::TransmitWholeFile(file_name);
}

// ---- TIdServerIOHandlerSSL -----------------------------------------------------

TIdServerIOHandlerSSL::TIdServerIOHandlerSSL(Component* owner)
    : TIdServerIOHandler(owner), options_(std::make_unique<TIdSSLOptions>()) {}

TIdServerIOHandlerSSL::~TIdServerIOHandlerSSL() = default;

std::unique_ptr<TIdIOHandlerSocket> TIdServerIOHandlerSSL::Accept(TIdStackSocketHandle listener) {
  if (!context_) context_ = BuildTlsContext(TlsSide::Server, *options_, *this, false);
  auto handler = std::make_unique<TIdSSLIOHandlerSocket>();
  handler->SSLOptions().Assign(*options_);
  TIdTlsHandlers& handlers = *handler;
  handlers = *this;
  if (!handler->AcceptSocket(listener)) return nullptr;
  try {
    handler->AcceptTls(context_.get());
  } catch (...) {
    handler->CloseTransport();
    throw;
  }
  return handler;
}

}  // namespace kv
