#include "run/watch_run.h"

#include <cerrno>
#include <filesystem>

#include "history/display_diff.h"
#include "logging/log_writer.h"
#include "run/display_state.h"
#include "textfile/lock_wait.h"
#include "textfile/text_codec.h"

namespace kelvane::run {

using engine::RunOutcome;
using engine::TextView;

bool Front::writeToPipe(int fd, std::string_view bytes) {
  return writeToPipePatiently(fd, bytes);
}

std::string scriptKey(const std::string& path) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

WatchRun::WatchRun(engine::Engine& engine, Front& front, Outputs outputs)
    : engine_(engine), front_(front), outputs_(std::move(outputs)) {
  // The record lists the misses too, without the candidates.
  if (outputs_.record) keepMisses(false);
}

WatchRun::~WatchRun() {
  if (misses_) engine_.setSearchObserver(nullptr);
}

void WatchRun::setHistoryPath(const std::string& address, const std::string& watch,
                              const std::string& settingsPath) {
  recorder_ =
      address.empty() ? nullptr : std::make_unique<RunRecorder>(address, watch, settingsPath);
}

void WatchRun::keepMisses(bool withCandidates) {
  misses_ = std::make_unique<MissLog>(withCandidates);
  engine_.setSearchObserver(misses_.get());
}

bool WatchRun::appendLog(const LogEntry& entry) {
  int error = 0;
  if (logging::appendEntry(entry.path, entry.memo, engine_.d().view(), &error)) return true;
  // A wait for another writer's lock that ended is told as such.
  const bool lockWait = error == ECANCELED || error == ETIMEDOUT;
  front_.cannotWrite(Output::Log, entry.path, lockWait ? textfile::lockWaitReason(error) : "");
  return false;
}

Change WatchRun::decideByState(Result& result) {
  const std::string& path = *outputs_.state;
  const TextView display = engine_.d().view();
  // The stored display is compared in pieces, and read whole only for a diff.
  Change change = Change::First;
  const StoredState::Kind kind = stateKind(path);
  if (kind == StoredState::Kind::Display) {
    const std::optional<bool> same = storedDisplayEquals(path, display);
    change = !same ? Change::Unknown : *same ? Change::Same : Change::Changed;
  }
  if (change == Change::Changed && outputs_.diff) {
    const StoredState stored = readState(path);
    if (stored.kind != StoredState::Kind::Display) change = Change::Unknown;
    result.diff = history::unifiedDiff(stored.display, display);
  }
  if (change == Change::Unknown ||
      (kind != StoredState::Kind::Display && kind != StoredState::Kind::Nothing)) {
    // The file changed hands since the start: it is not overwritten.
    front_.cannotWrite(Output::StateGone, path, {});
    result.writeFailed = true;
    std::string().swap(result.diff);
    return Change::Unknown;
  }
  if (change != Change::Same && !writeState(path, display)) {
    front_.cannotWrite(Output::State, path, {});
    result.writeFailed = true;
  }
  return change;
}

std::optional<Change> WatchRun::recordInHistory(const RunReport& report, const std::string& script,
                                                Result& result) {
  history::RunEntry entry;
  entry.start = report.start;
  entry.durationMs = report.durationMs;
  entry.normal = result.normal();
  entry.message = report.message;
  entry.loads = report.loads;
  entry.display.assign(engine_.d().view());
  entry.script = script;
  const RunRecorder::Recorded recorded = recorder_->record(std::move(entry));
  if (recorded.error) {
    if (!recorded.said) {
      front_.cannotWrite(recorded.refused ? Output::HistoryRefused : Output::History,
                         recorder_->path(), *recorded.error);
    }
    result.writeFailed = true;
    result.historyRefused = recorded.refused;
    return std::nullopt;
  }
  // A run kept in a server history's spool is compared in memory.
  if (recorded.kept) return std::nullopt;
  result.runId = recorded.runId;
  if (!result.normal()) return Change::Unknown;
  if (!recorded.changed) return Change::First;
  return *recorded.changed ? Change::Changed : Change::Same;
}

Change WatchRun::decideInMemory(bool normal) {
  if (!outputs_.compareInMemory || !normal) return Change::Unknown;
  const TextView display = engine_.d().view();
  const Change change = !previousDisplay_              ? Change::First
                        : *previousDisplay_ == display ? Change::Same
                                                       : Change::Changed;
  previousDisplay_.emplace(display);
  return change;
}

WatchRun::Result WatchRun::run(TextView scriptPath, const Request& request) {
  journal_.begin();
  if (misses_) misses_->clear();
  const auto wallStart = std::chrono::system_clock::now();
  const auto start = std::chrono::steady_clock::now();
  Result result;
  front_.runStarting();
  result.outcome = engine_.run(scriptPath);
  if (result.outcome == RunOutcome::Ignored) return result;
  if (outputs_.lastLineStopFails && engine_.stopRaisedByLastLine()) {
    result.outcome = RunOutcome::Stopped;
  }
  // A load that a stop signal cut short is not a failed page.
  if (!engine_.interruptRequested()) {
    for (const auto& load : journal_.loads()) result.loadFailed |= !load.error.empty();
  }
  RunReport report;
  report.start = wallStart;
  report.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
  const bool normal = result.normal();
  front_.engineFinished(normal, misses_ && !misses_->misses().empty());
  report.outcome = normal ? RunOutcome::Normal : RunOutcome::Stopped;
  report.loadFailed = result.loadFailed;
  report.message = journal_.firstMessage();
  if (report.message.empty() && engine_.interruptRequested()) {
    report.message = "interrupted by a signal";
  }
  report.loads = journal_.loads();
  report.linesRun = journal_.linesRun();
  report.misses = misses_ ? &misses_->misses() : nullptr;
  report.displayChars = engine_.d().size();
  const std::string script = scriptKey(textfile::toUtf8(scriptPath));

  // A state file decides whether the display changed; a stopped run leaves
  // it alone.
  Change change = Change::Unknown;
  if (normal && outputs_.state) {
    change = decideByState(result);
    if (change != Change::Unknown) report.changed = change == Change::Changed;
  }
  if (outputs_.record) {
    std::string reason;
    const auto writePipe = [this](int fd, std::string_view bytes) {
      return front_.writeToPipe(fd, bytes);
    };
    if (!appendRecordLine(*outputs_.record, recordLine(report), &reason, writePipe)) {
      front_.cannotWrite(Output::Record, *outputs_.record, reason);
      result.writeFailed = true;
    }
  }
  if (normal && request.log && !appendLog(*request.log)) result.writeFailed = true;
  // Else the history decides, against its last normal run of the script:
  // a program started afresh still sees a change.
  std::optional<Change> historyChange;
  if (recorder_) historyChange = recordInHistory(report, script, result);
  const Change inMemory = decideInMemory(normal);
  if (normal && !outputs_.state) change = historyChange.value_or(inMemory);
  result.change = change;
  const FinishedRun finished{report,
                             change,
                             engine_.d().view(),
                             script,
                             request.automatic,
                             result.runId,
                             engine_.title().view(),
                             journal_.titleWasSet()};
  for (Follower* follower : followers_) follower->runFinished(finished);
  return result;
}

}  // namespace kelvane::run
