#pragma once
// The header fields of a response: what the client reads (Location, Server,
// the authentication challenges, Content-Range) on top of the entity fields.

#include <string>

#include "http/entity_header.h"

namespace kv {

class TIdResponseHeaderInfo : public TIdEntityHeaderInfo {
 public:
  TIdResponseHeaderInfo();
  ~TIdResponseHeaderInfo() override = default;

  const char* ClassName() const noexcept override { return "TIdResponseHeaderInfo"; }

  // Location, Server, Proxy-Connection, Content-Range, the challenge lists,
  // then the entity fields. A "Content-Range" that is not "UNIT START-END/..."
  // raises EConvertError "'TEXT' is not a valid integer value".
  void ParseHeaders() override;
  void ResetFields() override;

  // Assigning a list copies its lines.
  void SetProxyAuthenticate(const StringList& lines) { ProxyAuthenticate.AssignLines(lines); }
  void SetWWWAuthenticate(const StringList& lines) { WWWAuthenticate.AssignLines(lines); }

  std::string Location;
  std::string Server;
  std::string ProxyConnection;
  TIdHeaderList ProxyAuthenticate;  // every "Proxy-Authenticate" value
  TIdHeaderList WWWAuthenticate;    // every "WWW-Authenticate" value

 private:
  TFieldTexts response_texts_;  // the response fields' texts of the last head read
};

}  // namespace kv
