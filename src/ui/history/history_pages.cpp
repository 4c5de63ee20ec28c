#include "ui/history/history_pages.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>
#include <initializer_list>

#include "history/alerts.h"
#include "history/series.h"
#include "history/store.h"
#include "ui/history/run_list_model.h"

namespace kelvane::ui {
namespace {

QTableWidget* table(std::initializer_list<const char*> headers) {
  auto* t = new QTableWidget(0, static_cast<int>(headers.size()));
  QStringList names;
  for (const char* h : headers) names << QCoreApplication::translate("History", h);
  t->setHorizontalHeaderLabels(names);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->verticalHeader()->hide();
  t->horizontalHeader()->setStretchLastSection(true);
  return t;
}

void addRow(QTableWidget* t, const QStringList& cells) {
  const int row = t->rowCount();
  t->insertRow(row);
  for (int c = 0; c < cells.size(); ++c) {
    auto* item = new QTableWidgetItem(cells[c]);
    item->setToolTip(cells[c]);
    t->setItem(row, c, item);
  }
}

QString outcomeText(const std::string& outcome) {
  if (outcome == "sent") return QCoreApplication::translate("History", "送信済み");
  if (outcome == "failed") return QCoreApplication::translate("History", "失敗");
  if (outcome == "timed out") return QCoreApplication::translate("History", "時間切れ");
  if (outcome == "abandoned") return QCoreApplication::translate("History", "中断");
  if (outcome == "not started") return QCoreApplication::translate("History", "開始できず");
  return QString::fromStdString(outcome);
}

QString reasonText(history::LeftOutReason reason) {
  switch (reason) {
    case history::LeftOutReason::NoNumber:
      return QCoreApplication::translate("History", "数がありません");
    case history::LeftOutReason::OnlyJoined:
      return QCoreApplication::translate("History", "日付・時刻・番号の数だけです");
    case history::LeftOutReason::NoLabel:
      return QCoreApplication::translate("History", "数のほかに名前がありません");
    default:
      return QCoreApplication::translate("History", "同じ名前の行が前にあります");
  }
}

// The lines listed at most: a display of a hundred thousand lines stays quick.
constexpr int kMaxListed = 5000;

}  // namespace

RunNoticesPage::RunNoticesPage(QWidget* parent) : QWidget(parent) {
  summary_ = new QLabel;
  summary_->setWordWrap(true);
  decisions_ = table({QT_TRANSLATE_NOOP("History", "ルール"), QT_TRANSLATE_NOOP("History", "通知"),
                      QT_TRANSLATE_NOOP("History", "理由")});
  decisions_->setObjectName(QStringLiteral("decisionTable"));
  deliveries_ =
      table({QT_TRANSLATE_NOOP("History", "時刻"), QT_TRANSLATE_NOOP("History", "ウォッチ"),
             QT_TRANSLATE_NOOP("History", "通知先"), QT_TRANSLATE_NOOP("History", "ルール"),
             QT_TRANSLATE_NOOP("History", "結果"), QT_TRANSLATE_NOOP("History", "エラー")});
  deliveries_->setObjectName(QStringLiteral("deliveryTable"));
  auto* decisionsLabel = new QLabel(QCoreApplication::translate("History", "ルールの判断(&J)"));
  decisionsLabel->setBuddy(decisions_);
  auto* deliveriesLabel = new QLabel(QCoreApplication::translate("History", "送信の記録(&Y)"));
  deliveriesLabel->setBuddy(deliveries_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(summary_);
  layout->addWidget(decisionsLabel);
  layout->addWidget(decisions_, 1);
  layout->addWidget(deliveriesLabel);
  layout->addWidget(deliveries_, 1);
}

void RunNoticesPage::showRun(history::HistoryStore* store, int64_t runId) {
  decisions_->setRowCount(0);
  deliveries_->setRowCount(0);
  if (!store) {
    summary_->clear();
    return;
  }
  try {
    history::AlertBook book(*store);
    const std::vector<history::RuleDecision> made = book.decisions(runId);
    for (const history::RuleDecision& d : made) {
      addRow(decisions_, {QString::fromStdString(d.rule),
                          d.fired ? QCoreApplication::translate("History", "する")
                                  : QCoreApplication::translate("History", "しない"),
                          QString::fromStdString(d.reason)});
    }
    const std::vector<history::DeliveryRow> sent = book.deliveries(runId);
    for (const history::DeliveryRow& r : sent) {
      addRow(deliveries_, {RunListModel::localTimeText(r.time), QString::fromStdString(r.watch),
                           QString::fromStdString(r.target), QString::fromStdString(r.rule),
                           outcomeText(r.outcome), QString::fromStdString(r.error)});
    }
    summary_->setText(
        made.empty() && sent.empty()
            ? QCoreApplication::translate("History",
                                          "この実行のあとには通知の判断も送信もありません"
                                          "（通知の条件がないか、正常に終わらなかった実行です）。")
            : QCoreApplication::translate("History", "この実行のあと: 判断 %1 件、送信 %2 件")
                  .arg(made.size())
                  .arg(sent.size()));
  } catch (const std::exception& e) {
    summary_->setText(QCoreApplication::translate("History", "履歴を読めません: %1")
                          .arg(QString::fromUtf8(e.what())));
  }
}

LeftOutPage::LeftOutPage(QWidget* parent) : QWidget(parent) {
  summary_ = new QLabel;
  summary_->setWordWrap(true);
  lines_ = table({QT_TRANSLATE_NOOP("History", "行"), QT_TRANSLATE_NOOP("History", "理由"),
                  QT_TRANSLATE_NOOP("History", "内容")});
  lines_->setObjectName(QStringLiteral("leftOutTable"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(summary_);
  layout->addWidget(lines_, 1);
}

void LeftOutPage::showDisplay(const std::u16string& display) {
  const history::SeriesReading reading = history::readSeries(display);
  lines_->setRowCount(0);
  lines_->setUpdatesEnabled(false);
  for (const history::LeftOutLine& line : reading.leftOut) {
    if (lines_->rowCount() >= kMaxListed) break;
    addRow(lines_, {QString::number(line.line), reasonText(line.reason),
                    QString::fromStdString(line.text)});
  }
  lines_->setUpdatesEnabled(true);
  lines_->resizeColumnToContents(0);
  lines_->resizeColumnToContents(1);
  QString text = QCoreApplication::translate(
                     "History", "この実行の表示で系列になった行 %1、系列に入らない行 %2")
                     .arg(reading.series.size())
                     .arg(reading.leftOut.size());
  if (reading.leftOut.size() > static_cast<size_t>(kMaxListed)) {
    text += QCoreApplication::translate("History", "（最初の %1 行を示します）").arg(kMaxListed);
  }
  summary_->setText(text);
}

}  // namespace kelvane::ui
