#include "base/int_conversion.h"

#include "base/exception.h"

namespace kv {

std::optional<int64_t> TryStrToInt64(std::string_view text) noexcept {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  // Accumulated as a negative number so that INT64_MIN is reachable.
  constexpr int64_t kLowestTenth = INT64_MIN / 10;  // INT64_MIN is this times 10, less 8
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    const int digit = c - '0';
    if (value < kLowestTenth || (value == kLowestTenth && digit > 8)) return std::nullopt;
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == INT64_MIN) return std::nullopt;
    value = -value;
  }
  return value;
}

std::optional<int32_t> TryStrToInt(std::string_view text) noexcept {
  const std::optional<int64_t> value = TryStrToInt64(text);
  if (!value || *value > INT32_MAX || *value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(*value);
}

int32_t StrToInt(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value;
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

}  // namespace kv
