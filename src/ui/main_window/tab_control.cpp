#include "ui/main_window/tab_control.h"

#include <QPainter>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QStyleOptionTabWidgetFrame>
#include <algorithm>

namespace kelvane::ui {
namespace {

// Tabs with narrow side margins, as a tab strip of this size has: captions
// then survive a narrow window, cut short at their end.
class CompactTabStyle : public QProxyStyle {
 public:
  explicit CompactTabStyle(QObject* owner) { setParent(owner); }
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TabBarTabHSpace) return 10;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

void TabStrip::setTabHeight(int pixels) {
  tabHeight_ = pixels;
  // The size hints changed: let the strip lay its tabs out again.
  setIconSize(iconSize());
  updateGeometry();
}

QSize TabStrip::tabSizeHint(int index) const {
  QSize size = QTabBar::tabSizeHint(index);
  if (tabHeight_ > 0) size.setHeight(tabHeight_);
  return size;
}

QSize TabStrip::minimumTabSizeHint(int index) const {
  // Tabs may share even a very narrow strip, their captions cut short.
  QSize size = QTabBar::minimumTabSizeHint(index);
  const int share = count() > 0 ? width() / count() : size.width();
  size.setWidth(std::min(size.width(), std::max(share, 8)));
  if (tabHeight_ > 0) size.setHeight(tabHeight_);
  return size;
}

TabControl::TabControl(QWidget* parent) : QWidget(parent), strip_(new TabStrip(this)) {
  strip_->setDrawBase(false);
  strip_->setExpanding(false);
  // A narrow window shortens the captions rather than hiding tabs behind
  // scroll buttons: every page stays one click away.
  strip_->setUsesScrollButtons(false);
  strip_->setElideMode(Qt::ElideRight);
  strip_->setStyle(new CompactTabStyle(strip_));
  strip_->setFocusPolicy(Qt::TabFocus);
  connect(strip_, &QTabBar::currentChanged, this, [this](int index) { showPage(index); });
}

QWidget* TabControl::addPage(const QString& caption) {
  auto* page = new QWidget(this);
  page->setGeometry(rect());
  pages_.push_back(page);
  strip_->addTab(caption);
  strip_->raise();
  page->setVisible(pageCount() - 1 == strip_->currentIndex());
  return page;
}

int TabControl::currentIndex() const {
  return strip_->currentIndex();
}

void TabControl::setCurrentIndex(int index) {
  if (index == strip_->currentIndex()) {
    // Selecting the page that is already current still runs the reaction,
    // as start-up relies on.
    showPage(index);
    return;
  }
  strip_->setCurrentIndex(index);
}

void TabControl::showPage(int index) {
  const int previous = shown_;
  for (int i = 0; i < pageCount(); ++i) {
    if (i != index) page(i)->hide();
  }
  if (index >= 0 && index < pageCount()) page(index)->show();
  strip_->raise();
  shown_ = index;
  emit currentChanged(index, previous);
}

void TabControl::setStripHeight(int pixels) {
  stripHeight_ = pixels;
  strip_->setTabHeight(pixels);
  strip_->setGeometry(0, 0, width(), stripHeight_);
  update();
}

void TabControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  strip_->setGeometry(0, 0, width(), stripHeight_);
  for (QWidget* page : pages_) page->setGeometry(rect());
}

void TabControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  frame.rect = QRect(0, stripHeight_ - 1, width(), height() - stripHeight_ + 1);
  frame.shape = QTabBar::RoundedNorth;
  frame.tabBarSize = strip_->sizeHint();
  frame.tabBarRect = QRect(QPoint(0, 0), strip_->sizeHint());
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

}  // namespace kelvane::ui
