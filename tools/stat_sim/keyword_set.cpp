#include "tools/stat_sim/keyword_set.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kv::statsim {
namespace {

// Index 0 stands for "no modifier" in both lists.
constexpr std::array<std::string_view, 9> kPrefixes = {
    "", "купить", "где купить", "продажа", "заказать", "лучшие", "выбрать", "аренда", "ремонт",
};
constexpr std::array<std::string_view, 14> kSuffixes = {
    "",      "цена",        "отзывы",           "фото",           "недорого",  "москва", "интернет магазин",
    "видео", "своими руками", "характеристики", "официальный сайт", "спб",     "бу",     "размеры",
};
constexpr std::array<std::string_view, 10> kRelatedWords = {
    "оптом", "в кредит", "напрокат", "сервис", "каталог", "обзор", "рейтинг", "сравнение", "форум", "акции",
};

}  // namespace

KeywordSet::KeywordSet(std::string seed, long top_count) : seed_(std::move(seed)), top_count_(top_count) {
  // The seed alone, then the seed with one modifier (prefix and suffix taking
  // turns), then with both: short keywords rank above long ones, as they do
  // on the real service.
  combinations_.emplace_back(0, 0);
  for (size_t i = 1; i < std::max(kPrefixes.size(), kSuffixes.size()); ++i) {
    if (i < kPrefixes.size()) combinations_.emplace_back(i, 0);
    if (i < kSuffixes.size()) combinations_.emplace_back(0, i);
  }
  for (size_t s = 1; s < kSuffixes.size(); ++s)
    for (size_t p = 1; p < kPrefixes.size(); ++p) combinations_.emplace_back(p, s);
}

std::string KeywordSet::Combine(size_t prefix, size_t suffix) const {
  std::string text;
  if (prefix != 0) text.append(kPrefixes[prefix]).push_back(' ');
  text += seed_;
  if (suffix != 0) text.append(" ").append(kSuffixes[suffix]);
  return text;
}

KeywordEntry KeywordSet::At(size_t rank) const {
  const auto& [prefix, suffix] = combinations_[rank % combinations_.size()];
  std::string text = Combine(prefix, suffix);
  if (size_t round = rank / combinations_.size(); round > 0) text.append(" ").append(std::to_string(round + 1));
  long count = top_count_ / static_cast<long>(rank + 1);
  return {std::move(text), std::max(count, 1L)};
}

std::vector<KeywordEntry> KeywordSet::Page(int page, int per_page) const {
  std::vector<KeywordEntry> entries;
  size_t first = static_cast<size_t>(page - 1) * static_cast<size_t>(per_page);
  for (size_t rank = first; rank < first + static_cast<size_t>(per_page); ++rank) entries.push_back(At(rank));
  return entries;
}

std::vector<KeywordEntry> KeywordSet::Related() const {
  std::vector<KeywordEntry> entries;
  for (size_t i = 0; i < kRelatedWords.size(); ++i) {
    long count = top_count_ / static_cast<long>(3 * (i + 1));
    entries.push_back({seed_ + " " + std::string(kRelatedWords[i]), std::max(count, 1L)});
  }
  return entries;
}

}  // namespace kv::statsim
