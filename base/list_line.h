#pragma once
// The text list's line for a keyword, which the grid's rows, the saved lists
// and the TXT export share: the count right-aligned by blanks to at least 7
// characters, "   -   ", and the keyword.
#include <string>
#include <string_view>

namespace kv {

inline constexpr size_t kListCountWidth = 7;
inline constexpr std::string_view kListSeparator = "   -   ";

// A count right-aligned by blanks to at least 7 characters.
std::string AlignCount(std::string_view count);

// Appends "COUNT   -   KEYWORD" to `out`, the count aligned.
void AppendListLine(std::string& out, std::string_view count, std::string_view keyword);

}  // namespace kv
