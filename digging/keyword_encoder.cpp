#include "digging/keyword_encoder.h"

namespace kv {

std::string EncodeKeyword(std::string_view text, std::string_view blank_replacement) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size() * 3);
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == 0x20) {
      encoded += blank_replacement;
    } else if (byte == 0xA8 || byte == 0xB8 || byte >= 0xC0) {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

}  // namespace kv
