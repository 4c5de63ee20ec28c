// kelvane-run --watch: the window's automatic update without a window. A
// settings file gives the script, the wait value, the interval and its
// switch, the daily time window and the log; the same scheduler as the
// window decides on every one-minute tick whether a run is due.
#pragma once

#include <chrono>
#include <cstdio>

#include "acquisition/scheduler.h"
#include "cli/options.h"

namespace kelvane::cli {

// Time as the watch sees it; tests give their own.
class WatchClock {
 public:
  virtual ~WatchClock() = default;
  virtual acquisition::LocalMinute localMinute() = 0;
  // Waits one period of the timer; false when a stop signal came first.
  virtual bool waitTick(std::chrono::milliseconds period) = 0;
};

// The machine's clock; a wait ends early on SIGTERM or SIGINT.
class SystemWatchClock : public WatchClock {
 public:
  acquisition::LocalMinute localMinute() override;
  bool waitTick(std::chrono::milliseconds period) override;
};

// Runs at once when the first tick finds a run due (inside the time
// window), then on every tick, until a stop signal or the clock ends it.
// One line per run on err: time, outcome, whether the display changed.
int watch(const Options& options, std::FILE* out, std::FILE* err, WatchClock& clock);

}  // namespace kelvane::cli
