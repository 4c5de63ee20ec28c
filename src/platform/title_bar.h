// Hiding and showing a top-level window's title bar: a frameless window and
// back. The window keeps its place and size; a visible window stays visible.
#pragma once

class QWidget;

namespace kelvane::platform {

bool isTitleBarShown(const QWidget* window);
void setTitleBarShown(QWidget* window, bool shown);
// Hides the title bar when it is shown, shows it when it is hidden.
void toggleTitleBar(QWidget* window);

// Whether the window system tells where top-level windows are. Wayland
// does not: a window's position there is made up and must not be stored.
bool windowPositionsKnown();

}  // namespace kelvane::platform
