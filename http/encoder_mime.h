#pragma once
// Base64 of RFC 2045: three bytes become four characters of an alphabet,
// a short last group is filled with "=", and no line breaks are put in.
#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

class TIdEncoder3to4 {
 public:
  virtual ~TIdEncoder3to4() = default;
  // All of `bytes`: ((n + 2) / 3) * 4 characters.
  std::string Encode(std::string_view bytes) const;
  // The first `count` bytes; a count that is not a multiple of 3, unless it
  // is all of them, raises EIdException "Uneven size in Encode.".
  std::string Encode(std::string_view bytes, size_t count) const;

 protected:
  TIdEncoder3to4(const char* alphabet, char fill) : alphabet_(alphabet), fill_(fill) {}

 private:
  const char* alphabet_;  // 64 characters
  char fill_;
};

class TIdEncoderMIME : public TIdEncoder3to4 {
 public:
  TIdEncoderMIME();
};

}  // namespace kv
