#include "history/schema.h"

#include <string>

#include "history/sqlite.h"

namespace kelvane::history {
namespace {

// Step i takes a file from version i to version i + 1. Steps are only ever
// added: a released step never changes.
constexpr const char* kSteps[] = {
    // 0 -> 1: runs, the pages they loaded, each distinct display once with
    // the series read from it, and the history's own settings.
    "CREATE TABLE displays(id INTEGER PRIMARY KEY, hash INTEGER NOT NULL, text TEXT NOT NULL);"
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
    // 1 -> 2: how each watch fetches each address when its choice is
    // "auto", and how that was decided.
    "CREATE TABLE fetch_choices(watch TEXT NOT NULL, url TEXT NOT NULL, verdict TEXT NOT NULL,"
    "  why TEXT NOT NULL, decided TEXT NOT NULL, runs_since_check INTEGER NOT NULL,"
    "  recheck INTEGER NOT NULL, PRIMARY KEY(watch, url));",
    // 2 -> 3: what follows a run: each notification rule's state per watch
    // (true at the last decision), every decision, and the deliveries.
    "CREATE TABLE rule_states(watch TEXT NOT NULL, rule TEXT NOT NULL, active INTEGER NOT NULL,"
    "  PRIMARY KEY(watch, rule)) WITHOUT ROWID;"
    "CREATE TABLE decisions(run_id INTEGER NOT NULL, position INTEGER NOT NULL,"
    "  rule TEXT NOT NULL, fired INTEGER NOT NULL, reason TEXT NOT NULL,"
    "  PRIMARY KEY(run_id, position)) WITHOUT ROWID;"
    "CREATE TABLE deliveries(id INTEGER PRIMARY KEY, time TEXT NOT NULL, watch TEXT NOT NULL,"
    "  run_id INTEGER, target TEXT NOT NULL, rule TEXT NOT NULL, outcome TEXT NOT NULL,"
    "  error TEXT NOT NULL);"
    "CREATE INDEX deliveries_by_run ON deliveries(run_id);",
};
static_assert(std::size(kSteps) == kSchemaVersion);

}  // namespace

void migrate(Database& db, int64_t version) {
  for (int64_t v = version; v < kSchemaVersion; ++v) db.exec(kSteps[v]);
  db.exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
  db.exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
}

}  // namespace kelvane::history
