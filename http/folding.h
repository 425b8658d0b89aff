#pragma once
// Wrapping of one long header line into several. Breaks go after a break
// character outside double quotes once the column passes the limit; a break
// already present in the text (breakText itself) is kept as it is.

#include <string>
#include <string_view>

namespace kv {

// Returns `line` with `breakText` inserted after the last break character
// (one of `breakChars`) before each point where the column exceeds `maxCol`.
// The first character of `breakText` starts the recognition of an existing
// break. A line without break characters before the limit stays whole.
// The first `keepTogether` characters never offer a break point.
std::string WrapForFolding(std::string_view line, std::string_view breakText, std::string_view breakChars,
                           long maxCol, size_t keepTogether = 0);

}  // namespace kv
