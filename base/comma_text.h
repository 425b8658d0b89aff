#pragma once
// Comma-separated text as string lists read it: items are separated by a
// comma or by blanks (any byte up to 0x20), a double quote groups an item
// that may hold commas and blanks ("" inside it is one quote), and a comma
// at the very end adds an empty item. The text ends at its first NUL.

#include <string>
#include <string_view>
#include <vector>

namespace kv {

std::vector<std::string> SplitCommaText(std::string_view text);

}  // namespace kv
