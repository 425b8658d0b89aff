#pragma once
// The library side of TLS: the one-time start-up, a context built from the
// options, the connection object of one transport, and the socket I/O
// that the library drives.
#include <functional>
#include <string>

#include "net/ssl_options.h"

struct bio_st;
struct ssl_ctx_st;
struct ssl_st;

namespace kv {

class TIdSSLIOHandlerSocket;

enum class TlsSide { Client, Server };

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
  // Asked for the key's password.
  std::function<void(std::string& password)> GetPassword;

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
  TIdSSLSocket(TIdSSLIOHandlerSocket& owner, TIdSSLContext& context);
  // Says goodbye to the peer (close_notify) and frees the SSL object.
  ~TIdSSLSocket();
  TIdSSLSocket(const TIdSSLSocket&) = delete;
  TIdSSLSocket& operator=(const TIdSSLSocket&) = delete;

  ssl_st* Handle() const { return ssl_; }
  TIdSSLIOHandlerSocket& Owner() const { return owner_; }
  TIdSSLContext& Context() const { return context_; }
  // Binds the SSL object to itself (raises EIdOSSLDataBindingError) and to
  // the socket.
  void Bind(int socket);

 private:
  TIdSSLIOHandlerSocket& owner_;
  TIdSSLContext& context_;
  ssl_st* ssl_ = nullptr;
};

// The library's reason for the last failure on this thread, or "".
std::string TlsErrorReason();

}  // namespace kv
