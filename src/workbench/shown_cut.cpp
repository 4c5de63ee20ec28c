#include "workbench/shown_cut.h"

#include <algorithm>

#include "engine/engine.h"
#include "workbench/quiet_host.h"
#include "workbench/script_text.h"

namespace kelvane::workbench {

using engine::Text;
using engine::TextView;

namespace {

size_t occurrences(TextView text, TextView what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != TextView::npos; at = text.find(what, at + what.size()))
    ++n;
  return n;
}

bool blank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// What repeated TAGDEL lines leave: every "<...>" taken out.
Text withoutTags(TextView markup) {
  Text out;
  for (size_t i = 0; i < markup.size();) {
    if (markup[i] == u'<') {
      const size_t close = markup.find(u'>', i);
      if (close == TextView::npos) break;
      i = close + 1;
      continue;
    }
    out.push_back(markup[i++]);
  }
  return out;
}

// Reads the first `reference` in target as `shown`: target + terminator
// split at the reference; a text without one keeps only its own part.
void readReference(TextView reference, TextView shown, TextView target, TextView s1, TextView s2,
                   TextView terminator, std::vector<Text>& lines) {
  Text tail(terminator);
  tail += shown;
  tail += reference;
  lines.push_back(scriptLine({u"CON", target, quoted(tail)}));
  lines.push_back(scriptLine({u"GETA", target, s1, quoted(reference)}));
  lines.push_back(scriptLine({u"GETB", target, target, quoted(reference)}));
  lines.push_back(scriptLine({u"GETB", target, target, quoted(terminator)}));
  lines.push_back(scriptLine({u"GETC", s1, s2, quoted(terminator), quoted(reference)}));
  lines.push_back(scriptLine({u"GETB", s1, s1, quoted(terminator)}));
  lines.push_back(scriptLine({u"CON", target, s2}));
  lines.push_back(scriptLine({u"CON", target, s1}));
}

}  // namespace

namespace {

// The destination's text after lines run on the page the engine's HT holds.
std::optional<Text> runOn(engine::Engine& engine, const std::vector<Text>& lines, TextView dest) {
  Text script;
  for (const Text& l : lines) script += l + u"\r\n";
  if (engine.runScriptText(script) != engine::RunOutcome::Normal) return std::nullopt;
  Text name(dest);
  engine::upperInPlace(name);
  const engine::BufferName* buffer = engine::findBufferName(name);
  if (!buffer || !buffer->stored) return std::nullopt;
  return Text(engine.buffer(buffer->id).view());
}

}  // namespace

std::optional<Text> runLines(TextView page, const std::vector<Text>& lines, TextView dest) {
  QuietHost host;
  engine::Engine engine(host);
  engine.setEndSettledLoops(true);
  engine.ht().assign(page);
  return runOn(engine, lines, dest);
}

std::optional<Text> runLines(Text&& page, const std::vector<Text>& lines, TextView dest) {
  QuietHost host;
  engine::Engine engine(host);
  engine.setEndSettledLoops(true);
  engine.ht().take(std::move(page));
  return runOn(engine, lines, dest);
}

ShownCut shownCutOf(TextView markup) {
  ShownCut c;
  c.tags = static_cast<size_t>(std::count(markup.begin(), markup.end(), u'<'));
  const Text text = withoutTags(markup);
  while (c.lead < text.size() && blank(text[c.lead])) ++c.lead;
  while (c.trail < text.size() - c.lead && blank(text[text.size() - 1 - c.trail])) ++c.trail;
  const TextView inner = TextView(text).substr(c.lead, text.size() - c.lead - c.trail);
  for (size_t at = inner.find(u'\n'); at != TextView::npos; at = inner.find(u'\n', at + 1)) {
    ++c.lineBreaks;
    size_t k = 0;
    while (at + 1 + k < inner.size() && inner[at + 1 + k] == u' ') ++k;
    c.spacesAfterBreak = std::max(c.spacesAfterBreak, k);
  }
  c.amp = occurrences(inner, u"&amp;");
  c.lt = occurrences(inner, u"&lt;");
  c.gt = occurrences(inner, u"&gt;");
  c.nbsp = occurrences(inner, u"&nbsp;");
  return c;
}

ShownCut widest(const ShownCut& a, const ShownCut& b) {
  ShownCut c = a;
  c.tags = std::max(a.tags, b.tags);
  c.lineBreaks = std::max(a.lineBreaks, b.lineBreaks);
  c.spacesAfterBreak = std::max(a.spacesAfterBreak, b.spacesAfterBreak);
  c.amp = std::max(a.amp, b.amp);
  c.lt = std::max(a.lt, b.lt);
  c.gt = std::max(a.gt, b.gt);
  c.nbsp = std::max(a.nbsp, b.nbsp);
  return c;
}

void appendShownCut(const ShownCut& cut, TextView target, TextView s1, TextView s2,
                    TextView terminator, std::vector<Text>& lines) {
  for (size_t k = 0; k < cut.tags; ++k) lines.push_back(scriptLine({u"TAGDEL", target}));
  if (cut.lead > 0) lines.push_back(scriptLine({u"CUTBN", target, count(cut.lead)}));
  if (cut.trail > 0) lines.push_back(scriptLine({u"CUTAN", target, count(cut.trail)}));
  if (cut.lineBreaks > 0) {
    // A line feed no literal can hold: CR writes CR LF, and the CR goes.
    lines.push_back(scriptLine({u"CLEAR", s1}));
    lines.push_back(scriptLine({u"CR", s1}));
    lines.push_back(scriptLine({u"CUTBN", s1, u"1"}));
    for (size_t k = 0; k < cut.lineBreaks; ++k) {
      lines.push_back(scriptLine({u"DEL", target, s1}));
      if (cut.spacesAfterBreak > 1)
        lines.push_back(scriptLine({u"DEL", target, quoted(Text(cut.spacesAfterBreak - 1, u' '))}));
    }
  }
  // &amp; last, so that "&amp;lt;" shows as "&lt;".
  for (size_t k = 0; k < cut.nbsp; ++k)
    readReference(u"&nbsp;", u" ", target, s1, s2, terminator, lines);
  for (size_t k = 0; k < cut.lt; ++k)
    readReference(u"&lt;", u"<", target, s1, s2, terminator, lines);
  for (size_t k = 0; k < cut.gt; ++k)
    readReference(u"&gt;", u">", target, s1, s2, terminator, lines);
  for (size_t k = 0; k < cut.amp; ++k)
    readReference(u"&amp;", u"&", target, s1, s2, terminator, lines);
}

Text terminatorFor(TextView page, char16_t avoid) {
  static constexpr const char16_t* kChoices[] = {u"#end#", u"@end@", u"#eol#", u"~end~",
                                                 u"#end-of-item#"};
  for (const char16_t* c : kChoices) {
    const TextView t(c);
    if (t.find(avoid) == TextView::npos && engine::findMarker(page, t) == 0) return Text(t);
  }
  for (int n = 0;; ++n) {
    Text t = u"#end" + count(static_cast<size_t>(n)) + u"#";
    if (t.find(avoid) == TextView::npos && engine::findMarker(page, t) == 0) return t;
  }
}

}  // namespace kelvane::workbench
