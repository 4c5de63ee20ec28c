// What a history holds, read back: the runs as listed, displays, series and
// the runs whole (for a copy and for the spool).
#include <unordered_map>

#include "history/sql.h"
#include "history/store.h"
#include "textfile/text_codec.h"

namespace kelvane::history {

std::vector<RunRow> HistoryStore::runs(int64_t afterId) {
  std::vector<RunRow> rows;
  Statement s = db_->prepare(
      "SELECT id, start, duration_ms, outcome, message, changed, display_id, script, watch, "
      "host FROM runs WHERE id > ? ORDER BY id");
  s.bind(1, afterId);
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
    r.watch = s.columnText(8);
    r.host = s.columnText(9);
    rows.push_back(std::move(r));
  }
  return rows;
}

int64_t HistoryStore::lastRunId() {
  return db_->queryInt("SELECT coalesce(max(id), 0) FROM runs");
}

int64_t HistoryStore::runCount() {
  return db_->queryInt("SELECT count(*) FROM runs");
}

std::vector<StoredRun> HistoryStore::entries(int64_t afterId, int limit) {
  std::vector<StoredRun> found;
  Statement s = db_->prepare(
      "SELECT runs.id, start, duration_ms, outcome, message, script, watch, host, uid, "
      "displays.text FROM runs JOIN displays ON displays.id = runs.display_id "
      "WHERE runs.id > ? ORDER BY runs.id LIMIT ?");
  s.bind(1, afterId).bind(2, static_cast<int64_t>(limit));
  while (s.step()) {
    StoredRun r;
    r.id = s.columnInt(0);
    r.entry.start = parseIsoUtcTime(s.columnText(1));
    r.entry.durationMs = s.columnInt(2);
    r.entry.normal = s.columnText(3) == "normal";
    r.entry.message = s.columnText(4);
    r.entry.script = s.columnText(5);
    r.entry.watch = s.columnText(6);
    r.entry.host = s.columnText(7);
    r.entry.uid = s.columnText(8);
    r.entry.display = textfile::decodeUtf8(s.columnText(9));
    found.push_back(std::move(r));
  }
  Statement loads = db_->prepare(
      "SELECT url, final_url, \"fetch\", status, error, load_ms, settle_ms, charset FROM loads "
      "WHERE run_id = ? ORDER BY position");
  for (StoredRun& r : found) {
    loads.bind(1, r.id);
    while (loads.step()) {
      acquisition::LoadRecord l;
      l.url = loads.columnText(0);
      l.finalUrl = loads.columnText(1);
      l.fetch = acquisition::fetchModeNamed(loads.columnText(2))
                    .value_or(acquisition::FetchMode::Browser);
      if (!loads.isNull(3)) l.status = static_cast<int>(loads.columnInt(3));
      l.error = loads.columnText(4);
      l.loadMs = loads.columnInt(5);
      if (!loads.isNull(6)) l.settleMs = loads.columnInt(6);
      l.charset = loads.columnText(7);
      r.entry.loads.push_back(std::move(l));
    }
    loads.reset();
  }
  return found;
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

}  // namespace kelvane::history
