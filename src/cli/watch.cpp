#include "cli/watch.h"

#include <poll.h>

#include <cerrno>
#include <filesystem>

#include "acquisition/load_modes.h"
#include "cli/output.h"
#include "cli/run_notices.h"
#include "cli/run_session.h"
#include "cli/runner.h"
#include "cli/stop_signals.h"
#include "cli/watch_notify.h"
#include "engine/clock_text.h"
#include "history/watch_history.h"
#include "run/record_line.h"
#include "settings/settings.h"
#include "settings/settings_place.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using acquisition::Scheduler;
using engine::RunOutcome;

acquisition::LocalMinute SystemWatchClock::localMinute() {
  const std::tm now = engine::localNow();
  return {now.tm_hour, now.tm_min};
}

bool SystemWatchClock::waitTick(std::chrono::milliseconds period) {
  const auto deadline = std::chrono::steady_clock::now() + period;
  while (!stopRequested()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    pollfd wake{stopSignalDescriptor(), POLLIN, 0};
    ::poll(&wake, wake.fd >= 0 ? 1 : 0, static_cast<int>(left.count()));
  }
  return false;
}

namespace {

constexpr std::chrono::milliseconds kTickPeriod{60'000};

// A path from the settings file, read as the window reads it: relative to
// the folder of the settings file, which is the program's folder there.
std::string besideSettings(const std::string& settingsPath, engine::TextView path) {
  const std::filesystem::path p(textfile::toUtf8(path));
  if (p.empty() || p.is_absolute()) return p.string();
  std::error_code ec;
  const auto folder = std::filesystem::absolute(settingsPath, ec).parent_path();
  return (folder / p).string();
}

const char* changeText(run::Change change) {
  switch (change) {
    case run::Change::First:
      return ", first display";
    case run::Change::Same:
      return ", display unchanged";
    case run::Change::Changed:
      return ", display changed";
    case run::Change::Unknown:
      break;
  }
  return "";
}

// The window's side of the scheduler, without a window: the timer is the
// watch loop, the browser is only ever busy inside a run.
class WatchDelegate : public acquisition::SchedulerDelegate {
 public:
  WatchDelegate(RunSession& session, std::FILE* err, std::string logPath, engine::Text memo)
      : session_(session), err_(err), logPath_(std::move(logPath)), memo_(std::move(memo)) {}
  void attach(Scheduler* scheduler) { scheduler_ = scheduler; }

  void setTimerEnabled(bool) override {}
  bool browserBusy() override { return false; }
  void waitForPage() override {}
  RunOutcome runScript() override {
    scheduler_->runStarting();
    const RunSession::Result result = session_.runOnce();
    const bool normal = result.normal();
    writeMessage(err_, run::isoLocalTime(std::chrono::system_clock::now()) +
                           (normal              ? " normal"
                            : result.loadFailed ? " failed load"
                                                : " stopped") +
                           (normal ? changeText(result.change) : ""));
    std::fflush(err_);
    return result.normal() ? RunOutcome::Normal : RunOutcome::Stopped;
  }
  void appendLogEntry() override { session_.appendLog(logPath_, memo_); }

 private:
  RunSession& session_;
  std::FILE* err_;
  Scheduler* scheduler_ = nullptr;
  std::string logPath_;
  engine::Text memo_;
};

// --runs with --watch: the script's runs now, each reported as the watch
// loop reports it, the log written as the settings say; the exit status of a
// script run.
int runNow(const Options& options, RunSession& session, const std::string& logPath, bool autoLog) {
  RunSession::Result last;
  bool failed = false;
  bool refused = false;
  for (int r = 0; r < options.runs && !stopRequested(); ++r) {
    last = session.runOnce(r + 1 < options.runs);
    failed = failed || last.writeFailed;
    refused = refused || last.historyRefused;
    if (last.normal() && autoLog) {
      failed = !session.appendLog(logPath, textfile::fromUtf8(options.memo)) || failed;
    }
  }
  // The runs are recorded; their notices may still be on their way.
  session.finishDeliveries();
  if (refused) return kExitUsage;
  if (!last.normal() || failed) return kExitStopped;
  return last.change == run::Change::Changed && options.state ? kExitChanged : kExitNormal;
}

}  // namespace

int watch(const Options& options, std::FILE* out, std::FILE* err, WatchClock& clock) {
  const std::string& settingsPath = *options.watch;
  settings::Settings values;
  if (!settings::readSettingsFile(settingsPath, values)) {
    writeMessage(err, "cannot read settings: " + settingsPath);
    return kExitUsage;
  }
  if (values.autoUpdate == 0 && !options.runsGiven) {
    writeMessage(err, "the automatic update is off in " + settingsPath + " (line 7)");
    return kExitUsage;
  }
  const std::string script = besideSettings(settingsPath, values.scriptPath);
  if (!checkScript(script, err)) {
    writeMessage(err, "cannot read script: " +
                          (script.empty() ? settingsPath + " names none (line 16)" : script));
    return kExitUsage;
  }
  acquisition::FetchMode fetch = options.fetch;
  if (const auto named = settings::keyedValue(values, u"fetch"); named && !options.fetchGiven) {
    const auto mode = acquisition::fetchModeNamed(textfile::toUtf8(*named));
    if (!mode) {
      writeMessage(err, "fetch=" + textfile::toUtf8(*named) + " in " + settingsPath +
                            " is none of browser, direct and auto");
      return kExitUsage;
    }
    fetch = *mode;
  }
  RunSession session(options, out, err);
  session.setScriptPath(textfile::fromUtf8(script));
  session.setFetch(fetch);
  {
    std::error_code ec;
    const auto watchPath = std::filesystem::absolute(settingsPath, ec);
    session.setFetchWatch(ec ? settingsPath : watchPath.lexically_normal().string());
  }
  session.setWaitValue(options.waitGiven ? textfile::fromUtf8(options.wait) : values.wait);
  using acquisition::SettleMode;
  const SettleMode settle = options.settle
                                ? *options.settle
                                : acquisition::settleModeNamed(textfile::toUtf8(values.settleMode))
                                      .value_or(SettleMode::Fixed);
  session.setSettleMode(settle);
  // The history --history names, else the one the settings name, else the
  // file beside them.
  std::string why;
  const std::optional<std::string> address =
      options.history ? options.history : history::watchHistory(settingsPath, values, &why);
  if (!address) {
    writeMessage(err, "cannot read the history's password: " + why);
    return kExitUsage;
  }
  session.setHistoryPath(*address, settings::watchName(settingsPath), settingsPath);
  // The watch's own notifications, and those the options add.
  std::optional<notify::NotifySettings> notices = watchNotifySettings(settingsPath, err);
  if (!notices) return kExitUsage;
  if (const auto fromOptions = notifySettingsFrom(options)) {
    for (const std::string& t : fromOptions->targets) notices->targets.push_back(t);
    for (const notify::Rule& r : fromOptions->rules) notices->rules.push_back(r);
  }
  if (options.first) notices->first = true;
  if (options.alertAfter) notices->alertAfter = *options.alertAfter;
  if (notices->targets.empty() && notices->rules.empty()) notices.reset();
  session.setNotifySettings(std::move(notices));
  if (const auto status = session.prepare()) return *status;
  if (options.runsGiven)
    return runNow(options, session, besideSettings(settingsPath, values.logPath),
                  values.autoLog != 0);

  WatchDelegate delegate(session, err, besideSettings(settingsPath, values.logPath),
                         textfile::fromUtf8(options.memo));
  Scheduler scheduler(delegate, [&clock] { return clock.localMinute(); });
  delegate.attach(&scheduler);
  scheduler.setIntervalText(values.interval);
  scheduler.setTimeWindow({values.startHour, values.startMinute, values.endHour, values.endMinute,
                           values.timeWindow == 1});
  scheduler.setLogAutoWrite(values.autoLog != 0);
  scheduler.setAutoUpdate(values.autoUpdate);
  std::string intro = programMessage("watching " + script + " every ") +
                      std::to_string(scheduler.intervalMinutes()) + " min";
  if (values.timeWindow == 1) {
    intro += " between " + textfile::toUtf8(values.startHour) + ":" +
             textfile::toUtf8(values.startMinute) + " and " + textfile::toUtf8(values.endHour) +
             ":" + textfile::toUtf8(values.endMinute);
  }
  if (settle == SettleMode::Auto) intro += ", pages read once they have settled";
  if (fetch != acquisition::FetchMode::Browser) {
    intro += ", pages fetched " + std::string(fetch == acquisition::FetchMode::Direct
                                                  ? "directly"
                                                  : "directly unless they need the browser");
  }
  writeLine(err, intro);
  std::fflush(err);
  // The first tick comes at once and finds a run due, as the window's first
  // tick after start-up does.
  scheduler.makeFirstTickDue();
  scheduler.tick();
  while (!stopRequested() && clock.waitTick(kTickPeriod)) {
    session.collectDeliveries();  // their answers logged, at most a minute late
    scheduler.tick();
  }
  session.finishDeliveries();
  return kExitNormal;
}

}  // namespace kelvane::cli
