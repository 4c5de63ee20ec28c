// The runs of a history as a table: time (local), outcome, whether the
// display changed, the watch and the host, narrowed to one watch or host
// when asked. Texts are made only for the rows on screen, so a history of a
// hundred thousand runs opens at once; runs recorded later are appended.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <vector>

#include "history/store.h"

namespace kelvane::ui {

// Which runs are listed: those of one watch, of one host (empty: any).
struct RunFilter {
  std::string watch;
  std::string host;
};

class RunListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;
  void setRuns(std::vector<history::RunRow> runs);
  // Appends runs recorded after the last one held.
  void appendRuns(std::vector<history::RunRow> runs);
  // Shows only the runs of filter's watch and host (empty: any).
  void setFilter(const RunFilter& filter);
  const RunFilter& filter() const { return filter_; }
  // The run at a row as shown.
  const history::RunRow& run(int row) const { return runs_[shown_[static_cast<size_t>(row)]]; }
  int64_t lastId() const { return runs_.empty() ? 0 : runs_.back().id; }
  // Every run read, whatever the filter.
  const std::vector<history::RunRow>& allRuns() const { return runs_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // An ISO 8601 UTC time as the window shows it: local, yyyy/MM/dd H:mm:ss.
  static QString localTimeText(const std::string& isoUtc);

 private:
  bool kept(const history::RunRow& run) const;

  std::vector<history::RunRow> runs_;
  std::vector<uint32_t> shown_;  // indexes into runs_ of the rows shown
  RunFilter filter_;
};

}  // namespace kelvane::ui
