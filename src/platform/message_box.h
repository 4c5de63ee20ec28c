// The program's message box: modal, an OK button only, the application's
// title as caption.
#pragma once

#include <QString>

class QWidget;

namespace kelvane::platform {

// The application's title, the caption of every message box.
inline constexpr const char* kApplicationTitle = "Kelvane";

void showMessageBox(QWidget* parent, const QString& text);

}  // namespace kelvane::platform
