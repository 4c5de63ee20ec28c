#include "acquisition/qt_waits.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace kelvane::acquisition {

void pauseWithEvents(int ms) {
  if (ms <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

void processPendingEvents() {
  QCoreApplication::processEvents();
}

}  // namespace kelvane::acquisition
