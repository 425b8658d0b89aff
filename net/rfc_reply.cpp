#include "net/rfc_reply.h"

#include "base/int_conversion.h"

namespace kv {

void TIdRFCReply::SetNumericCode(int code) {
  numeric_code_ = code;
  if (code > 0) text_code_ = IntToStr(code);
}

void TIdRFCReply::SetTextCode(const std::string& text) {
  text_code_ = text;
  if (!text.empty()) numeric_code_ = TryStrToInt(text).value_or(0);
}

void TIdRFCReply::Clear() {
  numeric_code_ = 0;
  text_code_.clear();
  Text.clear();
}

}  // namespace kv
