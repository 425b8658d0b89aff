#pragma once
// "%XX" escapes, read and written in one place: the proxy URL's user and
// password, the stand-in's query, request targets with control bytes, and
// the chunk size line's hex digits all go through these.

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The value of one hexadecimal digit, in either case; -1 for any other byte.
// Inline: the chunk reader calls it for every digit of every size line.
constexpr int HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What becomes of a "%" not followed by two hexadecimal digits.
enum class BadEscape {
  kFail,  // the text is no percent form: none is returned
  kKeep,  // the "%" stays as it is, as a lenient server reads a query
};

// "%XX" escapes turned into their bytes; every other byte, "+" included,
// is kept. With BadEscape::kKeep a result is always returned.
std::optional<std::string> PercentDecode(std::string_view text, BadEscape bad_escape);

// Appends "%XX" for `byte`, with upper-case digits.
void AppendPercentEscape(std::string& out, unsigned char byte);

}  // namespace kv
