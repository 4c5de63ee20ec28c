// Form1 as the engine's host: runs, page loads, the update timer, the boxes
// that mirror the engine's buffers, and ending the program.
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <chrono>

#include "acquisition/page_loader.h"
#include "acquisition/qt_page_hooks.h"
#include "acquisition/settle.h"
#include "acquisition/update_timer.h"
#include "engine/clock_text.h"
#include "platform/desktop_notice.h"
#include "platform/dialogs.h"
#include "platform/web_engine_browser.h"
#include "ui/about/frm_splash.h"
#include "ui/main_window/buffer_mirror.h"
#include "ui/main_window/form1.h"
#include "ui/main_window/form_layout.h"
#include "ui/main_window/lazy_browser.h"
#include "ui/main_window/tab_control.h"

namespace kelvane::ui {
namespace {

// During a long run the boxes catch up with the engine at most this often.
constexpr qint64 kMirrorIntervalMs = 100;
// A run's loop passes yield to the event loop at most this often.
constexpr qint64 kEventIntervalMs = 5;
// How much of the display a change notice shows.
constexpr qsizetype kNoticeBodyChars = 300;

std::u16string toU16(const QString& text) {
  return text.toStdU16String();
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

void Form1::createEngineLinks() {
  text3Mirror_ = std::make_unique<BufferMirror>(engine_.d(), data_.Text3);
  text6Mirror_ = std::make_unique<BufferMirror>(engine_.ht(), setting_.Text6);

  auto factory = options_.browserFactory;
  if (!factory) {
    factory = [](QWidget* holder) -> std::unique_ptr<acquisition::Browser> {
      auto* view = new QWebEngineView(holder);
      holder->layout()->addWidget(view);
      return std::make_unique<platform::WebEngineBrowser>(view);
    };
  }
  browser_ = std::make_unique<LazyBrowser>([this, factory] { return factory(browserHolder()); });

  acquisition::PageHooks hooks = acquisition::qtPageHooks();
  hooks.pause = [this](int ms) { pause(ms); };
  hooks.processEvents = [this] { processEventsNow(); };
  hooks.repaint = [this] { repaintForLoad(); };
  hooks.urlText = [this] { return toU16(web_.Text2->text()); };
  hooks.setUrlText = [this](std::u16string_view url) {
    web_.Text2->setText(QString::fromStdU16String(std::u16string(url)));
  };
  hooks.waitValueText = [this] { return toU16(setting_.WaitValue->text()); };
  hooks.loadFailed = [this](std::u16string_view reason) {
    showLoadFailure(QString::fromStdU16String(std::u16string(reason)));
  };
  hooks.timedOut = [this] {
    showLoadFailure(QStringLiteral("%1秒たっても読み込みが終わりません (%2)")
                        .arg(acquisition::kPageDeadline.count() / 1000)
                        .arg(web_.Text2->text()));
  };
  hooks.loaded = [this] { showLoadFailure(std::nullopt); };
  hooks.settleMode = [this] {
    return menuItem("mnuAutoSettle")->isChecked() ? acquisition::SettleMode::Auto
                                                  : acquisition::SettleMode::Fixed;
  };
  // A program that is ending waits for nothing more.
  hooks.abandoned = [this] { return quitting_; };
  loader_ = std::make_unique<acquisition::PageLoader>(engine_, *browser_, std::move(hooks));

  timer1_ = std::make_unique<acquisition::UpdateTimer>(
      acquisition::UpdateTimer::Hooks{
          .browserBusy = [this] { return browser_->Busy(); },
          .waitForPage =
              [this] {
                LoadScope loading(loadDepth_);
                loader_->waitWhileBusy();
              },
          .runScript = [this] { return runAutomatically(); },
          .appendLogEntry = [this] { appendLogEntry(); },
      },
      options_.clock, this);
}

void Form1::pause(int ms) {
  if (quitting_ || ms <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  connect(this, &Form1::ending, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Form1::browserCreated() const {
  return browser_->created();
}

void Form1::ensureBrowser() {
  browser_->ensure();
}

// ---- runs ------------------------------------------------------------------

engine::RunOutcome Form1::Exec_Click() {
  // A run started while one is going, or while a page is still loading,
  // would pull the page and the display from under it: it is ignored.
  if (engine_.running() || loadDepth_ > 0 || quitting_) return engine::RunOutcome::Ignored;
  takeEdits();
  timer1_->scheduler().runStarting();
  pendingLine_ = -1;
  sinceEvents_.invalidate();  // the first loop pass of a run always yields
  runStoppedByLoad_ = false;
  const engine::RunOutcome outcome = engine_.run(toU16(setting_.ScriptPath->text()));
  takeEdits();
  showBuffers(true);
  // One failed load must not end the automatic update: the run stopped, but
  // the timer goes on when the user asked for it. A script error still
  // leaves it off.
  if (outcome == engine::RunOutcome::Stopped && runStoppedByLoad_ &&
      timer1_->scheduler().autoUpdate() != 0) {
    setTimerEnabled(true);
  }
  const ChangeNotice::Run run{automaticRun_, outcome == engine::RunOutcome::Normal,
                              engine_.d().view()};
  if (changeNotice_.runEnded(run, menuItem("mnuChangeNotice")->isChecked())) {
    // The caption names what is watched; the body is the display's beginning.
    const QString summary = QStringLiteral("表示が変わりました: %1").arg(windowTitle());
    const QString body = data_.Text3->toPlainText().left(kNoticeBodyChars);
    if (options_.notify) {
      options_.notify(summary, body);
    } else {
      platform::showDesktopNotice(summary, body);
    }
  }
  return outcome;
}

engine::RunOutcome Form1::runAutomatically() {
  automaticRun_ = true;
  const engine::RunOutcome outcome = Exec_Click();
  automaticRun_ = false;
  return outcome;
}

void Form1::Command3_Click() {
  // One load at a time: a second one would restore the wrong display.
  if (loadDepth_ > 0 || quitting_) return;
  LoadScope loading(loadDepth_);
  takeEdits();
  loader_->loadByHand();
  takeEdits();
  showBuffers();
}

// ---- the engine's host --------------------------------------------------------

void Form1::showMessage(std::u16string_view text) {
  if (quitting_) return;
  // The user sees what the run has done so far behind the message.
  showBuffers(true);
  message(QString::fromStdU16String(std::u16string(text)));
}

void Form1::message(const QString& text) {
  dialogs_->showMessage(this, text);
}

void Form1::setTitle(std::u16string_view caption) {
  SetTitle(QString::fromStdU16String(std::u16string(caption)));
}

void Form1::openUrl(std::u16string_view url) {
  if (quitting_) {
    engine_.stop();
    return;
  }
  LoadScope loading(loadDepth_);
  takeEdits();
  const bool stoppedBefore = engine_.stopFlag();
  loader_->loadUrl(url);
  // A stop that came with the load (not with a bad operand before it).
  if (!stoppedBefore && engine_.stopFlag()) runStoppedByLoad_ = true;
  takeEdits();
  showBuffersIfDue();
}

void Form1::processEvents() {
  // A loop pass yields to the event loop, but a tight loop of thousands of
  // passes does so at most every few milliseconds: the window answers just
  // as quickly and the run is not slowed by empty passes.
  if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventIntervalMs) return;
  processEventsNow();
}

void Form1::processEventsNow() {
  QCoreApplication::processEvents();
  sinceEvents_.start();
  // A safe point: what the user typed into the boxes meanwhile becomes the
  // buffers' text before the next line runs.
  takeEdits();
  showBuffersIfDue();
}

void Form1::selectLine(int index) {
  pendingLine_ = index;
}

void Form1::setTimerEnabled(bool on) {
  timer1_->setTimerEnabled(on && !quitting_);
}

std::u16string Form1::timeText() {
  return engine::formatTime(engine::localNow());
}
std::u16string Form1::dateText() {
  return engine::formatDate(engine::localNow());
}

void Form1::scriptLoaded() {
  QListWidget* list = setting_.ScriptList;
  list->clear();
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(engine_.scriptLines().size()));
  for (const engine::Text& line : engine_.scriptLines()) {
    lines.append(QString::fromStdU16String(line));
  }
  list->addItems(lines);
}

// ---- mirroring -------------------------------------------------------------

void Form1::takeEdits() {
  text3Mirror_->takeEdit();
  text6Mirror_->takeEdit();
}

void Form1::showBuffersIfDue() {
  if (sinceShown_.isValid() && sinceShown_.elapsed() < kMirrorIntervalMs) return;
  showBuffers(false);
}

void Form1::showBuffers() {
  showBuffers(true);
}

void Form1::showBuffers(bool evenHidden) {
  // Quitting: no window is left to show them in, and a megabyte page would
  // take a second to put into its box.
  if (quitting_) return;
  sinceShown_.start();
  // A box on a page that is not shown catches up when its page is shown.
  for (BufferMirror* mirror : {text3Mirror_.get(), text6Mirror_.get()}) {
    if (evenHidden || mirror->box()->isVisible()) mirror->show();
  }
  QListWidget* list = setting_.ScriptList;
  if (pendingLine_ >= 0 && pendingLine_ < list->count() && (evenHidden || list->isVisible())) {
    list->setCurrentRow(pendingLine_);
    list->scrollToItem(list->currentItem());
    if (!engine_.running()) pendingLine_ = -1;
  }
}

void Form1::repaintForLoad() {
  // The new URL and the emptied page text are on the screen before the
  // load begins.
  showBuffers(true);
  repaint();
}

void Form1::showLoadFailure(const std::optional<QString>& reason) {
  TabStrip* strip = SSTab1_->strip();
  const int data = static_cast<int>(Page::Data);
  if (!reason) {
    strip->setTabIcon(data, QIcon());
    strip->setTabToolTip(data, QString());
    return;
  }
  // When, and why: the display keeps the last good text meanwhile.
  const std::tm now = engine::localNow();
  const QString when =
      QString::fromStdU16String(engine::formatDate(now) + u" " + engine::formatTime(now));
  strip->setTabIcon(data, failureMark(strip->iconSize().height()));
  strip->setTabToolTip(data, QStringLiteral("読込失敗 %1\n%2").arg(when, *reason));
}

void Form1::appendLogEntry() {
  // An automatic entry whose message box is still open does not pile a
  // second box on it.
  if (autoLogMessageOpen_) return;
  autoLogMessageOpen_ = true;
  Command2_Click();
  autoLogMessageOpen_ = false;
}

// ---- ending ----------------------------------------------------------------

void Form1::QuitBtn_Click() {
  // Everything ends now: a run, a page load or a wait in progress ends at
  // its next look, nothing is saved, no window stays.
  endEverything();
  if (about_) about_->hide();
  hide();
  if (options_.quit) {
    options_.quit();
  } else {
    QCoreApplication::quit();
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  // Form_Unload: the about box goes with the main window, and so does
  // whatever was going on: the program ends with its last window.
  if (about_) about_->close();
  endEverything();
  event->accept();
}

void Form1::endEverything() {
  quitting_ = true;
  engine_.stop();
  timer1_->shutDown();
  emit ending();
  // An open message box goes too: the run waiting on it then ends.
  if (QWidget* box = QApplication::activeModalWidget(); box != nullptr && box != this) box->close();
}

}  // namespace kelvane::ui
