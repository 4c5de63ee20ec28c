// The main window's outer bounds as the settings keep them, in twips and
// frame included: put back once the window manager has framed the window
// (the frame is not known before), kept inside the screens, and told for
// saving also while the title bar is hidden.
#pragma once

#include <QElapsedTimer>
#include <QMargins>
#include <QRectF>
#include <QSize>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace kelvane::ui {

class WindowBounds {
 public:
  // placed: the window was given its stored bounds (it is laid out anew).
  WindowBounds(QWidget* window, std::function<void()> placed)
      : window_(window), placed_(std::move(placed)) {}

  // Pixels and twips at the window's DPI.
  float twipsX(int pixels) const;
  float twipsY(int pixels) const;
  int pixelsX(float twips) const;
  int pixelsY(float twips) const;
  // What the frame adds to the window's size; nothing before it exists.
  QSize frameExtra() const;

  // Bounds read from the settings: applied now, and again once the frame
  // is known.
  void restore(const QRectF& twips);
  // The window is shown: the first time, the stored bounds wait for the
  // frame.
  void shown();
  // The outer bounds to save. Where the window system keeps positions to
  // itself, the position is the one the settings file at path holds.
  QRectF outer(const std::string& path) const;
  // The title bar on or off; the frame it had is kept meanwhile.
  void toggleTitleBar();

 private:
  QMargins frameMargins() const;
  bool frameKnown() const;
  void placeOnceFramed();
  void apply();
  void keepStoredPosition(QRectF& outer, QSize size, const std::string& path) const;

  QWidget* window_;
  std::function<void()> placed_;
  std::optional<QRectF> stored_;
  // The frame around the window while its title bar was shown.
  QMargins hiddenFrame_;
  QElapsedTimer sinceShown_;
  bool firstShow_ = true;
};

}  // namespace kelvane::ui
