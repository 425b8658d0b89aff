#pragma once
// The library side of TLS: the one-time start-up, a context built from the
// options, the connection object of one transport, and the socket I/O
// that the library drives. The library's callbacks reach the transport
// through TIdTlsEvents alone.
#include <string>

#include "net/ssl_options.h"

struct bio_st;
struct ssl_ctx_st;
struct ssl_st;
struct x509_st;

namespace kv {

enum class TlsSide { Client, Server };

// A peer's certificate; it holds its own reference to it.
class TIdX509 {
 public:
  explicit TIdX509(x509_st* certificate);  // takes a new reference
  ~TIdX509();
  TIdX509(const TIdX509&) = delete;
  TIdX509& operator=(const TIdX509&) = delete;

  x509_st* Certificate() const { return certificate_; }
  // One-line forms of the subject and the issuer ("/C=../CN=..").
  std::string SubjectName() const;
  std::string IssuerName() const;

 private:
  x509_st* certificate_;
};

// What the library's callbacks ask of the side a context or a connection
// belongs to. They may come from any thread that runs a handshake, each
// kind of call under a lock of its own.
class TIdTlsEvents {
 public:
  // The library's report of a change of the connection's state ("SSL
  // status: \"...\""), when the context was built with WantsStatusCallback.
  virtual void DoStatusInfo(const std::string& message) = 0;
  // The password of the key file, as the context loads it.
  virtual void DoGetPassword(std::string& password) = 0;
  // Each certificate of the peer's chain, when the context was built with
  // WantsVerifyCallback; false refuses the peer.
  virtual bool DoVerifyPeer(TIdX509& certificate) = 0;

 protected:
  ~TIdTlsEvents() = default;
};

class TIdSSLContext {
 public:
  // The first context of the process starts the library.
  TIdSSLContext();
  ~TIdSSLContext();
  TIdSSLContext(const TIdSSLContext&) = delete;
  TIdSSLContext& operator=(const TIdSSLContext&) = delete;

  TIdSSLOptions Options;          // a copy of the owner's
  bool WantsVerifyCallback = false;  // the owner has a verify handler
  bool WantsStatusCallback = false;  // the owner has a status handler
  bool VerifyPeerCertificate = true;  // a client checks the chain
  // A client checks its peer (chain and host name) when either the flag or
  // the verify mode asks for it.
  bool ClientVerifiesPeer() const { return VerifyPeerCertificate || (Options.VerifyMode & sslvrfPeer) != 0; }
  // Asked for the key's password; none: an empty one.
  TIdTlsEvents* Events = nullptr;

  // A fresh library context for the side; raises the TLS exceptions.
  void BuildContext(TlsSide side);
  // Loads the system's certificate store into the context, once, unless a
  // root certificate file takes its place. Loading it costs tens of
  // milliseconds, so it waits for the first handshake: a context is built
  // on every connect, plain ones included.
  void UseSystemStore();
  ssl_ctx_st* Handle() const { return context_; }

 private:
  ssl_ctx_st* context_ = nullptr;
  bool system_store_loaded_ = false;
};

// The TLS connection object of one transport.
class TIdSSLSocket {
 public:
  // No SSL object when the library refuses one (Handle() is then null).
  // The library's callbacks on it report to `events`.
  TIdSSLSocket(TIdTlsEvents& events, TIdSSLContext& context);
  // Says goodbye to the peer (close_notify) and frees the SSL object.
  ~TIdSSLSocket();
  TIdSSLSocket(const TIdSSLSocket&) = delete;
  TIdSSLSocket& operator=(const TIdSSLSocket&) = delete;

  ssl_st* Handle() const { return ssl_; }
  TIdTlsEvents& Events() const { return events_; }
  TIdSSLContext& Context() const { return context_; }
  // Binds the SSL object to itself (raises EIdOSSLDataBindingError) and to
  // the socket.
  void Bind(int socket);

 private:
  TIdTlsEvents& events_;
  TIdSSLContext& context_;
  ssl_st* ssl_ = nullptr;
};

// The library's reason for the last failure on this thread, or "".
std::string TlsErrorReason();

}  // namespace kv
