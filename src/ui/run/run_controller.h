// The window's side of a run: the engine's host (runs by hand and by the
// timer, the event-loop passes a run yields, the boxes catching up with the
// buffers), Timer1, the change notice, and quitting. What follows a run is
// the run layer's WatchRun, page loads are PageLoads'; the window is reached
// only through a RunView.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <memory>
#include <string>

#include "acquisition/scheduler.h"
#include "engine/clock_text.h"
#include "engine/engine.h"
#include "run/watch_run.h"
#include "ui/run/page_loads.h"
#include "ui/run/run_view.h"

namespace kelvane::acquisition {
class UpdateTimer;
}  // namespace kelvane::acquisition

namespace kelvane::ui {

class RunController : public QObject, private engine::Host, private run::Front {
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

  // One run of the script path box's script (the update button); ignored
  // while a run or a page load is going, or the program ends.
  engine::RunOutcome runByHand();
  // A run by the timer: the same, then the change notice.
  engine::RunOutcome runAutomatically();
  // Loads the page of the URL box, read once, into HT (the page button).
  void loadPageByHand() { pages_->loadByHand(); }
  // The log button: memo and display appended to the log; a box if it fails.
  void appendLogEntry();
  // The same after an automatic run: one box at a time when it fails.
  void appendAutomaticLogEntry();
  // The boxes and the script list catch up with the engine now.
  void showBuffers(bool evenHidden);
  // One pass of the event loop now; the boxes catch up when due.
  void processEventsNow();
  // Quitting: whatever is going on ends at its next look; nothing starts.
  void endEverything();
  // Start-up: the buffers, the loop state and the boxes start empty.
  void resetEngine();
  // Start-up: Timer1 runs, its first tick finds a run due, タイマーON as set.
  void startTimer();

  engine::Engine& engine() { return engine_; }
  // HT as the last page load left it (the script workbench previews on it).
  const engine::Text& lastPage() const { return pages_->lastPage(); }
  // Timer1 and, through it, the automatic update's scheduler.
  acquisition::UpdateTimer& timer() { return *timer_; }
  // The browser, made now if it does not exist yet.
  void ensureBrowser() { pages_->ensureBrowser(); }
  bool browserCreated() const { return pages_->browserCreated(); }
  run::WatchRun& watchRun() { return run_; }

 private:
  // engine::Host
  void showMessage(std::u16string_view text) override;
  void setTitle(std::u16string_view caption) override;
  void openUrl(std::u16string_view url) override;
  void processEvents() override;
  void selectLine(int index) override;
  void setTimerEnabled(bool on) override;
  std::u16string timeText() override { return engine::formatTime(engine::localNow()); }
  std::u16string dateText() override { return engine::formatDate(engine::localNow()); }
  void scriptLoaded() override;

  // run::Front
  void cannotWrite(run::Output output, const std::string& path, const std::string& why) override;

  void showBuffersIfDue();

  RunView& view_;
  engine::Engine engine_;
  run::WatchRun run_;
  std::unique_ptr<PageLoads> pages_;
  std::unique_ptr<acquisition::UpdateTimer> timer_;
  QElapsedTimer sinceShown_;  // since the boxes last caught up
  QElapsedTimer sinceEvents_;
  int pendingLine_ = -1;
  // The current run was stopped by a page that did not load.
  bool runStoppedByLoad_ = false;
  bool quitting_ = false;
  bool autoLogMessageOpen_ = false;
  bool automaticRun_ = false;
};

}  // namespace kelvane::ui
