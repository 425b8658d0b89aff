#include "base/comma_text.h"

namespace kv {
namespace {

constexpr char kQuote = '"';
constexpr char kDelimiter = ',';

bool IsSeparatingBlank(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 1 && byte <= 0x20;
}

// The quoted item that starts at `at` (on its opening quote), with doubled
// quotes made single; `at` ends after the closing quote. Without a closing
// quote the item runs to the end of the text.
std::string ReadQuoted(std::string_view text, size_t& at) {
  std::string item;
  ++at;
  while (at < text.size()) {
    if (text[at] == kQuote) {
      if (at + 1 < text.size() && text[at + 1] == kQuote) {
        item += kQuote;
        at += 2;
        continue;
      }
      ++at;
      break;
    }
    item += text[at++];
  }
  return item;
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> items;
  size_t at = 0;
  auto skipBlanks = [&] {
    while (at < text.size() && IsSeparatingBlank(text[at])) ++at;
  };
  skipBlanks();
  while (at < text.size()) {
    if (text[at] == kQuote) {
      items.push_back(ReadQuoted(text, at));
    } else {
      const size_t start = at;
      while (at < text.size() && static_cast<unsigned char>(text[at]) > 0x20 && text[at] != kDelimiter) ++at;
      items.emplace_back(text.substr(start, at - start));
    }
    skipBlanks();
    if (at < text.size() && text[at] == kDelimiter) {
      if (at + 1 == text.size()) items.emplace_back();
      ++at;
      skipBlanks();
    }
  }
  return items;
}

}  // namespace kv
