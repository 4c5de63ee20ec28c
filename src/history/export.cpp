#include "history/export.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>

#include "history/alerts.h"
#include "history/series.h"

namespace kelvane::history {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// An optional sign, digits with at most one point (at least one digit), and
// an optional exponent: what a spreadsheet reads as a number, never as a
// formula.
bool isPlainNumber(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    const size_t start = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    if (i == start) return false;
  }
  return i == s.size();
}

bool startsAFormula(std::string_view s) {
  if (s.empty()) return false;
  switch (s.front()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
      return !isPlainNumber(s);
    default:
      return false;
  }
}

void appendField(std::string& out, std::string_view field) {
  out += csvField(field);
}

const char* outcomeText(bool normal) {
  return normal ? "normal" : "stopped";
}

}  // namespace

std::string csvField(std::string_view field) {
  std::string cell;
  if (startsAFormula(field)) cell += '\'';
  cell += field;
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (const char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

CsvExport csvExport(const SeriesTable& table, size_t maxSeries) {
  CsvExport csv;
  const size_t kept = std::min(table.labels.size(), maxSeries);
  const auto labels = std::span(table.labels).first(kept);
  csv.leftOut.assign(table.labels.begin() + static_cast<ptrdiff_t>(kept), table.labels.end());
  std::string& out = csv.text;
  out = "\xEF\xBB\xBFtime,outcome";
  for (const std::string& label : labels) {
    out += ',';
    appendField(out, label);
  }
  out += "\r\n";
  for (const SeriesTable::Row& row : table.rows) {
    appendField(out, row.start);
    out += ',';
    out += outcomeText(row.normal);
    for (const std::string& label : labels) {
      out += ',';
      if (const auto v = row.values.find(label); v != row.values.end()) {
        appendField(out, numberText(v->second));
      }
    }
    out += "\r\n";
  }
  return csv;
}

std::string jsonLines(const SeriesTable& table) {
  std::string out;
  for (const SeriesTable::Row& row : table.rows) {
    nlohmann::ordered_json j;
    j["time"] = row.start;
    j["outcome"] = outcomeText(row.normal);
    if (row.changed) j["changed"] = *row.changed;
    j["values"] = nlohmann::ordered_json::object();
    // The labels in the table's order, as the CSV columns go.
    for (const std::string& label : table.labels) {
      if (const auto v = row.values.find(label); v != row.values.end()) {
        // Whole numbers as integers: 298, not 298.0.
        const double value = v->second;
        if (std::abs(value) < 1e15 && value == std::trunc(value)) {
          j["values"][label] = static_cast<int64_t>(value);
        } else {
          j["values"][label] = value;
        }
      }
    }
    out += j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    out += '\n';
  }
  return out;
}

CsvExport exportHistory(const std::string& path, std::string_view format) {
  HistoryStore store(path, true);
  if (format == "deliveries") return {deliveriesCsv(AlertBook(store).deliveries()), {}};
  const SeriesTable table = store.seriesTable();
  if (format == "csv") return csvExport(table);
  return {jsonLines(table), {}};
}

}  // namespace kelvane::history
