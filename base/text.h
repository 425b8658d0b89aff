#pragma once
// Text helpers that count positions from 1, as the page rules are written.
// None of them fails on positions outside the text.

#include <string>
#include <string_view>

namespace kv {

// The substring of at most `count` characters from position `index`.
// A start before 1 counts as 1, a negative count gives empty text, and a
// substring that runs past the end is cut at the end.
std::string_view CopyView(std::string_view text, long index, long count) noexcept;
inline std::string Copy(std::string_view text, long index, long count) {
  return std::string(CopyView(text, index, count));
}

// The position (from 1) of the first occurrence of `marker` in `text`, or 0.
size_t Pos(std::string_view marker, std::string_view text) noexcept;

// True when characters index..index+marker.size()-1 of `text` are `marker`.
bool HasAt(std::string_view text, long index, std::string_view marker) noexcept;

// The rest of a line from position `index`: at most this many characters.
inline constexpr long kRestOfLineCap = 9999;
inline std::string RestOfLine(std::string_view line, long index) {
  return Copy(line, index, kRestOfLineCap);
}

}  // namespace kv
