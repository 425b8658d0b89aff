// The library's start-up, contexts built from the options, the callbacks
// that the library makes into the transports, and the socket the library
// reads and writes through.
#include "net/ssl_context.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "net/ssl_exceptions.h"

namespace kv {

namespace {

// Each callback runs under a lock of its own: the library may call them
// from any thread that runs a handshake.
std::mutex& PasswordLock() {
  static std::mutex lock;
  return lock;
}
std::mutex& StatusLock() {
  static std::mutex lock;
  return lock;
}
std::mutex& VerifyLock() {
  static std::mutex lock;
  return lock;
}

void StartTls() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    started = OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr) == 1;
    PasswordLock();
    StatusLock();
    VerifyLock();
  });
  if (!started) throw EIdOSSLCouldNotLoadSSLLibrary();
}

TIdSSLSocket* SocketOf(const SSL* ssl) { return static_cast<TIdSSLSocket*>(SSL_get_app_data(ssl)); }

int PasswordCallback(char* buffer, int size, int /*rwflag*/, void* userdata) {
  std::lock_guard<std::mutex> guard(PasswordLock());
  auto* context = static_cast<TIdSSLContext*>(userdata);
  std::string password;
  if (context != nullptr && context->Events != nullptr) context->Events->DoGetPassword(password);
  if (size <= 0) return 0;
  // Room for the terminating zero: at most size - 1 bytes of the password.
  const size_t length = std::min(password.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, password.data(), length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}

void StatusCallback(const SSL* ssl, int /*where*/, int /*ret*/) {
  std::lock_guard<std::mutex> guard(StatusLock());
  TIdSSLSocket* socket = SocketOf(ssl);
  if (socket == nullptr) return;
  socket->Events().DoStatusInfo(std::string("SSL status: \"") + SSL_state_string_long(ssl) + "\"");
}

int VerifyCallback(int preverify_ok, X509_STORE_CTX* store) {
  std::lock_guard<std::mutex> guard(VerifyLock());
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  TIdSSLSocket* socket = ssl != nullptr ? SocketOf(ssl) : nullptr;
  if (socket == nullptr) return preverify_ok;
  TIdX509 certificate(X509_STORE_CTX_get_current_cert(store));
  const bool accepted_by_owner = socket->Events().DoVerifyPeer(certificate);
  const int depth_limit = socket->Context().Options.VerifyDepth;
  const bool within_depth = depth_limit <= 0 || X509_STORE_CTX_get_error_depth(store) <= depth_limit;
  return preverify_ok == 1 && within_depth && accepted_by_owner ? 1 : 0;
}

// The socket under the library: receives and sends that never wait, so that
// the transport does every wait itself, within the connection's limits (the
// socket stays blocking for clear text); the sends with MSG_NOSIGNAL, so that
// writing to a peer that has gone raises an error instead of killing the
// process.
int SocketWrite(BIO* bio, const char* data, int length) {
  const int socket = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  ssize_t sent;
  do sent = ::send(socket, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
  while (sent < 0 && errno == EINTR);
  if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_write(bio);
  return static_cast<int>(sent);
}

int SocketRead(BIO* bio, char* data, int length) {
  const int socket = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  ssize_t received;
  do received = ::recv(socket, data, static_cast<size_t>(length), MSG_DONTWAIT);
  while (received < 0 && errno == EINTR);
  if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_read(bio);
  return static_cast<int>(received);
}

long SocketControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int SocketCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

BIO_METHOD* SocketMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kvornis socket");
    BIO_meth_set_write(m, SocketWrite);
    BIO_meth_set_read(m, SocketRead);
    BIO_meth_set_ctrl(m, SocketControl);
    BIO_meth_set_create(m, SocketCreate);
    return m;
  }();
  return method;
}

const SSL_METHOD* ChooseMethod(TIdSSLVersion version, TIdSSLMode mode) {
  if (mode == sslmUnassigned) throw EIdOSSLModeNotSet();
  if (version < sslvSSLv2 || version > sslvTLSv1) throw EIdOSSLGetMethodError();
  // The library offers one version-flexible method per mode; the lowest
  // version is set on the context.
  switch (mode) {
    case sslmClient: return TLS_client_method();
    case sslmServer: return TLS_server_method();
    default: return TLS_method();
  }
}

std::string NameText(X509_NAME* name) {
  if (name == nullptr) return {};
  char buffer[512];
  return X509_NAME_oneline(name, buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

}  // namespace

TIdX509::TIdX509(X509* certificate) : certificate_(certificate) {
  if (certificate_ != nullptr) X509_up_ref(certificate_);
}

TIdX509::~TIdX509() { X509_free(certificate_); }

std::string TIdX509::SubjectName() const {
  return certificate_ != nullptr ? NameText(X509_get_subject_name(certificate_)) : std::string();
}

std::string TIdX509::IssuerName() const {
  return certificate_ != nullptr ? NameText(X509_get_issuer_name(certificate_)) : std::string();
}

std::string TlsErrorReason() {
  std::string reason;
  for (unsigned long error = ERR_get_error(); error != 0; error = ERR_get_error()) {
    const char* text = ERR_reason_error_string(error);
    if (text == nullptr) continue;
    if (!reason.empty()) reason += "; ";
    reason += text;
  }
  return reason;
}

TIdSSLContext::TIdSSLContext() { StartTls(); }

TIdSSLContext::~TIdSSLContext() { SSL_CTX_free(context_); }

void TIdSSLContext::UseSystemStore() {
  if (system_store_loaded_ || context_ == nullptr || !Options.RootCertFile.empty()) return;
  SSL_CTX_set_default_verify_paths(context_);
  ERR_clear_error();
  system_store_loaded_ = true;
}

void TIdSSLContext::BuildContext(TlsSide side) {
  SSL_CTX_free(context_);
  context_ = nullptr;
  system_store_loaded_ = false;
  if (Options.Mode == sslmUnassigned) Options.Mode = side == TlsSide::Server ? sslmServer : sslmClient;
  const SSL_METHOD* method = ChooseMethod(Options.Method, Options.Mode);
  context_ = SSL_CTX_new(method);
  if (context_ == nullptr) throw EIdOSSLCreatingContextError();
  // TLS 1.2 is the floor, but the system's policy (applied as the context
  // is made) may ask for more; 0 stands for the lowest the library knows.
  const long configured_minimum = SSL_CTX_get_min_proto_version(context_);
  if (configured_minimum < TLS1_2_VERSION) SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
  // A peer that closes without saying goodbye has still closed: bodies
  // that run until the close rely on it.
  SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);

  SSL_CTX_set_default_passwd_cb(context_, PasswordCallback);
  SSL_CTX_set_default_passwd_cb_userdata(context_, this);
  // The system's store comes in when a handshake first needs it (see
  // UseSystemStore), unless a root certificate file takes its place.

  if (!Options.RootCertFile.empty() &&
      SSL_CTX_load_verify_locations(context_, Options.RootCertFile.c_str(), nullptr) <= 0)
    throw EIdOSSLLoadingRootCertError();
  if (!Options.CertFile.empty() &&
      SSL_CTX_use_certificate_file(context_, Options.CertFile.c_str(), SSL_FILETYPE_PEM) <= 0)
    throw EIdOSSLLoadingCertError();
  if (!Options.KeyFile.empty() &&
      (SSL_CTX_use_PrivateKey_file(context_, Options.KeyFile.c_str(), SSL_FILETYPE_PEM) <= 0 ||
       SSL_CTX_check_private_key(context_) <= 0))
    throw EIdOSSLLoadingKeyError();
  ERR_clear_error();

  if (WantsStatusCallback) SSL_CTX_set_info_callback(context_, StatusCallback);
  // Without a list of its own the library's defaults stand: they admit no
  // anonymous or export suites.
  if (!Options.CipherList.empty() && SSL_CTX_set_cipher_list(context_, Options.CipherList.c_str()) <= 0)
    throw EIdOSSLSettingCipherError();

  int verify_mode = static_cast<int>(Options.VerifyMode & 7u);
  if (side == TlsSide::Client && ClientVerifiesPeer()) verify_mode |= SSL_VERIFY_PEER;
  if (verify_mode != 0) {
    SSL_CTX_set_verify(context_, verify_mode, WantsVerifyCallback ? VerifyCallback : nullptr);
    if (Options.VerifyDepth > 0) SSL_CTX_set_verify_depth(context_, Options.VerifyDepth);
  }
  if (side == TlsSide::Server) {
    static const unsigned char kSessionIdContext[4] = {1, 0, 0, 0};
    SSL_CTX_set_session_id_context(context_, kSessionIdContext, sizeof kSessionIdContext);
  }
  if (!Options.RootCertFile.empty()) {
    SSL_CTX_set_client_CA_list(context_, SSL_load_client_CA_file(Options.RootCertFile.c_str()));
  }
}

TIdSSLSocket::TIdSSLSocket(TIdTlsEvents& events, TIdSSLContext& context) : events_(events), context_(context) {
  if (context.Handle() != nullptr) ssl_ = SSL_new(context.Handle());
}

TIdSSLSocket::~TIdSSLSocket() {
  if (ssl_ == nullptr) return;
  SSL_shutdown(ssl_);
  SSL_free(ssl_);
  ERR_clear_error();
}

void TIdSSLSocket::Bind(int socket) {
  if (SSL_set_app_data(ssl_, this) < 1) throw EIdOSSLDataBindingError();
  BIO* bio = BIO_new(SocketMethod());
  if (bio == nullptr) throw EIdOSSLDataBindingError();
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(socket)));
  SSL_set_bio(ssl_, bio, bio);
}

}  // namespace kv
