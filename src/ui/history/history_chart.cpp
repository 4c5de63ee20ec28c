#include "ui/history/history_chart.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPen>
#include <QScatterSeries>
#include <QScrollArea>
#include <QSplitter>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <chrono>
#include <unordered_map>
#include <unordered_set>

#include "history/series.h"
#include "history/store.h"
#include "ui/history/run_list_model.h"

namespace kelvane::ui {
namespace {

// A series keeps its colour, whichever others are charted beside it.
QColor colourOf(int index) {
  static constexpr QRgb kColours[] = {0x209fdf, 0xf6a625, 0xbf593e, 0x99ca53, 0x6d5fd5,
                                      0x2ba686, 0xe05d9e, 0x7f7f7f, 0xb8a100, 0x1f5f9f};
  const QColor colour(kColours[index % 10]);
  return index < 10 ? colour : colour.darker(100 + 35 * (index / 10 % 3));
}

QString valueText(double value) {
  return QString::fromStdString(history::numberText(value));
}

// At most about two points per bucket (the lowest and the highest, in
// order): a line over a hundred thousand runs looks the same and draws fast.
QList<QPointF> thinned(const QList<QPointF>& points, int buckets) {
  if (points.size() <= 2 * buckets) return points;
  const qreal x0 = points.front().x();
  const qreal span = std::max<qreal>(points.back().x() - x0, 1);
  QList<QPointF> kept;
  kept.reserve(2 * buckets + 2);
  qsizetype low = 0, high = 0;
  int bucket = 0;
  const auto flush = [&] {
    kept.append(points[std::min(low, high)]);
    if (low != high) kept.append(points[std::max(low, high)]);
  };
  for (qsizetype i = 0; i < points.size(); ++i) {
    const int b = std::min(buckets - 1, static_cast<int>((points[i].x() - x0) / span * buckets));
    if (i == 0 || b != bucket) {
      if (i > 0) flush();
      bucket = b;
      low = high = i;
    }
    if (points[i].y() < points[low].y()) low = i;
    if (points[i].y() > points[high].y()) high = i;
  }
  flush();
  if (kept.back() != points.back()) kept.append(points.back());
  return kept;
}

}  // namespace

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

HistoryChart::HistoryChart(QWidget* parent) : QWidget(parent) {
  createControls();
}

void HistoryChart::createControls() {
  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("seriesList"));
  connect(list_, &QListWidget::itemChanged, this, [this] {
    chosen_ = true;
    refresh();
  });
  auto* seriesLabel = new QLabel(QCoreApplication::translate("History", "系列(&S)"));
  seriesLabel->setBuddy(list_);
  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->addWidget(seriesLabel);
  leftLayout->addWidget(list_);

  rangeBox_ = new QComboBox;
  rangeBox_->setObjectName(QStringLiteral("rangeBox"));
  for (const char* name :
       {QT_TRANSLATE_NOOP("History", "すべて"), QT_TRANSLATE_NOOP("History", "直近7日"),
        QT_TRANSLATE_NOOP("History", "直近30日"), QT_TRANSLATE_NOOP("History", "直近90日"),
        QT_TRANSLATE_NOOP("History", "直近1年"), QT_TRANSLATE_NOOP("History", "期間指定")}) {
    rangeBox_->addItem(QCoreApplication::translate("History", name));
  }
  connect(rangeBox_, &QComboBox::activated, this,
          [this](int index) { setRange(static_cast<Range>(index)); });
  from_ = new QDateEdit;
  to_ = new QDateEdit;
  for (QDateEdit* edit : {from_, to_}) {
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    edit->setDate(QDate::currentDate());
    connect(edit, &QDateEdit::dateChanged, this, &HistoryChart::datesEdited);
  }
  auto* rangeLabel = new QLabel(QCoreApplication::translate("History", "期間(&P)"));
  rangeLabel->setBuddy(rangeBox_);
  auto* fromLabel = new QLabel(QCoreApplication::translate("History", "開始(&B)"));
  fromLabel->setBuddy(from_);
  auto* toLabel = new QLabel(QCoreApplication::translate("History", "終了(&N)"));
  toLabel->setBuddy(to_);
  // Two short rows, so that the window fits a small screen.
  auto* rangeRow = new QGridLayout;
  rangeRow->addWidget(rangeLabel, 0, 0);
  rangeRow->addWidget(rangeBox_, 0, 1);
  rangeRow->addWidget(fromLabel, 1, 0);
  rangeRow->addWidget(from_, 1, 1);
  rangeRow->addWidget(toLabel, 1, 2);
  rangeRow->addWidget(to_, 1, 3);
  rangeRow->setColumnStretch(4, 1);
  view_ = new QChartView;
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setFocusPolicy(Qt::StrongFocus);  // reached by Tab like the rest
  summary_ = new QLabel;
  summary_->setObjectName(QStringLiteral("seriesSummary"));
  summary_->setTextFormat(Qt::RichText);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* summaryArea = new QScrollArea;
  summaryArea->setWidget(summary_);
  summaryArea->setWidgetResizable(true);
  summaryArea->setFrameShape(QFrame::NoFrame);
  summaryArea->setMaximumHeight(5 * fontMetrics().height() + 8);
  summaryArea->setFocusPolicy(Qt::NoFocus);
  hover_ = new QLabel;
  hover_->setObjectName(QStringLiteral("hoverLabel"));
  hover_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* right = new QWidget;
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->addLayout(rangeRow);
  rightLayout->addWidget(view_, 1);
  rightLayout->addWidget(summaryArea);
  rightLayout->addWidget(hover_);

  auto* splitter = new QSplitter;
  splitter->addWidget(left);
  splitter->addWidget(right);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({220, 520});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(splitter);
  setTabOrder(list_, rangeBox_);
  setTabOrder(rangeBox_, from_);
  setTabOrder(from_, to_);
  setTabOrder(to_, view_);
}

void HistoryChart::setSource(history::HistoryStore* store, const RunListModel* runs) {
  store_ = store;
  runs_ = runs;
  catalog_.clear();
  runsChanged();
}

void HistoryChart::runsChanged() {
  listed_ = false;
  refresh();
}

// The series the listed runs show, in the history's order, read from the
// series stored since the last look.
void HistoryChart::listLabels() {
  listed_ = true;
  const QStringList before = checked();
  std::vector<bool> shown;
  try {
    if (store_) catalog_.readFrom(*store_);
    shown.assign(catalog_.labels().size(), false);
    std::unordered_set<int64_t> seen;
    for (int row = 0; runs_ && row < runs_->rowCount(); ++row) {
      const int64_t display = runs_->run(row).displayId;
      if (!seen.insert(display).second) continue;
      for (const auto& [label, value] : catalog_.valuesOf(display)) shown[label] = true;
    }
  } catch (const std::exception&) {
    catalog_.clear();  // a history gone unreadable lists nothing
    shown.clear();
  }
  const QSignalBlocker quiet(list_);
  list_->clear();
  for (size_t i = 0; i < shown.size(); ++i) {
    if (!shown[i]) continue;
    auto* item = new QListWidgetItem(QString::fromStdString(catalog_.labels()[i]), list_);
    item->setData(Qt::UserRole, static_cast<int>(i));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    const bool on = chosen_ ? before.contains(item->text()) : list_->count() <= 5;
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
}

void HistoryChart::setChecked(const QStringList& labels) {
  if (!listed_) listLabels();
  {
    const QSignalBlocker quiet(list_);
    for (int i = 0; i < list_->count(); ++i) {
      QListWidgetItem* item = list_->item(i);
      item->setCheckState(labels.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
    }
  }
  chosen_ = true;
  refresh();
}

QStringList HistoryChart::checked() const {
  QStringList labels;
  for (int i = 0; i < list_->count(); ++i) {
    if (list_->item(i)->checkState() == Qt::Checked) labels << list_->item(i)->text();
  }
  return labels;
}

void HistoryChart::refresh() {
  stale_ = true;
  if (isVisible()) draw();
}

void HistoryChart::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (stale_) draw();
}

void HistoryChart::setRange(Range range) {
  const QSignalBlocker quietFrom(from_), quietTo(to_);
  rangeBox_->setCurrentIndex(range);
  const QDate today = QDate::currentDate();
  static constexpr int kDays[] = {0, 7, 30, 90, 365};
  if (range != All && range != Custom) {
    from_->setDate(today.addDays(-kDays[range] + 1));
    to_->setDate(today);
  }
  refresh();
}

void HistoryChart::datesEdited() {
  rangeBox_->setCurrentIndex(Custom);
  refresh();
}

// The points of each series over the listed runs that ended normally (a
// stopped run's display may be half made), in one pass over the runs.
std::vector<QList<QPointF>> HistoryChart::pointsOf(const QStringList& labels) const {
  std::vector<QList<QPointF>> points(static_cast<size_t>(labels.size()));
  std::unordered_map<uint32_t, size_t> wanted;
  for (size_t i = 0; i < catalog_.labels().size(); ++i) {
    const qsizetype at = labels.indexOf(QString::fromStdString(catalog_.labels()[i]));
    if (at >= 0) wanted.emplace(static_cast<uint32_t>(i), static_cast<size_t>(at));
  }
  for (int row = 0; runs_ && !wanted.empty() && row < runs_->rowCount(); ++row) {
    const history::RunRow& run = runs_->run(row);
    if (!run.normal) continue;
    for (const auto& [label, value] : catalog_.valuesOf(run.displayId)) {
      if (const auto found = wanted.find(label); found != wanted.end()) {
        points[found->second].append(QPointF(static_cast<qreal>(utcMillis(run.start)), value));
      }
    }
  }
  return points;
}

void HistoryChart::draw() {
  if (!listed_) listLabels();
  stale_ = false;
  auto* chart = new QChart;
  // The lines below the chart name the series with their lowest, highest
  // and current values, in the series' colours: a legend would cut them.
  chart->legend()->hide();
  QStringList said;
  auto* time = new QDateTimeAxis;
  time->setLabelsAngle(-30);
  time->setTickCount(5);
  chart->addAxis(time, Qt::AlignBottom);
  auto* values = new QValueAxis;
  values->setLabelFormat(QStringLiteral("%g"));
  chart->addAxis(values, Qt::AlignLeft);

  // The range in milliseconds: from the first date's start to the end of
  // the last date, local time.
  const Range range = static_cast<Range>(rangeBox_->currentIndex());
  const qreal begin =
      range == All ? -1e300 : QDateTime(from_->date(), QTime(0, 0)).toMSecsSinceEpoch();
  const qreal end =
      range == All ? 1e300 : QDateTime(to_->date().addDays(1), QTime(0, 0)).toMSecsSinceEpoch();
  qreal minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
  const QStringList labels = checked();
  const std::vector<QList<QPointF>> points = pointsOf(labels);
  for (qsizetype i = 0; i < labels.size(); ++i) {
    const QString& label = labels[i];
    const QList<QPointF>& all = points[static_cast<size_t>(i)];
    const auto byX = [](const QPointF& p, qreal x) { return p.x() < x; };
    const auto first = std::lower_bound(all.begin(), all.end(), begin, byX);
    const auto last = std::lower_bound(first, all.end(), end, byX);
    const QList<QPointF> shown = all.mid(first - all.begin(), last - first);
    auto* line = new QLineSeries;
    auto* marks = new QScatterSeries;
    line->setName(label);
    const QList<QListWidgetItem*> item = list_->findItems(label, Qt::MatchExactly);
    // The whole pen: a colour alone leaves the theme's line width behind.
    QPen pen(colourOf(item.isEmpty() ? 0 : item.front()->data(Qt::UserRole).toInt()));
    pen.setWidth(2);
    line->setPen(pen);
    QString summary = QCoreApplication::translate("History", "%1  この期間の値なし").arg(label);
    if (!shown.isEmpty()) {
      const auto [low, high] =
          std::minmax_element(shown.begin(), shown.end(),
                              [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
      summary =
          QCoreApplication::translate("History", "%1  最安 %2 / 最高 %3 / 現在 %4")
              .arg(label, valueText(low->y()), valueText(high->y()), valueText(shown.back().y()));
      marks->append({*low, *high, shown.back()});
      minX = std::min(minX, shown.front().x());
      maxX = std::max(maxX, shown.back().x());
      minY = std::min(minY, low->y());
      maxY = std::max(maxY, high->y());
    }
    // Few points are drawn as points: a one-point series is a visible dot.
    line->setPointsVisible(shown.size() <= 200);
    line->replace(thinned(shown, 800));
    chart->addSeries(line);
    line->attachAxis(time);
    line->attachAxis(values);
    marks->setMarkerSize(9);
    marks->setPointLabelsVisible(labels.size() <= 4);
    marks->setPointLabelsFormat(QStringLiteral("@yPoint"));
    chart->addSeries(marks);
    marks->attachAxis(time);
    marks->attachAxis(values);
    marks->setColor(line->color());
    marks->setBorderColor(line->color().darker());
    said << QStringLiteral("<span style=\"color:%1\">■</span> %2")
                .arg(line->color().name(), summary.toHtmlEscaped());
    for (QXYSeries* hovered : std::initializer_list<QXYSeries*>{line, marks}) {
      connect(hovered, &QXYSeries::hovered, this,
              [this, label, shown](QPointF at, bool on) { showValue(label, shown, at, on); });
    }
  }
  if (minX > maxX) {  // nothing to chart: today, with an empty value axis
    maxX = static_cast<qreal>(QDateTime::currentMSecsSinceEpoch());
    minX = maxX - 86400000.0;
    minY = 0;
    maxY = 1;
  }
  // A margin either side, so that the first and last points and their
  // marks are not cut; one moment gets an hour either side.
  const qreal firstX = minX, lastX = maxX;
  const qreal span = std::max(maxX - minX, 2 * 3600000.0);
  minX -= span * 0.05;
  maxX += span * 0.05;
  const qreal day = 86400000.0;
  time->setFormat(span > 400 * day ? QStringLiteral("yyyy/M/d")
                  : span > 3 * day ? QStringLiteral("M/d")
                                   : QStringLiteral("M/d H:mm"));
  time->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(minX)),
                 QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(maxX)));
  const qreal margin = std::max<qreal>((maxY - minY) * 0.1, 1);
  values->setRange(minY - margin, maxY + margin);
  values->applyNiceNumbers();
  if (range == All && !labels.isEmpty() && minX < maxX) {
    const QSignalBlocker quietFrom(from_), quietTo(to_);
    from_->setDate(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(firstX)).date());
    to_->setDate(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lastX)).date());
  }
  summary_->setText(said.join(QStringLiteral("<br>")));
  QChart* old = view_->chart();
  view_->setChart(chart);
  delete old;
}

void HistoryChart::showValue(const QString& label, const QList<QPointF>& points, QPointF at,
                             bool hovered) {
  if (!hovered || points.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  // The run nearest to the mouse along the time axis.
  auto next = std::lower_bound(points.begin(), points.end(), at.x(),
                               [](const QPointF& p, qreal x) { return p.x() < x; });
  if (next == points.end() ||
      (next != points.begin() && at.x() - (next - 1)->x() < next->x() - at.x())) {
    --next;
  }
  const QString text = QStringLiteral("%1  %2  %3")
                           .arg(label,
                                QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(next->x()))
                                    .toString(QStringLiteral("yyyy/MM/dd H:mm")),
                                valueText(next->y()));
  hover_->setText(text);
  QToolTip::showText(QCursor::pos(), text, view_);
}

}  // namespace kelvane::ui
