#pragma once
// The keywords the stand-in reports for a seed: the seed itself first, then
// the seed with common shopping modifiers around it, in a fixed order, with
// counts that fall with the rank. Nothing is random: the same seed and top
// count always give the same list.

#include <cstddef>
#include <string>
#include <vector>

namespace kv::statsim {

struct KeywordEntry {
  std::string text;  // UTF-8
  long count = 0;
};

class KeywordSet {
 public:
  // `seed` is UTF-8; `top_count` is the count of rank 0 (the seed itself).
  KeywordSet(std::string seed, long top_count);

  // Rank 0 is the seed, then "купить SEED", "SEED цена", ...; once every
  // combination of modifiers is used, the round number is appended
  // ("SEED 2", "купить SEED 2", ...), so ranks never run out.
  // The count is top_count / (rank + 1), and at least 1.
  KeywordEntry At(size_t rank) const;

  // The keywords of result page `page` (from 1): ranks (page-1)*per_page on.
  std::vector<KeywordEntry> Page(int page, int per_page) const;

  // The short list of related queries shown beside the main table.
  std::vector<KeywordEntry> Related() const;

 private:
  std::string Combine(size_t prefix, size_t suffix) const;

  std::string seed_;
  long top_count_;
  // Every (prefix, suffix) pair in rank order; index 0 of either list is "no modifier".
  std::vector<std::pair<size_t, size_t>> combinations_;
};

}  // namespace kv::statsim
