// make-harvest-project FILE N [QUEUED]: a harvest project holding N results
// like the ones a long harvest collects (Cyrillic phrases, counts spread
// wide, 250 a seed), committed through the project store as the engine
// commits them, and QUEUED seeds still to dig (default 0).
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "harvest/sqlite_store.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make-harvest-project FILE N [QUEUED]\n");
    return 2;
  }
  using namespace kv::harvest;
  const long total = std::atol(argv[2]);
  const long queued = argc > 3 ? std::atol(argv[3]) : 0;
  static const char* const kWords[] = {"купить", "кот",   "дешево", "москва",  "ремонт", "квартира", "цена",
                                       "отзывы", "ёлка",  "новый",  "скачать", "игра",   "онлайн",   "доставка",
                                       "пицца",  "курсы", "шины",   "зимние",  "фото",   "видео"};
  constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
  constexpr long kPerSeed = 250;
  std::mt19937 random(7);

  auto store = OpenSqliteProject(argv[1], ProjectOpening::kCreateIfMissing);
  const DigSettings settings{1, 5, 1};
  long made = 0;
  for (long seed_number = 0; made < total; ++seed_number) {
    const std::string seed = "seed " + std::to_string(seed_number);
    store->QueueSeeds({{seed, 0, settings}});
    int64_t retry = 0;
    const SeedJob job = *store->NextSeed({}, 0, retry);
    std::vector<ResultRecord> results;
    for (long i = 0; i < kPerSeed && made < total; ++i, ++made) {
      std::string keyword;
      for (int w = 0; w < 2 + static_cast<int>(random() % 3); ++w) keyword += std::string(kWords[random() % kWordCount]) + ' ';
      keyword += std::to_string(made);
      results.push_back({kv::Utf8ToCp1251(keyword), static_cast<int64_t>(1 + random() % 250000), seed, 1});
    }
    store->CommitDig(job.id, results, {});
  }
  std::vector<QueuedSeed> seeds;
  for (long i = 0; i < queued; ++i) seeds.push_back({"queued " + std::to_string(i), 0, DigSettings{0, 1, 1}});
  store->QueueSeeds(seeds);
  return 0;
}
