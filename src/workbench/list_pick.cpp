#include "workbench/list_pick.h"

#include <algorithm>

#include "engine/text.h"
#include "workbench/find_shown.h"
#include "workbench/list_check.h"
#include "workbench/list_markers.h"
#include "workbench/list_miss.h"
#include "workbench/script_text.h"
#include "workbench/shown_cut.h"

namespace kelvane::workbench {
namespace {

constexpr int kMostTries = 4;

bool digitAt(TextView s, size_t i) {
  return i < s.size() && ((s[i] >= u'0' && s[i] <= u'9') || (s[i] >= u'０' && s[i] <= u'９'));
}
bool groupMark(char16_t c) {
  return c == u',' || c == u'.' || c == u'，' || c == u'．';
}
bool currencyBefore(char16_t c) {
  return c == u'￥' || c == u'¥' || c == u'$' || c == u'＄' || c == u'\\';
}

// The digit runs of s (with the separators inside them).
std::vector<std::pair<size_t, size_t>> numbersIn(TextView s) {
  std::vector<std::pair<size_t, size_t>> runs;
  for (size_t i = 0; i < s.size();) {
    if (!digitAt(s, i)) {
      ++i;
      continue;
    }
    size_t e = i;
    while (digitAt(s, e) || (groupMark(s[e]) && digitAt(s, e + 1))) ++e;
    runs.emplace_back(i, e);
    i = e;
  }
  return runs;
}

// Characters of s outside [a, b) that are neither blank nor part of how a
// price is written.
size_t wordsBeside(TextView s, size_t a, size_t b) {
  static constexpr TextView kPriceWords = u"円税込抜()（）送料無";
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if ((i < a || i >= b) && s[i] != u' ' && kPriceWords.find(s[i]) == TextView::npos) ++n;
  return n;
}

struct Role {
  int32_t label = -1, value = -1;
};

// Whether e lies in the item's group: inside the item, or in the siblings
// after it up to last (a term's descriptions).
bool inGroup(const PageText& page, int32_t item, int32_t last, int32_t e) {
  const PageElement& x = page.elements[e];
  return x.start >= page.elements[item].start && x.end <= page.elements[last].end;
}

// The smallest element of item's group, other than the item, that holds
// page.text[a, b); -1 when there is none.
int32_t holderIn(const PageText& page, int32_t item, int32_t last, size_t a, size_t b) {
  int32_t e = page.owner[a];
  while (e >= 0 && (page.elements[e].textBegin > a || page.elements[e].textEnd < b))
    e = page.elements[e].parent;
  return e == item || e < 0 || !inGroup(page, item, last, e) ? -1 : e;
}

bool nameLike(const PageElement& e) {
  const bool heading = e.tag.size() == 2 && e.tag[0] == 'h' && e.tag[1] >= '1' && e.tag[1] <= '6';
  return heading || e.tag == "a" || e.classes.find(u"name") != Text::npos ||
         e.classes.find(u"title") != Text::npos;
}

// Which element of item is the name and which the value, given the piece's
// element and whether the piece is the price.
Role rolesIn(const PageText& page, int32_t item, int32_t last, int32_t piece, bool pieceIsValue) {
  Role r;
  const PageElement& it = page.elements[item];
  const size_t textEnd = page.elements[last].textEnd;
  const TextView text = TextView(page.text).substr(0, textEnd);
  if (pieceIsValue) {
    r.value = piece;
    const PageElement& v = page.elements[piece];
    int32_t first = -1;
    // A term is the name of the descriptions after it.
    if (last != item && !page.holds(item, piece) && !page.shownOf(it).empty()) first = item;
    for (int32_t e = item + 1; e < static_cast<int32_t>(page.elements.size()); ++e) {
      const PageElement& x = page.elements[e];
      if (!inGroup(page, item, last, e)) break;
      if (page.holds(e, piece) || page.holds(piece, e)) continue;
      if (x.textBegin < v.textEnd && x.textEnd > v.textBegin) continue;
      const TextView shown = page.shownOf(x);
      if (shown.empty() || wordsBeside(shown, 0, 0) == 0) continue;
      if (numbersIn(shown).size() == 1 && moneyIn(shown)) continue;
      if (nameLike(x) && first != item) return r.label = e, r;
      if (first < 0) first = e;
    }
    r.label = first;
    return r;
  }
  r.label = piece;
  const PageElement& l = page.elements[piece];
  // The first money outside the name, else the last number outside it.
  std::optional<std::pair<size_t, size_t>> lastNumber;
  for (size_t from = it.textBegin; from < textEnd;) {
    const TextView rest = text.substr(from);
    const auto m = moneyIn(rest);
    if (!m) break;
    const size_t a = from + m->first, b = from + m->second;
    if (b <= l.textBegin || a >= l.textEnd) {
      r.value = holderIn(page, item, last, a, b);
      return r;
    }
    from = b;
  }
  for (const auto& [a, b] : numbersIn(text.substr(it.textBegin))) {
    const size_t x = it.textBegin + a, y = it.textBegin + b;
    if (y <= l.textBegin || x >= l.textEnd) lastNumber = {{x, y}};
  }
  if (lastNumber) r.value = holderIn(page, item, last, lastNumber->first, lastNumber->second);
  return r;
}

}  // namespace

std::optional<std::pair<size_t, size_t>> moneyIn(TextView s) {
  for (const auto& [a0, b0] : numbersIn(s)) {
    size_t a = a0, b = b0;
    size_t p = a;
    while (p > 0 && s[p - 1] == u' ') --p;
    const bool before = p > 0 && currencyBefore(s[p - 1]);
    if (before) a = p - 1;
    size_t q = b;
    while (q < s.size() && s[q] == u' ') ++q;
    const bool after = q < s.size() && s[q] == u'円';
    if (after) b = q + 1;
    const bool tax = s.substr(b, 6).find(u"税") != TextView::npos;
    if (before || after || tax) return std::pair{a, b};
  }
  return std::nullopt;
}

ListResult suggestList(TextView ht, const PageText& page, size_t shownBegin, size_t shownEnd) {
  ListResult result;
  if (!page.parsed || shownBegin >= shownEnd || shownEnd > page.text.size()) {
    result.why = list_miss::kNotHtml;
    return result;
  }
  int32_t piece = page.owner[shownBegin];
  while (piece >= 0 &&
         (page.elements[piece].textBegin > shownBegin || page.elements[piece].textEnd < shownEnd))
    piece = page.elements[piece].parent;
  if (piece < 0) {
    result.why = list_miss::kNotInElement;
    return result;
  }
  TextView shownPiece = TextView(page.text).substr(shownBegin, shownEnd - shownBegin);
  // A bare number (a click on <b>1,280</b>) is the price its parent marks
  // as money (<b>1,280</b>円).
  if (!moneyIn(shownPiece) && !numbersIn(shownPiece).empty()) {
    const PageElement& p = page.elements[piece];
    if (p.parent >= 0) {
      const PageElement& up = page.elements[p.parent];
      const TextView around = TextView(page.text).substr(up.textBegin, up.textEnd - up.textBegin);
      const auto m = moneyIn(around);
      if (m && up.textBegin + m->first <= shownBegin && up.textBegin + m->second >= shownEnd &&
          wordsBeside(around, m->first, m->second) <= 2) {
        piece = p.parent;
        shownPiece = around.substr(m->first, m->second - m->first);
      }
    }
  }
  const auto money = moneyIn(shownPiece);
  const bool isValue = money && wordsBeside(shownPiece, money->first, money->second) <= 2;
  const ListSkeleton skeleton(ht, page);
  // Each list tried is run on the page and its variants: a few at most.
  int tries = 0;
  for (int32_t up = piece; up >= 0 && tries < kMostTries; up = page.elements[up].parent) {
    // A description is an item with its term.
    const int32_t term = skeleton.termOf(up);
    const int32_t item = term >= 0 ? term : up;
    const PageElement& it = page.elements[item];
    if (it.tag == "body" || it.tag == "html") break;
    const std::vector<int32_t> items = skeleton.itemsLike(item);
    if (items.size() < 2) continue;
    const Role role = rolesIn(page, item, skeleton.groupLast(item), piece, isValue);
    if (role.label < 0 || role.value < 0) continue;
    ListPlan plan;
    if (!skeleton.plan(items, item, role.label, role.value, plan, &result.why)) continue;
    bool differ = false;
    for (const Text& line : plan.expected) differ = differ || line != plan.expected.front();
    if (!differ) continue;
    ++tries;
    std::vector<Text> lines = skeleton.scriptOf(plan);
    const auto shown = runLines(ht, lines);
    if (!shown || !displayIs(*shown, plan.expected)) {
      result.why = list_miss::kNotAsShown;
      continue;
    }
    std::vector<std::pair<size_t, size_t>> spans;
    for (int32_t i : plan.members)
      spans.emplace_back(page.elements[i].start, page.elements[skeleton.groupLast(i)].end);
    bool holds = true;
    for (size_t k = 0; auto v = listVariant(k, ht, spans, plan.expected); ++k) {
      const auto d = runLines(std::move(v->html), lines);
      if (!d || !displayIs(*d, v->expected)) {
        result.why = std::string(list_miss::kFailsOnVariant) + v->name;
        holds = false;
        break;
      }
    }
    if (!holds) continue;
    result.offer = ListOffer{std::move(lines), plan.expected};
    result.why.clear();
    return result;
  }
  if (result.why.empty()) result.why = list_miss::kNoList;
  return result;
}

}  // namespace kelvane::workbench
