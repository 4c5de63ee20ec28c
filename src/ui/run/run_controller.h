// The engine's host in the window program: runs of the script by hand and
// by the timer, the event-loop passes a run yields, when the boxes catch up
// with the buffers, page loads, the update timer, the change notice, the
// failed-load mark, and ending everything when the program quits. It owns
// the engine, the browser (made on first use), the page loader and the
// timer, and reaches the window only through a RunView.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/page_loader.h"
#include "acquisition/scheduler.h"
#include "engine/engine.h"
#include "history/store.h"
#include "ui/run/change_notice.h"
#include "ui/run/run_view.h"

namespace kelvane::acquisition {
class UpdateTimer;
}  // namespace kelvane::acquisition

namespace kelvane::ui {

class LazyBrowser;
class RunHistory;

class RunController : public QObject, private engine::Host, private acquisition::LoadHost {
  Q_OBJECT

 public:
  // During a long run the boxes catch up with the engine at most this often.
  static constexpr qint64 kMirrorIntervalMs = 100;
  // A run's loop passes yield to the event loop at most this often.
  static constexpr qint64 kEventIntervalMs = 5;
  // How much of the display a change notice shows.
  static constexpr qsizetype kNoticeBodyChars = 300;

  explicit RunController(RunView& view, acquisition::Scheduler::Clock clock = {},
                         QObject* parent = nullptr);
  ~RunController() override;

  // One run of the script in the script path box (the update button,
  // Exec_Click). A run started while one is going, while a page loads or
  // while the program ends is ignored.
  engine::RunOutcome runByHand();
  // A run by the timer: the same, then the change notice.
  engine::RunOutcome runAutomatically();
  // Loads the page of the URL box, read once, into HT (the page button,
  // Command3_Click).
  void loadPageByHand();
  // Appends the log entry of an automatic run, one box at a time when the
  // log cannot be written.
  void appendAutomaticLogEntry();
  // The boxes and the script list catch up with the engine now.
  void showBuffers(bool evenHidden);
  // Quitting: a run, a page load or a wait in progress ends at its next
  // look, and nothing starts any more.
  void endEverything();
  bool quitting() const { return quitting_; }

  // Start-up: the engine's buffers and loop state start empty, and so do
  // the boxes that show them.
  void resetEngine();

  // The automatic update as the window sets it. The switch Check1 (0 off,
  // 1 on, 2 greyed): Timer1 runs while it is not 0.
  void setAutoUpdate(int value);
  // The popup item タイマーON: flips the switch; its new value.
  int toggleAutoUpdate();
  // Whether タイマーON shows its check mark.
  bool autoUpdateMarked() const;
  // The interval box Text4, the daily time window, "Log自動書込" ticked.
  void setInterval(const QString& text);
  void setTimeWindow(acquisition::TimeWindowBoxes boxes);
  void setAutoLog(bool on);
  // Start-up, with the settings shown: Timer1 runs, its first tick finds a
  // run due, and タイマーON is marked as the switch stands.
  void startTimer();

  engine::Engine& engine() { return engine_; }
  // HT as the last successful page load left it, before the script narrowed
  // it (the script workbench previews against it); empty before any load.
  const engine::Text& lastPage() const { return lastPage_; }
  acquisition::UpdateTimer& timer() { return *timer_; }
  // The browser, made now if it does not exist yet.
  void ensureBrowser();
  bool browserCreated() const;
  // Every run from now on is recorded in this history; empty: none.
  void setHistoryPath(const std::string& path);

 signals:
  // The program is ending: pauses in progress end now.
  void ending();

 private:
  // engine::Host
  void showMessage(std::u16string_view text) override;
  void setTitle(std::u16string_view caption) override;
  void openUrl(std::u16string_view url) override;
  void processEvents() override;
  void selectLine(int index) override;
  void setTimerEnabled(bool on) override;
  std::u16string timeText() override;
  std::u16string dateText() override;
  void scriptLoaded() override;

  // acquisition::LoadHost
  // A page-loading pause that keeps the window answering and ends early
  // when the program ends, then one pass of the event loop.
  void wait(int ms) override;
  // A program that is ending waits for nothing more.
  bool abandoned() override { return quitting_; }
  std::u16string waitValueText() override;
  acquisition::SettleMode settleMode() override;
  void loadStarting(std::u16string_view url) override;
  void loadFailed(std::u16string_view reason) override;
  void timedOut(std::u16string_view url) override;
  void loaded() override;

  void processEventsNow();
  void showBuffersIfDue();
  // The failed-load mark: when, and why; no reason clears it.
  void showLoadFailure(const std::optional<QString>& reason);
  void recordRun(std::chrono::system_clock::time_point start, qint64 durationMs,
                 engine::RunOutcome outcome);

  RunView& view_;
  engine::Engine engine_;
  engine::Text lastPage_;
  std::unique_ptr<LazyBrowser> browser_;
  std::unique_ptr<acquisition::PageLoader> loader_;
  std::unique_ptr<acquisition::UpdateTimer> timer_;
  ChangeNotice changeNotice_;
  QElapsedTimer sinceShown_;  // since the boxes last caught up
  QElapsedTimer sinceEvents_;
  int pendingLine_ = -1;
  int loadDepth_ = 0;
  // The current run was stopped by a page that did not load.
  bool runStoppedByLoad_ = false;
  bool quitting_ = false;
  bool autoLogMessageOpen_ = false;
  bool automaticRun_ = false;
  std::unique_ptr<RunHistory> history_;
  // What the current run did, for its history entry.
  std::vector<history::PageLoad> loads_;
  std::string firstMessage_;
};

}  // namespace kelvane::ui
