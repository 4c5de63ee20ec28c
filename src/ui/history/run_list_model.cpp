#include "ui/history/run_list_model.h"

#include <QCoreApplication>
#include <QDateTime>

namespace kelvane::ui {

void RunListModel::setRuns(std::vector<history::RunRow> runs) {
  beginResetModel();
  runs_ = std::move(runs);
  endResetModel();
}

int RunListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(runs_.size());
}

int RunListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QString RunListModel::localTimeText(const std::string& isoUtc) {
  const QDateTime utc = QDateTime::fromString(QString::fromStdString(isoUtc), Qt::ISODateWithMs);
  return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy/MM/dd H:mm:ss"))
                       : QString::fromStdString(isoUtc);
}

QVariant RunListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const history::RunRow& r = runs_[static_cast<size_t>(index.row())];
  if (role == Qt::ToolTipRole && !r.message.empty()) return QString::fromStdString(r.message);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case 0:
      return localTimeText(r.start);
    case 1:
      return r.normal ? QCoreApplication::translate("History", "正常")
                      : QCoreApplication::translate("History", "停止");
    default:
      return !r.changed   ? QString()
             : *r.changed ? QCoreApplication::translate("History", "あり")
                          : QCoreApplication::translate("History", "なし");
  }
}

QVariant RunListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[] = {QT_TRANSLATE_NOOP("History", "時刻"),
                                         QT_TRANSLATE_NOOP("History", "結果"),
                                         QT_TRANSLATE_NOOP("History", "変化")};
  return QCoreApplication::translate("History", kHeaders[section]);
}

}  // namespace kelvane::ui
