#include "ui/history/run_list_model.h"

#include <QCoreApplication>
#include <QDateTime>

namespace kelvane::ui {

bool RunListModel::kept(const history::RunRow& run) const {
  return (filter_.watch.empty() || run.watch == filter_.watch) &&
         (filter_.host.empty() || run.host == filter_.host);
}

void RunListModel::setRuns(std::vector<history::RunRow> runs) {
  beginResetModel();
  runs_ = std::move(runs);
  shown_.clear();
  for (size_t i = 0; i < runs_.size(); ++i) {
    if (kept(runs_[i])) shown_.push_back(static_cast<uint32_t>(i));
  }
  endResetModel();
}

void RunListModel::appendRuns(std::vector<history::RunRow> runs) {
  std::vector<uint32_t> added;
  for (history::RunRow& r : runs) {
    if (r.id <= lastId()) continue;
    if (kept(r)) added.push_back(static_cast<uint32_t>(runs_.size()));
    runs_.push_back(std::move(r));
  }
  if (added.empty()) return;
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
  shown_.insert(shown_.end(), added.begin(), added.end());
  endInsertRows();
}

void RunListModel::setFilter(const RunFilter& filter) {
  filter_ = filter;
  setRuns(std::move(runs_));
}

int RunListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int RunListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 5;
}

QString RunListModel::localTimeText(const std::string& isoUtc) {
  const QDateTime utc = QDateTime::fromString(QString::fromStdString(isoUtc), Qt::ISODateWithMs);
  return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy/MM/dd H:mm:ss"))
                       : QString::fromStdString(isoUtc);
}

QVariant RunListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const history::RunRow& r = run(index.row());
  if (role == Qt::ToolTipRole && !r.message.empty()) return QString::fromStdString(r.message);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case 0:
      return localTimeText(r.start);
    case 1:
      return r.normal ? QCoreApplication::translate("History", "正常")
                      : QCoreApplication::translate("History", "停止");
    case 2:
      return !r.changed   ? QString()
             : *r.changed ? QCoreApplication::translate("History", "あり")
                          : QCoreApplication::translate("History", "なし");
    case 3:
      return QString::fromStdString(r.watch);
    default:
      return QString::fromStdString(r.host);
  }
}

QVariant RunListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[] = {
      QT_TRANSLATE_NOOP("History", "時刻"), QT_TRANSLATE_NOOP("History", "結果"),
      QT_TRANSLATE_NOOP("History", "変化"), QT_TRANSLATE_NOOP("History", "ウォッチ"),
      QT_TRANSLATE_NOOP("History", "ホスト")};
  return QCoreApplication::translate("History", kHeaders[section]);
}

}  // namespace kelvane::ui
