#include "http/folding.h"

#include "base/text_tokens.h"

namespace kv {

std::string WrapForFolding(std::string_view line, std::string_view breakText, std::string_view breakChars,
                           long maxCol, size_t keepTogether) {
  // Positions count from 1, as the rule is written; line[pos - 1] is the
  // character at pos. Windows-1251 has no lead bytes, so every character is
  // one byte.
  const size_t length = line.size();
  auto isBreakChar = [&](char c) { return breakChars.find(c) != std::string_view::npos; };
  auto at = [&](size_t pos) { return line[pos - 1]; };

  std::string result;
  result.reserve(length + length / 16 + 8);
  long column = 1;
  size_t pos = 1;
  size_t lineStart = 1;
  size_t breakPos = 0;
  bool quoteOpen = false;
  bool existingBreak = false;

  while (pos <= length) {
    const char current = at(pos);
    if (!breakText.empty() && current == breakText.front()) {
      if (!quoteOpen) {
        existingBreak = SameTextAscii(breakText, line.substr(pos - 1, breakText.size()));
        if (existingBreak) {
          pos += breakText.size() - 1;
          breakPos = pos;
        }
      }
    } else if (isBreakChar(current)) {
      if (!quoteOpen && pos > keepTogether) breakPos = pos;
    } else if (current == '"') {
      quoteOpen = !quoteOpen;
    }
    ++pos;
    ++column;
    if (!quoteOpen && (existingBreak || (column > maxCol && breakPos > lineStart))) {
      column = static_cast<long>(pos - breakPos);
      result.append(line.substr(lineStart - 1, breakPos - lineStart + 1));
      if (current != '"')
        while (pos <= length && (isBreakChar(at(pos)) || at(pos) == '\r' || at(pos) == '\n')) ++pos;
      if (!existingBreak && pos < length) result.append(breakText);
      lineStart = breakPos + 1;
      existingBreak = false;
    }
  }
  if (lineStart <= length) result.append(line.substr(lineStart - 1));
  return result;
}

}  // namespace kv
