// kelvane: the window program. The argument text names the script file;
// --settings FILE or --new-watch before it name the watch's settings file.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstring>

#include "language/language.h"
#include "platform/blocked_close.h"
#include "platform/browser_profile.h"
#include "platform/dialogs.h"
#include "platform/display_check.h"
#include "ui/main_window/form1.h"
#include "ui/main_window/watch_file.h"
#include "ui/translations.h"

int main(int argc, char** argv) {
  // Answered before any window system is touched, so it works without a
  // display. Only the exact single argument: any other text is a script path.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::fputs("kelvane " KELVANE_VERSION "\n", stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  // Japanese unless the locale asks for English; the C locale stays Japanese.
  kelvane::language::setCurrent(kelvane::language::languageOfEnvironment());
  // Without a display Qt would abort with advice to reinstall: say what is
  // wrong instead, as a program that cannot open its window.
  if (const auto facts = kelvane::platform::probeDisplayFacts(argc, argv);
      !kelvane::platform::displayReachable(facts)) {
    std::fputs(kelvane::platform::noDisplayMessage(facts).c_str(), stderr);
    return 1;
  }
  // The embedded browser shares the window's graphics context.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  kelvane::platform::setBrowserSwitches();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvane"));
  QApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));
  // The menu entry's name, so that the window system matches the window to
  // its entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(KELVANE_APP_ID));
  // The window's translation for that language.
  kelvane::ui::installTranslations(app, QCoreApplication::applicationDirPath());
  // The close button ends the program also while a message box is open.
  kelvane::platform::letBlockedWindowsClose();

  kelvane::ui::StartOptions options;
  const auto start = kelvane::ui::parseStartArguments(QApplication::arguments());
  if (!start.error.isEmpty()) {
    std::fprintf(stderr, "%s\n", start.error.toLocal8Bit().constData());
    return 2;
  }
  options.commandLine = start.commandLine;
  options.settingsFile = start.settingsFile;
  if (start.newWatch) {
    // A new watch: its settings file, new or one to reopen, from a chooser;
    // nothing opens when the chooser is cancelled.
    const auto file = kelvane::platform::QtDialogs().chooseOpenFile(nullptr, QDir::homePath());
    if (!file) return 0;
    options.settingsFile = *file;
  }
  kelvane::ui::Form1 window(std::move(options));
  window.show();
  return QApplication::exec();
}
