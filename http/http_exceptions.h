#pragma once
// The failures of the HTTP client, each with its fixed message.
#include <string>

#include "net/exceptions.h"

namespace kv {

// A status the client does not accept: the message is the status line as
// received, ReplyCode the status code (-1 when unreadable), ErrorBody the
// body that came with it.
class EIdHTTPProtocolException : public EIdProtocolReplyError {
 public:
  EIdHTTPProtocolException(int reply_code, std::string message, std::string error_body)
      : EIdProtocolReplyError(reply_code, std::move(message)), error_body_(std::move(error_body)) {}
  int ReplyCode() const noexcept { return ReplyErrorCode(); }
  const std::string& ErrorBody() const noexcept { return error_body_; }
  const char* ClassName() const noexcept override { return "EIdHTTPProtocolException"; }

 private:
  std::string error_body_;
};

// A URL whose protocol is neither http nor https and whose port is unknown.
KV_DECLARE_ID_EXCEPTION(EIdUnknownProtocol, EIdException, "");
// An https URL on a connection without a TLS transport.
KV_DECLARE_ID_EXCEPTION(EIdIOHandlerPropInvalid, EIdException, "IOHandler value is not valid");
// A proxy's answer to CONNECT that no tunnel can stand on; the message says
// what was wrong with it.
KV_DECLARE_ID_EXCEPTION(EIdHTTPTunnelError, EIdException, "Proxy tunnel failed.");

}  // namespace kv
