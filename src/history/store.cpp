#include "history/store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <set>
#include <thread>

#include "history/address.h"
#include "history/postgres.h"
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

// A busy file is tried again only when the error came without a wait that
// gave up (the wait itself was the bound) and no stop was asked for;
// otherwise the error says why it gave up. Nothing: try again.
std::optional<HistoryError> finalBusy(const std::string& path, const DatabaseError& e,
                                      const Database* db, int attempt) {
  using textfile::LockWait;
  const auto* file = dynamic_cast<const SqliteDatabase*>(db);
  LockWait gaveUp = file ? file->waitGaveUp().value_or(LockWait::Taken) : LockWait::Taken;
  if (gaveUp == LockWait::Taken && textfile::lockWaitStopped()) gaveUp = LockWait::Stopped;
  if (gaveUp != LockWait::Taken) {
    return HistoryError(HistoryError::Kind::Failed,
                        path + ": " + textfile::lockWaitReason(textfile::lockWaitErrno(gaveUp)));
  }
  if (attempt == kAttempts) return HistoryError(HistoryError::Kind::Failed, path + ": " + e.what());
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

std::string HistoryStore::newRunId() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char text[33];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(random()),
                static_cast<unsigned long long>(random()));
  return text;
}

std::string HistoryStore::thisHost() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

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

std::chrono::system_clock::time_point parseIsoUtcTime(std::string_view text) {
  std::tm utc{};
  int ms = 0;
  const std::string s(text);
  if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &utc.tm_year, &utc.tm_mon, &utc.tm_mday,
                  &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &ms) < 6) {
    return {};
  }
  utc.tm_year -= 1900;
  utc.tm_mon -= 1;
  return std::chrono::system_clock::from_time_t(::timegm(&utc)) + std::chrono::milliseconds(ms);
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

HistoryError HistoryStore::failure(const std::exception& e) const {
  const auto* db = dynamic_cast<const DatabaseError*>(&e);
  const auto* server = dynamic_cast<const PostgresError*>(&e);
  if (server && server->invalidAddress())
    return HistoryError(HistoryError::Kind::Refused, e.what());
  // A damaged file is refused like a foreign one, wherever the damage shows.
  const auto* file = dynamic_cast<const SqliteError*>(&e);
  if (file && (file->code() == SQLITE_CORRUPT || file->code() == SQLITE_NOTADB)) {
    return HistoryError(HistoryError::Kind::Refused,
                        path_ + " is damaged (" + e.what() + "); it is left alone");
  }
  if (db && db->unreachable()) {
    return HistoryError(HistoryError::Kind::Unreachable, e.what());
  }
  // A server's messages name it themselves.
  const bool named = std::string_view(e.what()).rfind(path_, 0) == 0;
  return HistoryError(HistoryError::Kind::Failed, named ? e.what() : path_ + ": " + e.what());
}

HistoryStore::HistoryStore(const std::string& address, bool readOnly)
    : path_(maskedAddress(address)) {
  try {
    if (!isServerAddress(address)) {
      openFile(address, readOnly);
      return;
    }
    db_ = std::make_unique<PostgresDatabase>(address);
    openSchema(readOnly);
  } catch (const HistoryError&) {
    throw;
  } catch (const SqliteError& e) {
    // Found at the open: a file that is no database at all.
    if (e.code() == SQLITE_NOTADB) {
      throw HistoryError(HistoryError::Kind::Refused,
                         path_ + " is not a history database; it is left alone");
    }
    throw failure(e);
  } catch (const DatabaseError& e) {
    throw failure(e);
  }
}

void HistoryStore::openFile(const std::string& path, bool readOnly) {
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
      auto db = std::make_unique<SqliteDatabase>(path, !readOnly, readOnly);
      db->waitForOtherConnections();
      db_ = std::move(db);
      openSchema(readOnly);
      return;
    } catch (const SqliteError& e) {
      if (!e.transient()) throw;
      if (auto final = finalBusy(path_, e, db_.get(), attempt)) throw *final;
      db_.reset();
      std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
    }
  }
}

HistoryStore::~HistoryStore() = default;

void HistoryStore::openSchema(bool readOnly) {
  // Looked at before anything is written: a database that is not ours, or
  // from a newer program, is not touched at all.
  const StoredSchema stored = storedSchema(*db_);
  if (stored.foreign) {
    throw HistoryError(HistoryError::Kind::Refused,
                       path_ + " is not a history database; it is left alone");
  }
  if (stored.version > kSchemaVersion) {
    throw HistoryError(HistoryError::Kind::Refused,
                       path_ + " was written by a newer Kelvane (history version " +
                           std::to_string(stored.version) + "); it is left alone");
  }
  if (readOnly) {
    if (stored.version == 0) {
      throw HistoryError(HistoryError::Kind::Failed, path_ + " holds no history yet");
    }
    if (stored.version < kSchemaVersion) {
      throw HistoryError(HistoryError::Kind::Failed,
                         path_ + " needs updating by a run that records into it first");
    }
    return;
  }
  if (db_->dialect() == Dialect::Sqlite) {
    db_->exec("PRAGMA journal_mode=WAL");
    db_->exec("PRAGMA synchronous=NORMAL");
  }
  if (stored.version == kSchemaVersion) return;
  WriteTransaction tx(*db_);
  // Another process may have brought it up to date meanwhile.
  const int64_t now = schemaVersion(*db_);
  if (now > kSchemaVersion) {
    throw HistoryError(HistoryError::Kind::Refused,
                       path_ + " was written by a newer Kelvane (history version " +
                           std::to_string(now) + "); it is left alone");
  }
  migrate(*db_, now);
  tx.commit();
}

int64_t HistoryStore::storeDisplay(const std::string& text, const std::u16string& display) {
  const auto hash = static_cast<int64_t>(fnv1a(text));
  Statement insert = db_->prepare("INSERT INTO displays(hash, text) VALUES(?, ?) RETURNING id");
  insert.bind(1, hash).bind(2, text).step();
  const int64_t id = insert.columnInt(0);
  insert.reset();
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
  // In one question (a server answers each over the network): the run if
  // it was sent before (from a spool, or a copy made twice), the display if
  // it is kept already, and the last normal run's display of the script.
  Statement known = db_->prepare(
      "SELECT (SELECT id FROM runs WHERE uid = ?), "
      "(SELECT id FROM displays WHERE hash = ? AND text = ? LIMIT 1), "
      "(SELECT display_id FROM runs WHERE script = ? AND outcome = 'normal' "
      "ORDER BY id DESC LIMIT 1)");
  known.bind(1, run.uid).bind(2, static_cast<int64_t>(fnv1a(text))).bind(3, text);
  known.bind(4, run.script).step();
  lastChange_.reset();
  if (!run.uid.empty() && !known.isNull(0)) return known.columnInt(0);
  const std::optional<int64_t> shown =
      known.isNull(1) ? std::nullopt : std::optional<int64_t>(known.columnInt(1));
  // A plain value and a flag: an optional here draws a false "may be used
  // uninitialized" from the optimiser.
  const bool hasLast = !known.isNull(2);
  const int64_t last = hasLast ? known.columnInt(2) : 0;
  known.reset();
  const int64_t displayId = shown ? *shown : storeDisplay(text, run.display);
  std::optional<int64_t> changed;
  if (run.normal && hasLast) changed = last != displayId ? 1 : 0;
  const std::string watch = run.watch.empty() ? fs::path(run.script).stem().string() : run.watch;
  Statement insert = db_->prepare(
      "INSERT INTO runs(start, duration_ms, outcome, message, display_id, changed, script, "
      "watch, host, uid) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id");
  insert.bind(1, isoUtcTime(run.start))
      .bind(2, run.durationMs)
      .bind(3, std::string_view(run.normal ? "normal" : "stopped"))
      .bind(4, run.message)
      .bind(5, displayId)
      .bind(6, changed)
      .bind(7, run.script)
      .bind(8, watch)
      .bind(9, run.host.empty() ? thisHost() : run.host)
      .bind(10, run.uid.empty() ? newRunId() : run.uid)
      .step();
  const int64_t runId = insert.columnInt(0);
  insert.reset();
  if (changed) lastChange_ = *changed != 0;
  Statement load = db_->prepare(
      "INSERT INTO loads(run_id, position, url, final_url, \"fetch\", status, error, load_ms, "
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

int64_t HistoryStore::recordKeepingAll(const RunEntry& run) {
  for (int attempt = 1;; ++attempt) {
    try {
      return recordOnce(run);
    } catch (const DatabaseError& e) {
      if (!e.transient()) throw failure(e);
      if (auto final = finalBusy(path_, e, db_.get(), attempt)) throw *final;
      std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
    }
  }
}

int64_t HistoryStore::record(const RunEntry& run) {
  const int64_t id = recordKeepingAll(run);
  // The run is kept; a clean-up that meets a busy file waits for the next one.
  try {
    enforceRetention();
  } catch (const DatabaseError&) {
  }
  return id;
}

void HistoryStore::removeRuns(const std::vector<std::pair<int64_t, int64_t>>& runs) {
  Statement loads = db_->prepare("DELETE FROM loads WHERE run_id = ?");
  Statement decisions = db_->prepare("DELETE FROM decisions WHERE run_id = ?");
  Statement deliveries = db_->prepare("DELETE FROM deliveries WHERE run_id = ?");
  Statement rows = db_->prepare("DELETE FROM runs WHERE id = ?");
  std::set<int64_t> displays;
  for (const auto& [id, display] : runs) {
    loads.bind(1, id).run();
    decisions.bind(1, id).run();
    deliveries.bind(1, id).run();
    rows.bind(1, id).run();
    displays.insert(display);
  }
  Statement series = db_->prepare(
      "DELETE FROM series WHERE display_id = ? AND NOT EXISTS "
      "(SELECT 1 FROM runs WHERE runs.display_id = ?)");
  Statement shown = db_->prepare(
      "DELETE FROM displays WHERE id = ? AND NOT EXISTS "
      "(SELECT 1 FROM runs WHERE runs.display_id = ?)");
  for (const int64_t display : displays) {
    series.bind(1, display).bind(2, display).run();
    shown.bind(1, display).bind(2, display).run();
  }
}

bool HistoryStore::enforceRetention(int batch) {
  const Retention keep = retention();
  if (keep.days <= 0 && keep.runs <= 0) return false;
  // Looked for first without the writers' lock: most runs find nothing.
  const auto expired = [&] {
    std::set<std::pair<int64_t, int64_t>> found;
    const auto collect = [&found](Statement& s) {
      while (s.step()) found.emplace(s.columnInt(0), s.columnInt(1));
    };
    if (keep.days > 0) {
      const auto cutoff = std::chrono::system_clock::now() - std::chrono::hours(24 * keep.days);
      Statement s =
          db_->prepare("SELECT id, display_id FROM runs WHERE start < ? ORDER BY start LIMIT ?");
      s.bind(1, isoUtcTime(cutoff)).bind(2, static_cast<int64_t>(batch));
      collect(s);
    }
    if (keep.runs > 0) {
      Statement s = db_->prepare(
          "SELECT id, display_id FROM runs WHERE id <= "
          "(SELECT id FROM runs ORDER BY id DESC LIMIT 1 OFFSET ?) ORDER BY id LIMIT ?");
      s.bind(1, keep.runs).bind(2, static_cast<int64_t>(batch));
      collect(s);
    }
    return found;
  };
  if (expired().empty()) return false;
  WriteTransaction tx(*db_);
  const auto found = expired();
  if (found.empty()) return false;
  removeRuns({found.begin(), found.end()});
  tx.commit();
  return found.size() >= static_cast<size_t>(batch);
}

void HistoryStore::remove(int64_t runId) {
  try {
    WriteTransaction tx(*db_);
    Statement s = db_->prepare("SELECT display_id FROM runs WHERE id = ?");
    if (s.bind(1, runId).step()) removeRuns({{runId, s.columnInt(0)}});
    tx.commit();
  } catch (const DatabaseError& e) {
    throw failure(e);
  }
}

Retention HistoryStore::retention() {
  // Read again at most once a minute: a writer asks after every run.
  const auto now = std::chrono::steady_clock::now();
  if (retentionRead_ && now - *retentionRead_ < std::chrono::minutes(1)) return retention_;
  Retention r;
  Statement s =
      db_->prepare("SELECT key, value FROM settings WHERE key IN ('keep_days', 'keep_runs')");
  while (s.step()) {
    (s.columnText(0) == "keep_days" ? r.days : r.runs) = s.columnInt(1);
  }
  retention_ = r;
  retentionRead_ = now;
  return r;
}

void HistoryStore::setRetention(const Retention& retention) {
  try {
    WriteTransaction tx(*db_);
    Statement s = db_->prepare(
        "INSERT INTO settings(key, value) VALUES(?, ?) "
        "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    s.bind(1, std::string_view("keep_days")).bind(2, retention.days).run();
    s.bind(1, std::string_view("keep_runs")).bind(2, retention.runs).run();
    tx.commit();
    retention_ = retention;
    retentionRead_ = std::chrono::steady_clock::now();
  } catch (const DatabaseError& e) {
    throw failure(e);
  }
}

}  // namespace kelvane::history
