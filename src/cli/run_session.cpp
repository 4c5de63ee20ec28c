#include "cli/run_session.h"

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "cli/display_state.h"
#include "cli/output.h"
#include "cli/run_record.h"
#include "cli/runner.h"
#include "cli/stop_signals.h"
#include "logging/log_writer.h"
#include "textfile/file_io.h"
#include "textfile/lock_wait.h"
#include "textfile/text_codec.h"
#include "textfile/web_charset.h"

namespace kelvane::cli {

using engine::RunOutcome;
using engine::Text;
using engine::TextView;

RunSession::RunSession(const Options& options, std::FILE* out, std::FILE* err)
    : options_(options),
      out_(out),
      err_(err),
      host_(err, options.trace, options.fetch),
      engine_(host_),
      explainer_(options.explain) {
  host_.attach(&engine_);
  host_.setWaitValue(textfile::fromUtf8(options.wait));
  host_.setSettleMode(options.settle.value_or(acquisition::SettleMode::Fixed));
  engine_.title().assign(kProgramTitle);
  scriptPath_ = textfile::fromUtf8(options.script);
  // The record lists the misses too, without the candidates.
  // --fetch auto checks a page fetched directly again after a miss.
  if (options.explain || options.record || options.fetch == acquisition::FetchMode::Auto) {
    engine_.setSearchObserver(&explainer_);
  }
  interruptOnStopSignal(&engine_);
  if (options.history) setHistoryPath(*options.history);
}

void RunSession::setHistoryPath(const std::string& path) {
  history_ = std::make_unique<HistoryRecorder>(path, err_);
  if (fetchWatch_.empty()) {
    std::error_code ec;
    const auto script = std::filesystem::absolute(textfile::toUtf8(scriptPath_), ec);
    fetchWatch_ = ec ? textfile::toUtf8(scriptPath_) : script.lexically_normal().string();
  }
  host_.setFetchMemory(history_->fetchMemory(fetchWatch_));
}

void RunSession::setFetch(acquisition::FetchMode fetch) {
  host_.setFetch(fetch);
  if (fetch == acquisition::FetchMode::Auto) engine_.setSearchObserver(&explainer_);
}

RunSession::~RunSession() {
  interruptOnStopSignal(nullptr);
}

std::optional<int> RunSession::prepare() {
  if (options_.page) {
    auto bytes = textfile::readFileBytes(*options_.page);
    if (!bytes) {
      writeMessage(err_, "cannot read page: " + *options_.page);
      return kExitUsage;
    }
    // A saved page is read as the browser reads a page from disk.
    engine_.ht().take(textfile::decodeWebPage(*bytes).text);
    std::string().swap(*bytes);  // the page's bytes are not needed any more
  }
  if (options_.state) {
    if (stateIsReadOnly(*options_.state)) {
      writeMessage(err_, *options_.state + " is read-only; it is left alone");
      return kExitUsage;
    }
    switch (stateKind(*options_.state)) {
      case StoredState::Kind::Foreign:
        writeMessage(err_, *options_.state +
                               " is not a state file written by kelvane-run; it is left alone");
        return kExitUsage;
      case StoredState::Kind::Unreadable:
        writeMessage(err_, "cannot read state: " + *options_.state);
        return kExitUsage;
      default:
        break;
    }
  }
  if (options_.record) {
    std::string reason;
    if (!appendRecordLine(*options_.record, {}, &reason)) {
      writeMessage(err_, "cannot write record: " + *options_.record + ": " + reason);
      return kExitUsage;
    }
  }
  if (history_) return history_->prepare();
  return std::nullopt;
}

RunSession::Change RunSession::compareState(bool* failed) {
  const TextView display = engine_.d().view();
  if (!options_.state) {
    if (!compareInMemory_) return Change::Unknown;
    const Change change = !previousDisplay_              ? Change::First
                          : *previousDisplay_ == display ? Change::Same
                                                         : Change::Changed;
    previousDisplay_.emplace(display);
    return change;
  }
  const std::string& path = *options_.state;
  // The stored display is compared in pieces, and read whole only for a diff.
  Change change = Change::First;
  const StoredState::Kind kind = stateKind(path);
  if (kind == StoredState::Kind::Display) {
    const std::optional<bool> same = storedDisplayEquals(path, display);
    change = !same ? Change::Unknown : *same ? Change::Same : Change::Changed;
  }
  if (change == Change::Changed && options_.diff) {
    const StoredState stored = readState(path);
    if (stored.kind != StoredState::Kind::Display) change = Change::Unknown;
    // The diff is printed once the run's files are written: a reader that
    // stops early must not cost the state.
    diff_ = unifiedDiff(stored.display, display);
  }
  if (change == Change::Unknown ||
      (kind != StoredState::Kind::Display && kind != StoredState::Kind::Nothing)) {
    // The file changed hands since the start: it is not overwritten.
    writeMessage(err_, "the state in " + path + " can no longer be read; it is left alone");
    *failed = true;
    std::string().swap(diff_);
    return Change::Unknown;
  }
  if (change != Change::Same && !writeState(path, display)) {
    writeMessage(err_, "cannot write state: " + path);
    *failed = true;
  }
  return change;
}

RunSession::Result RunSession::runOnce(bool more) {
  host_.beginRun();
  explainer_.clear();
  const auto wallStart = std::chrono::system_clock::now();
  const auto start = std::chrono::steady_clock::now();
  Result result;
  result.outcome = engine_.run(scriptPath_);
  if (!engine_.interruptRequested()) {
    for (const LoadReport& load : host_.loads()) result.loadFailed |= !load.error.empty();
  }
  // A failed load or a script error on the last line ends the run too late
  // for the driver to see it; here it counts as stopped all the same.
  if (result.loadFailed || engine_.stopRaisedByLastLine()) result.outcome = RunOutcome::Stopped;
  const auto durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
  host_.endAutoRun(scriptPath_, result.outcome == RunOutcome::Normal, !explainer_.misses().empty());
  if (more) host_.runEnded();
  if (options_.explain) explainer_.write(err_);
  // A stopped run leaves the state alone.
  if (result.outcome == RunOutcome::Normal) result.change = compareState(&result.writeFailed);
  if (options_.record || history_) {
    RunSummary summary;
    summary.start = wallStart;
    summary.durationMs = durationMs;
    summary.outcome = result.outcome;
    summary.loadFailed = result.loadFailed;
    summary.message = host_.firstMessage();
    if (summary.message.empty() && engine_.interruptRequested()) {
      summary.message = "interrupted by a signal";
    }
    summary.loads = host_.loads();
    summary.linesRun = host_.linesRun();
    summary.misses = &explainer_.misses();
    summary.displayChars = engine_.d().size();
    if (options_.state && result.change != Change::Unknown) {
      summary.changed = result.change == Change::Changed;
    }
    std::string reason;
    if (options_.record && !appendRecordLine(*options_.record, recordLine(summary), &reason)) {
      writeMessage(err_, "cannot write record: " + *options_.record + ": " + reason);
      result.writeFailed = true;
    }
    if (history_ && !history_->record(summary, engine_.d().view(), textfile::toUtf8(scriptPath_))) {
      result.writeFailed = true;
      result.historyRefused = history_->refused();
    }
  }
  if (result.outcome == RunOutcome::Normal && options_.log &&
      !appendLog(*options_.log, textfile::fromUtf8(options_.memo))) {
    result.writeFailed = true;
  }
  if (!diff_.empty()) {
    if (!writeBytes(out_, diff_)) {
      reportStdoutFailure(err_);
      result.writeFailed = true;
    }
    std::string().swap(diff_);
  }
  return result;
}

bool RunSession::appendLog(const std::string& path, TextView memo) {
  int error = 0;
  if (logging::appendEntry(path, memo, engine_.d().view(), &error)) return true;
  std::string message = textfile::toUtf8(logging::cannotWriteMessage());
  if (error == ECANCELED || error == ETIMEDOUT)
    message += " (" + textfile::lockWaitReason(error) + ")";
  writeLine(err_, message);
  return false;
}

}  // namespace kelvane::cli
