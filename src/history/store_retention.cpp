// What a history keeps: removing the runs past its retention, a bounded
// batch at a time, and the retention itself, kept in the history.
#include <set>

#include "history/sql.h"
#include "history/store.h"

namespace kelvane::history {

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
