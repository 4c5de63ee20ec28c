#include "ui/history/history_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStringList>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "history/address.h"
#include "history/display_diff.h"
#include "history/export.h"
#include "history/store.h"
#include "textfile/file_io.h"
#include "ui/history/history_chart.h"
#include "ui/history/history_pages.h"
#include "ui/history/run_list_model.h"

namespace kelvane::ui {
namespace {

QString fromU16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// How often the window looks for runs recorded meanwhile: one cheap query.
constexpr int kPollMs = 3000;

// The difference as HTML: removed lines on red, added on green, the
// characters that differ inside a changed line darker.
QString diffHtml(const std::vector<history::DiffLine>& lines) {
  QString html = QStringLiteral("<pre style=\"margin:0\">");
  for (const history::DiffLine& line : lines) {
    const bool removed = line.kind == history::DiffLine::Kind::Removed;
    const bool added = line.kind == history::DiffLine::Kind::Added;
    const char* back = removed ? "#ffe4e4" : added ? "#e2f6e2" : "transparent";
    const char* mark = removed ? "#f08080" : "#70c870";
    html += QStringLiteral("<span style=\"background:%1\">%2 ")
                .arg(QLatin1String(back), removed ? QStringLiteral("-")
                                          : added ? QStringLiteral("+")
                                                  : QStringLiteral(" "));
    for (const history::DiffPiece& piece : line.pieces) {
      const QString text = fromU16(piece.text).toHtmlEscaped();
      html += piece.marked ? QStringLiteral("<span style=\"background:%1\"><b>%2</b></span>")
                                 .arg(QLatin1String(mark), text)
                           : text;
    }
    html += QStringLiteral("</span>\n");
  }
  return html + QStringLiteral("</pre>");
}

}  // namespace

HistoryWindow::HistoryWindow(QString address, QWidget* parent)
    : QWidget(parent, Qt::Window), address_(std::move(address)) {
  setObjectName(QStringLiteral("frmHistory"));
  setWindowTitle(QCoreApplication::translate("History", "履歴"));
  createControls();
  resize(1040, 600);
  reload();
  poll_ = new QTimer(this);
  poll_->setInterval(kPollMs);
  connect(poll_, &QTimer::timeout, this, &HistoryWindow::lookForNewRuns);
  poll_->start();
}

HistoryWindow::~HistoryWindow() = default;

QWidget* HistoryWindow::createFilters() {
  watchBox_ = new QComboBox;
  watchBox_->setObjectName(QStringLiteral("watchBox"));
  hostBox_ = new QComboBox;
  hostBox_->setObjectName(QStringLiteral("hostBox"));
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* watchLabel = new QLabel(QCoreApplication::translate("History", "ウォッチ(&W)"));
  watchLabel->setBuddy(watchBox_);
  auto* hostLabel = new QLabel(QCoreApplication::translate("History", "ホスト(&O)"));
  hostLabel->setBuddy(hostBox_);
  for (QComboBox* box : {watchBox_, hostBox_}) {
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setMinimumContentsLength(8);
    connect(box, &QComboBox::activated, this, &HistoryWindow::filterChanged);
  }
  layout->addWidget(watchLabel);
  layout->addWidget(watchBox_, 1);
  layout->addWidget(hostLabel);
  layout->addWidget(hostBox_, 1);
  return row;
}

void HistoryWindow::createControls() {
  model_ = new RunListModel(this);
  list_ = new QTableView;
  list_->setModel(model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setColumnWidth(0,
                        fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00 00:00:00  ")));
  list_->setColumnWidth(1, fontMetrics().horizontalAdvance(QStringLiteral("MMMMMM")));
  list_->setColumnWidth(2, fontMetrics().horizontalAdvance(QStringLiteral("MMMMMM")));
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &HistoryWindow::selectionChanged);
  auto* runsLabel = new QLabel(QCoreApplication::translate("History", "実行(&R)"));
  runsLabel->setBuddy(list_);
  auto* listPane = new QWidget;
  auto* listLayout = new QVBoxLayout(listPane);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->addWidget(createFilters());
  listLayout->addWidget(runsLabel);
  listLayout->addWidget(list_, 1);

  display_ = new QPlainTextEdit;
  display_->setReadOnly(true);
  diffTitle_ = new QLabel;
  diff_ = new QTextEdit;
  diff_->setReadOnly(true);
  auto* diffPage = new QWidget;
  auto* diffLayout = new QVBoxLayout(diffPage);
  diffLayout->setContentsMargins(4, 4, 4, 4);
  diffLayout->addWidget(diffTitle_);
  diffLayout->addWidget(diff_);
  chart_ = new HistoryChart;
  notices_ = new RunNoticesPage;
  leftOut_ = new LeftOutPage;

  // Alt and the underlined letter reach each page, as Ctrl+Tab does from
  // inside the pages.
  tabs_ = new QTabWidget;
  tabs_->addTab(display_, QCoreApplication::translate("History", "表示(&D)"));
  tabs_->addTab(diffPage, QCoreApplication::translate("History", "差分(&F)"));
  tabs_->addTab(chart_, QCoreApplication::translate("History", "グラフ(&G)"));
  tabs_->addTab(notices_, QCoreApplication::translate("History", "通知(&T)"));
  tabs_->addTab(leftOut_, QCoreApplication::translate("History", "系列に入らない行(&L)"));

  auto* splitter = new QSplitter;
  splitter->addWidget(listPane);
  splitter->addWidget(tabs_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({340, 560});

  status_ = new QLabel;
  auto* reloadButton = new QPushButton(QCoreApplication::translate("History", "再読込(&U)"));
  connect(reloadButton, &QPushButton::clicked, this, &HistoryWindow::reload);
  auto* exportButton = new QPushButton(QCoreApplication::translate("History", "CSV出力(&E)..."));
  connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::exportClicked);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  buttons->addWidget(reloadButton);
  buttons->addWidget(exportButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter, 1);
  layout->addLayout(buttons);
  setTabOrder(watchBox_, hostBox_);
  setTabOrder(hostBox_, list_);
  setTabOrder(list_, tabs_);
}

void HistoryWindow::showStatus() {
  const QString shown =
      model_->rowCount() == static_cast<int>(model_->allRuns().size())
          ? QCoreApplication::translate("History", "%1 回の実行").arg(model_->allRuns().size())
          : QCoreApplication::translate("History", "%1 / %2 回の実行")
                .arg(model_->rowCount())
                .arg(model_->allRuns().size());
  status_->setText(QStringLiteral("%1  %2").arg(
      shown, QString::fromStdString(history::maskedAddress(address_.toStdString()))));
}

// The filter boxes: すべて and each watch and host the runs name, keeping
// the choice. Taken from the runs read, not asked of the history: a server
// would scan every run for them.
void HistoryWindow::fillFilters() {
  std::set<std::string> watches, hosts;
  for (const history::RunRow& run : model_->allRuns()) {
    if (!run.watch.empty()) watches.insert(run.watch);
    if (!run.host.empty()) hosts.insert(run.host);
  }
  for (auto [box, names] : {std::pair{watchBox_, &watches}, std::pair{hostBox_, &hosts}}) {
    const QString chosen = box->currentIndex() > 0 ? box->currentText() : QString();
    if (box->count() == static_cast<int>(names->size()) + 1) continue;  // none new
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItem(QCoreApplication::translate("History", "すべて"));
    for (const std::string& name : *names) box->addItem(QString::fromStdString(name));
    box->setCurrentIndex(std::max(0, box->findText(chosen)));
  }
}

void HistoryWindow::reload() {
  std::vector<history::RunRow> runs;
  try {
    if (!store_) store_ = std::make_unique<history::HistoryStore>(address_.toStdString(), true);
    runs = store_->runs();
  } catch (const std::exception& e) {
    store_.reset();
    // No run has been recorded yet, or the history cannot be read: said, not shown as empty.
    status_->setText(QCoreApplication::translate("History", "履歴を読めません: %1")
                         .arg(QString::fromUtf8(e.what())));
  }
  model_->setRuns(std::move(runs));
  fillFilters();
  chart_->setSource(store_.get(), model_);
  filterChanged();
}

void HistoryWindow::filterChanged() {
  RunFilter filter;
  if (watchBox_->currentIndex() > 0) filter.watch = watchBox_->currentText().toStdString();
  if (hostBox_->currentIndex() > 0) filter.host = hostBox_->currentText().toStdString();
  model_->setFilter(filter);
  // The chart is drawn when its page is shown: over every run it takes as
  // long as reading the list.
  chart_->runsChanged();
  if (store_) showStatus();
  if (model_->rowCount() > 0) chooseRows({model_->rowCount() - 1});
}

void HistoryWindow::lookForNewRuns() {
  if (!store_) {
    reload();  // the history may have been made since
    return;
  }
  try {
    if (store_->lastRunId() <= model_->lastId()) return;
    const int before = model_->rowCount();
    const bool atEnd = list_->selectionModel()->isRowSelected(before - 1, {});
    model_->appendRuns(store_->runs(model_->lastId()));
    fillFilters();
    chart_->runsChanged();
    showStatus();
    // Following the newest run when it was the one shown.
    if (atEnd && model_->rowCount() > before) chooseRows({model_->rowCount() - 1});
  } catch (const std::exception& e) {
    status_->setText(QCoreApplication::translate("History", "履歴を読めません: %1")
                         .arg(QString::fromUtf8(e.what())));
  }
}

void HistoryWindow::chooseRows(const QList<int>& rows) {
  QItemSelection selection;
  for (const int row : rows) selection.select(model_->index(row, 0), model_->index(row, 4));
  list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (!rows.isEmpty()) list_->scrollTo(model_->index(rows.back(), 0));
}

void HistoryWindow::selectionChanged() {
  QList<int> rows;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  if (rows.isEmpty() || !store_) return;
  const history::RunRow& last = model_->run(rows.back());
  const int firstRow = rows.size() > 1 ? rows.front() : rows.back() - 1;
  notices_->showRun(store_.get(), last.id);
  try {
    const std::u16string after = store_->display(last.displayId);
    display_->setPlainText(fromU16(after));
    leftOut_->showDisplay(after);
    if (firstRow < 0) {
      diffTitle_->setText(QCoreApplication::translate("History", "最初の実行です"));
      diff_->setHtml(diffHtml(history::displayDiff(u"", after)));
      return;
    }
    const history::RunRow& first = model_->run(firstRow);
    diffTitle_->setText(QStringLiteral("%1 → %2").arg(RunListModel::localTimeText(first.start),
                                                      RunListModel::localTimeText(last.start)));
    diff_->setHtml(diffHtml(history::displayDiff(store_->display(first.displayId), after)));
  } catch (const std::exception& e) {
    diffTitle_->setText(QCoreApplication::translate("History", "履歴を読めません: %1")
                            .arg(QString::fromUtf8(e.what())));
  }
}

bool HistoryWindow::exportCsv(const QString& path) {
  QSaveFile file(path);
  try {
    if (!store_) throw std::runtime_error("no history");
    if (const auto link = textfile::plantedLink(path.toStdString())) {
      throw std::runtime_error(textfile::plantedLinkReason(*link));
    }
    const history::CsvExport csv = history::csvExport(store_->seriesTable());
    const std::string& text = csv.text;
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), static_cast<qint64>(text.size())) ==
            static_cast<qint64>(text.size()) &&
        file.commit()) {
      status_->setText(QCoreApplication::translate("History", "CSVを書き出しました: %1")
                           .arg(QDir::toNativeSeparators(path)));
      if (!csv.leftOut.empty()) showLeftOut(csv.leftOut);
      return true;
    }
    throw std::runtime_error(file.errorString().toStdString());
  } catch (const std::exception& e) {
    QMessageBox::warning(this, windowTitle(),
                         QCoreApplication::translate("History", "CSVを書き込めません: %1\n%2")
                             .arg(path, QString::fromUtf8(e.what())));
    return false;
  }
}

void HistoryWindow::showLeftOut(const std::vector<std::string>& labels) {
  QStringList names;
  for (const std::string& label : labels) names << QString::fromStdString(label);
  // Not modal to the program: the runs go on while it is read.
  auto* box = new QMessageBox(
      QMessageBox::Information, windowTitle(),
      QCoreApplication::translate(
          "History", "CSVの列は最初の %1 系列までです。残りの %2 系列は入っていません。")
          .arg(history::kMaxCsvSeries)
          .arg(labels.size()),
      QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("leftOutBox"));
  box->setDetailedText(names.join(QLatin1Char('\n')));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

QString HistoryWindow::statusText() const {
  return status_->text();
}

void HistoryWindow::exportClicked() {
  const QString path = QFileDialog::getSaveFileName(
      this, QCoreApplication::translate("History", "CSV出力"),
      QStringLiteral("kelvane-history.csv"), QStringLiteral("CSV (*.csv)"));
  if (!path.isEmpty()) exportCsv(path);
}

}  // namespace kelvane::ui
