// The window's status line: a short confirmation (the settings were saved)
// shown for a few seconds over the bottom edge of the window, whatever page
// is current, without taking room from the pages or clicks from what lies
// beneath.
#pragma once

#include <QTimer>

class QLabel;
class QString;
class QWidget;

namespace kelvane::ui {

class StatusLine {
 public:
  explicit StatusLine(QWidget* window);

  // Shows text until kShownMs have passed or another text comes.
  void show(const QString& text);
  // Keeps the line at the bottom edge when the window changes size; a text
  // wider than the window loses its middle, so that a path's file name
  // still shows.
  void place();
  // The text shown now; empty once it has gone.
  QString text() const;

  static constexpr int kShownMs = 6000;

 private:
  QWidget* window_;
  QLabel* label_;
  QString text_;
  QTimer hide_;
};

}  // namespace kelvane::ui
