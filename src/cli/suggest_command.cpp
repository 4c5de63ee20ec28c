#include "cli/suggest_command.h"

#include <malloc.h>

#include "cli/output.h"
#include "cli/run_session.h"
#include "cli/runner.h"
#include "textfile/file_io.h"
#include "textfile/lines.h"
#include "textfile/text_codec.h"
#include "workbench/find_shown.h"
#include "workbench/list_pick.h"
#include "workbench/near_miss.h"
#include "workbench/pick_shown.h"
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

std::string q(TextView text) {
  return "\"" + textfile::toUtf8(text) + "\"";
}

// Why the text is not on the page: the nearest places in what it shows.
void reportAbsent(const Options& options, const workbench::PageText& shown, TextView page,
                  TextView fileText, std::FILE* err) {
  const Text typed = workbench::collapsedWhiteSpace(textfile::fromUtf8(*options.suggest));
  const std::string times =
      options.occurrence > 1 ? std::to_string(options.occurrence) + " times " : std::string();
  if (!fileText.empty() && workbench::findOccurrence(fileText, typed, 1) != TextView::npos) {
    writeMessage(err, q(typed) +
                          " occurs only in the saved file's text (its head or <title>), "
                          "not in the body a load of it gives; a script cannot cut it");
    return;
  }
  std::string message = q(typed) + " does not occur " + times + "in HT (length " +
                        std::to_string(page.size()) + ") nor in the text it shows";
  // Found fewer times than asked: no place is nearer than those. Otherwise
  // the nearest places, in the one message.
  if (options.occurrence == 1 || !workbench::findShown(shown, typed, 1)) {
    const char* lead = "; nearest: ";
    for (const workbench::NearMiss& n : workbench::findNearMisses(shown.text, 0, typed)) {
      message += lead + std::string(workbench::nearMissName(n.kind));
      if (n.kind == workbench::NearMiss::Kind::Prefix)
        message += " " + q(TextView(typed).substr(0, n.length));
      message += " at " + std::to_string(n.position) + ": " +
                 q(TextView(shown.text).substr(n.position - 1, 40));
      lead = "; ";
    }
  }
  writeMessage(err, message);
}

bool print(const std::vector<Text>& script, std::FILE* out, std::FILE* err) {
  for (const Text& line : script) {
    if (!writeUtf8(out, line + u"\r\n")) {
      reportStdoutFailure(err);
      return false;
    }
  }
  return true;
}

}  // namespace

int suggest(const Options& options, std::FILE* out, std::FILE* err) {
  // The page is read once, then the lines found run over copies of it
  // several times: the memory one step gives back is kept for the next
  // instead of going back to the system, which would hand it out again at
  // the cost of a fault per page.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
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
  const workbench::PageText shown = workbench::readPageText(page);
  // As written in HT, else as the page shows it.
  std::optional<workbench::ShownMatch> match;
  const size_t raw = workbench::findOccurrence(page, text, options.occurrence);
  if (raw != TextView::npos) {
    size_t b = 0;
    while (b < shown.from.size() && shown.from[b] < raw) ++b;
    size_t e = b;
    while (e < shown.from.size() && shown.from[e] < raw + text.size()) ++e;
    if (e > b) match = workbench::ShownMatch{b, e, false};
  } else {
    match = workbench::findShown(shown, text, options.occurrence);
    if (!match) {
      reportAbsent(options, shown, page, session.fileText(), err);
      return kExitUsage;
    }
    const Text as(TextView(shown.text).substr(match->begin, match->end - match->begin));
    if (match->folded)
      writeMessage(err, "found as " + q(as) +
                            " once full-width and half-width forms and letter case are folded");
  }
  if (options.list) {
    // A list is of what the page shows: the text's place there first (the
    // same text in markup, an id or a link, comes before it in HT).
    if (raw != TextView::npos)
      if (auto shownPlace = workbench::findShown(shown, text, options.occurrence))
        match = shownPlace;
    if (!match) {
      writeMessage(err, "\"" + *options.suggest + "\" is not text the page shows (it is markup)");
      return kExitStopped;
    }
    // The text may show in another place first (a sidebar repeating a
    // product): the first of its places that is an item of a list wins.
    workbench::ListResult list = workbench::suggestList(page, shown, match->begin, match->end);
    for (int k = options.occurrence + 1; !list.offer && k < options.occurrence + 20; ++k) {
      const auto next = workbench::findShown(shown, text, k);
      if (!next) break;
      workbench::ListResult other = workbench::suggestList(page, shown, next->begin, next->end);
      if (other.offer) list = std::move(other);
    }
    if (!list.offer) {
      writeMessage(err, "no list found for \"" + *options.suggest + "\": " + list.why);
      return kExitStopped;
    }
    std::vector<Text> script = urls;
    script.insert(script.end(), list.offer->lines.begin(), list.offer->lines.end());
    writeMessage(err, std::to_string(list.offer->display.size()) +
                          " items; checked on the page with values changed, ids renumbered, an "
                          "item added and an item removed");
    return print(script, out, err) ? kExitNormal : kExitStopped;
  }
  std::vector<Text> script;
  if (raw != TextView::npos) {
    script = suggestScript(page, text, options.occurrence, urls);
  } else {
    script = urls;
    const std::vector<Text> lines = workbench::shownPieceLines(page, shown, *match);
    script.insert(script.end(), lines.begin(), lines.end());
  }
  if (script.size() == urls.size()) {
    writeMessage(err, "no lines found that cut \"" + *options.suggest + "\" out exactly");
    return kExitStopped;
  }
  return print(script, out, err) ? kExitNormal : kExitStopped;
}

}  // namespace kelvane::cli
