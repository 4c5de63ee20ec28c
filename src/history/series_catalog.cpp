#include "history/series_catalog.h"

#include <algorithm>

#include "history/sql.h"
#include "history/store.h"

namespace kelvane::history {

void SeriesCatalog::clear() {
  labels_.clear();
  index_.clear();
  values_.clear();
  lastDisplay_ = 0;
}

const std::vector<std::pair<uint32_t, double>>& SeriesCatalog::valuesOf(int64_t displayId) const {
  static const std::vector<std::pair<uint32_t, double>> kNone;
  const auto found = values_.find(displayId);
  return found == values_.end() ? kNone : found->second;
}

// rows: (position, (label index, value)) of one display, in label order.
void SeriesCatalog::addDisplay(int64_t displayId,
                               std::vector<std::pair<int64_t, std::pair<uint32_t, double>>>& rows) {
  std::sort(rows.begin(), rows.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  auto& values = values_[displayId];
  values.reserve(rows.size());
  for (const auto& row : rows) values.push_back(row.second);
  rows.clear();
}

void SeriesCatalog::readFrom(HistoryStore& store) {
  // In the key's order (display, then label): the table is read straight
  // through, and each display's lines put back in order here. A label is new
  // the first time a display shows it; a display's new labels are kept in
  // line order.
  Statement s = store.database().prepare(
      "SELECT display_id, position, label, value FROM series WHERE display_id > ? "
      "ORDER BY display_id, label");
  s.bind(1, lastDisplay_);
  std::vector<std::pair<int64_t, std::pair<uint32_t, double>>> rows;
  std::vector<std::pair<int64_t, std::string>> fresh;  // (position, label) new in this display
  int64_t display = 0;
  const auto flush = [&] {
    if (!display) return;
    std::sort(fresh.begin(), fresh.end());
    for (auto& [position, label] : fresh) {
      const uint32_t at = static_cast<uint32_t>(labels_.size());
      index_.emplace(label, at);
      labels_.push_back(std::move(label));
      for (auto& row : rows) {
        if (row.first == position) row.second.first = at;
      }
    }
    fresh.clear();
    addDisplay(display, rows);
  };
  while (s.step()) {
    const int64_t id = s.columnInt(0);
    if (id != display) {
      flush();
      display = id;
    }
    const int64_t position = s.columnInt(1);
    const std::string_view label = s.columnText(2);
    const auto known = index_.find(std::string(label));
    uint32_t at = UINT32_MAX;  // set by flush for a new label
    if (known != index_.end()) {
      at = known->second;
    } else {
      fresh.emplace_back(position, std::string(label));
    }
    rows.push_back({position, {at, s.columnDouble(3)}});
  }
  flush();
  lastDisplay_ = std::max(lastDisplay_, display);
}

}  // namespace kelvane::history
