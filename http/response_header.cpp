#include "http/response_header.h"

#include <algorithm>
#include <array>

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
  // The response's own fields, the entity texts and the challenges in one
  // pass over the lines; the entity fields and the challenges take theirs
  // only once the range is read.
  thread_local std::string range;
  EntityTexts& texts = ScratchTexts();
  std::array<TIdHeaderList::WantedValue, kEntityNames + 4> wanted;
  wanted[0] = {"Location", &Location};
  wanted[1] = {"Server", &Server};
  wanted[2] = {"Proxy-Connection", &ProxyConnection};
  wanted[3] = {"Content-Range", &range};
  const auto entity = EntityWanted(texts);
  std::copy(entity.begin(), entity.end(), wanted.begin() + 4);
  thread_local StringList www_authenticate, proxy_authenticate;
  www_authenticate.Clear();
  proxy_authenticate.Clear();
  const std::array<TIdHeaderList::WantedValues, 2> every = {
      {{"WWW-Authenticate", &www_authenticate}, {"Proxy-Authenticate", &proxy_authenticate}}};
  HeaderLines.ValuesOf(wanted, every);
  if (!range.empty()) {
    CutToken(range, " ");  // the unit, "bytes"
    ContentRangeStart = RangeBound(CutToken(range, "-"));
    ContentRangeEnd = RangeBound(CutToken(range, "/"));
  }
  WWWAuthenticate.SwapLines(www_authenticate);
  ProxyAuthenticate.SwapLines(proxy_authenticate);
  ApplyEntityTexts(texts);
}

}  // namespace kv
