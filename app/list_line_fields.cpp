#include "app/list_line_fields.h"

#include <algorithm>

#include "base/int_conversion.h"
#include "base/text.h"

namespace kv {
namespace {

constexpr long kKeywordStart = 15;
constexpr long kSavedKeywordLength = 99;
constexpr long kCountLength = 7;

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string_view SavedKeywordOf(std::string_view line) { return CopyView(line, kKeywordStart, kSavedKeywordLength); }

std::string_view KeywordOf(std::string_view line) {
  return CopyView(line, kKeywordStart, static_cast<long>(line.size()));
}

std::optional<std::int64_t> CountOf(std::string_view line) {
  const std::string_view digits = TrimBlanks(CopyView(line, 1, kCountLength));
  // Only digits: "+5" or "-3" are no counts the commands wrote.
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return TryStrToInt64(digits);
}

}  // namespace kv
