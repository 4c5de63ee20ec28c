#include "workbench/suggest.h"

#include <algorithm>
#include <optional>

#include "engine/engine.h"
#include "workbench/script_text.h"

namespace kelvane::workbench {
namespace {

using engine::findMarker;

// No marker grows past this: a longer one would be read by nobody.
constexpr size_t kMaxMarker = 32;
// A short marker is completed to the whole tag it ends or begins in while it
// stays this short.
constexpr size_t kMaxNaturalMarker = 24;
// Narrowing steps (GETA lines) before the cut.
constexpr int kMaxHops = 4;
// Places tried as the end of one narrowing step.
constexpr int kMaxHopCandidates = 400;
// Above this many skipped items a LOOP does the skipping.
constexpr size_t kMaxRepeatedHops = 4;

// A literal cannot hold a tab (it ends the field) or a CR (it ends the
// line); a lone LF would be kept, but a line that shows as two is a trap.
bool writable(char16_t c) {
  return c != u'\t' && c != u'\r' && c != u'\n';
}
bool isSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == 0x3000;
}
bool isHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Start of the first occurrence of marker in page[from, to), letter case
// ignored, as a run finds it; npos when there is none.
size_t firstIn(TextView page, size_t from, size_t to, TextView marker) {
  const size_t p = findMarker(page.substr(from, to - from), marker);
  return p == 0 ? TextView::npos : from + p - 1;
}

// Length of the shortest marker page[end - m, end) whose first occurrence in
// page[from, ...) is the one ending at end; 0 when none of at most kMaxMarker
// characters without a tab or line break does.
size_t shortestStart(TextView page, size_t from, size_t end) {
  size_t bound = from;  // no occurrence of the longer marker starts before it
  for (size_t m = 1; m <= kMaxMarker && m <= end - from; ++m) {
    if (!writable(page[end - m])) return 0;
    const size_t q = firstIn(page, bound, end, page.substr(end - m, m));
    if (q == end - m && !isLowSurrogate(page[end - m])) return m;
    // Where the marker one longer can occur at the earliest.
    bound = q > from ? q - 1 : from;
  }
  return 0;
}

// Length of the shortest marker page[at, at + m) whose first occurrence in
// page[from, ...) is at `at`; 0 when none of at most kMaxMarker does.
size_t shortestEnd(TextView page, size_t from, size_t at) {
  for (size_t m = 1; m <= kMaxMarker && at + m <= page.size(); ++m) {
    if (!writable(page[at + m - 1])) return 0;
    if (isHighSurrogate(page[at + m - 1])) continue;
    if (firstIn(page, from, at + m, page.substr(at, m)) == at) return m;
  }
  return 0;
}

// A marker found first stays found first when it grows away from the piece
// (an earlier occurrence of the longer one would hold the shorter one too),
// so a marker that ends inside a tag is completed to the whole tag, which a
// reader recognises.
size_t wholeTagBefore(TextView page, size_t end, size_t m) {
  for (size_t n = m; n <= kMaxNaturalMarker && n <= end; ++n) {
    const char16_t c = page[end - n];
    if (!writable(c)) break;
    if (c == u'<') return n;
  }
  return m;
}
size_t wholeTagAfter(TextView page, size_t at, size_t m) {
  if (page[at] != u'<') return m;
  for (size_t n = m; n <= kMaxNaturalMarker && at + n <= page.size(); ++n) {
    const char16_t c = page[at + n - 1];
    if (!writable(c) || (c == u'<' && n > 1)) break;
    if (c == u'>') return n;
  }
  return m;
}

// The piece and what surrounds it: the cut's markers must end at `start`
// and begin at `stop`; the white space between them and the piece (when it
// holds a line break, which no marker can) is cut off afterwards.
struct Frame {
  TextView page;
  size_t start;  // where the start marker ends
  size_t stop;   // where the end marker begins
  size_t lead;   // characters cut from the front after the cut
  size_t trail;  // characters cut from the end
};

Frame frameOf(TextView page, size_t position, size_t length) {
  Frame f{page, position, position + length, 0, 0};
  size_t a = position;
  while (a > 0 && isSpace(page[a - 1])) --a;
  if (std::any_of(page.begin() + a, page.begin() + position,
                  [](char16_t c) { return !writable(c); }))
    f.start = a;
  size_t b = position + length;
  while (b < page.size() && isSpace(page[b])) ++b;
  if (std::any_of(page.begin() + position + length, page.begin() + b,
                  [](char16_t c) { return !writable(c); }))
    f.stop = b;
  f.lead = position - f.start;
  f.trail = f.stop - position - length;
  return f;
}

// The lines that narrow the page with `hops` (each marker ends where the
// next search starts), cut between start and end marker, trim and deliver.
std::vector<Text> cutLines(const Frame& f, const std::vector<TextView>& hops, size_t loopHops,
                           TextView start, TextView end, const PickTarget& t) {
  std::vector<Text> lines;
  Text source = u"HT";
  if (loopHops > 0) {
    lines.push_back(scriptLine({u"REPLACE", u"HT", t.work}));
    lines.push_back(scriptLine({u"LOOP", quoted(count(loopHops))}));
    lines.push_back(scriptLine({u"GETA", t.work, t.work, quoted(hops.front())}));
    lines.push_back(scriptLine({u"LOOPEND"}));
    source = t.work;
  } else {
    for (TextView hop : hops) {
      lines.push_back(scriptLine({u"GETA", source, t.work, quoted(hop)}));
      source = t.work;
    }
  }
  const bool direct = !t.append && f.lead == 0 && f.trail == 0;
  const Text into = direct ? t.dest : t.work;
  // A piece at the very start or end of the page needs no marker there.
  if (start.empty() && end.empty())
    lines.push_back(scriptLine({u"REPLACE", source, into}));
  else if (start.empty())
    lines.push_back(scriptLine({u"GETB", source, into, quoted(end)}));
  else if (end.empty())
    lines.push_back(scriptLine({u"GETA", source, into, quoted(start)}));
  else
    lines.push_back(scriptLine({u"GETC", source, into, quoted(start), quoted(end)}));
  if (f.lead > 0) lines.push_back(scriptLine({u"CUTBN", t.work, count(f.lead)}));
  if (f.trail > 0) lines.push_back(scriptLine({u"CUTAN", t.work, count(f.trail)}));
  if (!direct) lines.push_back(scriptLine({t.append ? u"PUT" : u"REPLACE", t.work, t.dest}));
  return lines;
}

// The end marker for a cut whose start marker ends at `from`, made long
// enough that a value one character longer would not hold it either.
TextView endMarker(const Frame& f, size_t from) {
  const size_t shortest = shortestEnd(f.page, from, f.stop);
  if (shortest == 0) return {};
  const TextView piece = f.page.substr(f.start, f.stop - f.start);
  Text changed(piece);
  changed += piece.substr(0, 1);
  changed += f.page.substr(f.stop, kMaxMarker);
  for (size_t m = shortest; m <= kMaxMarker && f.stop + m <= f.page.size(); ++m) {
    const TextView e = f.page.substr(f.stop, m);
    if (!writable(e.back())) break;
    if (firstIn(changed, 0, changed.size(), e) == piece.size() + 1)
      return f.page.substr(f.stop, wholeTagAfter(f.page, f.stop, m));
  }
  return f.page.substr(f.stop, wholeTagAfter(f.page, f.stop, shortest));
}

// Cut from the piece's own markers, after narrowing steps where the start
// marker alone is found earlier: each step goes as far towards the piece as
// a short marker that is found first takes it.
std::optional<std::vector<Text>> byMarkers(const Frame& f, const PickTarget& t) {
  const TextView page = f.page;
  const bool atEnd = f.stop == page.size();
  const TextView end = atEnd ? TextView{} : endMarker(f, f.start);
  if (end.empty() && !atEnd) return std::nullopt;
  std::vector<TextView> hops;
  size_t cursor = 0;
  for (int hop = 0; hop <= kMaxHops; ++hop) {
    if (cursor == f.start) return cutLines(f, hops, 0, {}, end, t);
    if (size_t s = shortestStart(page, cursor, f.start)) {
      s = std::min(wholeTagBefore(page, f.start, s), f.start - cursor);
      return cutLines(f, hops, 0, page.substr(f.start - s, s), end, t);
    }
    if (hop == kMaxHops) break;
    // The farthest place a short marker reaches; the first one from which
    // the start marker is found where it must be wins.
    size_t reach = 0, reachLength = 0;
    int tried = 0;
    for (size_t h = f.start; h > cursor && tried < kMaxHopCandidates; --h) {
      // Tag boundaries and line ends (in preformatted text the only ones).
      const bool boundary =
          page[h - 1] == u'>' || (h < page.size() && (page[h] == u'<' || !writable(page[h])));
      if (!boundary) continue;
      ++tried;
      const size_t m = shortestStart(page, cursor, h);
      if (m == 0) continue;
      if (reach == 0) reach = h, reachLength = m;
      if (h == f.start || shortestStart(page, h, f.start) > 0) {
        reach = h, reachLength = m;
        break;
      }
    }
    if (reach == 0) break;
    hops.push_back(page.substr(reach - reachLength, reachLength));
    cursor = reach;
  }
  return std::nullopt;
}

// The marker each item of the piece's list starts with: the opening markup
// right before the piece (from its last "<"), else as much of the text
// before it as a marker can hold.
TextView itemMarker(const Frame& f) {
  size_t m = 0;
  while (m < kMaxMarker && m < f.start && writable(f.page[f.start - m - 1])) {
    ++m;
    if (f.page[f.start - m] == u'<') break;
  }
  if (m > 0 && isLowSurrogate(f.page[f.start - m])) --m;
  return f.page.substr(f.start - m, m);
}

struct ListPlace {
  TextView start, end;
  size_t index = 0;           // of the piece among the starts, from 1
  size_t items = 0;           // start ... end pairs a GHC walk takes
  bool othersDiffer = false;  // some item is not the piece's text
};

std::optional<ListPlace> listPlace(const Frame& f) {
  ListPlace l;
  l.start = itemMarker(f);
  if (l.start.empty()) return std::nullopt;
  l.end = endMarker(f, f.start);
  if (l.end.empty()) return std::nullopt;
  const TextView page = f.page;
  // Count the starts before the piece (each GETA skips one).
  size_t index = 0;
  for (size_t a = firstIn(page, 0, page.size(), l.start); a != TextView::npos;
       a = firstIn(page, a + l.start.size(), page.size(), l.start)) {
    ++index;
    if (a + l.start.size() >= f.start) {
      if (a + l.start.size() == f.start) l.index = index;
      break;
    }
  }
  if (l.index == 0) return std::nullopt;
  for (size_t t = 0;;) {
    const size_t a = firstIn(page, t, page.size(), l.start);
    if (a == TextView::npos) break;
    const size_t b = firstIn(page, a + l.start.size(), page.size(), l.end);
    if (b == TextView::npos) break;
    ++l.items;
    const TextView item = page.substr(a + l.start.size(), b - a - l.start.size());
    if (item != page.substr(f.start, f.stop - f.start)) l.othersDiffer = true;
    t = b + l.end.size();
  }
  return l;
}

// Runs lines over the page; the destination's text, or nothing on a stop.
std::optional<Text> tryLines(TextView page, const std::vector<Text>& lines, const PickTarget& t) {
  return runLines(page, lines, t.dest);
}

// What a reader pays for lines: each line, and twice each character of a
// literal (long markers are mostly other items' text, which may change).
size_t cost(const std::vector<Text>& lines) {
  size_t c = 0;
  for (const Text& l : lines) {
    c += 4;
    for (size_t f = 0; f < l.size();) {
      const size_t tab = std::min(l.find(u'\t', f), l.size());
      if (l[f] == u'"' && tab - f >= 2) c += 2 * (tab - f - 2);
      f = tab + 1;
    }
  }
  return c;
}

}  // namespace

size_t findOccurrence(TextView page, TextView piece, int occurrence) {
  if (piece.empty() || occurrence < 1) return TextView::npos;
  size_t at = page.find(piece);
  for (int k = 1; k < occurrence && at != TextView::npos; ++k) at = page.find(piece, at + 1);
  return at;
}

std::vector<Proposal> suggest(TextView page, size_t position, size_t length, const PickTarget& t) {
  std::vector<Proposal> proposals;
  if (length == 0 || position > page.size() || length > page.size() - position) return proposals;
  const TextView piece = page.substr(position, length);
  const Frame f = frameOf(page, position, length);
  const auto cuts = [&](const std::vector<Text>& lines) {
    const auto d = tryLines(page, lines, t);
    return d && *d == piece;
  };

  std::optional<std::vector<Text>> best = byMarkers(f, t);
  if (best && !cuts(*best)) best.reset();
  const auto list = listPlace(f);
  if (list && list->index > 1) {
    const size_t skip = list->index - 1;
    const std::vector<TextView> hops(skip > kMaxRepeatedHops ? 1 : skip, list->start);
    auto byRank = cutLines(f, hops, skip > kMaxRepeatedHops ? skip : 0, list->start, list->end, t);
    if ((!best || cost(byRank) < cost(*best)) && cuts(byRank)) best = std::move(byRank);
  }
  if (best) proposals.push_back({Proposal::Kind::Piece, std::move(*best)});

  // A list: items that begin with the same markup, not all the same text.
  if (list && list->start.front() == u'<' && list->items >= 2 && list->othersDiffer) {
    std::vector<Text> every{scriptLine({u"LOOP", quoted(count(list->items))}),
                            scriptLine({u"GHC", t.dest, quoted(list->start), quoted(list->end)}),
                            scriptLine({u"CR", t.dest}), scriptLine({u"LOOPEND"})};
    const auto d = tryLines(page, every, t);
    if (d && d->find(piece) != Text::npos)
      proposals.push_back({Proposal::Kind::EveryItem, std::move(every)});
  }
  return proposals;
}

}  // namespace kelvane::workbench
