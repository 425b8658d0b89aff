#include "app/minus_words.h"

#include <algorithm>

#include "base/collation.h"

namespace kv {

namespace {

// Letters and digits make words; everything else (blanks, hyphens, quotes,
// punctuation) parts them. In Windows-1251 the Cyrillic letters are
// 0xC0-0xFF with "Ё" 0xA8 and "ё" 0xB8, and the other Cyrillic alphabets'
// letters sit among 0x80-0xBF.
bool IsWordByte(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c >= 0xC0) return true;
  switch (c) {
    case 0x80: case 0x81: case 0x83: case 0x8A: case 0x8C: case 0x8D: case 0x8E: case 0x8F:
    case 0x90: case 0x9A: case 0x9C: case 0x9D: case 0x9E: case 0x9F:
    case 0xA1: case 0xA2: case 0xA3: case 0xA5: case 0xA8: case 0xAA: case 0xAF:
    case 0xB2: case 0xB3: case 0xB4: case 0xB8: case 0xBA: case 0xBC: case 0xBD: case 0xBE: case 0xBF:
      return true;
    default:
      return false;
  }
}

// "Ё" and "ё" compare as "Е" and "е", as people write them interchangeably.
std::string FoldYo(std::string_view word) {
  std::string folded(word);
  for (char& c : folded) {
    if (c == '\xA8') c = '\xC5';
    if (c == '\xB8') c = '\xE5';
  }
  return folded;
}

}  // namespace

MinusWords::MinusWords(const std::vector<std::string>& words) : MinusWords(words, DefaultCollator()) {}

MinusWords::MinusWords(const std::vector<std::string>& words, const TextCollator& collator) : collator_(&collator) {
  for (const std::string& phrase : words) {
    std::vector<std::string> keys = WordKeys(phrase);
    if (!keys.empty()) phrases_.push_back(std::move(keys));
  }
}

std::vector<std::string> MinusWords::WordKeys(std::string_view text) const {
  std::vector<std::string> keys;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && !IsWordByte(static_cast<unsigned char>(text[i]))) ++i;
    const size_t start = i;
    while (i < text.size() && IsWordByte(static_cast<unsigned char>(text[i]))) ++i;
    if (i > start) keys.push_back(collator_->SortKey(FoldYo(text.substr(start, i - start))));
  }
  return keys;
}

bool MinusWords::Matches(std::string_view keyword) const {
  if (phrases_.empty()) return false;
  const std::vector<std::string> words = WordKeys(keyword);
  for (const std::vector<std::string>& phrase : phrases_) {
    if (std::search(words.begin(), words.end(), phrase.begin(), phrase.end()) != words.end()) return true;
  }
  return false;
}

}  // namespace kv
