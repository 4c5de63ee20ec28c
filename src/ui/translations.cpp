#include "ui/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kelvane::ui {

QStringList translationFolders(const QString& programDir) {
  const QDir beside(programDir);
  return {QDir::cleanPath(beside.filePath(QStringLiteral("translations"))),
          QDir::cleanPath(beside.filePath(QStringLiteral(KELVANE_TRANSLATIONS_FROM_BIN)))};
}

language::Language installTranslations(QCoreApplication& app, const QString& programDir) {
  const language::Language chosen = language::languageOfEnvironment();
  language::setCurrent(chosen);
  const QString code = QString::fromLatin1(language::code(chosen));
  if (chosen == language::Language::Japanese) {
    // The program's texts are Japanese already; Qt's own dialogs (file
    // chooser, font and colour dialogs, message box buttons) take Qt's
    // translation, when it is installed.
    auto* qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qt_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      QCoreApplication::installTranslator(qt);
    else
      delete qt;
    return chosen;
  }
  auto* own = new QTranslator(&app);
  for (const QString& folder : translationFolders(programDir)) {
    if (own->load(QStringLiteral("kelvane_") + code, folder)) break;
  }
  if (!own->isEmpty()) QCoreApplication::installTranslator(own);
  // Qt ships none for English, whose texts are its own; other languages
  // find theirs here.
  auto* qt = new QTranslator(&app);
  if (qt->load(QStringLiteral("qt_") + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  }
  return chosen;
}

}  // namespace kelvane::ui
