// The harvest's foundations on a real SQLite file: the project store's
// queue and commits, the minus words, and the seed files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/collation.h"
#include "base/cp1251.h"
#include "app/minus_words.h"
#include "harvest/sqlite_store.h"
#include "harvest/word_file.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace kv::harvest {
namespace {

using test::TempDir;
using test::WriteFileBytes;

std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

std::vector<std::string> ResultKeywords(ProjectStore& store, int64_t minimum = 0) {
  std::vector<std::string> keywords;
  store.ForEachResult(minimum, [&](const ResultRecord& r) {
    keywords.push_back(Cp1251ToUtf8(r.keyword) + "=" + std::to_string(r.count) + "@" + std::to_string(r.depth));
  });
  return keywords;
}

TEST(ProjectStore, QueueTakesShallowestFirstSkipsFlightsAndWaitsForRetries) {
  TempDir dir;
  auto store = OpenSqliteProject(dir.File("p.kvh"), ProjectOpening::kCreateIfMissing);
  const DigSettings settings{2, 3, 10};
  EXPECT_EQ(store->QueueSeeds({{W("кот"), 0, settings}, {"dog", 0, settings}, {W("кот"), 0, settings}}), 2);
  int64_t retry = -1;
  std::optional<SeedJob> first = store->NextSeed({}, 1000, retry);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->keyword, W("кот"));
  EXPECT_EQ(first->settings.page_limit, 3);

  // A deeper seed queued by the first dig waits behind the other seed of
  // depth 0, and a keyword already queued is not queued again.
  const CommitCounts added = store->CommitDig(first->id, {{W("кот"), 50, W("кот"), 1}, {"cat", 40, W("кот"), 1}},
                                              {{W("кот"), 1, settings}, {"cat", 1, settings}});
  EXPECT_EQ(added.results, 2);
  EXPECT_EQ(added.seeds, 1);
  std::optional<SeedJob> second = store->NextSeed({}, 1000, retry);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->keyword, "dog");
  std::optional<SeedJob> third = store->NextSeed({second->id}, 1000, retry);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->keyword, "cat");
  EXPECT_EQ(third->depth, 1);

  // A failed attempt waits for its retry time; the last one marks it failed.
  store->RecordFailure(second->id, "EIdSocketError: refused", 5000, false);
  EXPECT_EQ(store->NextSeed({third->id}, 1000, retry), std::nullopt);
  EXPECT_EQ(retry, 5000);
  std::optional<SeedJob> again = store->NextSeed({third->id}, 5000, retry);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->failed_attempts, 1);
  store->RecordFailure(again->id, "EIdSocketError: refused", 0, true);
  EXPECT_EQ(store->NextSeed({third->id}, 9000, retry), std::nullopt);
  EXPECT_EQ(retry, 0);

  const SeedCounts counts = store->Counts();
  EXPECT_EQ(counts.done, 1);
  EXPECT_EQ(counts.queued, 1);
  EXPECT_EQ(counts.failed, 1);
  EXPECT_EQ(counts.results, 2);
  ASSERT_EQ(store->FailedSeeds().size(), 1u);
  EXPECT_EQ(store->FailedSeeds()[0].attempts, 2);
  EXPECT_EQ(store->RequeueFailed(), 1);
  EXPECT_EQ(store->Counts().queued, 2);
}

TEST(ProjectStore, ResultsKeepTheirFirstCommitAndExportInCountThenCollationOrder) {
  SetDefaultCollatorLocale("ru_RU");
  TempDir dir;
  const std::string path = dir.File("p.kvh");
  {
    auto store = OpenSqliteProject(path, ProjectOpening::kCreateIfMissing);
    store->QueueSeeds({{"a", 0, {}}, {"b", 0, {}}});
    int64_t retry = 0;
    const SeedJob a = *store->NextSeed({}, 0, retry);
    const SeedJob b = *store->NextSeed({a.id}, 0, retry);
    store->CommitDig(a.id, {{W("в"), 7, "a", 1}, {W("Б"), 7, "a", 1}, {W("а"), 7, "a", 1}, {"x", 900, "a", 1}}, {});
    // The second dig finds "x" again: the first commit keeps it.
    store->CommitDig(b.id, {{"x", 1, "b", 1}, {"y", 3, "b", 1}}, {});
  }
  // Reopened: everything committed is there.
  auto store = OpenSqliteProject(path, ProjectOpening::kExisting);
  EXPECT_EQ(ResultKeywords(*store), (std::vector<std::string>{"x=900@1", "а=7@1", "Б=7@1", "в=7@1", "y=3@1"}));
  EXPECT_EQ(ResultKeywords(*store, 7).size(), 4u);
  store->AddMinusWords({"x", "x", W("ёж")});
  EXPECT_EQ(store->MinusWordList(), (std::vector<std::string>{"x", W("ёж")}));
  SetDefaultCollatorLocale("");
}

TEST(ProjectStore, RefusesWhatIsNoProject) {
  TempDir dir;
  EXPECT_THROW(OpenSqliteProject(dir.File("missing.kvh"), ProjectOpening::kExisting), EProjectError);
  WriteFileBytes(dir.File("text.kvh"), "just some text, no database at all, long enough to look at");
  EXPECT_THROW(OpenSqliteProject(dir.File("text.kvh"), ProjectOpening::kExisting), EProjectError);
  // Another program's database is not taken over.
  ASSERT_EQ(test::RunProgram("sqlite3", {dir.File("other.db"), "CREATE TABLE t (x);"}).exit_code, 0);
  EXPECT_THROW(OpenSqliteProject(dir.File("other.db"), ProjectOpening::kCreateIfMissing), EProjectError);
}

TEST(MinusWords, WholeWordsWithoutCaseAndWithYoAsYe) {
  SetDefaultCollatorLocale("ru_RU");
  const MinusWords minus({W("бесплатно"), W("Ёлка"), "wiki", W("своими руками"), "  "});
  struct Case {
    const char* keyword;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"купить бесплатно", true},  {"БЕСПЛАТНО кот", true},   {"бесплатноватый", false},
      {"елка искусственная", true}, {"ёлочка", false},         {"Wiki-статья", true},
      {"wikipedia", false},         {"ремонт своими руками", true}, {"руками своими", false},
      {"кот (бесплатно)", true},    {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(minus.Matches(W(c.keyword)), c.matches) << c.keyword;
  EXPECT_FALSE(MinusWords().Matches(W("что угодно")));
  SetDefaultCollatorLocale("");
}

TEST(WordFile, Utf8OrWindows1251BlankLinesAndLimits) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> phrases;
  };
  const std::vector<Case> cases = {
      {"utf-8 with BOM and CR LF", "\xEF\xBB\xBF  кот  \r\n\r\nсобака\r\n", {W("кот"), W("собака")}},
      {"windows-1251", W("кот\nёж\n") + "\n\t \n", {W("кот"), W("ёж")}},
      {"no final line end", "a b\nc", {"a b", "c"}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) {
    WriteFileBytes(dir.File("w.txt"), c.bytes);
    EXPECT_EQ(ReadWordFile(dir.File("w.txt")), c.phrases) << c.name;
  }
  WriteFileBytes(dir.File("long.txt"), "ok\n" + std::string(kMaxPhraseLength + 1, 'x') + "\n");
  try {
    ReadWordFile(dir.File("long.txt"));
    ADD_FAILURE() << "a line too long was taken";
  } catch (const EWordFile& e) {
    EXPECT_NE(std::string(e.what()).find("long.txt:2:"), std::string::npos) << e.what();
  }
  EXPECT_THROW(ReadWordFile(dir.File("missing.txt")), EWordFile);
}

}  // namespace
}  // namespace kv::harvest
