// Page loading benchmark: the time from a URL command to HT filled for a
// local 1 MB page with wait value 0, against a bare QWebEngineView load and
// innerHTML read, interleaved in the same process; and the peak memory.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "acquisition/page_loader.h"
#include "acquisition/qt_waits.h"
#include "engine/engine.h"
#include "platform/web_engine_browser.h"

namespace {

using kelvane::engine::Engine;

// The engine's host for the URL command only.
class BenchHost : public kelvane::engine::Host {
 public:
  void showMessage(std::u16string_view) override {}
  void setTitle(std::u16string_view) override {}
  void openUrl(std::u16string_view url) override { loader->loadUrl(url); }
  void processEvents() override {}
  void selectLine(int) override {}
  void setTimerEnabled(bool) override {}
  std::u16string timeText() override { return {}; }
  std::u16string dateText() override { return {}; }
  kelvane::acquisition::PageLoader* loader = nullptr;
};

// The loader's host: Qt's pauses, and a settle wait of wait value 0.
class BenchLoadHost : public kelvane::acquisition::LoadHost {
 public:
  void wait(int ms) override {
    kelvane::acquisition::pauseWithEvents(ms);
    kelvane::acquisition::processPendingEvents();
  }
  std::u16string waitValueText() override { return u"0"; }
};

// The adapter with a stopwatch: when the loader first saw the browser idle,
// and how long reading the markup took.
class TimedBrowser : public kelvane::acquisition::Browser {
 public:
  TimedBrowser(kelvane::acquisition::Browser& real, const QElapsedTimer& clock)
      : real_(real), clock_(clock) {}
  void startLoading(std::u16string_view url) override {
    idleSeenAt = 0;
    real_.startLoading(url);
  }
  bool loading() const override {
    const bool busy = real_.loading();
    if (!busy && idleSeenAt == 0) idleSeenAt = clock_.nsecsElapsed();
    return busy;
  }
  std::optional<std::u16string> loadError() const override { return real_.loadError(); }
  std::optional<std::u16string> bodyHtml() override {
    readStart = clock_.nsecsElapsed();
    auto body = real_.bodyHtml();
    readEnd = clock_.nsecsElapsed();
    return body;
  }
  mutable qint64 idleSeenAt = 0;
  qint64 readStart = 0, readEnd = 0;

 private:
  kelvane::acquisition::Browser& real_;
  const QElapsedTimer& clock_;
};

// About 1 MB of listing markup like a price page, Japanese text included.
QByteArray makePage() {
  QByteArray page = "<html><head><meta charset=\"utf-8\"><title>bench</title></head><body><ul>";
  for (int i = 0; page.size() < 1'000'000; ++i) {
    page += "<li><span class=\"name\">品目" + QByteArray::number(i) +
            "<small>（産地）</small></span> <b class=\"price\">￥" +
            QByteArray::number(100 + i % 900) + "</b> <i>更新 9:05</i></li>\n";
  }
  return page + "</ul></body></html>";
}

// The browser's zygote, renderer and utility processes: every process
// below this one.
std::vector<long> descendants() {
  std::multimap<long, long> children;  // parent -> child
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream status(entry.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("PPid:", 0) == 0) children.emplace(std::stol(line.substr(5)), std::stol(name));
    }
  }
  std::vector<long> found;
  std::vector<long> todo = {static_cast<long>(getpid())};
  while (!todo.empty()) {
    const long pid = todo.back();
    todo.pop_back();
    for (auto [it, end] = children.equal_range(pid); it != end; ++it) {
      todo.push_back(it->second);
      found.push_back(it->second);
    }
  }
  return found;
}

// The sum of the proportional set sizes (shared pages split between their
// users) of the processes below this one, now.
double childrenPssMb() {
  double kb = 0;
  for (long pid : descendants()) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line)) {
      if (line.rfind("Pss:", 0) == 0) kb += std::stod(line.substr(4));
    }
  }
  return kb / 1024;
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(quiet);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);

  QTemporaryDir dir;
  QFile file(dir.filePath("page.html"));
  if (!file.open(QIODevice::WriteOnly)) return 1;
  const QByteArray page = makePage();
  file.write(page);
  file.close();
  const QString base = QUrl::fromLocalFile(file.fileName()).toString();

  // The loader's path: a URL command through the engine.
  kelvane::platform::WebEngineBrowser browser;
  BenchHost host;
  Engine engine(host);
  BenchLoadHost loadHost;
  QElapsedTimer clock;
  clock.start();
  TimedBrowser timed(browser, clock);
  kelvane::acquisition::PageLoader loader(engine, timed, loadHost);
  host.loader = &loader;

  // The bare path: a view of the same kind, load, then innerHTML.
  QWebEngineProfile profile;
  QWebEngineView view;
  view.setPage(new QWebEnginePage(&profile, &view));
  view.resize(1024, 768);
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.show();

  // When each view's load finished, to split the time into the load itself
  // and what follows it until the markup is in hand.
  qint64 finishedAt = 0;
  QObject::connect(browser.view()->page(), &QWebEnginePage::loadFinished,
                   [&] { finishedAt = clock.nsecsElapsed(); });
  QObject::connect(view.page(), &QWebEnginePage::loadFinished,
                   [&] { finishedAt = clock.nsecsElapsed(); });
  std::vector<double> afterLoader, afterBare, pollDelay, toSettled, reading, toHt;

  size_t loaderChars = 0;
  qsizetype bareChars = 0;
  const auto viaLoader = [&](int n) {
    const QString url = base + "?n=" + QString::number(n);
    const std::u16string script = u"URL\t\"" + url.toStdU16String() + u"\"";
    const qint64 t0 = clock.nsecsElapsed();
    engine.runScriptText(script);
    const qint64 t1 = clock.nsecsElapsed();
    const double ms = (t1 - t0) / 1e6;
    if (n >= 0) {
      afterLoader.push_back((t1 - finishedAt) / 1e6);
      pollDelay.push_back((timed.idleSeenAt - finishedAt) / 1e6);
      toSettled.push_back((timed.readStart - timed.idleSeenAt) / 1e6);
      reading.push_back((timed.readEnd - timed.readStart) / 1e6);
      toHt.push_back((t1 - timed.readEnd) / 1e6);
    }
    loaderChars = engine.ht().size();
    return ms;
  };
  const auto bare = [&](int n) {
    const QUrl url(base + "?b=" + QString::number(n));
    const qint64 t0 = clock.nsecsElapsed();
    QEventLoop loop;
    auto c = QObject::connect(view.page(), &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
    view.load(url);
    loop.exec();
    QObject::disconnect(c);
    QString html;
    view.page()->runJavaScript("document.body.innerHTML", [&](const QVariant& v) {
      html = v.toString();
      loop.quit();
    });
    loop.exec();
    const qint64 t1 = clock.nsecsElapsed();
    const double ms = (t1 - t0) / 1e6;
    if (n >= 0) afterBare.push_back((t1 - finishedAt) / 1e6);
    bareChars = html.size();
    return ms;
  };

  viaLoader(-1);  // warm up both
  bare(-1);
  const double warmPss = childrenPssMb();
  std::vector<double> a, b;
  for (int i = 0; i < repeats; ++i) {
    const double x = viaLoader(i);
    const double y = bare(i);
    a.push_back(x);
    b.push_back(y);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("page: %lld bytes, %zu characters in HT (bare read: %lld)\n",
              static_cast<long long>(page.size()), loaderChars, static_cast<long long>(bareChars));
  std::printf("URL command -> HT filled, wait 0:  median %7.1f ms  min %7.1f  max %7.1f\n",
              median(a), *std::min_element(a.begin(), a.end()),
              *std::max_element(a.begin(), a.end()));
  std::printf("bare load + innerHTML:              median %7.1f ms  min %7.1f  max %7.1f\n",
              median(b), *std::min_element(b.begin(), b.end()),
              *std::max_element(b.begin(), b.end()));
  std::printf(
      "from load finished to markup in hand: loader median %.1f ms (max %.1f), bare %.1f ms"
      " (max %.1f)\n",
      median(afterLoader), *std::max_element(afterLoader.begin(), afterLoader.end()),
      median(afterBare), *std::max_element(afterBare.begin(), afterBare.end()));
  std::printf(
      "  loader after the load, medians: noticing it %.1f ms, settle pass %.1f ms, reading"
      " the markup %.1f ms, into HT and back to the script %.1f ms\n",
      median(pollDelay), median(toSettled), median(reading), median(toHt));
  std::printf(
      "loader overhead: %.1f ms by medians of the whole time, %.1f ms after the load"
      " (budget 50 ms; %d runs each, interleaved)\n",
      median(a) - median(b), median(afterLoader) - median(afterBare), repeats);
  std::printf(
      "memory: this process peak RSS %.1f MB; its %zu browser processes %.1f MB PSS after one load"
      " each, %.1f MB after all %d\n",
      usage.ru_maxrss / 1024.0, descendants().size(), warmPss, childrenPssMb(), 2 * repeats + 2);
  return 0;
}
