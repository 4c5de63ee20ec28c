#include "platform/title_bar.h"

#include <QWidget>

namespace kelvane::platform {

bool isTitleBarShown(const QWidget* window) {
  return !window->windowFlags().testFlag(Qt::FramelessWindowHint);
}

void setTitleBarShown(QWidget* window, bool shown) {
  if (isTitleBarShown(window) == shown) return;
  const bool wasVisible = window->isVisible();
  const Qt::WindowStates state = window->windowState();
  const QRect geometry = window->geometry();
  // Changing the flags re-creates the native window and hides it.
  window->setWindowFlag(Qt::FramelessWindowHint, !shown);
  window->setGeometry(geometry);
  if (wasVisible) {
    window->setWindowState(state);
    window->show();
  }
}

void toggleTitleBar(QWidget* window) {
  setTitleBarShown(window, !isTitleBarShown(window));
}

}  // namespace kelvane::platform
