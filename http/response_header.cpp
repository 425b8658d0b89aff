#include "http/response_header.h"

#include "base/int_conversion.h"
#include "base/text_tokens.h"

namespace kv {
namespace {

// A range bound: a decimal number from 0 up; anything else is a conversion
// error naming the text.
uint64_t RangeBound(const std::string& text) {
  const std::optional<int64_t> value = TryStrToInt64(text);
  if (!value || *value < 0) throw EConvertError("'" + text + "' is not a valid integer value");
  return static_cast<uint64_t>(*value);
}

}  // namespace

TIdResponseHeaderInfo::TIdResponseHeaderInfo() { TIdResponseHeaderInfo::ResetFields(); }

void TIdResponseHeaderInfo::ResetFields() {
  Location.clear();
  Server.clear();
  ProxyConnection.clear();
  ProxyAuthenticate.Clear();
  WWWAuthenticate.Clear();
  TIdEntityHeaderInfo::ResetFields();
}

void TIdResponseHeaderInfo::ParseHeaders() {
  std::string range;
  HeaderLines.ValuesOf(
      {{"Location", &Location}, {"Server", &Server}, {"Proxy-Connection", &ProxyConnection}, {"Content-Range", &range}});
  if (!range.empty()) {
    CutToken(range, " ");  // the unit, "bytes"
    ContentRangeStart = RangeBound(CutToken(range, "-"));
    ContentRangeEnd = RangeBound(CutToken(range, "/"));
  }
  WWWAuthenticate.Clear();
  HeaderLines.ExtractAll("WWW-Authenticate", &WWWAuthenticate);
  ProxyAuthenticate.Clear();
  HeaderLines.ExtractAll("Proxy-Authenticate", &ProxyAuthenticate);
  ParseEntityFields();
}

}  // namespace kv
