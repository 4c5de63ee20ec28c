// The runs of a history as a table: time (local), outcome, whether the
// display changed. Texts are made only for the rows on screen, so a history
// of a hundred thousand runs opens at once.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "history/store.h"

namespace kelvane::ui {

class RunListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;
  void setRuns(std::vector<history::RunRow> runs);
  const history::RunRow& run(int row) const { return runs_[static_cast<size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // An ISO 8601 UTC time as the window shows it: local, yyyy/MM/dd H:mm:ss.
  static QString localTimeText(const std::string& isoUtc);

 private:
  std::vector<history::RunRow> runs_;
};

}  // namespace kelvane::ui
