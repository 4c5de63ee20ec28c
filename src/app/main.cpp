// kelvane: the window program. The argument text names the script file.
#include <QApplication>

#include "ui/main_window/form1.h"

int main(int argc, char** argv) {
  // The embedded browser shares the window's graphics context.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvane"));
  QApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));

  kelvane::ui::StartOptions options;
  options.commandLine = kelvane::ui::commandLineText(QApplication::arguments());
  kelvane::ui::Form1 window(std::move(options));
  window.show();
  return QApplication::exec();
}
