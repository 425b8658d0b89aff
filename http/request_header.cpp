#include "http/request_header.h"

#include "base/int_conversion.h"
#include "base/text_tokens.h"
#include "http/internet_date.h"

namespace kv {

TIdRequestHeaderInfo::TIdRequestHeaderInfo() { TIdRequestHeaderInfo::ResetFields(); }

void TIdRequestHeaderInfo::ResetFields() {
  Accept = kDefaultAccept;
  AcceptCharSet.clear();
  UserAgent = kDefaultUserAgent;
  BasicAuthentication = false;
  TIdEntityHeaderInfo::ResetFields();
}

void TIdRequestHeaderInfo::ComposeHeaders(bool own_credentials) {
  ComposeEntityLines();
  // The request's names differ from the entity's and from each other: only
  // custom lines can already hold one of them.
  const bool only_entity_lines = CustomHeaders.Empty();
  auto set = [this, only_entity_lines](std::string_view name, const std::string& value) {
    if (value.empty()) return;
    if (only_entity_lines) {
      HeaderLines.AppendValue(name, value);
    } else {
      HeaderLines.SetValueOf(name, value);
    }
  };
  set("Proxy-Connection", ProxyConnection);
  set("Host", Host);
  set("Accept", Accept);
  set("Accept-Charset", AcceptCharSet);
  set("Accept-Encoding", AcceptEncoding);
  set("Accept-Language", AcceptLanguage);
  set("From", From);
  set("Referer", Referer);
  set("User-Agent", UserAgent);
  if (LastModified > 0) set("If-Modified-Since", InternetDateText(LastModified));
  if (ContentRangeStart != 0 || ContentRangeEnd != 0) {
    std::string range = "bytes=" + IntToStr(static_cast<int64_t>(ContentRangeStart)) + "-";
    if (ContentRangeEnd != 0) range += IntToStr(static_cast<int64_t>(ContentRangeEnd));
    set("Range", range);
  }
  if (!Authenticator && BasicAuthentication) {
    Authenticator = std::make_unique<TIdBasicAuthentication>();
    Authenticator->AssignUserName(Username);
    Authenticator->AssignPassword(Password);
  }
  if (Authenticator && own_credentials) set("Authorization", Authenticator->CredentialsText());
}

void TIdRequestHeaderInfo::ParseHeaders() {
  Accept = HeaderLines.ValueOf("Accept");
  AcceptCharSet = HeaderLines.ValueOf("Accept-Charset");
  AcceptEncoding = HeaderLines.ValueOf("Accept-Encoding");
  AcceptLanguage = HeaderLines.ValueOf("Accept-Language");
  Host = HeaderLines.ValueOf("Host");
  From = HeaderLines.ValueOf("From");
  Referer = HeaderLines.ValueOf("Referer");
  UserAgent = HeaderLines.ValueOf("User-Agent");
  std::string range = HeaderLines.ValueOf("Range");
  if (!range.empty()) {
    // "bytes=START-END": a part that is not a number (or is negative)
    // counts as 0.
    auto number = [](const std::string& text) {
      const auto value = TryStrToInt64(text);
      return value && *value > 0 ? static_cast<uint64_t>(*value) : uint64_t{0};
    };
    CutToken(range, "=");
    ContentRangeStart = number(CutToken(range, "-"));
    ContentRangeEnd = number(CutToken(range, " "));
  }
  ParseEntityFields();
}

void TIdRequestHeaderInfo::AssignTo(Persistent& destination) const {
  if (auto* request = dynamic_cast<TIdRequestHeaderInfo*>(&destination)) {
    request->Accept = Accept;
    request->AcceptCharSet = AcceptCharSet;
    request->AcceptEncoding = AcceptEncoding;
    request->AcceptLanguage = AcceptLanguage;
    request->From = From;
    request->Password = Password;
    request->Referer = Referer;
    request->UserAgent = UserAgent;
    request->Username = Username;
    request->BasicAuthentication = BasicAuthentication;
    return;
  }
  TIdEntityHeaderInfo::AssignTo(destination);
}

}  // namespace kv
