#pragma once
// Every failure of the networking layer, each a class of its own with its
// fixed English message. The default constructor gives the fixed message;
// the string constructor exists for subclasses and for callers that carry a
// message written elsewhere (a connect thread's error text, a reply's lines).

#include <cstdint>
#include <string>

#include "base/exception.h"

namespace kv {

// An exception class whose default constructor carries its fixed message.
#define KV_DECLARE_ID_EXCEPTION(Name, Base, FixedMessage)                   \
  class Name : public Base {                                                \
   public:                                                                  \
    Name() : Base(std::string(FixedMessage)) {}                             \
    explicit Name(std::string message) : Base(std::move(message)) {}        \
    const char* ClassName() const noexcept override { return #Name; }       \
  }

KV_DECLARE_EXCEPTION(EIdException, Exception);
// A failure that a caller expects in the normal course of things (the peer
// closing); tools may choose not to shout about it.
KV_DECLARE_EXCEPTION(EIdSilentException, EIdException);
KV_DECLARE_ID_EXCEPTION(EIdConnClosedGracefully, EIdSilentException, "Connection Closed Gracefully.");

// A failed platform socket call. Code() is the catalogue's number (10004 ...
// 10066, 11001 ... 11004), never the raw errno; the message is
// "Socket Error # CODE" CR LF and the catalogue's text for the code.
class EIdSocketError : public EIdException {
 public:
  EIdSocketError(int code, std::string message) : EIdException(std::move(message)), code_(code) {}
  int Code() const noexcept { return code_; }
  const char* ClassName() const noexcept override { return "EIdSocketError"; }

 private:
  int code_;
};

KV_DECLARE_ID_EXCEPTION(EIdReadTimeout, EIdException, "Read Timeout");
KV_DECLARE_ID_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException, "Max line length exceeded.");
KV_DECLARE_ID_EXCEPTION(EIdAlreadyConnected, EIdException, "Already connected.");
KV_DECLARE_ID_EXCEPTION(EIdClosedSocket, EIdException, "Disconnected.");
KV_DECLARE_ID_EXCEPTION(EIdConnectTimeout, EIdException, "Connect timed out.");
// Carries the connect thread's error text (the socket error's message).
KV_DECLARE_EXCEPTION(EIdConnectException, EIdException);
// A port that TCP cannot carry: refused before anything is connected or
// sent, rather than cut to 16 bits on the way to the socket.
class EIdInvalidPort : public EIdException {
 public:
  explicit EIdInvalidPort(const std::string& port)
      : EIdException("Invalid port " + port + ": a port is a number from 0 to 65535") {}
  const char* ClassName() const noexcept override { return "EIdInvalidPort"; }
};
// Raises EIdInvalidPort unless 0 <= port <= 65535.
inline void CheckPortNumber(int64_t port) {
  if (port < 0 || port > 65535) throw EIdInvalidPort(std::to_string(port));
}
// An IPv6 literal where the IPv4 stack would have to reach it: refused
// before any socket is made, rather than sent to the name lookup, which
// answers with a bare "no data" code.
class EIdIPv6NotSupported : public EIdException {
 public:
  explicit EIdIPv6NotSupported(const std::string& host)
      : EIdException("IPv6 addresses are not supported: " + host) {}
  const char* ClassName() const noexcept override { return "EIdIPv6NotSupported"; }
};
KV_DECLARE_ID_EXCEPTION(EIdInvalidSocket, EIdException, "Cannot allocate socket.");

KV_DECLARE_EXCEPTION(EIdTCPConnectionError, EIdException);
KV_DECLARE_ID_EXCEPTION(EIdNotConnected, EIdTCPConnectionError, "Not Connected");
KV_DECLARE_ID_EXCEPTION(EIdNotEnoughDataInBuffer, EIdTCPConnectionError, "Not enough data in buffer.");
KV_DECLARE_ID_EXCEPTION(EIdNoDataToRead, EIdTCPConnectionError, "No data to read.");
class EIdFileNotFound : public EIdTCPConnectionError {
 public:
  // "File "NAME" not found"
  explicit EIdFileNotFound(const std::string& file_name)
      : EIdTCPConnectionError("File \"" + file_name + "\" not found") {}
  const char* ClassName() const noexcept override { return "EIdFileNotFound"; }
};

KV_DECLARE_EXCEPTION(EIdSocketHandleError, EIdException);
KV_DECLARE_ID_EXCEPTION(EIdCouldNotBindSocket, EIdSocketHandleError,
                        "Could not bind socket. Address and port are already in use.");
class EIdInvalidPortRange : public EIdSocketHandleError {
 public:
  EIdInvalidPortRange(int min, int max)
      : EIdSocketHandleError("Invalid Port Range (" + std::to_string(min) + " - " + std::to_string(max) + ")") {}
  const char* ClassName() const noexcept override { return "EIdInvalidPortRange"; }
};
class EIdCanNotBindPortInRange : public EIdSocketHandleError {
 public:
  EIdCanNotBindPortInRange(int min, int max)
      : EIdSocketHandleError("Can not bind in port range (" + std::to_string(min) + " - " + std::to_string(max) + ")") {}
  const char* ClassName() const noexcept override { return "EIdCanNotBindPortInRange"; }
};

// A numeric reply outside the allowed codes. The message is the reply's text
// lines, each followed by CR LF. Protocol clients derive their own status
// exceptions from this one.
class EIdProtocolReplyError : public EIdException {
 public:
  EIdProtocolReplyError(int reply_code, std::string message)
      : EIdException(std::move(message)), reply_code_(reply_code) {}
  int ReplyErrorCode() const noexcept { return reply_code_; }
  const char* ClassName() const noexcept override { return "EIdProtocolReplyError"; }

 private:
  int reply_code_;
};

// The socket stack.
KV_DECLARE_EXCEPTION(EIdStackError, EIdException);
KV_DECLARE_ID_EXCEPTION(EIdStackInitializationFailed, EIdStackError, "Winsock Initialization Error.");
KV_DECLARE_ID_EXCEPTION(EIdStackSetSizeExceeded, EIdStackError, "Set Size Exceeded.");
class EIdInvalidServiceName : public EIdException {
 public:
  // "NAME is not a valid service."
  explicit EIdInvalidServiceName(const std::string& name) : EIdException(name + " is not a valid service.") {}
  const char* ClassName() const noexcept override { return "EIdInvalidServiceName"; }
};

// A failure to load or call into a socket library that is bound at run time.
// This build links the platform's sockets directly, so nothing raises it; it
// stays so that code written against the other platform's loader compiles
// and reports the same way. The message is the title alone when the code is
// 0, else the title, ": " and the platform's text for the code.
class EIdWS2StubError : public EIdException {
 public:
  EIdWS2StubError(std::string title, int32_t platform_code, std::string platform_text);
  const std::string& Title() const noexcept { return title_; }
  int32_t PlatformCode() const noexcept { return platform_code_; }
  const std::string& PlatformText() const noexcept { return platform_text_; }
  const char* ClassName() const noexcept override { return "EIdWS2StubError"; }

 private:
  std::string title_;
  int32_t platform_code_;
  std::string platform_text_;
};

}  // namespace kv
