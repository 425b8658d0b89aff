#include "http/encoder_mime.h"

#include "net/exceptions.h"

namespace kv {

std::string TIdEncoder3to4::Encode(std::string_view bytes) const { return Encode(bytes, bytes.size()); }

std::string TIdEncoder3to4::Encode(std::string_view bytes, size_t count) const {
  if (count > bytes.size()) count = bytes.size();
  if (count % 3 != 0 && count != bytes.size()) throw EIdException("Uneven size in Encode.");
  std::string text;
  text.reserve((count + 2) / 3 * 4);
  for (size_t i = 0; i < count; i += 3) {
    const size_t group = count - i < 3 ? count - i : 3;
    unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
    if (group > 1) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (group > 2) value |= static_cast<unsigned char>(bytes[i + 2]);
    text += alphabet_[(value >> 18) & 63];
    text += alphabet_[(value >> 12) & 63];
    text += group > 1 ? alphabet_[(value >> 6) & 63] : fill_;
    text += group > 2 ? alphabet_[value & 63] : fill_;
  }
  return text;
}

TIdEncoderMIME::TIdEncoderMIME()
    : TIdEncoder3to4("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", '=') {}

}  // namespace kv
