// The History window: the runs a history holds, the chosen run's display,
// the difference between two runs, a chart of a series over time, and the
// CSV export.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QChartView;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTableView;
class QTextEdit;

namespace kelvane::history {
class HistoryStore;
}

namespace kelvane::ui {

class RunListModel;

class HistoryWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryWindow(QString historyPath, QWidget* parent = nullptr);
  ~HistoryWindow() override;

  // Reads the history again (runs recorded since are listed) and chooses the
  // last run.
  void reload();
  // Chooses runs by their rows: one shows it against the run before it; two
  // or more compare the first with the last.
  void chooseRows(const QList<int>& rows);
  void showSeries(const QString& label);
  // Writes the CSV export to path and says so in the status line; false,
  // with a message box, on failure. The series past the CSV's bound are
  // named in a box (leftOutBox).
  bool exportCsv(const QString& path);
  QString statusText() const;
  // The history shown: a file's path or a server's address.
  const QString& path() const { return path_; }

  QTabWidget* tabs() const { return tabs_; }
  QTableView* runList() const { return list_; }
  QTextEdit* diffView() const { return diff_; }
  QPlainTextEdit* displayView() const { return display_; }
  QComboBox* seriesBox() const { return seriesBox_; }
  QChartView* chartView() const { return chartView_; }

 private:
  void createControls();
  void selectionChanged();
  void exportClicked();
  void showLeftOut(const std::vector<std::string>& labels);

  QString path_;
  std::unique_ptr<history::HistoryStore> store_;
  RunListModel* model_ = nullptr;
  QTableView* list_ = nullptr;
  QLabel* status_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QPlainTextEdit* display_ = nullptr;
  QLabel* diffTitle_ = nullptr;
  QTextEdit* diff_ = nullptr;
  QComboBox* seriesBox_ = nullptr;
  QChartView* chartView_ = nullptr;
  static constexpr int kChartPage = 2;
  bool chartStale_ = true;  // the chart is not yet that of the history read
};

}  // namespace kelvane::ui
