// Where a window that the main window opens goes: over the middle of the
// main window, and wholly inside the work area of the screen that shows it
// (never partly below the screen or under a panel), shrunk when the screen
// is smaller than the window.
#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace kelvane::ui {

// The inside (without frame) of a window whose inside wants `size` and whose
// frame adds `frame`, centred over `over` and then moved, and if need be
// shrunk, until the framed window lies inside `area`.
QRect placeInside(QSize size, QMargins frame, QRect over, QRect area);

// Places a window about to be shown over `over` with placeInside, on the
// work area of over's screen, taking over's frame for the new window's.
void placeOver(QWidget* window, const QWidget* over);

}  // namespace kelvane::ui
