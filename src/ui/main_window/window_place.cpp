#include "ui/main_window/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kelvane::ui {

QRect placeInside(QSize size, QMargins frame, QRect over, QRect area) {
  const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
  const QSize outerSize =
      (size + frameSize).boundedTo(area.size()).expandedTo(frameSize + QSize(1, 1));
  QRect outer(QPoint(), outerSize);
  outer.moveCenter(over.center());
  // The top-left corner wins where the window is larger than the area: the
  // title bar stays reachable.
  outer.moveLeft(std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width())));
  outer.moveTop(std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height())));
  return outer.marginsRemoved(frame);
}

void placeOver(QWidget* window, const QWidget* over) {
  const QScreen* screen = over->screen();
  if (const QScreen* at = QGuiApplication::screenAt(over->frameGeometry().center())) screen = at;
  if (!screen) return;
  const QRect frame = over->frameGeometry();
  const QRect inside = over->geometry();
  const QMargins margins(inside.left() - frame.left(), inside.top() - frame.top(),
                         frame.right() - inside.right(), frame.bottom() - inside.bottom());
  const QSize wanted = window->size().expandedTo(window->minimumSizeHint());
  window->setGeometry(placeInside(wanted, margins, frame, screen->availableGeometry()));
}

}  // namespace kelvane::ui
