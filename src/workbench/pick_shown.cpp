#include "workbench/pick_shown.h"

#include <tuple>

#include "workbench/script_text.h"
#include "workbench/shown_cut.h"
#include "workbench/suggest.h"

namespace kelvane::workbench {

int32_t elementAtPath(const PageText& page, const std::vector<int>& path) {
  int32_t at = -1;
  for (size_t e = 0; e < page.elements.size(); ++e) {
    if (page.elements[e].tag == "body") {
      at = static_cast<int32_t>(e);
      break;
    }
  }
  for (const int index : path) {
    if (at < 0 || index < 0) return -1;
    int seen = 0;
    int32_t found = -1;
    const PageElement& parent = page.elements[static_cast<size_t>(at)];
    for (size_t e = static_cast<size_t>(at) + 1; e < page.elements.size(); ++e) {
      const PageElement& x = page.elements[e];
      if (x.start >= parent.end && parent.end > parent.start) break;
      if (x.parent != at) continue;
      if (seen++ == index) {
        found = static_cast<int32_t>(e);
        break;
      }
    }
    at = found;
  }
  return at;
}

std::optional<ShownMatch> shownOfElement(const PageText& page, int32_t element) {
  if (element < 0 || static_cast<size_t>(element) >= page.elements.size()) return std::nullopt;
  const PageElement& e = page.elements[static_cast<size_t>(element)];
  size_t a = e.textBegin, b = e.textEnd;
  while (a < b && page.text[a] == u' ') ++a;
  while (b > a && page.text[b - 1] == u' ') --b;
  if (a == b) return std::nullopt;
  return ShownMatch{a, b, false};
}

std::vector<Text> shownPieceLines(TextView ht, const PageText& page, const ShownMatch& m) {
  const auto [a, b] = htSpan(page, m);
  const Text want = collapsedWhiteSpace(TextView(page.text).substr(m.begin, m.end - m.begin));
  for (const Proposal& p : suggest(ht, a, b - a)) {
    if (p.kind != Proposal::Kind::Piece) continue;
    std::vector<Text> lines = p.lines;
    appendShownCut(shownCutOf(ht.substr(a, b - a)), u"D", u"V4", u"V5", terminatorFor(ht, 0),
                   lines);
    const auto d = runLines(ht, lines);
    if (d && collapsedWhiteSpace(*d) == want) return lines;
  }
  return {};
}

ShownPick pickShown(TextView ht, const PageText& page, const ShownMatch& match) {
  ShownPick pick;
  std::tie(pick.htBegin, pick.htEnd) = htSpan(page, match);
  pick.shown = Text(TextView(page.text).substr(match.begin, match.end - match.begin));
  pick.piece = shownPieceLines(ht, page, match);
  pick.list = suggestList(ht, page, match.begin, match.end);
  return pick;
}

}  // namespace kelvane::workbench
