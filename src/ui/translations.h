// The window in the reader's language: Japanese, the program's own, unless
// the locale asks for English (language/language.h).
#pragma once

#include <QString>

#include "language/language.h"

class QCoreApplication;

namespace kelvane::ui {

// Where the window's translation files are looked for: translations/ beside
// the program, then the installed data folder.
QStringList translationFolders(const QString& programDir);

// Sets the language for every layer from the environment and, for one other
// than Japanese, installs the window's translation (kelvane_<code>.qm) and
// Qt's own for its standard dialogs and buttons (qt_<code>.qm from Qt's
// translations folder), each where it is found. Call once, after the
// application object exists and before any window is built.
language::Language installTranslations(QCoreApplication& app, const QString& programDir);

}  // namespace kelvane::ui
