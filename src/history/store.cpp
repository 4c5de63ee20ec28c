#include "history/store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>
#include <unordered_map>

#include "history/schema.h"
#include "history/series.h"
#include "history/sqlite.h"
#include "textfile/file_io.h"
#include "textfile/lock_wait.h"
#include "textfile/text_codec.h"

namespace kelvane::history {
namespace {

namespace fs = std::filesystem;

// How often a writer starts over after a lock error that came without a
// wait (another process was turning a new file to the write-ahead log); a
// wait for another writer's lock is bounded by textfile::lockWaitLimit().
constexpr int kAttempts = 4;

uint64_t fnv1a(std::string_view bytes) {
  uint64_t h = 1469598103934665603ull;
  for (const unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

// A damaged file is refused like a foreign one, wherever the damage shows;
// anything else failed.
HistoryError failed(const std::string& path, const SqliteError& e) {
  if (e.code() == SQLITE_CORRUPT || e.code() == SQLITE_NOTADB) {
    return HistoryError(HistoryError::Kind::Refused,
                        path + " is damaged (" + e.what() + "); it is left alone");
  }
  return HistoryError(HistoryError::Kind::Failed, path + ": " + e.what());
}

bool transient(const SqliteError& e) {
  return e.code() == SQLITE_BUSY || e.code() == SQLITE_LOCKED;
}

// A busy error is tried again only when it came without a wait that gave up
// (the wait itself was the bound) and no stop was asked for; otherwise the
// error says why it gave up.
std::optional<HistoryError> finalBusy(const std::string& path, const SqliteError& e,
                                      const Database* db, int attempt) {
  if (!transient(e)) return std::nullopt;
  using textfile::LockWait;
  LockWait gaveUp = db ? db->waitGaveUp().value_or(LockWait::Taken) : LockWait::Taken;
  if (gaveUp == LockWait::Taken && textfile::lockWaitStopped()) gaveUp = LockWait::Stopped;
  if (gaveUp != LockWait::Taken) {
    return HistoryError(HistoryError::Kind::Failed,
                        path + ": " + textfile::lockWaitReason(textfile::lockWaitErrno(gaveUp)));
  }
  if (attempt == kAttempts) return failed(path, e);
  return std::nullopt;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// $XDG_..._HOME when absolute, else the default under the home folder.
fs::path baseFolder(const char* variable, const char* fallback) {
  const fs::path set(environment(variable));
  if (set.is_absolute()) return set;
  const fs::path home(environment("HOME"));
  return home.is_absolute() ? home / fallback : fs::path();
}

}  // namespace

std::string isoUtcTime(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[40];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(((ms % 1000) + 1000) % 1000));
  return text;
}

std::string historyPathFor(const std::string& settingsPath) {
  constexpr const char* kFileName = "kelvane-history.sqlite";
  std::error_code ec;
  const fs::path folder = fs::absolute(settingsPath, ec).parent_path();
  const fs::path config = baseFolder("XDG_CONFIG_HOME", ".config");
  if (!config.empty() && folder == config / "kelvane") {
    const fs::path data = baseFolder("XDG_DATA_HOME", ".local/share");
    if (!data.empty()) return (data / "kelvane" / kFileName).string();
  }
  return (folder / kFileName).string();
}

HistoryStore::HistoryStore(const std::string& path, bool readOnly) : path_(path) {
  try {
    if (!readOnly) {
      // SQLite writes the database and its journals beside it by name.
      for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        if (const auto link = textfile::plantedLink(path + suffix)) {
          throw HistoryError(HistoryError::Kind::Refused, textfile::plantedLinkReason(*link));
        }
      }
      const fs::path folder = fs::path(path).parent_path();
      std::error_code ec;
      if (!folder.empty() && !fs::exists(folder, ec)) {
        fs::create_directories(folder, ec);
        if (!ec) fs::permissions(folder, fs::perms::owner_all, ec);
      }
    }
    // Some of what another process does to a new file (turning it to the
    // write-ahead log, filling in the schema) makes an opener fail at once
    // rather than wait: the open starts over then, as a recording does.
    for (int attempt = 1;; ++attempt) {
      try {
        db_ = std::make_unique<Database>(path, !readOnly, readOnly);
        db_->waitForOtherConnections();
        openSchema(readOnly);
        break;
      } catch (const SqliteError& e) {
        if (!transient(e)) throw;
        if (auto final = finalBusy(path, e, db_.get(), attempt)) throw *final;
        db_.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
      }
    }
  } catch (const HistoryError&) {
    throw;
  } catch (const SqliteError& e) {
    if (e.code() == SQLITE_NOTADB) {
      throw HistoryError(HistoryError::Kind::Refused,
                         path + " is not a history database; it is left alone");
    }
    throw failed(path, e);
  }
}

HistoryStore::~HistoryStore() = default;

void HistoryStore::openSchema(bool readOnly) {
  // Looked at before anything is written: a file that is not ours, or from
  // a newer program, is not touched at all.
  // The three are read in one transaction: another process creating the
  // schema meanwhile must not show us its tables without its mark.
  db_->exec("BEGIN");
  const int64_t version = db_->queryInt("PRAGMA user_version");
  const int64_t application = db_->queryInt("PRAGMA application_id");
  const int64_t objects = db_->queryInt("SELECT count(*) FROM sqlite_master");
  db_->exec("COMMIT");
  if (application != kApplicationId && (version != 0 || objects != 0)) {
    throw HistoryError(HistoryError::Kind::Refused,
                       path_ + " is not a history database; it is left alone");
  }
  if (version > kSchemaVersion) {
    throw HistoryError(HistoryError::Kind::Refused,
                       path_ + " was written by a newer Kelvane (history version " +
                           std::to_string(version) + "); it is left alone");
  }
  if (readOnly) return;
  db_->exec("PRAGMA journal_mode=WAL");
  db_->exec("PRAGMA synchronous=NORMAL");
  if (version == kSchemaVersion) return;
  WriteTransaction tx(*db_);
  // Another process may have brought it up to date meanwhile.
  migrate(*db_, db_->queryInt("PRAGMA user_version"));
  tx.commit();
}

int64_t HistoryStore::storeDisplay(const std::string& text, const std::u16string& display) {
  const auto hash = static_cast<int64_t>(fnv1a(text));
  Statement find = db_->prepare("SELECT id, text FROM displays WHERE hash = ?");
  find.bind(1, hash);
  while (find.step()) {
    if (find.columnText(1) == text) return find.columnInt(0);
  }
  db_->prepare("INSERT INTO displays(hash, text) VALUES(?, ?)").bind(1, hash).bind(2, text).run();
  const int64_t id = db_->lastInsertId();
  Statement add =
      db_->prepare("INSERT INTO series(display_id, position, label, value) VALUES(?, ?, ?, ?)");
  int64_t position = 0;
  for (const SeriesValue& s : seriesOf(display)) {
    add.bind(1, id).bind(2, position++).bind(3, s.label).bind(4, s.value).run();
  }
  return id;
}

int64_t HistoryStore::recordOnce(const RunEntry& run) {
  WriteTransaction tx(*db_);
  const std::string text = textfile::toUtf8(run.display);
  const int64_t displayId = storeDisplay(text, run.display);
  std::optional<int64_t> changed;
  if (run.normal) {
    Statement last = db_->prepare(
        "SELECT display_id FROM runs WHERE script = ? AND outcome = 'normal' "
        "ORDER BY id DESC LIMIT 1");
    last.bind(1, run.script);
    if (last.step()) changed = last.columnInt(0) != displayId ? 1 : 0;
  }
  db_->prepare(
         "INSERT INTO runs(start, duration_ms, outcome, message, display_id, changed, script) "
         "VALUES(?, ?, ?, ?, ?, ?, ?)")
      .bind(1, isoUtcTime(run.start))
      .bind(2, run.durationMs)
      .bind(3, std::string_view(run.normal ? "normal" : "stopped"))
      .bind(4, run.message)
      .bind(5, displayId)
      .bind(6, changed)
      .bind(7, run.script)
      .run();
  const int64_t runId = db_->lastInsertId();
  lastChange_.reset();
  if (changed) lastChange_ = *changed != 0;
  Statement load = db_->prepare(
      "INSERT INTO loads(run_id, position, url, final_url, fetch, status, error, load_ms, "
      "settle_ms, charset) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  int64_t position = 0;
  for (const acquisition::LoadRecord& l : run.loads) {
    load.bind(1, runId).bind(2, position++).bind(3, l.url).bind(4, l.finalUrl);
    load.bind(5, acquisition::fetchModeName(l.fetch));
    load.bind(6, l.status ? std::optional<int64_t>(*l.status) : std::nullopt);
    load.bind(7, l.error).bind(8, l.loadMs).bind(9, l.settleMs).bind(10, l.charset).run();
  }
  tx.commit();
  return runId;
}

int64_t HistoryStore::record(const RunEntry& run) {
  int64_t id = 0;
  for (int attempt = 1;; ++attempt) {
    try {
      id = recordOnce(run);
      break;
    } catch (const SqliteError& e) {
      if (!transient(e)) throw failed(path_, e);
      if (auto final = finalBusy(path_, e, db_.get(), attempt)) throw *final;
      std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
    }
  }
  // The run is kept; a clean-up that meets a busy file waits for the next one.
  try {
    enforceRetention();
  } catch (const SqliteError&) {
  }
  return id;
}

bool HistoryStore::enforceRetention(int batch) {
  const Retention keep = retention();
  WriteTransaction tx(*db_);
  db_->exec("CREATE TEMP TABLE IF NOT EXISTS expired(id INTEGER PRIMARY KEY, display_id INTEGER)");
  db_->exec("DELETE FROM temp.expired");
  if (keep.days > 0) {
    const auto cutoff = std::chrono::system_clock::now() - std::chrono::hours(24 * keep.days);
    db_->prepare(
           "INSERT OR IGNORE INTO temp.expired SELECT id, display_id FROM runs "
           "WHERE start < ? ORDER BY start LIMIT ?")
        .bind(1, isoUtcTime(cutoff))
        .bind(2, static_cast<int64_t>(batch))
        .run();
  }
  if (keep.runs > 0) {
    db_->prepare(
           "INSERT OR IGNORE INTO temp.expired SELECT id, display_id FROM runs WHERE id <= "
           "(SELECT id FROM runs ORDER BY id DESC LIMIT 1 OFFSET ?) ORDER BY id LIMIT ?")
        .bind(1, keep.runs)
        .bind(2, static_cast<int64_t>(batch))
        .run();
  }
  const int64_t expired = db_->queryInt("SELECT count(*) FROM temp.expired");
  if (expired == 0) return false;
  db_->exec(
      "DELETE FROM loads WHERE run_id IN (SELECT id FROM temp.expired);"
      "DELETE FROM decisions WHERE run_id IN (SELECT id FROM temp.expired);"
      "DELETE FROM deliveries WHERE run_id IN (SELECT id FROM temp.expired);"
      "DELETE FROM runs WHERE id IN (SELECT id FROM temp.expired);"
      "DELETE FROM series WHERE display_id IN (SELECT display_id FROM temp.expired) AND NOT "
      "EXISTS (SELECT 1 FROM runs WHERE runs.display_id = series.display_id);"
      "DELETE FROM displays WHERE id IN (SELECT display_id FROM temp.expired) AND NOT "
      "EXISTS (SELECT 1 FROM runs WHERE runs.display_id = displays.id);");
  tx.commit();
  return expired >= batch;
}

std::vector<RunRow> HistoryStore::runs() {
  std::vector<RunRow> rows;
  Statement s = db_->prepare(
      "SELECT id, start, duration_ms, outcome, message, changed, display_id, script FROM runs "
      "ORDER BY id");
  while (s.step()) {
    RunRow r;
    r.id = s.columnInt(0);
    r.start = s.columnText(1);
    r.durationMs = s.columnInt(2);
    r.normal = s.columnText(3) == "normal";
    r.message = s.columnText(4);
    if (!s.isNull(5)) r.changed = s.columnInt(5) != 0;
    r.displayId = s.columnInt(6);
    r.script = s.columnText(7);
    rows.push_back(std::move(r));
  }
  return rows;
}

std::u16string HistoryStore::display(int64_t displayId) {
  Statement s = db_->prepare("SELECT text FROM displays WHERE id = ?");
  s.bind(1, displayId);
  // Stored as UTF-8 by record(): read as such, a leading U+FEFF kept as the
  // display's own first character (a text file's reading would drop it).
  return s.step() ? textfile::decodeUtf8(s.columnText(0)) : std::u16string();
}

std::vector<std::string> HistoryStore::seriesLabels() {
  std::vector<std::string> labels;
  // In the order the labels first appear, run by run, line by line.
  Statement s = db_->prepare(
      "SELECT series.label FROM series JOIN (SELECT display_id, min(id) AS first FROM runs "
      "GROUP BY display_id) AS shown ON shown.display_id = series.display_id "
      "GROUP BY series.label ORDER BY min(shown.first), min(series.position)");
  while (s.step()) labels.emplace_back(s.columnText(0));
  return labels;
}

std::vector<SeriesPoint> HistoryStore::series(const std::string& label) {
  std::vector<SeriesPoint> points;
  Statement s = db_->prepare(
      "SELECT runs.id, runs.start, series.value FROM runs JOIN series ON "
      "series.display_id = runs.display_id AND series.label = ? WHERE runs.outcome = 'normal' "
      "ORDER BY runs.id");
  s.bind(1, label);
  while (s.step())
    points.push_back({s.columnInt(0), std::string(s.columnText(1)), s.columnDouble(2)});
  return points;
}

SeriesTable HistoryStore::seriesTable() {
  SeriesTable table;
  // The series of each distinct display once, then the runs in order.
  std::unordered_map<int64_t, std::vector<std::pair<std::string, double>>> byDisplay;
  std::unordered_map<std::string, size_t> known;
  Statement values =
      db_->prepare("SELECT display_id, label, value FROM series ORDER BY display_id, position");
  while (values.step()) {
    byDisplay[values.columnInt(0)].emplace_back(values.columnText(1), values.columnDouble(2));
  }
  Statement s = db_->prepare("SELECT start, outcome, changed, display_id FROM runs ORDER BY id");
  while (s.step()) {
    SeriesTable::Row row;
    row.start = s.columnText(0);
    row.normal = s.columnText(1) == "normal";
    if (!s.isNull(2)) row.changed = s.columnInt(2) != 0;
    if (const auto found = byDisplay.find(s.columnInt(3)); found != byDisplay.end()) {
      for (const auto& [label, value] : found->second) {
        if (known.emplace(label, table.labels.size()).second) table.labels.push_back(label);
        row.values.emplace(label, value);
      }
    }
    table.rows.push_back(std::move(row));
  }
  return table;
}

Retention HistoryStore::retention() {
  Retention r;
  Statement s =
      db_->prepare("SELECT key, value FROM settings WHERE key IN ('keep_days', 'keep_runs')");
  while (s.step()) {
    (s.columnText(0) == "keep_days" ? r.days : r.runs) = s.columnInt(1);
  }
  return r;
}

void HistoryStore::setRetention(const Retention& retention) {
  try {
    WriteTransaction tx(*db_);
    Statement s = db_->prepare("INSERT OR REPLACE INTO settings(key, value) VALUES(?, ?)");
    s.bind(1, std::string_view("keep_days")).bind(2, retention.days).run();
    s.bind(1, std::string_view("keep_runs")).bind(2, retention.runs).run();
    tx.commit();
  } catch (const SqliteError& e) {
    throw failed(path_, e);
  }
}

}  // namespace kelvane::history
