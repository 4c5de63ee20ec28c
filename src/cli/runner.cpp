#include "cli/runner.h"

#include "cli/output.h"
#include "cli/run_host.h"
#include "cli/settings_print.h"
#include "engine/engine.h"
#include "logging/log_writer.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"
#include "textfile/web_charset.h"

#ifndef KELVANE_VERSION
#define KELVANE_VERSION "unknown"
#endif

namespace kelvane::cli {

using engine::Engine;
using engine::Text;

int run(const Options& options, std::FILE* out, std::FILE* err) {
  if (!textfile::readFileBytes(options.script)) {
    writeLine(err, "kelvane-run: cannot read script: " + options.script);
    return kExitUsage;
  }
  RunHost host(err, options.trace, options.fetch == "direct");
  Engine engine(host);
  host.attach(&engine);
  host.setWaitValue(textfile::fromUtf8(options.wait));
  host.setSettleAuto(options.settleAuto);
  engine.title().assign(kProgramTitle);
  if (options.page) {
    auto bytes = textfile::readFileBytes(*options.page);
    if (!bytes) {
      writeLine(err, "kelvane-run: cannot read page: " + *options.page);
      return kExitUsage;
    }
    // A saved page is read as the browser reads a page from disk.
    engine.ht().take(textfile::decodeWebPage(*bytes).text);
    std::string().swap(*bytes);  // the page's bytes are not needed any more
  }
  const Text scriptPath = textfile::fromUtf8(options.script);
  engine::RunOutcome outcome = engine::RunOutcome::Normal;
  const Text memo = textfile::fromUtf8(options.memo);
  bool logFailed = false;
  for (int r = 0; r < options.runs; ++r) {
    outcome = engine.run(scriptPath);
    // The browser lets go of the page between runs; after the last one the
    // process ends anyway.
    if (r + 1 < options.runs) host.runEnded();
    if (outcome != engine::RunOutcome::Normal || !options.log) continue;
    if (!logging::appendEntry(*options.log, memo, engine.d().view())) {
      writeLine(err, textfile::toUtf8(logging::cannotWriteMessage()));
      logFailed = true;
    }
  }
  const engine::BufferName* printed = engine::findBufferName(textfile::fromUtf8(options.print));
  writeUtf8(out, engine.buffer(printed ? printed->id : engine::BufferId::D).view());
  return outcome == engine::RunOutcome::Normal && !logFailed ? kExitNormal : kExitStopped;
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
  return run(options, out, err);
}

}  // namespace kelvane::cli
