// The window's benchmarks; bench/window.sh runs them.
//
//   bench_window first-paint
//     Starts the window as the program does and prints, in nanoseconds of
//     the real-time clock, the moment its first paint has been drawn.
//   bench_window run SCRIPT [RUNS]
//     Starts the window with SCRIPT as its argument and the wait value 0,
//     shows it on the "Data" page and presses 更新 RUNS times; prints the
//     milliseconds of each run and the length of the display afterwards.
//   bench_window run SCRIPT RUNS PAGE
//     The same with the page text HT set to the text of the file PAGE before
//     each press, as kelvane-run --page does: the run without page loading.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "textfile/file_io.h"
#include "textfile/text_codec.h"
#include "ui/main_window/form1.h"
#include "ui/run/run_controller.h"

namespace {

long long realtimeNs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

// Prints the time once the window's first paint has been drawn, then ends.
class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_) {
      done_ = true;
      // Let the paint finish and reach the screen, then take the time.
      QTimer::singleShot(0, [] {
        std::printf("%lld\n", realtimeNs());
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool done_ = false;
};

int firstPaint(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QTemporaryDir dir;  // no settings file: the start a new user sees
  kelvane::ui::StartOptions options;
  options.applicationDir = dir.path();
  kelvane::ui::Form1 window(std::move(options));
  FirstPaint watcher;
  window.installEventFilter(&watcher);
  window.show();
  return QApplication::exec();
}

int runs(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  const QString script = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2]));
  const int count = argc > 3 ? std::atoi(argv[3]) : 1;
  std::optional<std::u16string> page;
  if (argc > 4) {
    const auto bytes = kelvane::textfile::readFileBytes(argv[4]);
    if (!bytes) {
      std::fprintf(stderr, "bench_window: cannot read %s\n", argv[4]);
      return 2;
    }
    page = kelvane::textfile::decodeText(*bytes);
  }
  QTemporaryDir dir;
  kelvane::ui::StartOptions options;
  options.applicationDir = dir.path();
  options.commandLine = script;
  kelvane::ui::Form1 window(std::move(options));
  window.findChild<QLineEdit*>(QStringLiteral("WaitValue"))->setText(QStringLiteral("0"));
  window.show();
  QTimer::singleShot(200, [&] {
    auto* exec = window.findChild<QPushButton*>(QStringLiteral("Exec"));
    for (int i = 0; i < count; ++i) {
      if (page) window.run().engine().ht().assign(*page);
      QElapsedTimer timer;
      timer.start();
      exec->click();
      std::printf("run %d: %lld ms\n", i + 1, static_cast<long long>(timer.elapsed()));
    }
    std::printf("display: %zu characters\n", window.run().engine().d().size());
    std::fflush(stdout);
    QCoreApplication::quit();
  });
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "first-paint") return firstPaint(argc, argv);
  if (mode == "run" && argc > 2) return runs(argc, argv);
  std::fprintf(stderr, "usage: bench_window first-paint | run SCRIPT [RUNS]\n");
  return 2;
}
