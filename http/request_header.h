#pragma once
// The header fields of a request: what the client sends (Accept, Host,
// User-Agent, credentials, ...) on top of the entity fields.

#include <memory>
#include <string>

#include "http/authentication.h"
#include "http/entity_header.h"

namespace kv {

inline constexpr const char* kDefaultAccept = "text/html, */*";
inline constexpr const char* kDefaultUserAgent = "Mozilla/3.0 (compatible; Kvornis)";

class TIdRequestHeaderInfo : public TIdEntityHeaderInfo {
 public:
  TIdRequestHeaderInfo();
  ~TIdRequestHeaderInfo() override = default;

  const char* ClassName() const noexcept override { return "TIdRequestHeaderInfo"; }

  // The entity lines, the custom lines, then Proxy-Connection, Host,
  // Accept, Accept-Charset, Accept-Encoding, Accept-Language, From,
  // Referer, User-Agent, If-Modified-Since, Range and Authorization.
  void ComposeHeaders() override { ComposeHeaders(true); }
  // Without `own_credentials` the Authorization line of the Authenticator
  // is left out; one among the custom lines stays as the caller set it.
  void ComposeHeaders(bool own_credentials);
  // Reads the fields of a received request.
  void ParseHeaders() override;
  // Resets Accept, AcceptCharSet, UserAgent and BasicAuthentication, then
  // the entity fields; the other request fields keep their values.
  void ResetFields() override;

  std::string Accept = kDefaultAccept;
  std::string AcceptCharSet;
  std::string AcceptEncoding;
  std::string AcceptLanguage;
  std::string From;
  std::string Password;
  std::string Referer;
  std::string UserAgent = kDefaultUserAgent;
  std::string Username;
  std::string Host;
  bool BasicAuthentication = false;
  std::string ProxyConnection;
  std::unique_ptr<TIdAuthentication> Authenticator;  // owned

 protected:
  void AssignTo(Persistent& destination) const override;

 private:
  TFieldTexts request_texts_;  // the request fields' texts of the last head read
};

}  // namespace kv
