#pragma once
// The keyword as the service's query address carries it.
#include <string>
#include <string_view>

namespace kv {

// Windows-1251 text to the query form: a blank becomes `blank_replacement`,
// the Cyrillic letters ("Ё", "ё", "А" to "я") become "%" and two upper-case
// hex digits, every other byte passes unchanged.
std::string EncodeKeyword(std::string_view text, std::string_view blank_replacement);

}  // namespace kv
