#include "history/export.h"

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "history/series.h"

namespace kelvane::history {
namespace {

void appendField(std::string& out, const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

const char* outcomeText(bool normal) {
  return normal ? "normal" : "stopped";
}

}  // namespace

std::string csvText(const SeriesTable& table) {
  std::string out = "\xEF\xBB\xBFtime,outcome";
  for (const std::string& label : table.labels) {
    out += ',';
    appendField(out, label);
  }
  out += "\r\n";
  for (const SeriesTable::Row& row : table.rows) {
    out += row.start;
    out += ',';
    out += outcomeText(row.normal);
    for (const std::string& label : table.labels) {
      out += ',';
      if (const auto v = row.values.find(label); v != row.values.end()) {
        out += numberText(v->second);
      }
    }
    out += "\r\n";
  }
  return out;
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

}  // namespace kelvane::history
