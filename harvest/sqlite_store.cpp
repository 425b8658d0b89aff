#include "harvest/sqlite_store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "base/collation.h"
#include "base/cp1251.h"

namespace kv::harvest {

namespace {

// What marks a file as a harvest project, and the version of its tables.
constexpr std::string_view kFormat = "kvornis-harvest 1";

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS project (
  key   TEXT PRIMARY KEY,
  value TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS seeds (
  id              INTEGER PRIMARY KEY,
  keyword         TEXT NOT NULL UNIQUE,
  depth           INTEGER NOT NULL,
  max_depth       INTEGER NOT NULL,
  page_limit      INTEGER NOT NULL,
  minimum_count   INTEGER NOT NULL,
  state           TEXT NOT NULL DEFAULT 'queued' CHECK (state IN ('queued', 'done', 'failed')),
  failed_attempts INTEGER NOT NULL DEFAULT 0,
  retry_at        INTEGER NOT NULL DEFAULT 0,
  error           TEXT
);
CREATE INDEX IF NOT EXISTS seeds_queue ON seeds (state, depth, id);
CREATE TABLE IF NOT EXISTS results (
  keyword  TEXT PRIMARY KEY,
  count    INTEGER NOT NULL,
  seed     TEXT NOT NULL,
  depth    INTEGER NOT NULL,
  sort_key BLOB NOT NULL
);
CREATE INDEX IF NOT EXISTS results_order ON results (count DESC, sort_key, keyword);
CREATE TABLE IF NOT EXISTS minus_words (
  word TEXT PRIMARY KEY
);
)sql";

// Tables added after the first projects were made; created in those too.
constexpr const char* kLaterTables = R"sql(
CREATE TABLE IF NOT EXISTS proxies (
  scheme         TEXT NOT NULL,
  host           TEXT NOT NULL,
  port           INTEGER NOT NULL,
  user           TEXT NOT NULL,
  requests       INTEGER NOT NULL,
  failures       INTEGER NOT NULL,
  last_error     TEXT NOT NULL,
  benched_until  INTEGER NOT NULL,
  PRIMARY KEY (scheme, host, port, user)
);
)sql";

// A prepared statement, reset after every use.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& file, const char* sql) : db_(db), file_(&file) {
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) Fail();
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value) {
    Check(sqlite3_bind_int64(statement_, index, value));
    return *this;
  }
  // A Windows-1251 text, kept as UTF-8.
  Statement& BindText(int index, std::string_view cp1251) {
    std::string utf8 = Cp1251ToUtf8(cp1251);
    Check(sqlite3_bind_text(statement_, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Statement& BindBlob(int index, std::string_view bytes) {
    Check(sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
  }

  // True while there is a row.
  bool Step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    sqlite3_reset(statement_);
    if (result != SQLITE_DONE) Fail(result);
    return false;
  }
  // Runs a statement that returns no rows.
  void Run() {
    while (Step()) {
    }
    sqlite3_clear_bindings(statement_);
  }
  void Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

  int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
  std::string_view Utf8(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text ? std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column))) : "";
  }
  std::string Text(int column) const { return Utf8ToCp1251(Utf8(column)); }

 private:
  void Check(int result) {
    if (result != SQLITE_OK) Fail(result);
  }
  [[noreturn]] void Fail(int result = SQLITE_ERROR) {
    (void)result;
    throw EProjectError(*file_ + ": " + sqlite3_errmsg(db_));
  }

  sqlite3* db_;
  const std::string* file_;
  sqlite3_stmt* statement_ = nullptr;
};

class SqliteProject : public ProjectStore {
 public:
  SqliteProject(std::string path, ProjectOpening opening);
  ~SqliteProject() override {
    sqlite3_close_v2(queue_reader_);
    sqlite3_close_v2(db_);
  }

  int64_t QueueSeeds(const std::vector<QueuedSeed>& seeds) override;
  std::optional<SeedJob> NextSeed(const std::vector<int64_t>& in_flight, int64_t now_ms,
                                  int64_t& next_retry_ms) override;
  std::vector<CommitCounts> CommitDigs(const std::vector<DigCommit>& digs) override;
  void RecordFailure(int64_t seed_id, const std::string& error, int64_t retry_at_ms, bool final) override;
  int64_t RequeueFailed() override;
  int64_t DropQueuedSeeds(const std::function<bool(const std::string&)>& drop) override;
  int64_t AddMinusWords(const std::vector<std::string>& words) override;
  std::vector<std::string> MinusWordList() override;
  void KeepProxyScore(const ProxyScore& score) override;
  std::vector<ProxyScore> ProxyScores() override;
  SeedCounts Counts() override;
  std::vector<FailedSeed> FailedSeeds() override;
  void ForEachResult(int64_t minimum_count, const std::function<void(const ResultRecord&)>& visit) override;
  std::vector<ResultRecord> LatestResults(int64_t limit) override;

 private:
  void Execute(const char* sql);
  [[noreturn]] void Fail() const { throw EProjectError(path_ + ": " + sqlite3_errmsg(db_)); }
  // Checks the file is a project, or makes it one when it is new.
  void PrepareTables();
  // The results' sort keys follow the collation of the locale they were
  // made in; another locale makes them anew.
  void MatchCollation();
  int64_t InsertSeeds(const std::vector<QueuedSeed>& seeds);

  // BEGIN IMMEDIATE ... COMMIT, rolled back when the body throws.
  template <typename Body>
  auto InTransaction(Body body) {
    Execute("BEGIN IMMEDIATE");
    try {
      auto result = body();
      Execute("COMMIT");
      return result;
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  // The queue is read on a connection of its own, which the write-ahead log
  // lets read beside a transaction under way on db_.
  sqlite3* queue_reader_ = nullptr;
};

SqliteProject::SqliteProject(std::string path, ProjectOpening opening) : path_(std::move(path)) {
  struct stat info{};
  if (opening == ProjectOpening::kExisting && stat(path_.c_str(), &info) != 0) {
    throw EProjectError(path_ + ": no such project (create it with \"add\")");
  }
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close_v2(db_);
    throw EProjectError(path_ + ": " + reason);
  }
  try {
    // Another process may be running the harvest: wait for its short
    // transactions instead of failing at once.
    sqlite3_busy_timeout(db_, 10000);
    PrepareTables();
    MatchCollation();
    if (sqlite3_open_v2(path_.c_str(), &queue_reader_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
      throw EProjectError(path_ + ": " + (queue_reader_ ? sqlite3_errmsg(queue_reader_) : "out of memory"));
    }
    sqlite3_busy_timeout(queue_reader_, 10000);
  } catch (...) {
    sqlite3_close_v2(queue_reader_);
    sqlite3_close_v2(db_);
    throw;
  }
}

void SqliteProject::Execute(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
}

void SqliteProject::PrepareTables() {
  // A crash between two statements loses nothing committed; NORMAL
  // synchronisation keeps every commit through a crash of the process.
  Execute("PRAGMA journal_mode=WAL");
  Execute("PRAGMA synchronous=NORMAL");
  Statement tables(db_, path_, "SELECT count(*) FROM sqlite_schema");
  tables.Step();
  const bool empty = tables.Int(0) == 0;
  tables.Reset();
  if (empty) {
    InTransaction([&] {
      Execute(kSchema);
      Execute(kLaterTables);
      Statement format(db_, path_, "INSERT INTO project (key, value) VALUES ('format', ?1)");
      format.BindText(1, kFormat).Run();
      return 0;
    });
    return;
  }
  bool is_project = false;
  if (sqlite3_exec(db_, "SELECT 1 FROM project", nullptr, nullptr, nullptr) == SQLITE_OK) {
    Statement format(db_, path_, "SELECT value FROM project WHERE key = 'format'");
    is_project = format.Step() && format.Utf8(0) == kFormat;
    format.Reset();
  }
  if (!is_project) throw EProjectError(path_ + ": not a harvest project");
  Execute(kLaterTables);
}

void SqliteProject::MatchCollation() {
  const std::string& locale = DefaultCollator().LocaleName();
  Statement kept(db_, path_, "SELECT value FROM project WHERE key = 'collation'");
  const bool same = kept.Step() && kept.Utf8(0) == locale;
  kept.Reset();
  if (same) return;
  InTransaction([&] {
    Statement keywords(db_, path_, "SELECT keyword FROM results");
    Statement update(db_, path_, "UPDATE results SET sort_key = ?2 WHERE keyword = ?1");
    std::vector<std::string> all;
    while (keywords.Step()) all.emplace_back(keywords.Utf8(0));
    for (const std::string& utf8 : all) {
      update.BindText(1, Utf8ToCp1251(utf8)).BindBlob(2, DefaultCollator().SortKey(Utf8ToCp1251(utf8))).Run();
    }
    Statement note(db_, path_, "INSERT OR REPLACE INTO project (key, value) VALUES ('collation', ?1)");
    note.BindText(1, locale).Run();
    return 0;
  });
}

int64_t SqliteProject::InsertSeeds(const std::vector<QueuedSeed>& seeds) {
  Statement insert(db_, path_,
                   "INSERT OR IGNORE INTO seeds (keyword, depth, max_depth, page_limit, minimum_count) "
                   "VALUES (?1, ?2, ?3, ?4, ?5)");
  int64_t queued = 0;
  for (const QueuedSeed& seed : seeds) {
    insert.BindText(1, seed.keyword)
        .Bind(2, seed.depth)
        .Bind(3, seed.settings.max_depth)
        .Bind(4, seed.settings.page_limit)
        .Bind(5, seed.settings.minimum_count)
        .Run();
    queued += sqlite3_changes(db_);
  }
  return queued;
}

int64_t SqliteProject::QueueSeeds(const std::vector<QueuedSeed>& seeds) {
  return InTransaction([&] { return InsertSeeds(seeds); });
}

std::optional<SeedJob> SqliteProject::NextSeed(const std::vector<int64_t>& in_flight, int64_t now_ms,
                                               int64_t& next_retry_ms) {
  // Seeds in flight are still queued; skipping them needs at most that
  // many rows more.
  Statement next(queue_reader_, path_,
                 "SELECT id, keyword, depth, max_depth, page_limit, minimum_count, failed_attempts FROM seeds "
                 "WHERE state = 'queued' AND retry_at <= ?1 ORDER BY depth, id LIMIT ?2");
  next.Bind(1, now_ms).Bind(2, static_cast<int64_t>(in_flight.size()) + 1);
  while (next.Step()) {
    const int64_t id = next.Int(0);
    if (std::find(in_flight.begin(), in_flight.end(), id) != in_flight.end()) continue;
    SeedJob job;
    job.id = id;
    job.keyword = next.Text(1);
    job.depth = static_cast<int>(next.Int(2));
    job.settings = {static_cast<int>(next.Int(3)), static_cast<int>(next.Int(4)), static_cast<int>(next.Int(5))};
    job.failed_attempts = static_cast<int>(next.Int(6));
    next.Reset();
    return job;
  }
  Statement waiting(queue_reader_, path_, "SELECT min(retry_at) FROM seeds WHERE state = 'queued' AND retry_at > ?1");
  waiting.Bind(1, now_ms);
  next_retry_ms = waiting.Step() ? waiting.Int(0) : 0;
  waiting.Reset();
  return std::nullopt;
}

std::vector<CommitCounts> SqliteProject::CommitDigs(const std::vector<DigCommit>& digs) {
  return InTransaction([&] {
    Statement insert(db_, path_,
                     "INSERT OR IGNORE INTO results (keyword, count, seed, depth, sort_key) "
                     "VALUES (?1, ?2, ?3, ?4, ?5)");
    Statement done(db_, path_, "UPDATE seeds SET state = 'done', error = NULL WHERE id = ?1");
    const TextCollator& collator = DefaultCollator();
    std::vector<CommitCounts> counts;
    for (const DigCommit& dig : digs) {
      int64_t added = 0;
      for (const ResultRecord& result : dig.results) {
        insert.BindText(1, result.keyword)
            .Bind(2, result.count)
            .BindText(3, result.seed)
            .Bind(4, result.depth)
            .BindBlob(5, collator.SortKey(result.keyword))
            .Run();
        added += sqlite3_changes(db_);
      }
      const int64_t queued = InsertSeeds(dig.seeds);
      done.Bind(1, dig.seed_id).Run();
      counts.push_back({added, queued});
    }
    return counts;
  });
}

void SqliteProject::RecordFailure(int64_t seed_id, const std::string& error, int64_t retry_at_ms, bool final) {
  Statement update(db_, path_,
                   "UPDATE seeds SET failed_attempts = failed_attempts + 1, error = ?2, retry_at = ?3, "
                   "state = CASE WHEN ?4 THEN 'failed' ELSE 'queued' END WHERE id = ?1");
  update.Bind(1, seed_id).BindText(2, error).Bind(3, retry_at_ms).Bind(4, final ? 1 : 0).Run();
}

int64_t SqliteProject::RequeueFailed() {
  Execute("UPDATE seeds SET state = 'queued', failed_attempts = 0, retry_at = 0 WHERE state = 'failed'");
  return sqlite3_changes(db_);
}

int64_t SqliteProject::DropQueuedSeeds(const std::function<bool(const std::string&)>& drop) {
  return InTransaction([&] {
    Statement queued(db_, path_, "SELECT id, keyword FROM seeds WHERE state = 'queued'");
    std::vector<int64_t> dropped;
    while (queued.Step()) {
      if (drop(queued.Text(1))) dropped.push_back(queued.Int(0));
    }
    Statement remove(db_, path_, "DELETE FROM seeds WHERE id = ?1");
    for (int64_t id : dropped) remove.Bind(1, id).Run();
    return static_cast<int64_t>(dropped.size());
  });
}

int64_t SqliteProject::AddMinusWords(const std::vector<std::string>& words) {
  return InTransaction([&] {
    Statement insert(db_, path_, "INSERT OR IGNORE INTO minus_words (word) VALUES (?1)");
    int64_t added = 0;
    for (const std::string& word : words) {
      insert.BindText(1, word).Run();
      added += sqlite3_changes(db_);
    }
    return added;
  });
}

std::vector<std::string> SqliteProject::MinusWordList() {
  Statement words(db_, path_, "SELECT word FROM minus_words ORDER BY rowid");
  std::vector<std::string> list;
  while (words.Step()) list.push_back(words.Text(0));
  return list;
}

void SqliteProject::KeepProxyScore(const ProxyScore& score) {
  Statement keep(db_, path_,
                 "INSERT OR REPLACE INTO proxies (scheme, host, port, user, requests, failures, last_error, "
                 "benched_until) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  const ProxyIdentity& who = score.identity;
  keep.BindText(1, who.scheme).BindText(2, who.host).Bind(3, who.port).BindText(4, who.user);
  keep.Bind(5, score.requests).Bind(6, score.failures).BindText(7, score.last_error).Bind(8, score.benched_until_ms);
  keep.Run();
}

std::vector<ProxyScore> SqliteProject::ProxyScores() {
  Statement scores(db_, path_,
                   "SELECT scheme, host, port, user, requests, failures, last_error, benched_until FROM proxies "
                   "ORDER BY scheme, host, port, user");
  std::vector<ProxyScore> list;
  while (scores.Step()) {
    ProxyScore score;
    score.identity = {scores.Text(0), scores.Text(1), static_cast<int>(scores.Int(2)), scores.Text(3)};
    score.requests = scores.Int(4);
    score.failures = scores.Int(5);
    score.last_error = scores.Text(6);
    score.benched_until_ms = scores.Int(7);
    list.push_back(std::move(score));
  }
  return list;
}

SeedCounts SqliteProject::Counts() {
  SeedCounts counts;
  Statement states(db_, path_, "SELECT state, count(*) FROM seeds GROUP BY state");
  while (states.Step()) {
    const std::string_view state = states.Utf8(0);
    if (state == "done") counts.done = states.Int(1);
    if (state == "queued") counts.queued = states.Int(1);
    if (state == "failed") counts.failed = states.Int(1);
  }
  Statement results(db_, path_, "SELECT count(*) FROM results");
  if (results.Step()) counts.results = results.Int(0);
  results.Reset();
  return counts;
}

std::vector<FailedSeed> SqliteProject::FailedSeeds() {
  Statement failed(db_, path_,
                   "SELECT keyword, failed_attempts, coalesce(error, '') FROM seeds WHERE state = 'failed' ORDER BY id");
  std::vector<FailedSeed> list;
  while (failed.Step()) list.push_back({failed.Text(0), static_cast<int>(failed.Int(1)), failed.Text(2)});
  return list;
}

void SqliteProject::ForEachResult(int64_t minimum_count, const std::function<void(const ResultRecord&)>& visit) {
  Statement rows(db_, path_,
                 "SELECT keyword, count, seed, depth FROM results WHERE count >= ?1 "
                 "ORDER BY count DESC, sort_key, keyword");
  rows.Bind(1, minimum_count);
  ResultRecord record;
  try {
    while (rows.Step()) {
      record.keyword = rows.Text(0);
      record.count = rows.Int(1);
      record.seed = rows.Text(2);
      record.depth = static_cast<int>(rows.Int(3));
      visit(record);
    }
  } catch (...) {
    rows.Reset();
    throw;
  }
}

std::vector<ResultRecord> SqliteProject::LatestResults(int64_t limit) {
  // A result's row id grows with every keyword kept.
  Statement rows(db_, path_, "SELECT keyword, count, seed, depth FROM results ORDER BY rowid DESC LIMIT ?1");
  rows.Bind(1, limit);
  std::vector<ResultRecord> latest;
  while (rows.Step()) latest.push_back({rows.Text(0), rows.Int(1), rows.Text(2), static_cast<int>(rows.Int(3))});
  return latest;
}

}  // namespace

std::unique_ptr<ProjectStore> OpenSqliteProject(const std::string& path, ProjectOpening opening) {
  return std::make_unique<SqliteProject>(path, opening);
}

}  // namespace kv::harvest
