#include "cli/suggest_command.h"

#include "cli/output.h"
#include "cli/run_session.h"
#include "cli/runner.h"
#include "textfile/file_io.h"
#include "textfile/lines.h"
#include "textfile/text_codec.h"
#include "workbench/suggest.h"

namespace kelvane::cli {

using engine::Text;
using engine::TextView;

std::vector<Text> suggestScript(TextView page, TextView text, int occurrence,
                                const std::vector<Text>& urlLines) {
  const size_t at = workbench::findOccurrence(page, text, occurrence);
  if (at == TextView::npos) return {};
  std::vector<Text> script = urlLines;
  for (const workbench::Proposal& p : workbench::suggest(page, at, text.size())) {
    if (p.kind == workbench::Proposal::Kind::Piece) {
      script.insert(script.end(), p.lines.begin(), p.lines.end());
    } else {
      // Taking the quote off a line makes it run.
      script.push_back(u"' Every item of the list (this leaves HT past the last one):");
      for (const Text& line : p.lines) script.push_back(u"'" + line);
    }
  }
  return script;
}

namespace {

// The script's URL lines, in order: they load the page the text is cut from.
std::vector<Text> urlLinesOf(const std::string& path) {
  std::vector<Text> urls;
  const auto bytes = textfile::readFileBytes(path);
  if (!bytes) return urls;
  for (Text& line : textfile::splitLines(textfile::decodeText(*bytes))) {
    const TextView word = TextView(line).substr(0, line.find(u'\t'));
    if (engine::equalsUpper(word, u"URL")) urls.push_back(std::move(line));
  }
  return urls;
}

}  // namespace

int suggest(const Options& options, std::FILE* out, std::FILE* err) {
  if (!options.script.empty() && !textfile::readFileBytes(options.script)) {
    writeMessage(err, "cannot read script: " + options.script);
    return kExitUsage;
  }
  RunSession session(options, out, err);
  if (const auto status = session.prepare()) return *status;
  std::vector<Text> urls;
  if (!options.script.empty()) {
    urls = urlLinesOf(options.script);
    Text loads;
    for (const Text& url : urls) loads += url + u"\r\n";
    // A page that did not load (also on the last URL line) was said.
    if (!urls.empty() && (session.engine().runScriptText(loads) != engine::RunOutcome::Normal ||
                          session.engine().stopRaisedByLastLine()))
      return kExitStopped;
  }
  const Text text = textfile::fromUtf8(*options.suggest);
  const TextView page = session.engine().ht().view();
  if (workbench::findOccurrence(page, text, options.occurrence) == TextView::npos) {
    writeMessage(err, "\"" + *options.suggest + "\" does not occur " +
                          (options.occurrence > 1 ? std::to_string(options.occurrence) + " times "
                                                  : std::string()) +
                          "in HT (length " + std::to_string(page.size()) + ")");
    return kExitUsage;
  }
  const std::vector<Text> script = suggestScript(page, text, options.occurrence, urls);
  if (script.size() == urls.size()) {
    writeMessage(err, "no lines found that cut \"" + *options.suggest + "\" out exactly");
    return kExitStopped;
  }
  for (const Text& line : script) {
    if (!writeUtf8(out, line + u"\r\n")) {
      reportStdoutFailure(err);
      return kExitStopped;
    }
  }
  return kExitNormal;
}

}  // namespace kelvane::cli
