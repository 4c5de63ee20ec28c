// The page loader module of kelvane-run: an offscreen application with an
// invisible browser, made on the first URL command and kept for the rest of
// the process, running the same page loading as the window.
#include "pageloader/module.h"

#include <QApplication>
#include <QString>
#include <QWebEngineProfile>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <malloc.h>
#include <unistd.h>

#include "acquisition/page_loader.h"
#include "acquisition/qt_waits.h"
#include "engine/engine.h"
#include "platform/browser_profile.h"
#include "platform/login_profile.h"
#include "platform/measurement_knobs.h"
#include "platform/web_engine_browser.h"

namespace {

using kelvane::acquisition::PageLoader;
using kelvane::platform::WebEngineBrowser;

// kelvane-run's standard error carries its own messages only: Qt's and the
// browser's chatter is dropped, real failures are kept.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "kelvane-run: %s\n", text.toLocal8Bit().constData());
  }
}

struct Session {
  char name[12] = "kelvane-run";
  int argc = 1;
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> app;  // only when this module made it
  std::unique_ptr<WebEngineBrowser> browser;
  // The login of the cookie file, mirrored in the browser's store.
  std::unique_ptr<kelvane::platform::CookieMirror> cookies;
  QString cookiesFailed;  // why the cookie file cannot be used
};

Session* session = nullptr;

// Set once the session has ended: Qt WebEngine cannot start twice in one
// process.
bool ended = false;

Session& startSession() {
  if (session) return *session;
  session = new Session;
  if (!QCoreApplication::instance()) {
    // No display is needed; a platform the user chose is kept.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // All pages share one renderer process.
    QStringList switches;
    if (!kelvane::platform::measureSwitchedOff("KELVANE_WITHOUT_ONE_RENDERER")) {
      switches << QStringLiteral("--renderer-process-limit=1");
    }
    // The browser starts two template processes: one for the sandboxed
    // pages and one for helper processes that run outside it. Qt WebEngine
    // runs its helpers (the network, the graphics) inside kelvane-run's own
    // process, so the second template only takes memory. The pages keep
    // their sandbox.
    if (!kelvane::platform::measureSwitchedOff("KELVANE_WITHOUT_ONE_TEMPLATE")) {
      switches << QStringLiteral("--no-unsandboxed-zygote");
    }
    kelvane::platform::setBrowserSwitches(switches);
    session->app = std::make_unique<QApplication>(session->argc, session->argv);
  }
  // Nobody sees this browser's pages: only what can change their markup is
  // loaded.
  session->browser = std::make_unique<WebEngineBrowser>(kelvane::platform::PageParts::MarkupOnly);
  return *session;
}

// Qt WebEngine ends the whole process when it is started as root with its
// sandbox on; this is told as a reason instead. The sandbox is never turned
// off here: that is for whoever runs the program as root to decide.
bool sandboxRefusesRoot() {
  if (::geteuid() != 0) return false;
  if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) return false;
  return !qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")
              .contains(QStringLiteral("--no-sandbox"));
}

QString toQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The loader's surroundings in kelvane-run: the request's wait value and
// settle mode, and what the load tells going back to kelvane-run as events.
class RequestHost final : public kelvane::acquisition::LoadHost {
 public:
  explicit RequestHost(const KelvanePageRequest& request)
      : request_(request),
        engine_(*request.engine),
        waitValue_(request.waitValue, request.waitValueLength) {}

  // SIGTERM interrupts the engine: every wait ends at once, and a long
  // settle pause is taken in pieces so that it is seen within a second.
  void wait(int ms) override {
    constexpr int kPiece = 250;
    for (; ms > 0 && !engine_.interruptRequested(); ms -= kPiece) {
      kelvane::acquisition::pauseWithEvents(ms < kPiece ? ms : kPiece);
    }
    kelvane::acquisition::processPendingEvents();
  }
  bool abandoned() override { return engine_.interruptRequested(); }
  std::u16string waitValueText() override { return waitValue_; }
  kelvane::acquisition::SettleMode settleMode() override {
    return request_.settleAuto ? kelvane::acquisition::SettleMode::Auto
                               : kelvane::acquisition::SettleMode::Fixed;
  }
  void loadFailed(std::u16string_view reason) override {
    report(KELVANE_PAGE_LOAD_FAILED, toQString(reason));
  }
  void timedOut(std::u16string_view url) override {
    report(KELVANE_PAGE_TIMED_OUT, toQString(url));
  }
  void settled(const kelvane::acquisition::SettleReport& settled) override {
    report(KELVANE_PAGE_SETTLED,
           QString::fromStdString(kelvane::acquisition::describeSettle(settled)));
  }

  bool loginInUse() override { return request_.cookieFile && *request_.cookieFile; }

  void report(int event, const QString& text) const {
    if (request_.report) request_.report(request_.context, event, text.toUtf8().constData());
  }

 private:
  const KelvanePageRequest& request_;
  kelvane::engine::Engine& engine_;
  const std::u16string waitValue_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int kelvane_pageloader_open_url(
    const KelvanePageRequest* request, const char** error) {
  if (request->abiVersion != KELVANE_PAGELOADER_ABI ||
      request->engineSize != sizeof(kelvane::engine::Engine)) {
    *error = "the page loader module belongs to another build";
    return -1;
  }
  if (ended) {
    *error = "the browser has already been shut down in this process";
    return -1;
  }
  if (!session && sandboxRefusesRoot()) {
    *error = "Qt WebEngine does not run as root with its sandbox on";
    return -1;
  }
  Session& s = startSession();
  RequestHost host(*request);
  if (request->cookieFile && *request->cookieFile && !s.cookies) {
    // Chromium's store of the window's profile is for its one process: this
    // browser stays off the record and takes the cookies of the file.
    s.cookies = std::make_unique<kelvane::platform::CookieMirror>(
        s.browser->view()->page()->profile()->cookieStore(), QString::fromUtf8(request->cookieFile),
        nullptr);
    s.cookies->onFailure([&s](const QString& reason) { s.cookiesFailed = reason; });
    s.cookies->takeFile();
  }
  if (!s.cookiesFailed.isEmpty()) {
    if (request->record) {
      *request->record = {};
      request->record->url =
          QString::fromUtf16(request->url, static_cast<qsizetype>(request->urlLength))
              .toStdString();
      request->record->error = s.cookiesFailed.toStdString();
    }
    host.loadFailed(s.cookiesFailed.toStdU16String());
    request->engine->ht().clear();
    request->engine->stop();
    return 0;
  }
  PageLoader loader(*request->engine, *s.browser, host);
  loader.loadUrl(std::u16string_view(request->url, request->urlLength));
  if (request->record) *request->record = loader.lastLoad();
  return 0;
}

// The run has ended: nothing will read the page any more, so the browser
// lets go of it. A script address in a later run runs in an empty page.
extern "C" __attribute__((visibility("default"))) void kelvane_pageloader_leave_page() {
  if (session && !kelvane::platform::measureSwitchedOff("KELVANE_WITHOUT_LEAVING_PAGE")) {
    session->browser->leavePage();
  }
  if (session && session->cookies) session->cookies->sync();
#ifdef __GLIBC__
  // What the run freed (the page's markup in its copies, the browser's
  // records of the page) goes back to the system before the next page
  // builds up: otherwise the free space stays in the heap, scattered.
  if (session && !kelvane::platform::measureSwitchedOff("KELVANE_WITHOUT_HEAP_TRIM")) {
    malloc_trim(0);
  }
#endif
}

// The browser goes down before the application, and both before the
// process exits: Qt's globals are gone by the time exit handlers run.
extern "C" __attribute__((visibility("default"))) void kelvane_pageloader_end() {
  if (!session) return;
  session->cookies.reset();  // writes what is pending
  session->browser.reset();
  session->app.reset();
  delete session;
  session = nullptr;
  ended = true;
}
