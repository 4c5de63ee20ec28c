// The settle wait after a load: the fixed passes the wait value gives, or,
// with SettleMode::Auto, until the page has settled (its document unchanged
// and none of its requests in flight for a quiet period), never longer than
// the fixed wait would have lasted.
#pragma once

#include <chrono>
#include <string>

#include "acquisition/load_modes.h"

namespace kelvane::acquisition {

class Browser;
class LoadHost;

// How long the page must have been quiet. Work that a page chains (a
// response handled, the next request sent, the result written into the
// document) shows gaps of tens of milliseconds between its steps, even on a
// busy machine; 300 ms covers them with room to spare and still ends the
// wait soon after the last change.
inline constexpr std::chrono::milliseconds kQuietPeriod{300};
// A page that runs scripts is given at least this long after its load:
// scripts often put off their work with a timer, and the browser shows
// pending timers to nobody outside the page's own script world.
inline constexpr std::chrono::milliseconds kScriptedPageMinimum{1000};
// How often the quiet wait looks at the page.
inline constexpr int kQuietPollMs = 20;

// The whole length of the fixed wait for a wait value: its passes times
// their pause. The auto wait never lasts longer.
std::chrono::milliseconds fixedSettleLength(double waitValue);

// What a settle wait did, for kelvane-run's --trace.
struct SettleReport {
  SettleMode mode = SettleMode::Fixed;
  std::chrono::milliseconds used{0};
  std::chrono::milliseconds cap{0};
  // The auto wait ended because the page had settled, not at the cap.
  bool settled = false;
};

// One line for the trace: "auto, 412 ms of at most 9720: the page had settled".
std::string describeSettle(const SettleReport& report);

// The auto wait: looks at the browser's account of the page every
// kQuietPollMs, letting the event loop run in between, until the page has
// settled or the fixed wait's length has passed.
SettleReport settleUntilQuiet(Browser& browser, LoadHost& host, double waitValue);

}  // namespace kelvane::acquisition
