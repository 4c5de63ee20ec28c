// The run history: one row per run (normal or stopped), each distinct
// display kept once with the series read from it, in a SQLite file (WAL
// mode) or on a PostgreSQL server, with the same tables and meaning. Several
// processes, on one machine or many, may record into one history at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "acquisition/load_record.h"

namespace kelvane::history {

class Database;

// Why a history cannot be used. Refused: the database is no history of ours,
// comes from a newer program or is damaged; it is left as it is.
// Unreachable: the server cannot be reached now. Failed: anything else
// (read-only, disk full, locked for too long), with the database's reason.
class HistoryError : public std::runtime_error {
 public:
  enum class Kind { Refused, Unreachable, Failed };
  HistoryError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

struct RunEntry {
  std::chrono::system_clock::time_point start;
  int64_t durationMs = 0;
  bool normal = true;  // false: stopped
  std::string message;
  std::vector<acquisition::LoadRecord> loads;  // the URL commands' loads
  std::u16string display;
  std::string script;  // the script's path: a run changed against the last of the same script
  std::string watch;   // the watch's name; empty: the script file's base name
  std::string host;    // the machine it ran on; empty: this one
  std::string uid;     // unique per run; empty: a new one. A run already there is kept once.
};

// A run read back whole, as it was recorded.
struct StoredRun {
  int64_t id = 0;
  RunEntry entry;
};

// A run as listed. changed is empty for a stopped run and for the first
// normal run of its script.
struct RunRow {
  int64_t id = 0;
  std::string start;  // UTC, ISO 8601 with milliseconds
  int64_t durationMs = 0;
  bool normal = true;
  std::string message;
  std::optional<bool> changed;
  int64_t displayId = 0;
  std::string script;
  std::string watch;
  std::string host;
};

struct SeriesPoint {
  int64_t runId = 0;
  std::string start;
  double value = 0;
};

// How much is kept: runs younger than days (0: any age), and at most runs of
// them (0: any number). Kept in the history itself.
struct Retention {
  int64_t days = 365;
  int64_t runs = 0;
};

// The runs with their series, as the exports write them: labels in the order
// they first appear, each row's values by label.
struct SeriesTable {
  std::vector<std::string> labels;
  struct Row {
    std::string start;
    bool normal = true;
    std::optional<bool> changed;
    std::map<std::string, double> values;
  };
  std::vector<Row> rows;
};

// How a watch fetches an address when its choice is "auto".
struct FetchChoice {
  std::string verdict;  // "direct", "browser"
  std::string why;
  int64_t runsSinceCheck = 0;
  bool recheck = false;
};

class HistoryStore {
 public:
  // Opens the history at a file's path or a server's address (see
  // address.h), creating it (and a missing folder) when absent and bringing
  // an older one up to date. Throws HistoryError.
  explicit HistoryStore(const std::string& address, bool readOnly = false);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Records one run, waiting out (and retrying past) other writers; returns
  // its id. Afterwards removes a bounded batch of runs that the retention no
  // longer keeps, so a long overdue clean-up never holds one run up.
  int64_t record(const RunEntry& run);
  // Whether the display of the run recorded last changed against the last
  // normal run of its script before it; empty for a stopped run and for
  // the first normal run of a script.
  std::optional<bool> lastChange() const { return lastChange_; }
  // Records without the clean-up afterwards: a copy or a spool keeps all.
  int64_t recordKeepingAll(const RunEntry& run);
  // Removes up to batch runs past the retention; true when more are left.
  bool enforceRetention(int batch = 200);
  // Removes one run, and its display when no other run shows it.
  void remove(int64_t runId);
  // Up to limit runs after the run afterId, whole, in order.
  std::vector<StoredRun> entries(int64_t afterId, int limit);
  int64_t runCount();

  // The runs after the run afterId, in order (all of them for 0).
  std::vector<RunRow> runs(int64_t afterId = 0);
  int64_t lastRunId();
  std::u16string display(int64_t displayId);
  std::vector<std::string> seriesLabels();
  // The values of one series over the runs that ended normally (a stopped
  // run's display may be half made).
  std::vector<SeriesPoint> series(const std::string& label);
  SeriesTable seriesTable();

  // The fetch choice kept for a watch and address, and keeping one (the
  // time it was decided is kept with it).
  std::optional<FetchChoice> fetchChoice(const std::string& watch, const std::string& url);
  void keepFetchChoice(const std::string& watch, const std::string& url, const FetchChoice& choice);

  Retention retention();
  void setRetention(const Retention& retention);

  // This machine's name, as runs record it; a new unique run id.
  static std::string thisHost();
  static std::string newRunId();

  // The file's path, or the server's address with its password masked.
  const std::string& path() const { return path_; }
  // The open file, for the history's other tables (alerts.h).
  Database& database() { return *db_; }

 private:
  void openFile(const std::string& path, bool readOnly);
  void openSchema(bool readOnly);
  int64_t recordOnce(const RunEntry& run, bool lookForExpired);
  int64_t recordRetrying(const RunEntry& run, bool lookForExpired);
  int64_t storeDisplay(const std::string& text, const std::u16string& display);
  void removeRuns(const std::vector<std::pair<int64_t, int64_t>>& runs);
  HistoryError failure(const std::exception& e) const;

  std::string path_;
  std::unique_ptr<Database> db_;
  std::optional<bool> lastChange_;
  // Whether a run past the retention was there at the last recording;
  // empty when it was not looked for.
  std::optional<bool> expired_;
  Retention retention_;
  std::optional<std::chrono::steady_clock::time_point> retentionRead_;
};

// The file a history lives in beside a settings file, or in the per-user
// data folder for the settings of an installed program.
std::string historyPathFor(const std::string& settingsPath);

// UTC ISO 8601 with milliseconds: 2026-12-07T21:42:16.125Z.
std::string isoUtcTime(std::chrono::system_clock::time_point t);
// Its reverse; the epoch for text that is no such time.
std::chrono::system_clock::time_point parseIsoUtcTime(std::string_view text);

}  // namespace kelvane::history
