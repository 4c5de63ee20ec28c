#include "acquisition/settle.h"

#include <algorithm>
#include <limits>

#include "acquisition/browser.h"
#include "acquisition/page_loader.h"

namespace kelvane::acquisition {

using std::chrono::milliseconds;

milliseconds fixedSettleLength(double waitValue) {
  const double ms = static_cast<double>(settlePassCount(waitValue)) * settlePauseMs(waitValue);
  const double most = static_cast<double>(std::numeric_limits<int64_t>::max() / 2);
  return milliseconds(static_cast<int64_t>(std::min(ms, most)));
}

std::string describeSettle(const SettleReport& r) {
  std::string text(settleModeName(r.mode));
  text += ", " + std::to_string(r.used.count()) + " ms";
  if (r.mode == SettleMode::Fixed) return text;
  return text + " of at most " + std::to_string(r.cap.count()) +
         (r.settled ? ": the page had settled" : ": the page had not settled");
}

SettleReport settleUntilQuiet(Browser& browser, LoadHost& host, double waitValue) {
  SettleReport report{SettleMode::Auto, milliseconds(0), fixedSettleLength(waitValue), false};
  const auto start = host.now();
  for (;;) {
    const auto waited = std::chrono::duration_cast<milliseconds>(host.now() - start);
    report.used = std::min(waited, report.cap);
    if (waited >= report.cap || host.abandoned()) return report;
    if (!browser.loading() && browser.loadError()) return report;  // failed meanwhile
    const auto page = browser.activity();
    if (page && page->quietFor >= kQuietPeriod &&
        (!page->scripted || waited >= kScriptedPageMinimum)) {
      report.settled = true;
      return report;
    }
    host.wait(static_cast<int>(std::min<int64_t>(kQuietPollMs, (report.cap - waited).count())));
  }
}

}  // namespace kelvane::acquisition
