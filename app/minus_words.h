#pragma once
// Minus words: phrases whose keywords a harvest neither keeps nor digs. A
// keyword matches when it holds a minus word as a whole word (a phrase of
// several words: as those words in a row), compared as the list sort
// compares, without regard to case, and with "ё" taken for "е".
#include <string>
#include <string_view>
#include <vector>

namespace kv {
class TextCollator;
}

namespace kv {

class MinusWords {
 public:
  MinusWords() = default;
  // `words`: Windows-1251 phrases; blank ones are ignored.
  explicit MinusWords(const std::vector<std::string>& words);
  MinusWords(const std::vector<std::string>& words, const TextCollator& collator);

  bool Empty() const { return phrases_.empty(); }
  // True when `keyword` (Windows-1251) holds one of the phrases.
  bool Matches(std::string_view keyword) const;

 private:
  // The comparison keys of a text's words, in order.
  std::vector<std::string> WordKeys(std::string_view text) const;

  const TextCollator* collator_ = nullptr;
  std::vector<std::vector<std::string>> phrases_;  // word keys per phrase
};

}  // namespace kv
