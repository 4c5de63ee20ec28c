// Several watches from one installation: each is a settings file of its own,
// named by `kelvane --settings FILE` or chosen by `kelvane --new-watch`.
#pragma once

#include <QString>
#include <QStringList>

namespace kelvane::ui {

// The program's arguments after its name. "--settings FILE" or "--new-watch"
// come first; what follows is the script path text, as before.
struct StartArguments {
  QString settingsFile;   // empty: the default settings file
  bool newWatch = false;  // ask for the settings file with a file chooser
  QString commandLine;    // the script path text
  QString error;          // a usage error, said before any window opens
};
StartArguments parseStartArguments(const QStringList& arguments);

// Where a watch's settings file puts the window: the file itself, read at
// start and written by a save, and its folder, which becomes current so that
// relative script and log paths in the file refer to it.
struct WatchPlace {
  QString settingsPath;
  QString currentDir;
  QString name;  // what the title bar names; empty for the default file
};
// file is relative to startDir; defaultSettingsPath is where the settings
// would be without it. The name is the file's name without ".cnf", or its
// folder's name for a file called Kelvane.cnf.
WatchPlace watchPlace(const QString& file, const QString& startDir,
                      const QString& defaultSettingsPath);

// The window's title before a script sets its own: "Kelvane", or
// "Kelvane — NAME" for a watch of its own.
QString watchTitle(const QString& name);

}  // namespace kelvane::ui
