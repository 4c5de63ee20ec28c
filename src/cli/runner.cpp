#include "cli/runner.h"

#include "cli/output.h"
#include "cli/run_notices.h"
#include "cli/run_session.h"
#include "cli/settings_print.h"
#include "cli/stop_signals.h"
#include "cli/suggest_command.h"
#include "cli/watch.h"
#include "engine/engine.h"
#include "history/address.h"
#include "history/export.h"
#include "history/postgres.h"
#include "history/recorder.h"
#include "history/watch_history.h"
#include "textfile/file_io.h"
#include "textfile/lines.h"
#include "textfile/text_codec.h"

#ifndef KELVANE_VERSION
#define KELVANE_VERSION "unknown"
#endif

namespace kelvane::cli {

bool checkScript(const std::string& path, std::FILE* err) {
  const auto bytes = textfile::readFileBytes(path);
  if (!bytes) return false;
  const size_t lines = textfile::splitLines(textfile::decodeText(*bytes)).size();
  if (lines > static_cast<size_t>(engine::Engine::kMaxLines)) {
    writeMessage(err, path + " has " + std::to_string(lines) + " lines; only the first " +
                          std::to_string(engine::Engine::kMaxLines) + " are run");
  }
  return true;
}

int run(const Options& options, std::FILE* out, std::FILE* err) {
  if (!checkScript(options.script, err)) {
    writeMessage(err, "cannot read script: " + options.script);
    return kExitUsage;
  }
  RunSession session(options, out, err);
  if (const auto status = session.prepare()) return *status;
  RunSession::Result last;
  bool changed = false;
  bool failed = false;
  bool refused = false;
  for (int r = 0; r < options.runs && !stopRequested(); ++r) {
    // The browser lets go of the page between runs; after the last one the
    // process ends anyway.
    last = session.runOnce(r + 1 < options.runs);
    // Only a state file makes a changed display an exit status of its own.
    changed = changed || (options.state && last.change == run::Change::Changed);
    failed = failed || last.writeFailed;
    refused = refused || last.historyRefused;
  }
  // The run is recorded; its notices may still be on their way.
  session.finishDeliveries();
  if (!options.diff) {
    if (!writeUtf8(out, session.engine().buffer(options.print).view())) {
      reportStdoutFailure(err);
      failed = true;
    }
  }
  if (refused) return kExitUsage;
  if (!last.normal() || failed) return kExitStopped;
  return changed ? kExitChanged : kExitNormal;
}

namespace {

// One line naming the series a CSV could not hold.
std::string leftOutMessage(const std::vector<std::string>& labels) {
  std::string text = std::to_string(labels.size()) + " series past the first " +
                     std::to_string(history::kMaxCsvSeries) + " are not in the CSV:";
  for (size_t i = 0; i < labels.size(); ++i) {
    text += i == 0 ? " \"" : ", \"";
    text += escaped(textfile::decodeUtf8(labels[i]));
    text += '"';
  }
  return text;
}

std::string runsText(int64_t n) {
  return std::to_string(n) + (n == 1 ? " run" : " runs");
}

}  // namespace

int exportHistory(const Options& options, std::FILE* out, std::FILE* err) {
  // A watch's history is the one its settings name, or the file beside them.
  const std::string settings = options.watch.value_or("");
  std::string why;
  const std::optional<std::string> named =
      options.history ? options.history : history::watchHistory(settings, &why);
  if (!named) {
    writeMessage(err, "cannot read the history's password: " + why);
    return kExitUsage;
  }
  const std::string& address = *named;
  // The spool is counted even when the server cannot be reached.
  try {
    if (const int64_t waiting = history::spooledRuns(address, settings)) {
      writeMessage(err, runsText(waiting) + " wait in " + history::spoolPathFor(address, settings) +
                            " to be sent to the history server");
    }
  } catch (const std::exception& e) {
    writeMessage(err, "cannot read the spool: " + std::string(e.what()));
  }
  history::CsvExport exported;
  try {
    exported = history::exportHistory(address, *options.exportFormat);
  } catch (const std::exception& e) {
    writeMessage(err, "cannot read history: " + std::string(e.what()));
    return kExitUsage;
  }
  if (!writeBytes(out, exported.text) || std::fflush(out) != 0) {
    reportStdoutFailure(err);
    return kExitStopped;
  }
  if (!exported.leftOut.empty()) writeMessage(err, leftOutMessage(exported.leftOut));
  return kExitNormal;
}

int copyHistory(const Options& options, std::FILE* err) {
  try {
    const int64_t copied = history::copyHistory(*options.history, *options.copyTo);
    writeMessage(err, runsText(copied) + " copied to " + history::maskedAddress(*options.copyTo));
    return kExitNormal;
  } catch (const history::HistoryError& e) {
    writeMessage(err, "cannot copy the history: " + std::string(e.what()));
    return e.kind() == history::HistoryError::Kind::Refused ? kExitUsage : kExitStopped;
  } catch (const std::exception& e) {
    writeMessage(err, "cannot copy the history: " + std::string(e.what()));
    return kExitStopped;
  }
}

int runMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const ParsedOptions parsed = parseOptions(args);
  if (!parsed.options) {
    std::fputs(parsed.text.c_str(), parsed.status == 0 ? out : err);
    return parsed.status;
  }
  const Options& options = *parsed.options;
  // A stop signal ends every wait for a history server too.
  history::setStopDescriptor(stopSignalDescriptor());
  if (options.version) {
    writeLine(out, "kelvane-run " KELVANE_VERSION);
    return kExitNormal;
  }
  if (options.settings) return printSettings(*options.settings, out, err);
  if (options.exportFormat) return exportHistory(options, out, err);
  if (options.notifyTest) return notifyTest(options, out, err);
  if (options.copyTo) return copyHistory(options, err);
  if (options.suggest) return suggest(options, out, err);
  if (options.watch) {
    SystemWatchClock clock;
    return watch(options, out, err, clock);
  }
  return run(options, out, err);
}

}  // namespace kelvane::cli
