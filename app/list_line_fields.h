#pragma once
// The fields of a text-list line as the commands read them back: the count
// in characters 1 to 7 (aligned by blanks) and the keyword from character
// 15, after "   -   ".
#include <cstdint>
#include <optional>
#include <string_view>

namespace kv {

// Characters 15 to 113: the keyword as "Сохранить кейворды" writes it, at
// most 99 characters; empty for a line shorter than 15 characters.
std::string_view SavedKeywordOf(std::string_view line);

// Characters 15 to the line's end: the whole keyword, as the grid shows it.
std::string_view KeywordOf(std::string_view line);

// The number characters 1 to 7 hold between blanks; none when they hold
// anything else (a line the user typed, say) or nothing.
std::optional<std::int64_t> CountOf(std::string_view line);

}  // namespace kv
