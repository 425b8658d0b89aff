#pragma once
// The run-time library's string-to-integer conversion: leading blanks are
// skipped, an optional sign, then decimal digits to the end of the text, in
// the 32-bit range. Anything else is not an integer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

std::optional<int32_t> TryStrToInt(std::string_view text) noexcept;

// The same rules over the 64-bit range, for sizes and positions.
std::optional<int64_t> TryStrToInt64(std::string_view text) noexcept;

// Raises EConvertError "'TEXT' is not a valid integer value".
int32_t StrToInt(std::string_view text);

std::string IntToStr(int64_t value);

}  // namespace kv
