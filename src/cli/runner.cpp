#include "cli/runner.h"

#include "cli/history_record.h"
#include "cli/output.h"
#include "cli/run_session.h"
#include "cli/settings_print.h"
#include "cli/stop_signals.h"
#include "cli/suggest_command.h"
#include "cli/watch.h"
#include "engine/engine.h"
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
    changed = changed || last.change == RunSession::Change::Changed;
    failed = failed || last.writeFailed;
    refused = refused || last.historyRefused;
  }
  if (!options.diff) {
    if (!writeUtf8(out, session.engine().buffer(options.print).view())) {
      reportStdoutFailure(err);
      failed = true;
    }
  }
  if (refused) return kExitUsage;
  if (last.outcome != engine::RunOutcome::Normal || failed) return kExitStopped;
  return changed ? kExitChanged : kExitNormal;
}

int runMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const ParsedOptions parsed = parseOptions(args);
  if (!parsed.options) {
    std::fputs(parsed.text.c_str(), parsed.status == 0 ? out : err);
    return parsed.status;
  }
  const Options& options = *parsed.options;
  if (options.version) {
    writeLine(out, "kelvane-run " KELVANE_VERSION);
    return kExitNormal;
  }
  if (options.settings) return printSettings(*options.settings, out, err);
  if (options.exportFormat) return exportHistory(options, out, err);
  if (options.suggest) return suggest(options, out, err);
  if (options.watch) {
    SystemWatchClock clock;
    return watch(options, out, err, clock);
  }
  return run(options, out, err);
}

}  // namespace kelvane::cli
