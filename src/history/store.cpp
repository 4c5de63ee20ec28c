#include "history/store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
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

// Rows of one insert: a server answers each statement over the network,
// and a SQLite statement takes at most 32766 parameters.
constexpr size_t kRowsPerInsert = 100;

// The VALUES of an insert of rows rows of columns parameters each.
std::string rowsOf(size_t rows, int columns) {
  std::string row = "(?";
  for (int c = 1; c < columns; ++c) row += ", ?";
  row += ')';
  std::string all = row;
  for (size_t r = 1; r < rows; ++r) all += ", " + row;
  return all;
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
  // Its series in a few statements of many rows each: a server answers
  // each statement over the network.
  const std::vector<SeriesValue> series = seriesOf(display);
  for (size_t from = 0; from < series.size(); from += kRowsPerInsert) {
    const size_t n = std::min(kRowsPerInsert, series.size() - from);
    Statement add = db_->prepare("INSERT INTO series(display_id, position, label, value) VALUES" +
                                 rowsOf(n, 4));
    for (size_t k = 0; k < n; ++k) {
      const int p = static_cast<int>(4 * k);
      add.bind(p + 1, id).bind(p + 2, static_cast<int64_t>(from + k));
      add.bind(p + 3, series[from + k].label).bind(p + 4, series[from + k].value);
    }
    add.run();
  }
  return id;
}

int64_t HistoryStore::recordOnce(const RunEntry& run, bool lookForExpired) {
  // Whether a run past the retention is there once this one is added: a
  // run's clean-up then has nothing to look for most of the time.
  const Retention keep = lookForExpired ? retention() : Retention{0, 0};
  const std::string cutoff =
      isoUtcTime(std::chrono::system_clock::now() - std::chrono::hours(24 * keep.days));
  std::string expiry = "NULL";
  if (keep.days > 0) expiry = "(SELECT 1 FROM runs WHERE start < ? LIMIT 1)";
  if (keep.runs > 0) {
    const std::string over = "(SELECT 1 FROM runs ORDER BY id DESC LIMIT 1 OFFSET ?)";
    expiry = keep.days > 0 ? "coalesce(" + expiry + ", " + over + ")" : over;
  }
  WriteTransaction tx(*db_);
  const std::string text = textfile::toUtf8(run.display);
  // In one question (a server answers each over the network): the run if
  // it was sent before (from a spool, or a copy made twice), the display if
  // it is kept already, the last normal run's display of the script, and
  // whether a run is past the retention.
  Statement known = db_->prepare(
      "SELECT (SELECT id FROM runs WHERE uid = ?), "
      "(SELECT id FROM displays WHERE hash = ? AND text = ? LIMIT 1), "
      "(SELECT display_id FROM runs WHERE script = ? AND outcome = 'normal' "
      "ORDER BY id DESC LIMIT 1), " +
      expiry);
  known.bind(1, run.uid).bind(2, static_cast<int64_t>(fnv1a(text))).bind(3, text);
  known.bind(4, run.script);
  int next = 5;
  if (keep.days > 0) known.bind(next++, cutoff);
  if (keep.runs > 0) known.bind(next, keep.runs - 1);
  known.step();
  lastChange_.reset();
  expired_.reset();
  if (!run.uid.empty() && !known.isNull(0)) return known.columnInt(0);
  expired_ = !known.isNull(3);
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
  // A run loads a few pages: their rows in one statement (a hundred each).
  for (size_t from = 0; from < run.loads.size(); from += kRowsPerInsert) {
    const size_t n = std::min(kRowsPerInsert, run.loads.size() - from);
    Statement load = db_->prepare(
        "INSERT INTO loads(run_id, position, url, final_url, \"fetch\", status, error, load_ms, "
        "settle_ms, charset) VALUES" +
        rowsOf(n, 10));
    for (size_t k = 0; k < n; ++k) {
      const acquisition::LoadRecord& l = run.loads[from + k];
      const int p = static_cast<int>(10 * k);
      load.bind(p + 1, runId).bind(p + 2, static_cast<int64_t>(from + k));
      load.bind(p + 3, l.url).bind(p + 4, l.finalUrl);
      load.bind(p + 5, acquisition::fetchModeName(l.fetch));
      load.bind(p + 6, l.status ? std::optional<int64_t>(*l.status) : std::nullopt);
      load.bind(p + 7, l.error).bind(p + 8, l.loadMs).bind(p + 9, l.settleMs);
      load.bind(p + 10, l.charset);
    }
    load.run();
  }
  tx.commit();
  return runId;
}

int64_t HistoryStore::recordKeepingAll(const RunEntry& run) {
  return recordRetrying(run, false);
}

int64_t HistoryStore::recordRetrying(const RunEntry& run, bool lookForExpired) {
  for (int attempt = 1;; ++attempt) {
    try {
      return recordOnce(run, lookForExpired);
    } catch (const DatabaseError& e) {
      if (!e.transient()) throw failure(e);
      if (auto final = finalBusy(path_, e, db_.get(), attempt)) throw *final;
      std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
    }
  }
}

int64_t HistoryStore::record(const RunEntry& run) {
  const int64_t id = recordRetrying(run, true);
  if (expired_ == false) return id;
  // The run is kept; a clean-up that meets a busy file waits for the next one.
  try {
    enforceRetention();
  } catch (const DatabaseError&) {
  }
  return id;
}

}  // namespace kelvane::history
