// The program's picture: the about box shows it, and the build renders the
// menu icons (SVG and PNG) from the same drawing.
#pragma once

class QPainter;

namespace kelvane::ui {

// Draws the picture into the square from (0, 0) to (size, size).
void paintLogo(QPainter& painter, double size);

}  // namespace kelvane::ui
