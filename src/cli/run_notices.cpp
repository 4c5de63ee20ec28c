#include "cli/run_notices.h"

#include "cli/output.h"
#include "cli/runner.h"
#include "cli/stop_signals.h"
#include "cli/watch_notify.h"
#include "history/watch_history.h"
#include "notify/secrets.h"
#include "run/after_run.h"
#include "run/run_recorder.h"

namespace kelvane::cli {

std::optional<notify::NotifySettings> notifySettingsFrom(const Options& options) {
  if (options.notify.empty() && options.when.empty()) return std::nullopt;
  notify::NotifySettings settings;
  settings.targets = options.notify;
  for (const std::string& text : options.when) {
    const auto parsed = notify::parseRule(text);
    if (const auto* rule = std::get_if<notify::Rule>(&parsed)) settings.rules.push_back(*rule);
  }
  settings.first = options.first;
  settings.alertAfter = options.alertAfter.value_or(3);
  return settings;
}

int notifyTest(const Options& options, std::FILE* out, std::FILE* err) {
  notify::NotifySettings settings;
  if (options.watch) {
    const auto fromWatch = watchNotifySettings(*options.watch, err);
    if (!fromWatch) return kExitUsage;
    settings = *fromWatch;
  }
  for (const std::string& t : options.notify) settings.targets.push_back(t);
  if (settings.targets.empty()) {
    writeMessage(err, "no notification targets to test");
    return kExitUsage;
  }
  try {
    // The answers are logged in the history --history names, else in the
    // watch's; without either, nowhere.
    std::string why;
    std::optional<std::string> address = options.history;
    if (!address && options.watch) address = history::watchHistory(*options.watch, &why);
    if (!address && options.watch) {
      writeMessage(err, "cannot read the history's password: " + why);
      return kExitUsage;
    }
    run::RunRecorder history(address.value_or(":memory:"), {}, options.watch.value_or(""));
    history.open();
    run::AfterRun after(settings, history,
                        [err](const std::string& text) { writeMessage(err, text); });
    bool allSent = true;
    for (const notify::Delivered& d : after.test("Kelvane", [] { return stopRequested(); })) {
      allSent = allSent && d.outcome == "sent";
      writeLine(out, d.target + ": " + d.outcome + (d.error.empty() ? "" : ": " + d.error));
    }
    return allSent ? kExitNormal : kExitStopped;
  } catch (const std::exception& e) {
    writeMessage(err, std::string("cannot record in history: ") + e.what());
    return kExitUsage;
  }
}

}  // namespace kelvane::cli
