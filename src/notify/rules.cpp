#include "notify/rules.h"

#include <cmath>

#include "numbers/price.h"
#include "textfile/text_codec.h"

namespace kelvane::notify {
namespace {

enum class Subject { None, Series, Text };

struct KindInfo {
  RuleKind kind;
  std::string_view word;
  Subject subject;
  std::u16string_view units;  // characters that may follow the number
  bool everyTime;
};

constexpr KindInfo kKinds[] = {
    {RuleKind::Changed, "changed", Subject::None, u"", true},
    {RuleKind::Below, "below", Subject::Series, u"", false},
    {RuleKind::Above, "above", Subject::Series, u"", false},
    {RuleKind::Drops, "drops", Subject::Series, u"%％", false},
    {RuleKind::Lowest, "lowest", Subject::Series, u"d日", false},
    {RuleKind::Shows, "shows", Subject::Text, u"", false},
    {RuleKind::Hides, "hides", Subject::Text, u"", false},
};

const KindInfo& infoOf(RuleKind kind) {
  for (const KindInfo& k : kKinds) {
    if (k.kind == kind) return k;
  }
  return kKinds[0];
}

bool isSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\u3000';
}

std::u16string_view trim(std::u16string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// A quoted text at the start of s: its inside, and s moved past it.
std::optional<std::u16string> quoted(std::u16string_view& s) {
  if (s.empty()) return std::nullopt;
  const char16_t close = s.front() == u'"' ? u'"' : s.front() == u'「' ? u'」' : u'\0';
  if (close == u'\0') return std::nullopt;
  const size_t end = s.find(close, 1);
  if (end == std::u16string_view::npos || end == 1) return std::nullopt;
  std::u16string inside(s.substr(1, end - 1));
  s = trim(s.substr(end + 1));
  return inside;
}

std::u16string_view word(std::u16string_view& s) {
  size_t end = 0;
  while (end < s.size() && !isSpace(s[end])) ++end;
  const std::u16string_view w = s.substr(0, end);
  s = trim(s.substr(end));
  return w;
}

const KindInfo* kindNamed(std::u16string_view w) {
  for (const KindInfo& k : kKinds) {
    if (w.size() == k.word.size() && std::equal(w.begin(), w.end(), k.word.begin())) return &k;
  }
  return nullptr;
}

std::string show(double v) {
  return history::numberText(v);
}

}  // namespace

bool firesEveryTime(RuleKind kind) {
  return infoOf(kind).everyTime;
}

std::variant<Rule, std::string> parseRule(std::string_view utf8) {
  const std::u16string whole = textfile::fromUtf8(utf8);
  std::u16string_view s = trim(whole);
  Rule rule;
  rule.text = textfile::toUtf8(s);
  const std::string bad = "not a rule: " + rule.text +
                          " (changed; \"LABEL\" below N, above N, drops P%, lowest Nd; "
                          "shows \"TEXT\"; hides \"TEXT\")";
  std::optional<std::u16string> label = quoted(s);
  const KindInfo* kind = kindNamed(word(s));
  if (!kind) return bad;
  rule.kind = kind->kind;
  if (kind->subject == Subject::None)
    return label || !s.empty() ? std::variant<Rule, std::string>(bad) : rule;
  if (kind->subject == Subject::Text) {
    const std::optional<std::u16string> text = quoted(s);
    if (label || !text || !s.empty()) return bad;
    rule.subject = textfile::toUtf8(*text);
    return rule;
  }
  if (!label) return bad;
  rule.subject = textfile::toUtf8(*label);
  if (!s.empty() && kind->units.find(s.back()) != std::u16string_view::npos) {
    s.remove_suffix(1);
  } else if (!kind->units.empty()) {
    return bad;
  }
  const std::optional<double> number = numbers::priceNumber(s);
  if (!number || !std::isfinite(*number) ||
      (kind->kind != RuleKind::Below && kind->kind != RuleKind::Above && *number <= 0)) {
    return bad;
  }
  rule.number = *number;
  return rule;
}

Verdict judge(const Rule& rule, const RunView& run, Past& past) {
  Verdict v;
  const KindInfo& kind = infoOf(rule.kind);
  if (kind.subject == Subject::None) {
    v.holds = run.changed.value_or(false);
    v.found = !run.changed ? "first run" : *run.changed ? "the display changed" : "no change";
    return v;
  }
  if (kind.subject == Subject::Text) {
    const bool shown = run.display.find(textfile::fromUtf8(rule.subject)) != std::u16string::npos;
    v.holds = rule.kind == RuleKind::Shows ? shown : !shown;
    v.found = (shown ? "shown: " : "not shown: ") + rule.subject;
    return v;
  }
  const history::SeriesValue* series = nullptr;
  for (const history::SeriesValue& s : run.series) {
    if (s.label.find(rule.subject) == std::string::npos) continue;
    if (series) {
      v.ambiguous = true;
      break;
    }
    series = &s;
  }
  if (!series) {
    v.found = "no series label contains \"" + rule.subject + "\"";
    return v;
  }
  v.label = series->label;
  const double value = series->value;
  v.found = series->label + " = " + show(value);
  switch (rule.kind) {
    case RuleKind::Below:
      v.holds = value < rule.number;
      break;
    case RuleKind::Above:
      v.holds = value > rule.number;
      break;
    case RuleKind::Drops: {
      const std::optional<double> before = past.previousValue(series->label);
      if (!before || *before <= 0) {
        v.found += " (no earlier value)";
        break;
      }
      v.holds = value <= *before * (1 - rule.number / 100);
      v.found += " (was " + show(*before) + ")";
      break;
    }
    case RuleKind::Lowest: {
      const std::optional<double> low = past.lowestInDays(series->label, rule.number);
      if (!low) {
        v.found += " (no earlier value)";
        break;
      }
      v.holds = value <= *low;
      v.found += " (lowest before: " + show(*low) + ")";
      break;
    }
    default:
      break;
  }
  return v;
}

}  // namespace kelvane::notify
