#include "http/http_wire.h"

#include <algorithm>

#include "base/int_conversion.h"
#include "base/percent_encoding.h"
#include "base/text.h"
#include "base/text_tokens.h"
#include "http/header_list.h"
#include "net/exceptions.h"

namespace kv {

namespace {

constexpr size_t kDefaultMaxLineLength = 16384;
// A header block may take this many times the line limit.
constexpr size_t kMaxHeaderBlockLines = 64;

}  // namespace

const char* ProtocolVersionText(TIdHTTPProtocolVersion version) { return version == pv1_0 ? "1.0" : "1.1"; }

const char* MethodWord(TIdHTTPMethod method) {
  switch (method) {
    case hmHead: return "HEAD ";
    case hmGet: return "GET ";
    case hmPost: return "POST ";
    case hmOptions: return "OPTIONS ";
    case hmTrace: return "TRACE ";
    case hmPut: return "PUT ";
    case hmDelete: return "DELETE ";
    case hmConnect: return "CONNECT ";
  }
  return "GET ";
}

void WriteRequestHead(std::string& head, TIdHTTPMethod method, std::string_view target, TIdHTTPProtocolVersion version,
                      const TIdHeaderList& lines) {
  const std::string_view method_word = MethodWord(method);
  size_t size = method_word.size() + target.size() + 16;  // " HTTP/1.1", its line end and the empty line
  for (const std::string& line : lines.Lines()) size += line.size() + 2;
  head.clear();
  head.reserve(size);
  head.append(method_word).append(target).append(" HTTP/").append(ProtocolVersionText(version));
  head += "\r\n";
  for (const std::string& line : lines.Lines()) {
    if (!line.empty()) head.append(line).append("\r\n");
  }
  head += "\r\n";
}

std::string EncodeControlBytes(std::string target) {
  auto is_control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  if (std::none_of(target.begin(), target.end(), is_control)) return target;
  std::string encoded;
  encoded.reserve(target.size() + 8);
  for (char c : target) {
    if (is_control(c)) {
      AppendPercentEscape(encoded, static_cast<unsigned char>(c));
    } else {
      encoded += c;
    }
  }
  return encoded;
}

int StatusCodeOf(std::string_view status_line) {
  // The usual form, "HTTP/1.1 200 OK": a version without blanks, one blank,
  // three digits and a blank or the end.
  auto digit = [&](size_t at) { return status_line[at] >= '0' && status_line[at] <= '9'; };
  if (status_line.size() >= 12 && status_line.substr(0, 8).find(' ') == std::string_view::npos &&
      status_line[8] == ' ' && digit(9) && digit(10) && digit(11) &&
      (status_line.size() == 12 || status_line[12] == ' '))
    return (status_line[9] - '0') * 100 + (status_line[10] - '0') * 10 + (status_line[11] - '0');
  std::string_view rest = status_line;
  const size_t blank = rest.find(' ');
  if (blank != std::string_view::npos) rest.remove_prefix(blank + 1);
  rest = TrimView(rest);
  return TryStrToInt(rest.substr(0, rest.find(' '))).value_or(-1);
}

std::optional<TIdHTTPProtocolVersion> StatusVersionOf(std::string_view status_line) {
  const std::string_view version = CopyView(status_line, 6, 3);
  if (SameTextAscii(version, "1.0")) return pv1_0;
  if (SameTextAscii(version, "1.1")) return pv1_1;
  return std::nullopt;
}

std::optional<int64_t> ChunkSizeOf(std::string_view line) {
  // More digits than this would not fit in 64 bits: not a size.
  constexpr size_t kMaxDigits = 15;
  line = line.substr(0, line.find_first_of("; \t"));
  if (line.empty() || line.size() > kMaxDigits) return std::nullopt;
  int64_t length = 0;
  for (char c : line) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    length = length * 16 + digit;
  }
  return length;
}

int64_t ChunkLengthOf(std::string_view line) { return ChunkSizeOf(line).value_or(0); }

THeaderBlockLimit::THeaderBlockLimit(int max_line_length)
    : limit_((max_line_length > 0 ? static_cast<size_t>(max_line_length) : kDefaultMaxLineLength) *
             kMaxHeaderBlockLines) {}

void THeaderBlockLimit::Count(std::string_view line) {
  size_ += line.size() + 2;
  if (size_ > limit_) throw EIdReadLnMaxLineLengthExceeded();
}

}  // namespace kv
