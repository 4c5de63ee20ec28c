// What the history keeps for the notices that follow runs: each rule's state
// per watch (so that separate processes agree on what was already told),
// every decision made after a run, and the log of deliveries. A watch is
// named as its runs are: by its script's path.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::history {

class HistoryStore;

struct RuleDecision {
  std::string rule;    // the rule as written
  bool fired = false;  // a notice goes out
  std::string reason;  // why, or why not, as a person reads it
};

struct Decisions {
  std::vector<RuleDecision> made;
  // Whether each rule is true now; a rule left out keeps its state.
  std::map<std::string, bool> states;
};

struct DeliveryRow {
  std::string time;  // UTC, as runs are
  std::string watch;
  std::optional<int64_t> runId;
  std::string target;   // masked
  std::string rule;     // the rule that fired, "test", "failing" or "recovered"
  std::string outcome;  // "sent", "failed", "timed out", "abandoned", "not started"
  std::string error;    // what apprise said (masked), or why it did not run
};

// The stopped runs of a watch since its last normal one, up to a run.
struct FailureStreak {
  int64_t runs = 0;
  std::string since;   // the first one's start
  std::string reason;  // the last one's message
};

class AlertBook {
 public:
  explicit AlertBook(HistoryStore& store);

  // In one write transaction: reads the rules' states (a rule never decided
  // is absent), lets decide make the decisions, stores them for run runId
  // and the states it returns. Another process deciding for the same watch
  // waits, so a rule fires once.
  Decisions decide(const std::string& watch, int64_t runId,
                   const std::function<Decisions(const std::map<std::string, bool>&)>& decide);
  std::vector<RuleDecision> decisions(int64_t runId);

  // Whether run runId's display differs from the watch's last normal run
  // before it; empty for a first run or a stopped one.
  std::optional<bool> changed(int64_t runId);
  // The value of a series at the watch's last normal run before run runId.
  std::optional<double> previousValue(const std::string& watch, const std::string& label,
                                      int64_t runId);
  // The lowest value of a series over the watch's normal runs before runId
  // that started at or after since (UTC text as stored).
  std::optional<double> lowestSince(const std::string& watch, const std::string& label,
                                    const std::string& since, int64_t runId);
  // The display of the watch's last normal run before runId.
  std::optional<std::u16string> previousDisplay(const std::string& watch, int64_t runId);
  FailureStreak failuresUpTo(const std::string& watch, int64_t runId);

  void logDelivery(const DeliveryRow& row);
  // The whole log, or the deliveries that followed one run.
  std::vector<DeliveryRow> deliveries(std::optional<int64_t> runId = std::nullopt);

 private:
  HistoryStore& store_;
};

// The delivery log as CSV (UTF-8 with a byte order mark, CR LF): time, watch,
// target, rule, outcome, error. A cell a spreadsheet would take for a formula
// starts with an apostrophe.
std::string deliveriesCsv(const std::vector<DeliveryRow>& rows);

}  // namespace kelvane::history
