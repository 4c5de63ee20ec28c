#include "acquisition/update_timer.h"

namespace kelvane::acquisition {

UpdateTimer::UpdateTimer(Hooks hooks, Scheduler::Clock clock, QObject* parent)
    : QObject(parent), hooks_(std::move(hooks)), scheduler_(*this, std::move(clock)) {
  timer_.setInterval(kIntervalMs);
  connect(&timer_, &QTimer::timeout, this, [this] { scheduler_.tick(); });
}

void UpdateTimer::setTimerEnabled(bool on) {
  if (on && !shutDown_) {
    timer_.start();
  } else {
    timer_.stop();
  }
}

}  // namespace kelvane::acquisition
