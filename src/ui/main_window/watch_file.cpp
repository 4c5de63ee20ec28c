#include "ui/main_window/watch_file.h"

#include <QDir>
#include <QFileInfo>

#include "language/language.h"
#include "platform/message_box.h"

namespace kelvane::ui {

StartArguments parseStartArguments(const QStringList& arguments) {
  StartArguments out;
  QStringList rest = arguments.mid(1);
  if (!rest.isEmpty() && rest.front() == QLatin1String("--new-watch")) {
    out.newWatch = true;
    rest.removeFirst();
  } else if (!rest.isEmpty() && rest.front() == QLatin1String("--settings")) {
    if (rest.size() < 2 || rest[1].isEmpty()) {
      out.error = language::current() == language::Language::English
                      ? QStringLiteral("kelvane: --settings needs the settings file's name")
                      : QStringLiteral("kelvane: --settings の後に設定ファイルを指定してください");
      return out;
    }
    out.settingsFile = rest[1];
    rest = rest.mid(2);
  }
  out.commandLine = rest.join(QLatin1Char(' '));
  return out;
}

WatchPlace watchPlace(const QString& file, const QString& startDir,
                      const QString& defaultSettingsPath) {
  const QFileInfo info(QDir(startDir).absoluteFilePath(file));
  WatchPlace place;
  place.settingsPath = QDir::cleanPath(info.absoluteFilePath());
  place.currentDir = QDir::cleanPath(info.absolutePath());
  if (place.settingsPath == QDir::cleanPath(QFileInfo(defaultSettingsPath).absoluteFilePath())) {
    return place;
  }
  QString name = info.fileName();
  if (name.endsWith(QLatin1String(".cnf"), Qt::CaseInsensitive)) name.chop(4);
  if (name.compare(QLatin1String("Kelvane"), Qt::CaseInsensitive) == 0 || name.isEmpty()) {
    name = QFileInfo(place.currentDir).fileName();
  }
  place.name = name;
  return place;
}

QString watchTitle(const QString& name) {
  const QString program = QString::fromUtf8(platform::kApplicationTitle);
  return name.isEmpty() ? program : program + QStringLiteral(" — ") + name;
}

}  // namespace kelvane::ui
