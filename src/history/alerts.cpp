#include "history/alerts.h"

#include "history/sqlite.h"
#include "history/store.h"
#include "textfile/text_codec.h"

namespace kelvane::history {
namespace {

// The id of the watch's last normal run before runId, 0 when none.
constexpr const char* kLastNormal =
    "(SELECT coalesce(max(id), 0) FROM runs WHERE script = ?1 AND outcome = 'normal' AND id < ?2)";

std::optional<double> optionalDouble(Statement& s) {
  if (!s.step() || s.isNull(0)) return std::nullopt;
  return s.columnDouble(0);
}

}  // namespace

AlertBook::AlertBook(HistoryStore& store) : store_(store) {}

Decisions AlertBook::decide(
    const std::string& watch, int64_t runId,
    const std::function<Decisions(const std::map<std::string, bool>&)>& decide) {
  Database& db = store_.database();
  WriteTransaction tx(db);
  std::map<std::string, bool> states;
  Statement read = db.prepare("SELECT rule, active FROM rule_states WHERE watch = ?");
  read.bind(1, watch);
  while (read.step()) states.emplace(read.columnText(0), read.columnInt(1) != 0);
  Decisions decided = decide(states);
  Statement write = db.prepare(
      "INSERT INTO rule_states(watch, rule, active) VALUES(?, ?, ?) "
      "ON CONFLICT(watch, rule) DO UPDATE SET active = excluded.active");
  for (const auto& [rule, active] : decided.states) {
    write.bind(1, watch).bind(2, rule).bind(3, int64_t{active}).run();
  }
  Statement made = db.prepare(
      "INSERT INTO decisions(run_id, position, rule, fired, reason) VALUES(?, ?, ?, ?, ?) "
      "ON CONFLICT(run_id, position) DO UPDATE SET rule = excluded.rule, "
      "fired = excluded.fired, reason = excluded.reason");
  int64_t position = 0;
  for (const RuleDecision& d : decided.made) {
    made.bind(1, runId).bind(2, position++).bind(3, d.rule).bind(4, int64_t{d.fired});
    made.bind(5, d.reason).run();
  }
  tx.commit();
  return decided;
}

std::vector<RuleDecision> AlertBook::decisions(int64_t runId) {
  std::vector<RuleDecision> made;
  Statement s = store_.database().prepare(
      "SELECT rule, fired, reason FROM decisions WHERE run_id = ? ORDER BY position");
  s.bind(1, runId);
  while (s.step()) {
    made.push_back(
        {std::string(s.columnText(0)), s.columnInt(1) != 0, std::string(s.columnText(2))});
  }
  return made;
}

std::optional<bool> AlertBook::changed(int64_t runId) {
  Statement s = store_.database().prepare("SELECT changed FROM runs WHERE id = ?");
  s.bind(1, runId);
  if (!s.step() || s.isNull(0)) return std::nullopt;
  return s.columnInt(0) != 0;
}

std::optional<double> AlertBook::previousValue(const std::string& watch, const std::string& label,
                                               int64_t runId) {
  Statement s = store_.database().prepare(
      std::string("SELECT value FROM series WHERE label = ?3 AND display_id = "
                  "(SELECT display_id FROM runs WHERE id = ") +
      kLastNormal + ")");
  s.bind(1, watch).bind(2, runId).bind(3, label);
  return optionalDouble(s);
}

std::optional<double> AlertBook::lowestSince(const std::string& watch, const std::string& label,
                                             const std::string& since, int64_t runId) {
  // Runs are numbered in the order they are recorded, so the window starts at
  // the first run at or after since and the script's index does the rest.
  // min(+id): the start index finds the window's runs; min(id) alone would
  // walk the ids from the oldest run until one is young enough.
  Statement s = store_.database().prepare(
      "SELECT min(value) FROM series WHERE label = ?3 AND display_id IN (SELECT display_id "
      "FROM runs WHERE script = ?1 AND outcome = 'normal' AND id < ?2 AND id >= "
      "(SELECT coalesce(min(+id), ?2) FROM runs WHERE start >= ?4))");
  s.bind(1, watch).bind(2, runId).bind(3, label).bind(4, since);
  return optionalDouble(s);
}

std::optional<std::u16string> AlertBook::previousDisplay(const std::string& watch, int64_t runId) {
  Statement s = store_.database().prepare(
      std::string("SELECT text FROM displays WHERE id = (SELECT display_id FROM runs WHERE id = ") +
      kLastNormal + ")");
  s.bind(1, watch).bind(2, runId);
  if (!s.step()) return std::nullopt;
  return textfile::decodeUtf8(s.columnText(0));
}

FailureStreak AlertBook::failuresUpTo(const std::string& watch, int64_t runId) {
  FailureStreak streak;
  Statement s = store_.database().prepare(
      std::string("SELECT count(*), min(start), (SELECT message FROM runs WHERE script = ?1 AND "
                  "outcome = 'stopped' AND id <= ?2 ORDER BY id DESC LIMIT 1) FROM runs WHERE "
                  "script = ?1 AND outcome = 'stopped' AND id <= ?2 AND id > ") +
      kLastNormal);
  s.bind(1, watch).bind(2, runId);
  if (s.step()) {
    streak.runs = s.columnInt(0);
    if (!s.isNull(1)) streak.since = s.columnText(1);
    if (!s.isNull(2)) streak.reason = s.columnText(2);
  }
  return streak;
}

void AlertBook::logDelivery(const DeliveryRow& row) {
  Database& db = store_.database();
  WriteTransaction tx(db);
  db.prepare(
        "INSERT INTO deliveries(time, watch, run_id, target, rule, outcome, error) "
        "VALUES(?, ?, ?, ?, ?, ?, ?)")
      .bind(1, row.time)
      .bind(2, row.watch)
      .bind(3, row.runId)
      .bind(4, row.target)
      .bind(5, row.rule)
      .bind(6, row.outcome)
      .bind(7, row.error)
      .run();
  tx.commit();
}

std::vector<DeliveryRow> AlertBook::deliveries(std::optional<int64_t> runId) {
  std::vector<DeliveryRow> rows;
  Statement s = store_.database().prepare(
      runId ? "SELECT time, watch, run_id, target, rule, outcome, error FROM deliveries "
              "WHERE run_id = ? ORDER BY id"
            : "SELECT time, watch, run_id, target, rule, outcome, error FROM deliveries "
              "ORDER BY id");
  if (runId) s.bind(1, *runId);
  while (s.step()) {
    DeliveryRow r;
    r.time = s.columnText(0);
    r.watch = s.columnText(1);
    if (!s.isNull(2)) r.runId = s.columnInt(2);
    r.target = s.columnText(3);
    r.rule = s.columnText(4);
    r.outcome = s.columnText(5);
    r.error = s.columnText(6);
    rows.push_back(std::move(r));
  }
  return rows;
}

std::string deliveriesCsv(const std::vector<DeliveryRow>& rows) {
  std::string out = "\xEF\xBB\xBFtime,watch,target,rule,outcome,error\r\n";
  const auto cell = [&out](std::string text, bool last = false) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos) {
      text.insert(0, 1, '\'');
    }
    if (text.find_first_of(",\"\r\n") != std::string::npos) {
      std::string quoted = "\"";
      for (const char c : text) (c == '"' ? quoted += "\"\"" : quoted += c);
      text = quoted + '"';
    }
    out += text;
    out += last ? "\r\n" : ",";
  };
  for (const DeliveryRow& r : rows) {
    cell(r.time);
    cell(r.watch);
    cell(r.target);
    cell(r.rule);
    cell(r.outcome);
    cell(r.error, true);
  }
  return out;
}

}  // namespace kelvane::history
