#include "history/schema.h"

#include <regex>
#include <string>

#include "history/sql.h"

namespace kelvane::history {
namespace {

// Step i takes a database from version i to version i + 1. Steps are only
// ever added: a released step never changes. A step is written for SQLite;
// the server takes it with its types spelt its way (see serverSql), or from
// the step's own server text where the two differ more.
struct Step {
  const char* sql;
  const char* server = nullptr;
};

constexpr Step kSteps[] = {
    // 0 -> 1: runs, the pages they loaded, each distinct display once with
    // the series read from it, and the history's own settings.
    {"CREATE TABLE displays(id INTEGER PRIMARY KEY, hash INTEGER NOT NULL, text TEXT NOT NULL);"
     "CREATE INDEX displays_by_hash ON displays(hash);"
     "CREATE TABLE series(display_id INTEGER NOT NULL, position INTEGER NOT NULL,"
     "  label TEXT NOT NULL, value REAL NOT NULL, PRIMARY KEY(display_id, label)) WITHOUT ROWID;"
     "CREATE TABLE runs(id INTEGER PRIMARY KEY, start TEXT NOT NULL,"
     "  duration_ms INTEGER NOT NULL, outcome TEXT NOT NULL, message TEXT NOT NULL,"
     "  display_id INTEGER NOT NULL, changed INTEGER, script TEXT NOT NULL);"
     "CREATE INDEX runs_by_start ON runs(start);"
     "CREATE INDEX runs_by_display ON runs(display_id);"
     "CREATE INDEX runs_by_script ON runs(script, outcome, id);"
     "CREATE TABLE loads(run_id INTEGER NOT NULL, position INTEGER NOT NULL, url TEXT NOT NULL,"
     "  final_url TEXT NOT NULL, fetch TEXT NOT NULL, status INTEGER, error TEXT NOT NULL,"
     "  load_ms INTEGER NOT NULL, settle_ms INTEGER, charset TEXT NOT NULL,"
     "  PRIMARY KEY(run_id, position)) WITHOUT ROWID;"
     "CREATE TABLE settings(key TEXT PRIMARY KEY, value) WITHOUT ROWID;"
     "INSERT INTO settings VALUES('keep_days', 365), ('keep_runs', 0);",
     // The server's settings hold their values as text; fetch is one of its
     // words, quoted as a name.
     "CREATE TABLE displays(id INTEGER PRIMARY KEY, hash INTEGER NOT NULL, text TEXT NOT NULL);"
     "CREATE INDEX displays_by_hash ON displays(hash);"
     "CREATE TABLE series(display_id INTEGER NOT NULL, position INTEGER NOT NULL,"
     "  label TEXT NOT NULL, value REAL NOT NULL, PRIMARY KEY(display_id, label));"
     "CREATE TABLE runs(id INTEGER PRIMARY KEY, start TEXT NOT NULL,"
     "  duration_ms INTEGER NOT NULL, outcome TEXT NOT NULL, message TEXT NOT NULL,"
     "  display_id INTEGER NOT NULL, changed INTEGER, script TEXT NOT NULL);"
     "CREATE INDEX runs_by_start ON runs(start);"
     "CREATE INDEX runs_by_display ON runs(display_id);"
     "CREATE INDEX runs_by_script ON runs(script, outcome, id);"
     "CREATE TABLE loads(run_id INTEGER NOT NULL, position INTEGER NOT NULL, url TEXT NOT NULL,"
     "  final_url TEXT NOT NULL, \"fetch\" TEXT NOT NULL, status INTEGER, error TEXT NOT NULL,"
     "  load_ms INTEGER NOT NULL, settle_ms INTEGER, charset TEXT NOT NULL,"
     "  PRIMARY KEY(run_id, position));"
     "CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT);"
     "INSERT INTO settings VALUES('keep_days', '365'), ('keep_runs', '0');"},
    // 1 -> 2: how each watch fetches each address when its choice is
    // "auto", and how that was decided.
    {"CREATE TABLE fetch_choices(watch TEXT NOT NULL, url TEXT NOT NULL, verdict TEXT NOT NULL,"
     "  why TEXT NOT NULL, decided TEXT NOT NULL, runs_since_check INTEGER NOT NULL,"
     "  recheck INTEGER NOT NULL, PRIMARY KEY(watch, url));"},
    // 2 -> 3: what follows a run: each notification rule's state per watch
    // (true at the last decision), every decision, and the deliveries.
    {"CREATE TABLE rule_states(watch TEXT NOT NULL, rule TEXT NOT NULL, active INTEGER NOT NULL,"
     "  PRIMARY KEY(watch, rule)) WITHOUT ROWID;"
     "CREATE TABLE decisions(run_id INTEGER NOT NULL, position INTEGER NOT NULL,"
     "  rule TEXT NOT NULL, fired INTEGER NOT NULL, reason TEXT NOT NULL,"
     "  PRIMARY KEY(run_id, position)) WITHOUT ROWID;"
     "CREATE TABLE deliveries(id INTEGER PRIMARY KEY, time TEXT NOT NULL, watch TEXT NOT NULL,"
     "  run_id INTEGER, target TEXT NOT NULL, rule TEXT NOT NULL, outcome TEXT NOT NULL,"
     "  error TEXT NOT NULL);"
     "CREATE INDEX deliveries_by_run ON deliveries(run_id);"},
    // 3 -> 4: the host a run ran on and its watch's name; a unique id per
    // run, so that a run sent twice (from the spool, or a copy) is kept once.
    {"ALTER TABLE runs ADD COLUMN host TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE runs ADD COLUMN watch TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE runs ADD COLUMN uid TEXT;"
     "UPDATE runs SET uid = lower(hex(randomblob(16)));"
     "CREATE UNIQUE INDEX runs_by_uid ON runs(uid);"
     "CREATE INDEX runs_by_watch ON runs(watch, host, id);",
     "ALTER TABLE runs ADD COLUMN host TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE runs ADD COLUMN watch TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE runs ADD COLUMN uid TEXT;"
     "UPDATE runs SET uid = md5(random()::text || id::text);"
     "CREATE UNIQUE INDEX runs_by_uid ON runs(uid);"
     "CREATE INDEX runs_by_watch ON runs(watch, host, id);"},
};
static_assert(std::size(kSteps) == kSchemaVersion);

// SQLite's spelling of types as the server spells them: 64-bit integers,
// ids the server numbers, double-precision numbers; no rowid clause.
std::string serverSql(const char* sql) {
  std::string s = std::regex_replace(sql, std::regex(R"(\bINTEGER PRIMARY KEY\b)"),
                                     "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
  s = std::regex_replace(s, std::regex(R"(\bINTEGER\b)"), "BIGINT");
  s = std::regex_replace(s, std::regex(R"(\bREAL\b)"), "DOUBLE PRECISION");
  return std::regex_replace(s, std::regex(R"(\)\s*WITHOUT ROWID)"), ")");
}

}  // namespace

int64_t schemaVersion(Database& db) {
  if (db.dialect() == Dialect::Sqlite) return db.queryInt("PRAGMA user_version");
  const int64_t marked = db.queryInt(
      "SELECT count(*) FROM pg_tables WHERE schemaname = 'kelvane' AND tablename = "
      "'schema_version'");
  return marked ? db.queryInt("SELECT max(version) FROM kelvane.schema_version") : 0;
}

StoredSchema storedSchema(Database& db) {
  StoredSchema stored;
  if (db.dialect() == Dialect::Sqlite) {
    db.exec("BEGIN");
    stored.version = schemaVersion(db);
    const int64_t application = db.queryInt("PRAGMA application_id");
    const int64_t objects = db.queryInt("SELECT count(*) FROM sqlite_master");
    db.exec("COMMIT");
    stored.foreign = application != kApplicationId && (stored.version != 0 || objects != 0);
    return stored;
  }
  db.exec("BEGIN");
  const int64_t tables = db.queryInt(
      "SELECT count(*) FROM pg_tables WHERE schemaname = 'kelvane' AND tablename <> "
      "'schema_version'");
  const int64_t marked = db.queryInt(
      "SELECT count(*) FROM pg_tables WHERE schemaname = 'kelvane' AND tablename = "
      "'schema_version'");
  if (marked) stored.version = db.queryInt("SELECT max(version) FROM kelvane.schema_version");
  db.exec("COMMIT");
  stored.foreign = !marked && tables != 0;
  return stored;
}

void migrate(Database& db, int64_t version) {
  const bool server = db.dialect() == Dialect::Postgres;
  if (server && version == 0) {
    db.exec(
        "CREATE SCHEMA IF NOT EXISTS kelvane;"
        "CREATE TABLE kelvane.schema_version(version BIGINT NOT NULL);"
        "INSERT INTO kelvane.schema_version VALUES(0)");
  }
  for (int64_t v = version; v < kSchemaVersion; ++v) {
    const Step& step = kSteps[v];
    db.exec(server ? serverSql(step.server ? step.server : step.sql).c_str() : step.sql);
  }
  const std::string to = std::to_string(kSchemaVersion);
  if (server) {
    db.exec(("UPDATE kelvane.schema_version SET version = " + to).c_str());
    return;
  }
  db.exec(("PRAGMA user_version = " + to).c_str());
  db.exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
}

}  // namespace kelvane::history
