#include "acquisition/scheduler.h"

#include <ctime>

#include "engine/clock_text.h"
#include "numbers/decimal.h"

namespace kelvane::acquisition {

bool insideTimeWindow(double start, double end, int now) {
  if (start < end) return !(now < start || now > end);
  if (start > end) return !(now < start && now > end);
  return true;
}

double windowMinutes(std::u16string_view hourText, std::u16string_view minuteText) {
  return numbers::numericPrefix(hourText) * 60 + numbers::numericPrefix(minuteText);
}

Scheduler::Scheduler(SchedulerDelegate& delegate, Clock clock)
    : delegate_(delegate), clock_(std::move(clock)) {
  if (!clock_) {
    clock_ = [] {
      const std::tm now = engine::localNow();
      return LocalMinute{now.tm_hour, now.tm_min};
    };
  }
}

bool Scheduler::outsideWindow() const {
  if (!window_.inForce) return false;
  const double start = windowMinutes(window_.startHour, window_.startMinute);
  const double end = windowMinutes(window_.endHour, window_.endMinute);
  const LocalMinute t = clock_();
  return !insideTimeWindow(start, end, t.hour * 60 + t.minute);
}

void Scheduler::tick() {
  delegate_.setTimerEnabled(false);
  if (autoUpdate_ == 0) return;
  // Ticks outside the window do not count: the count resumes when it opens.
  if (outsideWindow()) {
    delegate_.setTimerEnabled(true);
    return;
  }
  ++minuteCount_;
  if (minuteCount_ < intervalMinutes_) {
    delegate_.setTimerEnabled(true);
    return;
  }
  if (delegate_.browserBusy()) delegate_.waitForPage();
  const engine::RunOutcome outcome = delegate_.runScript();
  if (outcome == engine::RunOutcome::Normal && logAutoWrite_) delegate_.appendLogEntry();
  // Also after a run that stopped on an error, which left the timer off.
  delegate_.setTimerEnabled(true);
}

void Scheduler::setAutoUpdate(int value) {
  autoUpdate_ = value;
  autoUpdateChanged();
}

void Scheduler::autoUpdateChanged() {
  delegate_.setTimerEnabled(autoUpdate_ != 0);
}

void Scheduler::toggleFromMenu() {
  setAutoUpdate(autoUpdate_ == 0 ? 1 : 0);
}

void Scheduler::setIntervalText(std::u16string_view text) {
  intervalMinutes_ = numbers::nearestInt16(numbers::numericPrefix(text));
}

}  // namespace kelvane::acquisition
