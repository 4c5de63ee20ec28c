// The History window: the runs a history holds (narrowed to a watch or a
// host), the chosen run's display, the difference between two runs, a
// chart of several series over time, what followed the run (notification
// decisions and deliveries), the lines that give no series, and the CSV
// export. Runs recorded while it is open are added as they come.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTableView;
class QTextEdit;
class QTimer;

namespace kelvane::history {
class HistoryStore;
}

namespace kelvane::ui {

class HistoryChart;
class LeftOutPage;
class RunListModel;
class RunNoticesPage;

class HistoryWindow : public QWidget {
  Q_OBJECT

 public:
  // address: a history file's path or a server's address (as HistoryStore
  // takes it).
  explicit HistoryWindow(QString address, QWidget* parent = nullptr);
  ~HistoryWindow() override;

  // Reads the history again and chooses the last run.
  void reload();
  // Adds the runs recorded since the last look; the timer calls it.
  void lookForNewRuns();
  // Chooses runs by their rows: one shows it against the run before it; two
  // or more compare the first with the last.
  void chooseRows(const QList<int>& rows);
  // Writes the CSV export to path and says so in the status line; false,
  // with a message box, on failure. The series past the CSV's bound are
  // named in a box (leftOutBox).
  bool exportCsv(const QString& path);
  QString statusText() const;
  // The history shown: a file's path or a server's address.
  const QString& path() const { return address_; }

  enum Page { DisplayPage, DiffPage, ChartPage, NoticesPage, LeftOutLinesPage };
  QTabWidget* tabs() const { return tabs_; }
  QTableView* runList() const { return list_; }
  QTextEdit* diffView() const { return diff_; }
  QPlainTextEdit* displayView() const { return display_; }
  HistoryChart* chart() const { return chart_; }
  RunNoticesPage* notices() const { return notices_; }
  LeftOutPage* leftOut() const { return leftOut_; }
  QComboBox* watchBox() const { return watchBox_; }
  QComboBox* hostBox() const { return hostBox_; }
  QTimer* pollTimer() const { return poll_; }

 private:
  void createControls();
  QWidget* createFilters();
  void fillFilters();
  void filterChanged();
  void selectionChanged();
  void showStatus();
  void exportClicked();
  void showLeftOut(const std::vector<std::string>& labels);

  QString address_;
  std::unique_ptr<history::HistoryStore> store_;
  RunListModel* model_ = nullptr;
  QTableView* list_ = nullptr;
  QComboBox* watchBox_ = nullptr;
  QComboBox* hostBox_ = nullptr;
  QLabel* status_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QPlainTextEdit* display_ = nullptr;
  QLabel* diffTitle_ = nullptr;
  QTextEdit* diff_ = nullptr;
  HistoryChart* chart_ = nullptr;
  RunNoticesPage* notices_ = nullptr;
  LeftOutPage* leftOut_ = nullptr;
  QTimer* poll_ = nullptr;
};

}  // namespace kelvane::ui
