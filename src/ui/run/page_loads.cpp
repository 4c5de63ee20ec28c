#include "ui/run/page_loads.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "engine/clock_text.h"
#include "ui/run/failure_reason.h"
#include "ui/run/run_controller.h"

namespace kelvane::ui {
namespace {

QString fromU16(std::u16string_view text) {
  return QString::fromStdU16String(std::u16string(text));
}

}  // namespace

PageLoads::PageLoads(RunView& view, engine::Engine& engine, RunController& controller)
    : view_(view),
      engine_(engine),
      controller_(controller),
      browser_([this] { return view_.createBrowser(); }),
      loader_(engine, browser_, static_cast<acquisition::LoadHost&>(*this)) {}

PageLoads::~PageLoads() = default;

void PageLoads::loadByHand() {
  // One load at a time: a second one would restore the wrong display.
  if (loading() || ended_) return;
  Scope scope(depth_);
  view_.takeEdits();
  loader_.loadByHand(view_.urlText().toStdU16String());
  view_.takeEdits();
  if (!engine_.ht().empty()) lastPage_.assign(engine_.ht().view());
  controller_.showBuffers(true);
}

acquisition::LoadRecord PageLoads::loadUrl(std::u16string_view url) {
  Scope scope(depth_);
  view_.takeEdits();
  loader_.loadUrl(url);
  view_.takeEdits();
  if (!engine_.stopFlag()) lastPage_.assign(engine_.ht().view());
  return loader_.lastLoad();
}

void PageLoads::waitWhileBusy() {
  Scope scope(depth_);
  loader_.waitWhileBusy();
}

void PageLoads::end() {
  ended_ = true;
  emit ending();
}

// A pause that keeps the window answering and ends early when the program
// ends, then one pass of the event loop.
void PageLoads::wait(int ms) {
  if (!ended_ && ms > 0) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    connect(this, &PageLoads::ending, &loop, &QEventLoop::quit);
    loop.exec();
  }
  controller_.processEventsNow();
}

std::u16string PageLoads::waitValueText() {
  return view_.waitValueText().toStdU16String();
}

acquisition::SettleMode PageLoads::settleMode() {
  return view_.settleMode();
}

void PageLoads::loadStarting(std::u16string_view url) {
  // The URL box shows the page being loaded; it and the emptied page text
  // are on the screen before the load begins.
  view_.setUrlText(fromU16(url));
  controller_.showBuffers(true);
  view_.repaintNow();
}

void PageLoads::loadFailed(std::u16string_view reason) {
  showLoadFailure(fromU16(reason));
}

void PageLoads::timedOut(std::u16string_view url) {
  showLoadFailure(
      QCoreApplication::translate("RunController", "%1秒たっても読み込みが終わりません (%2)")
          .arg(acquisition::kPageDeadline.count() / 1000)
          .arg(fromU16(url)));
}

void PageLoads::loaded() {
  showLoadFailure(std::nullopt);
}

void PageLoads::showLoadFailure(const std::optional<QString>& reason) {
  if (!reason) {
    view_.showLoadFailure(std::nullopt);
    return;
  }
  // When, and why: the display keeps the last good text meanwhile.
  const std::tm now = engine::localNow();
  const QString when = fromU16(engine::formatDate(now) + u" " + engine::formatTime(now));
  view_.showLoadFailure(QCoreApplication::translate("RunController", "読込失敗 %1\n%2")
                            .arg(when, japaneseFailureReason(*reason)));
}

}  // namespace kelvane::ui
