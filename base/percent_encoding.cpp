#include "base/percent_encoding.h"

namespace kv {

std::optional<std::string> PercentDecode(std::string_view text, BadEscape bad_escape) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexDigitValue(text[i + 2]) : -1;
    if (low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else if (text[i] == '%' && bad_escape == BadEscape::kFail) {
      return std::nullopt;
    } else {
      out += text[i];
    }
  }
  return out;
}

void AppendPercentEscape(std::string& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += '%';
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace kv
