// Timer1, the one-minute timer of the automatic update, and the wiring that
// lets a Scheduler drive it: the window hands in how to tell a busy browser,
// wait for a page, run the script and append a log entry.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "acquisition/scheduler.h"

namespace kelvane::acquisition {

class UpdateTimer : public QObject, private SchedulerDelegate {
  Q_OBJECT

 public:
  static constexpr int kIntervalMs = 60'000;

  struct Hooks {
    std::function<bool()> browserBusy;
    std::function<void()> waitForPage;
    std::function<engine::RunOutcome()> runScript;  // the window's Exec_Click
    std::function<void()> appendLogEntry;
  };

  explicit UpdateTimer(Hooks hooks, Scheduler::Clock clock = {}, QObject* parent = nullptr);

  Scheduler& scheduler() { return scheduler_; }
  // Timer1's enabled state; switching it on restarts the 60-second period.
  void setTimerEnabled(bool on) override;
  // Stops the timer for good: the program is ending, and a run that ends
  // afterwards must not switch it on again.
  void shutDown() {
    shutDown_ = true;
    timer_.stop();
  }
  bool timerEnabled() const { return timer_.isActive(); }
  QTimer& timer() { return timer_; }

 private:
  bool browserBusy() override { return hooks_.browserBusy && hooks_.browserBusy(); }
  void waitForPage() override {
    if (hooks_.waitForPage) hooks_.waitForPage();
  }
  engine::RunOutcome runScript() override { return hooks_.runScript(); }
  void appendLogEntry() override {
    if (hooks_.appendLogEntry) hooks_.appendLogEntry();
  }

  Hooks hooks_;
  QTimer timer_;
  bool shutDown_ = false;
  Scheduler scheduler_;
};

}  // namespace kelvane::acquisition
