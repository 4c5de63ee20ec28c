#include "ui/run/run_controller.h"

#include "ui/run/failure_reason.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include "acquisition/page_loader.h"
#include "acquisition/settle.h"
#include "acquisition/update_timer.h"
#include "engine/clock_text.h"
#include "ui/run/lazy_browser.h"
#include "ui/run/run_history.h"

namespace kelvane::ui {
namespace {

QString fromU16(std::u16string_view text) {
  return QString::fromStdU16String(std::u16string(text));
}

// Counts a page load in progress for as long as it lives.
class LoadScope {
 public:
  explicit LoadScope(int& depth) : depth_(depth) { ++depth_; }
  ~LoadScope() { --depth_; }
  LoadScope(const LoadScope&) = delete;
  LoadScope& operator=(const LoadScope&) = delete;

 private:
  int& depth_;
};

}  // namespace

RunController::RunController(RunView& view, acquisition::Scheduler::Clock clock, QObject* parent)
    : QObject(parent), view_(view), engine_(*this) {
  browser_ = std::make_unique<LazyBrowser>([this] { return view_.createBrowser(); });

  acquisition::LoadHost& loadHost = *this;
  loader_ = std::make_unique<acquisition::PageLoader>(engine_, *browser_, loadHost);

  timer_ = std::make_unique<acquisition::UpdateTimer>(
      acquisition::UpdateTimer::Hooks{
          .browserBusy = [this] { return browser_->Busy(); },
          .waitForPage =
              [this] {
                LoadScope loading(loadDepth_);
                loader_->waitWhileBusy();
              },
          .runScript = [this] { return runAutomatically(); },
          .appendLogEntry = [this] { appendAutomaticLogEntry(); },
      },
      std::move(clock), this);
}

RunController::~RunController() = default;

void RunController::setHistoryPath(const std::string& path) {
  history_ = path.empty() ? nullptr : std::make_unique<RunHistory>(path);
}

void RunController::recordRun(std::chrono::system_clock::time_point start, qint64 durationMs,
                              engine::RunOutcome outcome) {
  if (!history_ || outcome == engine::RunOutcome::Ignored) return;
  history::RunEntry entry;
  entry.start = start;
  entry.durationMs = durationMs;
  entry.normal = outcome == engine::RunOutcome::Normal;
  entry.message = firstMessage_;
  entry.loads = std::move(loads_);
  entry.display.assign(engine_.d().view());
  entry.script = QFileInfo(view_.scriptPath()).absoluteFilePath().toStdString();
  // The run itself is done either way; the window says once what failed.
  if (const auto reason = history_->record(entry)) {
    view_.showHistoryFailure(
        QCoreApplication::translate("RunController", "履歴に記録できません: %1")
            .arg(QString::fromStdString(*reason)));
  }
}

bool RunController::browserCreated() const {
  return browser_->created();
}

void RunController::ensureBrowser() {
  browser_->ensure();
}

void RunController::resetEngine() {
  engine_.resetLoop();
  engine_.d().clear();
  engine_.ht().clear();
  showBuffers(true);
}

// ---- the automatic update ----------------------------------------------------

void RunController::setAutoUpdate(int value) {
  timer_->scheduler().setAutoUpdate(value);
}

int RunController::toggleAutoUpdate() {
  timer_->scheduler().toggleFromMenu();
  return timer_->scheduler().autoUpdate();
}

bool RunController::autoUpdateMarked() const {
  return timer_->scheduler().menuMarked();
}

void RunController::setInterval(const QString& text) {
  timer_->scheduler().setIntervalText(text.toStdU16String());
}

void RunController::setTimeWindow(acquisition::TimeWindowBoxes boxes) {
  timer_->scheduler().setTimeWindow(std::move(boxes));
}

void RunController::setAutoLog(bool on) {
  timer_->scheduler().setLogAutoWrite(on);
}

void RunController::startTimer() {
  acquisition::Scheduler& scheduler = timer_->scheduler();
  timer_->setTimerEnabled(true);
  scheduler.makeFirstTickDue();
}

// ---- runs ------------------------------------------------------------------

engine::RunOutcome RunController::runByHand() {
  // A run started while one is going, or while a page is still loading,
  // would pull the page and the display from under it: it is ignored.
  if (engine_.running() || loadDepth_ > 0 || quitting_) return engine::RunOutcome::Ignored;
  view_.takeEdits();
  timer_->scheduler().runStarting();
  pendingLine_ = -1;
  sinceEvents_.invalidate();  // the first loop pass of a run always yields
  runStoppedByLoad_ = false;
  loads_.clear();
  firstMessage_.clear();
  const auto start = std::chrono::system_clock::now();
  QElapsedTimer took;
  took.start();
  const engine::RunOutcome outcome = engine_.run(view_.scriptPath().toStdU16String());
  recordRun(start, took.elapsed(), outcome);
  view_.takeEdits();
  showBuffers(true);
  // One failed load must not end the automatic update: the run stopped, but
  // the timer goes on when the user asked for it. A script error still
  // leaves it off.
  if (outcome == engine::RunOutcome::Stopped && runStoppedByLoad_ &&
      timer_->scheduler().autoUpdate() != 0) {
    setTimerEnabled(true);
  }
  const ChangeNotice::Run run{automaticRun_, outcome == engine::RunOutcome::Normal,
                              engine_.d().view()};
  if (changeNotice_.runEnded(run, view_.changeNoticeOn())) {
    // The caption names what is watched; the body is the display's beginning.
    view_.notifyChange(
        QCoreApplication::translate("RunController", "表示が変わりました: %1").arg(view_.caption()),
        view_.displayText().left(kNoticeBodyChars));
  }
  return outcome;
}

engine::RunOutcome RunController::runAutomatically() {
  automaticRun_ = true;
  const engine::RunOutcome outcome = runByHand();
  automaticRun_ = false;
  return outcome;
}

void RunController::loadPageByHand() {
  // One load at a time: a second one would restore the wrong display.
  if (loadDepth_ > 0 || quitting_) return;
  LoadScope loading(loadDepth_);
  view_.takeEdits();
  loader_->loadByHand(view_.urlText().toStdU16String());
  view_.takeEdits();
  if (!engine_.ht().empty()) lastPage_.assign(engine_.ht().view());
  showBuffers(true);
}

void RunController::appendAutomaticLogEntry() {
  // An automatic entry whose message box is still open does not pile a
  // second box on it.
  if (autoLogMessageOpen_) return;
  autoLogMessageOpen_ = true;
  view_.appendLogEntry();
  autoLogMessageOpen_ = false;
}

void RunController::endEverything() {
  quitting_ = true;
  engine_.stop();
  timer_->shutDown();
  emit ending();
}

// ---- the engine's host --------------------------------------------------------

void RunController::showMessage(std::u16string_view text) {
  if (quitting_) return;
  if (firstMessage_.empty()) firstMessage_ = fromU16(text).toStdString();
  // The user sees what the run has done so far behind the message.
  showBuffers(true);
  view_.showMessage(fromU16(text));
}

void RunController::setTitle(std::u16string_view caption) {
  view_.setCaption(fromU16(caption));
}

void RunController::openUrl(std::u16string_view url) {
  if (quitting_) {
    engine_.stop();
    return;
  }
  LoadScope loading(loadDepth_);
  view_.takeEdits();
  const bool stoppedBefore = engine_.stopFlag();
  loads_.emplace_back();
  loads_.back().url = fromU16(url).toStdString();
  loads_.back().fetch = acquisition::fetchModeName(acquisition::FetchMode::Browser);
  QElapsedTimer took;
  took.start();
  loader_->loadUrl(url);
  loads_.back().loadMs = took.elapsed();
  loads_.back().finalUrl = loads_.back().url;
  // A stop that came with the load (not with a bad operand before it).
  if (!stoppedBefore && engine_.stopFlag()) runStoppedByLoad_ = true;
  view_.takeEdits();
  if (!engine_.stopFlag()) lastPage_.assign(engine_.ht().view());
  showBuffersIfDue();
}

void RunController::processEvents() {
  // A loop pass yields to the event loop, but a tight loop of thousands of
  // passes does so at most every few milliseconds: the window answers just
  // as quickly and the run is not slowed by empty passes.
  if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventIntervalMs) return;
  processEventsNow();
}

void RunController::processEventsNow() {
  QCoreApplication::processEvents();
  sinceEvents_.start();
  // A safe point: what the user typed into the boxes meanwhile becomes the
  // buffers' text before the next line runs.
  view_.takeEdits();
  showBuffersIfDue();
}

void RunController::selectLine(int index) {
  pendingLine_ = index;
}

void RunController::setTimerEnabled(bool on) {
  timer_->setTimerEnabled(on && !quitting_);
}

std::u16string RunController::timeText() {
  return engine::formatTime(engine::localNow());
}
std::u16string RunController::dateText() {
  return engine::formatDate(engine::localNow());
}

void RunController::scriptLoaded() {
  view_.showScriptLines(engine_.scriptLines());
}

// ---- page loading -----------------------------------------------------------

void RunController::wait(int ms) {
  if (!quitting_ && ms > 0) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    connect(this, &RunController::ending, &loop, &QEventLoop::quit);
    loop.exec();
  }
  processEventsNow();
}

std::u16string RunController::waitValueText() {
  return view_.waitValueText().toStdU16String();
}

acquisition::SettleMode RunController::settleMode() {
  return view_.settleMode();
}

void RunController::loadStarting(std::u16string_view url) {
  // The URL box shows the page being loaded; it and the emptied page text
  // are on the screen before the load begins.
  view_.setUrlText(fromU16(url));
  showBuffers(true);
  view_.repaintNow();
}

void RunController::loadFailed(std::u16string_view reason) {
  showLoadFailure(fromU16(reason));
}

void RunController::timedOut(std::u16string_view url) {
  showLoadFailure(
      QCoreApplication::translate("RunController", "%1秒たっても読み込みが終わりません (%2)")
          .arg(acquisition::kPageDeadline.count() / 1000)
          .arg(fromU16(url)));
}

void RunController::loaded() {
  showLoadFailure(std::nullopt);
}

// ---- mirroring -------------------------------------------------------------

void RunController::showBuffersIfDue() {
  if (sinceShown_.isValid() && sinceShown_.elapsed() < kMirrorIntervalMs) return;
  showBuffers(false);
}

void RunController::showBuffers(bool evenHidden) {
  // Quitting: no window is left to show them in, and a megabyte page would
  // take a second to put into its box.
  if (quitting_) return;
  sinceShown_.start();
  view_.showBuffers(evenHidden);
  // The line a finished run ended on is shown once; the user may then
  // choose another.
  if (pendingLine_ >= 0 && view_.showLine(pendingLine_, evenHidden) && !engine_.running()) {
    pendingLine_ = -1;
  }
}

void RunController::showLoadFailure(const std::optional<QString>& reason) {
  if (!reason) {
    view_.showLoadFailure(std::nullopt);
    return;
  }
  if (engine_.running() && !loads_.empty()) loads_.back().error = reason->toStdString();
  // When, and why: the display keeps the last good text meanwhile.
  const std::tm now = engine::localNow();
  const QString when = fromU16(engine::formatDate(now) + u" " + engine::formatTime(now));
  view_.showLoadFailure(QCoreApplication::translate("RunController", "読込失敗 %1\n%2")
                            .arg(when, japaneseFailureReason(*reason)));
}

}  // namespace kelvane::ui
