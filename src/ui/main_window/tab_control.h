// SSTab1: a strip of tabs over pages that each cover the whole control, so
// controls are placed in the control's own coordinates, strip included.
#pragma once

#include <QTabBar>
#include <QWidget>
#include <vector>

namespace kelvane::ui {

// Tabs as tall as the design's strip, whatever the style would choose.
class TabStrip : public QTabBar {
 public:
  explicit TabStrip(QWidget* parent) : QTabBar(parent) {}
  void setTabHeight(int pixels);

 protected:
  QSize tabSizeHint(int index) const override;
  QSize minimumTabSizeHint(int index) const override;

 private:
  int tabHeight_ = 0;
};

class TabControl : public QWidget {
  Q_OBJECT
 public:
  explicit TabControl(QWidget* parent);

  // A new page with the caption; the page covers the whole control.
  QWidget* addPage(const QString& caption);
  QWidget* page(int index) const { return pages_.at(static_cast<size_t>(index)); }
  int pageCount() const { return static_cast<int>(pages_.size()); }
  int currentIndex() const;
  void setCurrentIndex(int index);
  TabStrip* strip() const { return strip_; }
  // The strip's height in pixels; the page frame starts below it.
  void setStripHeight(int pixels);
  int stripHeight() const { return stripHeight_; }

 signals:
  // After the current page changed: the new page and the one before.
  void currentChanged(int current, int previous);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void showPage(int index);

  TabStrip* strip_;
  std::vector<QWidget*> pages_;
  int stripHeight_ = 22;
  int shown_ = -1;
};

}  // namespace kelvane::ui
