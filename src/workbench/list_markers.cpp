#include "workbench/list_markers.h"

#include <algorithm>

#include "workbench/list_miss.h"
#include "workbench/script_text.h"

namespace kelvane::workbench {
namespace {

// The first class that holds no digit (a generated class is left out).
Text firstClass(TextView classes) {
  for (size_t a = 0; a < classes.size();) {
    while (a < classes.size() && classes[a] == u' ') ++a;
    size_t b = a;
    bool digit = false;
    for (; b < classes.size() && classes[b] != u' '; ++b)
      digit = digit || (classes[b] >= u'0' && classes[b] <= u'9');
    if (b > a && !digit) return Text(classes.substr(a, b - a));
    a = b;
  }
  return {};
}

constexpr size_t kMaxPrefix = 40;
// What the lines of one name or value may take off or read, at most.
constexpr size_t kMostTags = 64;
constexpr size_t kMostBreaks = 16;
constexpr size_t kMostReferences = 24;

}  // namespace

ListSkeleton::ListSkeleton(TextView ht, const PageText& page)
    : ht_(ht), page_(page), children_(page.elements.size()) {
  for (size_t e = 0; e < page.elements.size(); ++e)
    if (page.elements[e].parent >= 0)
      children_[static_cast<size_t>(page.elements[e].parent)].push_back(static_cast<int32_t>(e));
}

std::vector<int32_t> ListSkeleton::itemsLike(int32_t item) const {
  std::vector<int32_t> items;
  const PageElement& it = page_.elements[item];
  if (it.parent < 0) return items;
  const Text cls = firstClass(it.classes);
  for (int32_t s : children_[static_cast<size_t>(it.parent)]) {
    const PageElement& x = page_.elements[s];
    if (x.tag == it.tag && firstClass(x.classes) == cls && x.openEnd > x.start) items.push_back(s);
  }
  return items;
}

int32_t ListSkeleton::groupLast(int32_t item) const {
  const PageElement& it = page_.elements[item];
  if (it.tag != "dt" || it.parent < 0) return item;
  const auto& siblings = children_[static_cast<size_t>(it.parent)];
  int32_t last = item;
  for (auto s = std::find(siblings.begin(), siblings.end(), item) + 1; s != siblings.end(); ++s) {
    if (page_.elements[*s].tag == "dt") break;
    last = *s;
  }
  return last;
}

int32_t ListSkeleton::termOf(int32_t e) const {
  const PageElement& x = page_.elements[e];
  if (x.tag != "dd" || x.parent < 0) return -1;
  const auto& siblings = children_[static_cast<size_t>(x.parent)];
  for (auto s = std::find(siblings.begin(), siblings.end(), e); s != siblings.begin();)
    if (page_.elements[*--s].tag == "dt") return *s;
  return -1;
}

Text ListSkeleton::stablePrefix(const PageElement& e) const {
  const TextView tag = ht_.substr(e.start, e.openEnd - e.start);
  size_t n = std::min<size_t>(tag.size(), 1 + e.tag.size());
  const size_t name = n;
  while (n < tag.size() && n < kMaxPrefix) {
    const char16_t c = tag[n];
    if (c == u'\t' || c == u'\r' || c == u'\n') break;
    if (c >= u'0' && c <= u'9') {
      // An attribute with a number in it (an id, a link) is left out whole.
      const size_t space = tag.rfind(u' ', n);
      n = space != TextView::npos && space >= name ? space + 1 : n;
      break;
    }
    ++n;
  }
  return Text(tag.substr(0, n));
}

size_t ListSkeleton::findFrom(size_t from, TextView marker) const {
  if (from > ht_.size()) return TextView::npos;
  const size_t p = engine::findMarker(ht_.substr(from), marker);
  return p == 0 ? TextView::npos : from + p - 1;
}

std::vector<ListSkeleton::Step> ListSkeleton::pathOf(int32_t item, int32_t e) const {
  std::vector<Step> path;
  const int32_t parent = page_.elements[item].parent;
  for (; e != item && e >= 0; e = page_.elements[e].parent) {
    const PageElement& x = page_.elements[e];
    // A sibling after the item (a description after its term) is counted
    // from the item on.
    const bool follower = x.parent == parent;
    size_t index = 0;
    const auto& siblings = children_[static_cast<size_t>(x.parent)];
    auto s = follower ? std::find(siblings.begin(), siblings.end(), item) + 1 : siblings.begin();
    for (; s != siblings.end() && *s != e; ++s) {
      const PageElement& y = page_.elements[*s];
      if (y.tag == x.tag && firstClass(y.classes) == firstClass(x.classes)) ++index;
    }
    path.push_back({x.tag, firstClass(x.classes), index, follower});
    if (follower) break;
  }
  std::reverse(path.begin(), path.end());
  return path;
}

int32_t ListSkeleton::resolve(int32_t item, const std::vector<Step>& path) const {
  int32_t at = item;
  for (const Step& step : path) {
    size_t index = 0;
    int32_t found = -1;
    std::vector<int32_t> followers;
    if (step.follower) {
      const int32_t parent = page_.elements[item].parent;
      const auto& siblings = children_[static_cast<size_t>(parent)];
      const auto from = std::find(siblings.begin(), siblings.end(), item) + 1;
      const auto to = std::find(siblings.begin(), siblings.end(), groupLast(item));
      if (to >= from) followers.assign(from, to + 1);
    }
    for (int32_t s : step.follower ? followers : children_[static_cast<size_t>(at)]) {
      const PageElement& y = page_.elements[s];
      if (y.tag != step.tag || firstClass(y.classes) != step.classes) continue;
      if (index++ == step.index) {
        found = s;
        break;
      }
    }
    if (found < 0) return -1;
    at = found;
  }
  return at;
}

bool ListSkeleton::cutOf(int32_t item, int32_t e, size_t chunkStart, ElementCut& cut,
                         std::string* why) const {
  const PageElement& x = page_.elements[e];
  if (e == item) {
    // The term itself: what follows the rest of its start tag.
    cut = ElementCut{};
    cut.endTag = u"</" + Text(x.tag.begin(), x.tag.end()) + u">";
    if (findFrom(chunkStart, u">") + 1 != x.openEnd ||
        findFrom(x.openEnd, cut.endTag) != x.closeStart) {
      *why = list_miss::kOwnTagsMiss;
      return false;
    }
    cut.shown = {};
    return true;
  }
  cut.prefix = stablePrefix(x);
  if (cut.prefix.size() < x.tag.size() + 2 || x.end == x.closeStart) {
    *why = list_miss::kUntagged;
    return false;
  }
  cut.skips = 0;
  for (size_t p = findFrom(chunkStart, cut.prefix); p != TextView::npos && p <= x.start;
       p = findFrom(p + 1, cut.prefix)) {
    ++cut.skips;
    if (p == x.start) break;
  }
  cut.prefixClosed = cut.prefix.back() == u'>';
  if (!cut.prefixClosed && findFrom(x.start + cut.prefix.size(), u">") + 1 != x.openEnd) {
    *why = list_miss::kBracketInAttribute;
    return false;
  }
  cut.endTag = u"</" + Text(x.tag.begin(), x.tag.end()) + u">";
  if (findFrom(x.openEnd, cut.endTag) != x.closeStart) {
    *why = list_miss::kNested;
    return false;
  }
  return true;
}

bool ListSkeleton::plan(const std::vector<int32_t>& candidates, int32_t item, int32_t label,
                        int32_t value, ListPlan& out, std::string* why) const {
  // The items: those with a name and a value where the picked one has them
  // (a table's heading row is left out).
  const auto labelPath = pathOf(item, label), valuePath = pathOf(item, value);
  std::vector<int32_t>& items = out.members;
  for (int32_t i : candidates)
    if (resolve(i, labelPath) >= 0 && resolve(i, valuePath) >= 0) items.push_back(i);
  if (items.size() < 2) {
    *why = list_miss::kTooFewItems;
    return false;
  }
  // The start tag every item shares.
  Text common = stablePrefix(page_.elements[items.front()]);
  for (int32_t i : items) {
    const Text p = stablePrefix(page_.elements[i]);
    size_t n = 0;
    while (n < common.size() && n < p.size() && common[n] == p[n]) ++n;
    common.resize(n);
  }
  const PageElement& first = page_.elements[items.front()];
  const PageElement& last = page_.elements[groupLast(items.back())];
  if (common.size() < first.tag.size() + 2) {
    *why = list_miss::kStartTagsDiffer;
    return false;
  }
  out.itemMarker = common.substr(0, common.size() - 1);
  out.itemFirst = common.back();
  size_t k = 0;
  for (size_t p = findFrom(first.start, out.itemMarker); p != TextView::npos && p < last.end;
       p = findFrom(p + 1, out.itemMarker), ++k) {
    if (k >= items.size() || p != page_.elements[items[k]].start) {
      *why = list_miss::kStartTagShared;
      return false;
    }
  }
  // Where the list starts: an ancestor's start tag found first, else a
  // whole tag just before the first item.
  size_t anchorEnd = 0;
  if (findFrom(0, out.itemMarker) != first.start) {
    for (int32_t p = first.parent; p >= 0 && out.anchor.empty(); p = page_.elements[p].parent) {
      const PageElement& a = page_.elements[p];
      const Text pre = stablePrefix(a);
      if (a.tag == "body" || a.tag == "html") break;
      if (pre.size() < a.tag.size() + 2 || findFrom(0, pre) != a.start) continue;
      if (findFrom(a.start + pre.size(), out.itemMarker) != first.start) continue;
      out.anchor = pre;
      anchorEnd = a.start + pre.size();
    }
    for (size_t h = first.start, tried = 0; out.anchor.empty() && h > 0 && tried < 30; --h) {
      if (ht_[h - 1] != u'>') continue;
      ++tried;
      const size_t t = ht_.rfind(u'<', h - 1);
      if (t == TextView::npos || h - t > kMaxPrefix) continue;
      const TextView cand = ht_.substr(t, h - t);
      if (!literalFits(cand) || findFrom(0, cand) != t ||
          findFrom(h, out.itemMarker) != first.start)
        continue;
      out.anchor = Text(cand);
      anchorEnd = h;
    }
    if (out.anchor.empty()) {
      *why = list_miss::kNoStart;
      return false;
    }
  }
  // Where it ends, when the items' start tag occurs after it.
  size_t q = last.end;
  while (q < ht_.size() &&
         (ht_[q] == u' ' || ht_[q] == u'\n' || ht_[q] == u'\r' || ht_[q] == u'\t'))
    ++q;
  // The tags right after the last item, as many as it takes to be found
  // there first.
  for (size_t close = q; q < ht_.size() && close < ht_.size() && ht_[close] == u'<';) {
    close = ht_.find(u'>', close);
    if (close == TextView::npos || close + 1 - q > 2 * kMaxPrefix) break;
    const TextView cand = ht_.substr(q, ++close - q);
    if (!literalFits(cand)) break;
    if (findFrom(anchorEnd, cand) == q) {
      out.listEnd = Text(cand);
      break;
    }
  }
  if (out.listEnd.empty() && findFrom(last.end, out.itemMarker) != TextView::npos) {
    *why = list_miss::kNoEnd;
    return false;
  }
  // The name and the value in the item, and in every other item.
  const size_t chunk = page_.elements[item].start + out.itemMarker.size();
  if (!cutOf(item, label, chunk, out.label, why) || !cutOf(item, value, chunk, out.value, why))
    return false;
  for (int32_t i : items) {
    const int32_t l = resolve(i, labelPath), v = resolve(i, valuePath);
    if (l < 0 || v < 0) {
      *why = list_miss::kItemLacks;
      return false;
    }
    const PageElement& le = page_.elements[l];
    const PageElement& ve = page_.elements[v];
    out.label.shown =
        widest(out.label.shown, shownCutOf(ht_.substr(le.openEnd, le.closeStart - le.openEnd)));
    out.value.shown =
        widest(out.value.shown, shownCutOf(ht_.substr(ve.openEnd, ve.closeStart - ve.openEnd)));
    out.expected.push_back(Text(page_.shownOf(le)) + u'\t' + Text(page_.shownOf(ve)));
  }
  const PageElement& le = page_.elements[label];
  const PageElement& ve = page_.elements[value];
  const ShownCut own = shownCutOf(ht_.substr(le.openEnd, le.closeStart - le.openEnd));
  const ShownCut ownValue = shownCutOf(ht_.substr(ve.openEnd, ve.closeStart - ve.openEnd));
  out.label.shown.lead = own.lead, out.label.shown.trail = own.trail;
  out.value.shown.lead = ownValue.lead, out.value.shown.trail = ownValue.trail;
  // Each tag, line break and reference inside costs lines in every pass.
  for (const ShownCut* c : {&out.label.shown, &out.value.shown}) {
    if (c->tags > kMostTags || c->lineBreaks > kMostBreaks ||
        c->amp + c->lt + c->gt + c->nbsp > kMostReferences) {
      *why = list_miss::kTooMuchMarkup;
      return false;
    }
  }
  out.items = items.size();
  out.terminator = terminatorFor(ht_, out.itemFirst);
  return true;
}

std::vector<Text> ListSkeleton::scriptOf(const ListPlan& plan) const {
  std::vector<Text> lines;
  lines.push_back(scriptLine({u"CLEAR", u"D"}));
  if (!plan.anchor.empty())
    lines.push_back(scriptLine({u"GHA", u"HT", u"HT", quoted(plan.anchor)}));
  if (!plan.listEnd.empty())
    lines.push_back(scriptLine({u"GHB", u"HT", u"HT", quoted(plan.listEnd)}));
  const Text marker = quoted(plan.itemMarker);
  lines.push_back(scriptLine({u"GHA", u"HT", u"HT", marker}));
  // After the last item the walk finds this and leaves HT empty.
  lines.push_back(scriptLine({u"CON", u"HT", marker}));
  const size_t passes = std::min<size_t>(plan.items + std::max<size_t>(plan.items, 20), 32000);
  lines.push_back(scriptLine({u"LOOP", quoted(count(passes))}));
  lines.push_back(scriptLine({u"GETB", u"HT", u"V1", marker}));
  lines.push_back(scriptLine({u"GHA", u"HT", u"HT", marker}));
  const auto cut = [&](const ElementCut& c, TextView into) {
    lines.push_back(scriptLine({u"REPLACE", u"V1", into}));
    for (size_t k = 0; k < c.skips; ++k)
      lines.push_back(scriptLine({u"GETA", into, into, quoted(c.prefix)}));
    if (c.prefixClosed)
      lines.push_back(scriptLine({u"GETB", into, into, quoted(c.endTag)}));
    else
      lines.push_back(scriptLine({u"GETC", into, into, u"\">\"", quoted(c.endTag)}));
    appendShownCut(c.shown, into, u"V4", u"V5", plan.terminator, lines);
  };
  cut(plan.label, u"V2");
  cut(plan.value, u"V3");
  lines.push_back(scriptLine({u"PUTTAB", u"V2"}));
  lines.push_back(scriptLine({u"PUT", u"V3", u"V2"}));
  lines.push_back(scriptLine({u"CR", u"V2"}));
  // A pass past the last item has an empty V1 and writes nothing: V4 is
  // the terminator then, which the last cut takes everything before.
  lines.push_back(scriptLine({u"REPLACE", u"V1", u"V4"}));
  lines.push_back(scriptLine({u"CON", u"V4", quoted(plan.terminator)}));
  lines.push_back(scriptLine({u"GETB", u"V4", u"V4", quoted(TextView(&plan.itemFirst, 1))}));
  lines.push_back(scriptLine({u"CON", u"V4", u"V2"}));
  lines.push_back(scriptLine({u"GETB", u"V4", u"V4", quoted(plan.terminator)}));
  lines.push_back(scriptLine({u"PUT", u"V4", u"D"}));
  lines.push_back(scriptLine({u"LOOPEND"}));
  return lines;
}

}  // namespace kelvane::workbench
