#include "platform/title_bar.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace kelvane::platform {

namespace {

// After the native window is made anew, the X11 platform may report it at
// the origin of the window manager's frame (0, 0) although the window is
// where it was put. Believing that would store bounds at the screen's
// corner and move the window there when the title bar comes back, so for a
// short while a move to anywhere but the kept place is undone (the window
// does not really move: the undo only sets the record straight).
class PlaceKeeper : public QObject {
 public:
  PlaceKeeper(QWidget* window, QPoint place) : QObject(window), window_(window), place_(place) {
    // One keeper at a time: a newer toggle knows the place best.
    if (auto* older = window->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly)) delete older;
    setObjectName(kName);
    window->installEventFilter(this);
    QTimer::singleShot(kKeepMs, this, &QObject::deleteLater);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Move && window_->pos() != place_) {
      QTimer::singleShot(0, this, [this] {
        if (window_ && window_->pos() != place_) window_->move(place_);
      });
    }
    return false;
  }

 private:
  static constexpr int kKeepMs = 2000;
  static constexpr auto kName = "kelvane-place-keeper";
  QPointer<QWidget> window_;
  QPoint place_;
};

}  // namespace

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
    if (state == Qt::WindowNoState) new PlaceKeeper(window, geometry.topLeft());
  }
}

void toggleTitleBar(QWidget* window) {
  setTitleBarShown(window, !isTitleBarShown(window));
}

bool windowPositionsKnown() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace kelvane::platform
