// The user manual that the popup menu opens: where it is, in the user's
// language.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

namespace kelvane::ui {

struct ManualPlace {
  QString found;       // the first file that exists; empty when none does
  QStringList looked;  // every file looked for, in order
};

// The manual beside the program (a build tree or a copied folder), else in
// the installation's documents folder; the English one first for a locale
// whose language is English, the Japanese one first otherwise.
ManualPlace findManual(const QString& programDir, const QLocale& locale);

}  // namespace kelvane::ui
