// When to notify: rules as data. One table lists the kinds of rule, how a
// rule is written and whether it is decided on a series or on the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "history/series.h"

namespace kelvane::notify {

enum class RuleKind { Changed, Below, Above, Drops, Lowest, Shows, Hides };

struct Rule {
  RuleKind kind = RuleKind::Changed;
  std::string subject;  // the series label looked for, or the text (UTF-8)
  double number = 0;    // the bound, the percentage or the days
  std::string text;     // the rule as written, trimmed: its name in the history
};

// The rule in `--when` text: changed; "LABEL" below N; "LABEL" above N;
// "LABEL" drops P%; "LABEL" lowest Nd; shows "TEXT"; hides "TEXT". Quotes may
// be "…" or 「…」; numbers are read as prices (`below ￥３００`). The error
// says what is wrong, naming the rule.
std::variant<Rule, std::string> parseRule(std::string_view text);

// What a run shows, as the rules read it.
struct RunView {
  std::u16string display;
  std::vector<history::SeriesValue> series;
  std::optional<bool> changed;  // against the last normal run; empty for the first
};

// What the rules need from the runs before.
class Past {
 public:
  virtual ~Past() = default;
  virtual std::optional<double> previousValue(const std::string& label) = 0;
  virtual std::optional<double> lowestInDays(const std::string& label, double days) = 0;
};

// A rule's truth on one run, and what it found, as a person reads it.
struct Verdict {
  bool holds = false;
  std::string found;       // `みかん（有田） = 298`, or why nothing was found
  std::string label;       // the series the rule read, when one
  bool ambiguous = false;  // the label matched several series
};

Verdict judge(const Rule& rule, const RunView& run, Past& past);

// A watch's notifications: where they go and when.
struct NotifySettings {
  std::vector<std::string> targets;
  std::vector<Rule> rules;  // none: changed
  bool first = false;       // the first normal run may fire a rule that is already true
  int alertAfter = 3;       // stopped runs in a row before the watch counts as broken; 0: never
};

// A rule whose truth is news each time (changed) rather than a state that
// fires when it becomes true and re-arms when false again.
bool firesEveryTime(RuleKind kind);

}  // namespace kelvane::notify
