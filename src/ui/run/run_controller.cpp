#include "ui/run/run_controller.h"

#include <QCoreApplication>

#include "acquisition/update_timer.h"
#include "logging/log_writer.h"

namespace kelvane::ui {
namespace {

QString fromU16(std::u16string_view text) {
  return QString::fromStdU16String(std::u16string(text));
}

// Without a history the previous run in this window tells a change.
const run::Outputs kWindowOutputs = [] {
  run::Outputs outputs;
  outputs.compareInMemory = true;
  return outputs;
}();

}  // namespace

RunController::RunController(RunView& view, acquisition::Scheduler::Clock clock, QObject* parent)
    : QObject(parent), view_(view), engine_(*this), run_(engine_, *this, kWindowOutputs) {
  pages_ = std::make_unique<PageLoads>(view_, engine_, *this);
  timer_ = std::make_unique<acquisition::UpdateTimer>(
      acquisition::UpdateTimer::Hooks{
          .browserBusy = [this] { return pages_->browserBusy(); },
          .waitForPage = [this] { pages_->waitWhileBusy(); },
          .runScript = [this] { return runAutomatically(); },
          .appendLogEntry = [this] { appendAutomaticLogEntry(); },
      },
      std::move(clock), this);
}

RunController::~RunController() = default;

void RunController::resetEngine() {
  engine_.resetLoop();
  engine_.d().clear();
  engine_.ht().clear();
  showBuffers(true);
}

void RunController::startTimer() {
  acquisition::Scheduler& scheduler = timer_->scheduler();
  timer_->setTimerEnabled(true);
  scheduler.makeFirstTickDue();
}

engine::RunOutcome RunController::runByHand() {
  // A run started while one is going, or while a page is still loading,
  // would pull the page and the display from under it: it is ignored.
  if (engine_.running() || pages_->loading() || quitting_) return engine::RunOutcome::Ignored;
  view_.takeEdits();
  timer_->scheduler().runStarting();
  pendingLine_ = -1;
  sinceEvents_.invalidate();  // the first loop pass of a run always yields
  runStoppedByLoad_ = false;
  run::WatchRun::Request request;
  request.automatic = automaticRun_;
  const run::WatchRun::Result result = run_.run(view_.scriptPath().toStdU16String(), request);
  view_.takeEdits();
  showBuffers(true);
  // One failed load must not end the automatic update: the run stopped, but
  // the timer goes on when the user asked for it. A script error still
  // leaves it off.
  if (result.outcome == engine::RunOutcome::Stopped && runStoppedByLoad_ &&
      timer_->scheduler().autoUpdate() != 0) {
    setTimerEnabled(true);
  }
  if (automaticRun_ && result.change == run::Change::Changed && view_.changeNoticeOn()) {
    // The caption names what is watched; the body is the display's beginning.
    view_.notifyChange(
        QCoreApplication::translate("RunController", "表示が変わりました: %1").arg(view_.caption()),
        view_.displayText().left(kNoticeBodyChars));
  }
  return result.outcome;
}

engine::RunOutcome RunController::runAutomatically() {
  automaticRun_ = true;
  const engine::RunOutcome outcome = runByHand();
  automaticRun_ = false;
  return outcome;
}

void RunController::appendLogEntry() {
  view_.takeEdits();
  run_.appendLog(view_.logEntry());
}

void RunController::appendAutomaticLogEntry() {
  // An automatic entry whose message box is still open does not pile a
  // second box on it.
  if (autoLogMessageOpen_) return;
  autoLogMessageOpen_ = true;
  appendLogEntry();
  autoLogMessageOpen_ = false;
}

void RunController::cannotWrite(run::Output output, const std::string&, const std::string& why) {
  if (output == run::Output::Log) {
    view_.showMessage(fromU16(logging::cannotWriteMessage()));
  } else if (output == run::Output::History || output == run::Output::HistoryRefused) {
    // The run itself is done either way; the window says once what failed.
    view_.showHistoryFailure(
        QCoreApplication::translate("RunController", "履歴に記録できません: %1")
            .arg(QString::fromStdString(why)));
  }
}

void RunController::endEverything() {
  quitting_ = true;
  engine_.stop();
  timer_->shutDown();
  pages_->end();
}

void RunController::showMessage(std::u16string_view text) {
  if (quitting_) return;
  run_.journal().message(fromU16(text).toStdString());
  // The user sees what the run has done so far behind the message.
  showBuffers(true);
  view_.showMessage(fromU16(text));
}

void RunController::setTitle(std::u16string_view caption) {
  run_.journal().titleSet();
  view_.setCaption(fromU16(caption));
}

void RunController::openUrl(std::u16string_view url) {
  if (quitting_) {
    engine_.stop();
    return;
  }
  const bool stoppedBefore = engine_.stopFlag();
  run_.journal().load(pages_->loadUrl(url));
  // A stop that came with the load (not with a bad operand before it).
  if (!stoppedBefore && engine_.stopFlag()) runStoppedByLoad_ = true;
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

void RunController::scriptLoaded() {
  view_.showScriptLines(engine_.scriptLines());
}

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

}  // namespace kelvane::ui
