// The chart page of the History window: the series to chart (a checkable
// list), a date range, and the chart itself on a date axis. Each series is
// marked at its lowest, highest and current value (named in the legend);
// the value under the mouse is told in a tooltip and in the line below.
#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>
#include <string>
#include <vector>

#include "history/series_catalog.h"

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QListWidget;

namespace kelvane::history {
class HistoryStore;
}

namespace kelvane::ui {

class RunListModel;

class HistoryChart : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryChart(QWidget* parent = nullptr);

  // The history to read and its runs as listed (those of the list's filter
  // are charted); the series are read again when next drawn.
  void setSource(history::HistoryStore* store, const RunListModel* runs);
  // The list's runs changed (new ones, another filter): the series listed
  // are those the runs show, the checked ones stay checked. Until the user
  // chose, the first few series are checked.
  void runsChanged();
  // Checks exactly these series (the others unchecked).
  void setChecked(const QStringList& labels);
  QStringList checked() const;
  // Draws the chart now when it is on screen, else when it is next shown.
  void refresh();
  void draw();

  // Presets of the range; Custom takes the two dates as they are.
  enum Range { All, Week, Month, Quarter, Year, Custom };
  void setRange(Range range);

  QListWidget* seriesList() const { return list_; }
  QChartView* chartView() const { return view_; }
  QLabel* hoverLabel() const { return hover_; }
  // Each series charted with its lowest, highest and current value.
  QLabel* summary() const { return summary_; }
  QComboBox* rangeBox() const { return rangeBox_; }
  QDateEdit* fromEdit() const { return from_; }
  QDateEdit* toEdit() const { return to_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void createControls();
  void listLabels();
  std::vector<QList<QPointF>> pointsOf(const QStringList& labels) const;
  void showValue(const QString& label, const QList<QPointF>& points, QPointF at, bool hovered);
  void datesEdited();

  history::HistoryStore* store_ = nullptr;
  const RunListModel* runs_ = nullptr;
  history::SeriesCatalog catalog_;
  bool chosen_ = false;  // the user checked or unchecked a series
  bool stale_ = true;    // the chart is not that of the runs listed
  bool listed_ = false;  // the series list is that of the runs listed
  QListWidget* list_ = nullptr;
  QComboBox* rangeBox_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QChartView* view_ = nullptr;
  QLabel* summary_ = nullptr;
  QLabel* hover_ = nullptr;
};

// Milliseconds since the epoch of the history's own time format
// (2026-12-07T21:42:16.125Z), read without a general date parser: a chart
// of every run reads a hundred thousand of them.
qint64 utcMillis(const std::string& iso);

}  // namespace kelvane::ui
