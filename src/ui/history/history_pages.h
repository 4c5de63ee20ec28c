// The History window's pages about the chosen run: what followed it (each
// notification rule's decision, and the deliveries with their outcome) and
// the display lines that give no series, each with the reason.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

class QLabel;
class QTableWidget;

namespace kelvane::history {
class HistoryStore;
}

namespace kelvane::ui {

class RunNoticesPage : public QWidget {
  Q_OBJECT

 public:
  explicit RunNoticesPage(QWidget* parent = nullptr);
  // The decisions and deliveries of run runId (nothing without a store).
  void showRun(history::HistoryStore* store, int64_t runId);

  QLabel* summary() const { return summary_; }
  QTableWidget* decisions() const { return decisions_; }
  QTableWidget* deliveries() const { return deliveries_; }

 private:
  QLabel* summary_ = nullptr;
  QTableWidget* decisions_ = nullptr;
  QTableWidget* deliveries_ = nullptr;
};

class LeftOutPage : public QWidget {
  Q_OBJECT

 public:
  explicit LeftOutPage(QWidget* parent = nullptr);
  void showDisplay(const std::u16string& display);

  QLabel* summary() const { return summary_; }
  QTableWidget* lines() const { return lines_; }

 private:
  QLabel* summary_ = nullptr;
  QTableWidget* lines_ = nullptr;
};

}  // namespace kelvane::ui
