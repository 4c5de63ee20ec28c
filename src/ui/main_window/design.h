// The design positions and sizes of the window's controls, in twips, as the
// page builders lay them down. The layout starts from these on every resize
// and changes only what the resize rules name.
#pragma once

#include <QHash>
#include <QRectF>

class QWidget;

namespace kelvane::ui {

class Design {
 public:
  // Records the design rectangle of a control (relative to its parent).
  void place(QWidget* widget, float left, float top, float width, float height) {
    rects_.insert(widget, QRectF(left, top, width, height));
  }
  QRectF rectOf(QWidget* widget) const { return rects_.value(widget); }
  const QHash<QWidget*, QRectF>& all() const { return rects_; }

 private:
  QHash<QWidget*, QRectF> rects_;
};

}  // namespace kelvane::ui
