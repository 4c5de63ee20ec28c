#include "ui/main_window/manual.h"

#include <QDir>
#include <QFileInfo>

namespace kelvane::ui {

ManualPlace findManual(const QString& programDir, const QLocale& locale) {
  QStringList languages = {QStringLiteral("ja"), QStringLiteral("en")};
  if (locale.language() == QLocale::English) languages.swapItemsAt(0, 1);
  const QDir beside(programDir);
  const QDir installed(beside.filePath(QStringLiteral(KELVANE_DOC_DIR_FROM_BIN)));
  ManualPlace place;
  for (const QDir& dir : {beside, installed}) {
    for (const QString& language : languages) {
      const QString file =
          QDir::cleanPath(dir.filePath(QStringLiteral("manual.%1.html").arg(language)));
      place.looked.append(file);
      if (place.found.isEmpty() && QFileInfo(file).isFile()) place.found = file;
    }
  }
  return place;
}

}  // namespace kelvane::ui
