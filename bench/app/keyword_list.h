#pragma once
// A deterministic text list like the ones users collect: count, separator,
// Cyrillic keyword; a given share of the lines repeat earlier ones.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kv::bench {

// Lines in UTF-8, without line ends.
inline std::vector<std::string> MakeKeywordLines(size_t count, double duplicate_share, uint32_t seed = 42) {
  static const char* const kWords[] = {"купить", "кот",     "дешево",  "москва", "ремонт",   "квартира", "цена",
                                       "отзывы", "ёлка",    "новый",   "Скачать", "бесплатно", "игра",     "онлайн",
                                       "доставка", "пицца", "обучение", "курсы",  "Авто",     "шины",     "зимние",
                                       "как",    "сделать", "своими",  "руками", "фото",     "видео",    "2026"};
  constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
  std::mt19937 rng(seed);
  std::vector<std::string> lines;
  lines.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && std::uniform_real_distribution<double>(0, 1)(rng) < duplicate_share) {
      lines.push_back(lines[std::uniform_int_distribution<size_t>(0, i - 1)(rng)]);
      continue;
    }
    std::string keyword;
    int words = 2 + static_cast<int>(rng() % 3);
    for (int w = 0; w < words; ++w) {
      if (w) keyword += ' ';
      keyword += kWords[rng() % kWordCount];
    }
    keyword += ' ' + std::to_string(i);  // unique unless repeated on purpose
    std::string count_text = std::to_string(1 + rng() % 250000);
    if (count_text.size() < 7) count_text.insert(0, 7 - count_text.size(), ' ');
    lines.push_back(count_text + "   -   " + keyword);
  }
  return lines;
}

}  // namespace kv::bench
