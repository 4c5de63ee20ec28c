// The series of a history's displays held in memory for the History
// window's chart: read once in one pass over the stored series, then only
// the displays recorded since. Charting several series over many runs then
// reads nothing more: each run's values are found by its display.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kelvane::history {

class HistoryStore;

class SeriesCatalog {
 public:
  // Reads the series of the displays stored since the last read. Throws
  // HistoryError as the store does.
  void readFrom(HistoryStore& store);
  void clear();

  // Every label, in the order the labels first appear (display by display,
  // line by line).
  const std::vector<std::string>& labels() const { return labels_; }
  // A display's values: (index into labels(), value), in line order; empty
  // for a display with no series.
  const std::vector<std::pair<uint32_t, double>>& valuesOf(int64_t displayId) const;

 private:
  void addDisplay(int64_t displayId,
                  std::vector<std::pair<int64_t, std::pair<uint32_t, double>>>& rows);

  std::vector<std::string> labels_;
  std::unordered_map<std::string, uint32_t> index_;
  std::unordered_map<int64_t, std::vector<std::pair<uint32_t, double>>> values_;
  int64_t lastDisplay_ = 0;
};

}  // namespace kelvane::history
