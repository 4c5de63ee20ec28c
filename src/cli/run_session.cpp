#include "cli/run_session.h"

#include <filesystem>

#include "cli/miss_explainer.h"
#include "cli/output.h"
#include "cli/runner.h"
#include "cli/saved_page.h"
#include "cli/stop_signals.h"
#include "history/store.h"
#include "logging/log_writer.h"
#include "run/display_state.h"
#include "textfile/file_io.h"
#include "textfile/lock_wait.h"
#include "textfile/text_codec.h"
#include "textfile/web_charset.h"

namespace kelvane::cli {

using engine::TextView;

run::Outputs outputsOf(const Options& options) {
  run::Outputs outputs;
  outputs.state = options.state;
  outputs.diff = options.diff;
  outputs.record = options.record;
  // A watch reports whether each run changed the display.
  outputs.compareInMemory = options.watch.has_value();
  outputs.lastLineStopFails = true;
  return outputs;
}

RunSession::RunSession(const Options& options, std::FILE* out, std::FILE* err)
    : options_(options),
      out_(out),
      err_(err),
      host_(err, options.trace, options.fetch),
      engine_(host_),
      run_(engine_, *this, outputsOf(options)) {
  host_.attach(&engine_, &run_.journal());
  host_.setWaitValue(textfile::fromUtf8(options.wait));
  host_.setSettleMode(options.settle.value_or(acquisition::SettleMode::Fixed));
  host_.setCookieFile(cookieFileOf(options));
  engine_.title().assign(kProgramTitle);
  scriptPath_ = textfile::fromUtf8(options.script);
  if (options.explain) run_.keepMisses(true);
  if (options.fetch == acquisition::FetchMode::Auto) setFetch(options.fetch);
  interruptOnStopSignal(&engine_);
  if (options.history) setHistoryPath(*options.history);
  notifySettings_ = notifySettingsFrom(options);
}

void RunSession::setHistoryPath(const std::string& address, const std::string& watch,
                                const std::string& settingsPath) {
  run_.setHistoryPath(address, watch, settingsPath);
  if (fetchWatch_.empty()) fetchWatch_ = run::scriptKey(textfile::toUtf8(scriptPath_));
  if (run::RunRecorder* recorder = run_.recorder()) {
    recorder->setNote([this](const std::string& text) { writeMessage(err_, text); });
    host_.setFetchMemory(recorder->fetchMemory(fetchWatch_, [this](const std::string& reason) {
      writeMessage(err_, "cannot record in history: " + reason);
    }));
  } else {
    host_.setFetchMemory(std::make_unique<acquisition::FetchMemoryInProcess>());
  }
}

void RunSession::setFetch(acquisition::FetchMode fetch) {
  host_.setFetch(fetch);
  // --fetch auto checks a page fetched directly again after a miss.
  if (fetch == acquisition::FetchMode::Auto && !run_.misses()) run_.keepMisses(false);
}

RunSession::~RunSession() {
  interruptOnStopSignal(nullptr);
}

std::optional<int> RunSession::prepare() {
  if (options_.page || options_.pageAsLoaded) {
    std::string why;
    auto page = readSavedPage(options_.page ? *options_.page : *options_.pageAsLoaded,
                              options_.pageAsLoaded.has_value(), &why);
    if (!page) {
      writeMessage(err_, why);
      return kExitUsage;
    }
    engine_.ht().take(std::move(page->ht));
    fileText_ = std::move(page->fileText);
  }
  if (options_.state) {
    if (run::stateIsReadOnly(*options_.state)) {
      writeMessage(err_, *options_.state + " is read-only; it is left alone");
      return kExitUsage;
    }
    switch (run::stateKind(*options_.state)) {
      case run::StoredState::Kind::Foreign:
        writeMessage(err_, *options_.state +
                               " is not a state file written by kelvane-run; it is left alone");
        return kExitUsage;
      case run::StoredState::Kind::Unreadable:
        writeMessage(err_, "cannot read state: " + *options_.state);
        return kExitUsage;
      default:
        break;
    }
  }
  if (options_.record) {
    std::string reason;
    if (!run::appendRecordLine(*options_.record, {}, &reason)) {
      writeMessage(err_, "cannot write record: " + *options_.record + ": " + reason);
      return kExitUsage;
    }
  }
  if (notifySettings_ && !run_.recorder()) {
    writeMessage(err_, "without --history, the rules remember only this process's runs");
    setHistoryPath(":memory:");
  }
  // A history that is no history of ours is refused; one that cannot be
  // written now is said and tried again at every run, which still completes.
  if (run::RunRecorder* recorder = run_.recorder()) {
    try {
      recorder->open();
    } catch (const history::HistoryError& e) {
      const bool refused = e.kind() == history::HistoryError::Kind::Refused;
      writeMessage(err_, refused ? std::string(e.what())
                                 : "cannot record in history: " + std::string(e.what()));
      if (refused) return kExitUsage;
    }
  }
  if (notifySettings_) {
    const auto say = [err = err_](const std::string& text) {
      writeMessage(err, text);
      std::fflush(err);
    };
    const auto decided = [this](const history::RuleDecision& d) {
      if (!options_.trace) return;
      writeLine(err_, "notify: " + d.rule + ": " + (d.fired ? "fires: " : "quiet: ") + d.reason);
    };
    notices_ = std::make_unique<run::AfterRun>(*notifySettings_, *run_.recorder(), say, decided);
    run_.addFollower(*notices_);
  }
  return std::nullopt;
}

void RunSession::finishDeliveries() {
  if (notices_) notices_->finish([] { return stopRequested(); });
}

void RunSession::collectDeliveries() {
  if (notices_) notices_->collect();
}

void RunSession::engineFinished(bool normal, bool missed) {
  host_.endAutoRun(scriptPath_, normal, missed);
  if (more_) host_.runEnded();
  if (options_.explain && run_.misses()) writeExplanation(*run_.misses(), err_);
}

void RunSession::cannotWrite(run::Output output, const std::string& path,
                             const std::string& reason) {
  switch (output) {
    case run::Output::State:
      writeMessage(err_, "cannot write state: " + path);
      break;
    case run::Output::StateGone:
      writeMessage(err_, "the state in " + path + " can no longer be read; it is left alone");
      break;
    case run::Output::Record:
      writeMessage(err_, "cannot write record: " + path + ": " + reason);
      break;
    case run::Output::Log:
      // A wait for another writer's lock that ended says why.
      writeLine(err_, textfile::toUtf8(logging::cannotWriteMessage()) +
                          (reason.empty() ? "" : " (" + reason + ")"));
      break;
    case run::Output::History:
      writeMessage(err_, "cannot record in history: " + reason);
      break;
    case run::Output::HistoryRefused:
      writeMessage(err_, reason);
      break;
  }
}

// A pipe takes the line as its reader reads, but a stop signal is not held
// up for long by a reader that stopped.
bool RunSession::writeToPipe(int fd, std::string_view bytes) {
  return writeFully(fd, bytes);
}

RunSession::Result RunSession::runOnce(bool more) {
  more_ = more;
  run::WatchRun::Request request;
  if (options_.log) request.log = run::LogEntry{*options_.log, textfile::fromUtf8(options_.memo)};
  Result result = run_.run(scriptPath_, request);
  // The diff is printed once the run's files are written: a reader that
  // stops early must not cost the state.
  if (!result.diff.empty()) {
    if (!writeBytes(out_, result.diff)) {
      reportStdoutFailure(err_);
      result.writeFailed = true;
    }
    std::string().swap(result.diff);
  }
  return result;
}

bool RunSession::appendLog(const std::string& path, TextView memo) {
  return run_.appendLog({path, engine::Text(memo)});
}

}  // namespace kelvane::cli
