#include "ui/history/history_window.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStringList>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <chrono>

#include "history/address.h"
#include "history/display_diff.h"
#include "history/export.h"
#include "history/store.h"
#include "textfile/file_io.h"
#include "ui/history/run_list_model.h"

namespace kelvane::ui {
namespace {

QString fromU16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// Milliseconds since the epoch of the history's own time format
// (2026-12-07T21:42:16.125Z), read without a general date parser: a chart
// of every run reads a hundred thousand of them.
qint64 utcMillis(const std::string& iso) {
  if (iso.size() < 23) return 0;
  const auto number = [&iso](size_t at, size_t digits) {
    int value = 0;
    for (size_t i = at; i < at + digits; ++i) value = value * 10 + (iso[i] - '0');
    return value;
  };
  using namespace std::chrono;
  const sys_days day{year{number(0, 4)} / number(5, 2) / number(8, 2)};
  return duration_cast<milliseconds>(day.time_since_epoch()).count() +
         ((number(11, 2) * 60 + number(14, 2)) * 60 + number(17, 2)) * 1000LL + number(20, 3);
}

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

HistoryWindow::HistoryWindow(QString historyPath, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(std::move(historyPath)) {
  setObjectName(QStringLiteral("frmHistory"));
  setWindowTitle(QCoreApplication::translate("History", "履歴"));
  createControls();
  resize(760, 480);
  reload();
}

HistoryWindow::~HistoryWindow() = default;

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
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &HistoryWindow::selectionChanged);

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

  seriesBox_ = new QComboBox;
  connect(seriesBox_, &QComboBox::currentTextChanged, this, &HistoryWindow::showSeries);
  chartView_ = new QChartView;
  chartView_->setRenderHint(QPainter::Antialiasing);
  auto* chartPage = new QWidget;
  auto* chartLayout = new QVBoxLayout(chartPage);
  chartLayout->setContentsMargins(4, 4, 4, 4);
  chartLayout->addWidget(seriesBox_);
  chartLayout->addWidget(chartView_);

  tabs_ = new QTabWidget;
  tabs_->addTab(display_, QCoreApplication::translate("History", "表示"));
  tabs_->addTab(diffPage, QCoreApplication::translate("History", "差分"));
  tabs_->addTab(chartPage, QCoreApplication::translate("History", "グラフ"));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int page) {
    if (page == kChartPage && chartStale_) showSeries(seriesBox_->currentText());
  });

  auto* splitter = new QSplitter;
  splitter->addWidget(list_);
  splitter->addWidget(tabs_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({300, 460});

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
}

void HistoryWindow::reload() {
  std::vector<history::RunRow> runs;
  std::vector<std::string> labels;
  try {
    if (!store_) store_ = std::make_unique<history::HistoryStore>(path_.toStdString(), true);
    runs = store_->runs();
    labels = store_->seriesLabels();
    status_->setText(QCoreApplication::translate("History", "%1 回の実行  %2")
                         .arg(runs.size())
                         .arg(QString::fromStdString(history::maskedAddress(path_.toStdString()))));
  } catch (const std::exception& e) {
    store_.reset();
    // No run has been recorded yet, or the file cannot be read: said, not shown as empty.
    status_->setText(QCoreApplication::translate("History", "履歴を読めません: %1")
                         .arg(QString::fromUtf8(e.what())));
  }
  const QString series = seriesBox_->currentText();
  model_->setRuns(std::move(runs));
  {
    const QSignalBlocker quiet(seriesBox_);
    seriesBox_->clear();
    for (const std::string& label : labels) seriesBox_->addItem(QString::fromStdString(label));
    if (!series.isEmpty()) seriesBox_->setCurrentText(series);
  }
  // The chart is drawn when its page is shown: over every run it takes as
  // long as reading the list.
  chartStale_ = true;
  if (tabs_->currentIndex() == kChartPage) showSeries(seriesBox_->currentText());
  if (model_->rowCount() > 0) chooseRows({model_->rowCount() - 1});
}

void HistoryWindow::chooseRows(const QList<int>& rows) {
  QItemSelection selection;
  for (const int row : rows) selection.select(model_->index(row, 0), model_->index(row, 2));
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
  try {
    const std::u16string after = store_->display(last.displayId);
    display_->setPlainText(fromU16(after));
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

void HistoryWindow::showSeries(const QString& label) {
  chartStale_ = false;
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setTitle(label);
  if (store_ && !label.isEmpty()) {
    QList<QPointF> points;
    try {
      for (const history::SeriesPoint& p : store_->series(label.toStdString())) {
        points.append(QPointF(static_cast<qreal>(utcMillis(p.start)), p.value));
      }
    } catch (const std::exception&) {
      points.clear();
    }
    auto* line = new QLineSeries;
    line->setPointsVisible(points.size() <= 200);
    line->replace(points);
    chart->addSeries(line);
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("M/d H:mm"));
    time->setLabelsAngle(-30);
    time->setTickCount(4);
    chart->addAxis(time, Qt::AlignBottom);
    line->attachAxis(time);
    auto* values = new QValueAxis;
    values->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(values, Qt::AlignLeft);
    line->attachAxis(values);
    if (!points.isEmpty()) {
      const auto [low, high] =
          std::minmax_element(points.begin(), points.end(),
                              [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
      const qreal margin = std::max<qreal>((high->y() - low->y()) * 0.1, 1);
      values->setRange(low->y() - margin, high->y() + margin);
      values->applyNiceNumbers();
    }
  }
  QChart* old = chartView_->chart();
  chartView_->setChart(chart);
  delete old;
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
