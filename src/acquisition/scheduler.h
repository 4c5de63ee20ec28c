// The automatic update: on every tick of the one-minute timer Timer1 the
// scheduler decides whether a run is due (the switch Check1, the interval
// in Text4, the daily time window) and starts the same run as the update
// button. Plain C++: the window supplies the timer, the browser, the run and
// the log through a delegate, and the local time through a clock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace kelvane::acquisition {

// What the scheduler needs of the window.
class SchedulerDelegate {
 public:
  virtual ~SchedulerDelegate() = default;
  // Timer1 on or off; switching it on restarts its 60-second period.
  virtual void setTimerEnabled(bool on) = 0;
  // The browser is still loading a page (one the user opened by a link).
  virtual bool browserBusy() = 0;
  // Waits while the browser is busy, at most 90 seconds (WaitForPage).
  virtual void waitForPage() = 0;
  // One run, exactly as the update button starts it (Exec_Click). The
  // window calls Scheduler::runStarting when a run starts.
  virtual engine::RunOutcome runScript() = 0;
  // "Log自動書込" is ticked and an automatic run ended normally.
  virtual void appendLogEntry() = 0;
};

// The local wall-clock time; only hour and minute count.
struct LocalMinute {
  int hour = 0;
  int minute = 0;
};

// The four boxes of the daily time window and its "有効" box.
struct TimeWindowBoxes {
  std::u16string startHour;    // Text7
  std::u16string startMinute;  // Text8
  std::u16string endHour;      // Text9
  std::u16string endMinute;    // Text10
  bool inForce = false;        // TimeWindow ticked (value 1)
};

// Whether a tick at minute `now` (since midnight) is inside the window from
// `start` to `end`, both inclusive; a start after the end spans midnight, and
// equal bounds leave no minute outside.
bool insideTimeWindow(double start, double end, int now);

// Minutes since midnight of an hour box and a minute box: their numeric
// prefixes, fractions allowed, no range check (an hour of 25 gives 1500).
double windowMinutes(std::u16string_view hourText, std::u16string_view minuteText);

class Scheduler {
 public:
  using Clock = std::function<LocalMinute()>;
  // The clock defaults to the local time of the machine.
  explicit Scheduler(SchedulerDelegate& delegate, Clock clock = {});

  // A tick of Timer1 (Timer1_Timer).
  void tick();

  // The automatic-update switch, the value of the box Check1. Setting the
  // value switches the timer, as a click on the box does.
  int autoUpdate() const { return autoUpdate_; }
  void setAutoUpdate(int value);
  // Timer1 on exactly when the switch is not 0 (Check1_Click).
  void autoUpdateChanged();

  // The popup-menu item "タイマーON(&T)": flips the switch (mnuTimerOn_Click).
  // Its check mark is the switch itself, so the item and the box always
  // agree, whichever of them changed it.
  void toggleFromMenu();
  bool menuMarked() const { return autoUpdate_ != 0; }

  // The interval box changed: IntervalMinutes is recomputed from it
  // (Text4_Change).
  void setIntervalText(std::u16string_view text);
  int16_t intervalMinutes() const { return intervalMinutes_; }

  // Ticks counted towards the next automatic run.
  int64_t minuteCount() const { return minuteCount_; }
  void setMinuteCount(int64_t count) { minuteCount_ = count; }
  // Every run, automatic or by hand, restarts the count.
  void runStarting() { minuteCount_ = 0; }
  // Start-up makes the first tick find a run due.
  void makeFirstTickDue() { minuteCount_ = intervalMinutes_; }

  void setTimeWindow(TimeWindowBoxes boxes) { window_ = std::move(boxes); }
  const TimeWindowBoxes& timeWindow() const { return window_; }

  // "Log自動書込" (Check3).
  void setLogAutoWrite(bool on) { logAutoWrite_ = on; }

 private:
  bool outsideWindow() const;

  SchedulerDelegate& delegate_;
  Clock clock_;
  int autoUpdate_ = 0;
  int16_t intervalMinutes_ = 0;
  int64_t minuteCount_ = 0;
  TimeWindowBoxes window_;
  bool logAutoWrite_ = false;
};

}  // namespace kelvane::acquisition
