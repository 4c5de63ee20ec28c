#include "ui/main_window/window_bounds.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/title_bar.h"
#include "settings/settings.h"
#include "ui/main_window/form_layout.h"

namespace kelvane::ui {

float WindowBounds::twipsX(int pixels) const {
  return pixelsToTwips(pixels, window_->logicalDpiX());
}
float WindowBounds::twipsY(int pixels) const {
  return pixelsToTwips(pixels, window_->logicalDpiY());
}
int WindowBounds::pixelsX(float twips) const {
  return twipsToPixels(twips, window_->logicalDpiX());
}
int WindowBounds::pixelsY(float twips) const {
  return twipsToPixels(twips, window_->logicalDpiY());
}

QSize WindowBounds::frameExtra() const {
  if (!window_->isWindow() || !window_->testAttribute(Qt::WA_WState_Created)) return {0, 0};
  const QSize extra = window_->frameGeometry().size() - window_->geometry().size();
  return {std::max(0, extra.width()), std::max(0, extra.height())};
}

QMargins WindowBounds::frameMargins() const {
  const QRect outer = window_->frameGeometry();
  const QRect inner = window_->geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

bool WindowBounds::frameKnown() const {
  const QString platform = QGuiApplication::platformName();
  return !platform::isTitleBarShown(window_) || platform == QLatin1String("offscreen") ||
         platform == QLatin1String("minimal") || window_->frameGeometry() != window_->geometry();
}

void WindowBounds::restore(const QRectF& twips) {
  stored_ = twips;
  apply();
}

void WindowBounds::shown() {
  if (!firstShow_) return;
  firstShow_ = false;
  // The stored bounds are the outer window, frame included, and the frame
  // is known only once the window manager has put it around the window,
  // some time after the window is shown: until then the inner size cannot
  // be told. A window manager that draws no frame is given a moment.
  sinceShown_.start();
  QTimer::singleShot(0, window_, [this] { placeOnceFramed(); });
}

void WindowBounds::placeOnceFramed() {
  constexpr qint64 kFrameWaitMs = 1000;
  if (!frameKnown() && sinceShown_.elapsed() < kFrameWaitMs) {
    QTimer::singleShot(10, window_, [this] { placeOnceFramed(); });
    return;
  }
  apply();
  placed_();
}

void WindowBounds::apply() {
  if (!stored_) return;
  const QRectF b = *stored_;
  // Stored bounds may come from another screen layout, or be nonsense: the
  // size stays within the desktop, and a window whose middle would lie off
  // every screen is left where the window system puts it.
  const auto pixels = [](double twips, double dpi) {
    return twipsToPixels(std::isfinite(twips) ? std::clamp(twips, -1e7, 1e7) : 0.0, dpi);
  };
  QScreen* screen = window_->screen();
  const QRect desktop = screen ? screen->virtualGeometry() : QRect(0, 0, 8192, 8192);
  const QSize extra = frameExtra();
  const double dpiX = window_->logicalDpiX();
  const double dpiY = window_->logicalDpiY();
  const int width =
      std::clamp(pixels(b.width(), dpiX) - extra.width(), 1, std::max(1, desktop.width()));
  const int height =
      std::clamp(pixels(b.height(), dpiY) - extra.height(), 1, std::max(1, desktop.height()));
  window_->resize(width, height);
  QRect outer(QPoint(pixels(b.left(), dpiX), pixels(b.top(), dpiY)), QSize(width, height) + extra);
  const QScreen* on = QGuiApplication::screenAt(outer.center());
  if (on == nullptr) return;
  // Nor is the title bar ever off the screen (a file from a window system
  // that keeps positions to itself may hold any): the window is moved
  // inside the screen's work area, its top-left corner first.
  const QRect area = on->availableGeometry();
  outer.moveLeft(std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width())));
  outer.moveTop(std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height())));
  window_->move(outer.topLeft());
}

QRectF WindowBounds::outer(const std::string& path) const {
  // Whatever the window's state. With the title bar hidden they are those
  // of the frame the window had.
  const QRect frame = platform::isTitleBarShown(window_)
                          ? window_->frameGeometry()
                          : window_->geometry().marginsAdded(hiddenFrame_);
  QRectF twips(twipsX(frame.left()), twipsY(frame.top()), twipsX(frame.width()),
               twipsY(frame.height()));
  if (!platform::windowPositionsKnown()) keepStoredPosition(twips, frame.size(), path);
  return twips;
}

// Where the window system keeps positions to itself, the file keeps the
// position it holds; a file without one gets the window centred on its
// screen, a place that is on the screen wherever the file is read.
void WindowBounds::keepStoredPosition(QRectF& outer, QSize size, const std::string& path) const {
  settings::Settings stored;
  const auto report = settings::readSettingsFile(path, stored);
  using settings::Field;
  using settings::LineStatus;
  if (report && report->status(Field::WindowTop) == LineStatus::Read &&
      report->status(Field::WindowLeft) == LineStatus::Read) {
    outer.moveTopLeft(QPointF(stored.windowLeft, stored.windowTop));
    return;
  }
  const QScreen* screen = window_->screen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  outer.moveTopLeft(QPointF(twipsX(area.left() + std::max(0, (area.width() - size.width()) / 2)),
                            twipsY(area.top() + std::max(0, (area.height() - size.height()) / 2))));
}

void WindowBounds::toggleTitleBar() {
  // The frame goes away around the window and comes back the same: what it
  // was is kept, so the stored outer bounds do not change meanwhile.
  if (platform::isTitleBarShown(window_)) hiddenFrame_ = frameMargins();
  platform::toggleTitleBar(window_);
}

}  // namespace kelvane::ui
