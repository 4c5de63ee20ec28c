#include "history/display_diff.h"

#include <algorithm>
#include <cstdint>
#include <dtl/dtl.hpp>

#include "textfile/text_codec.h"

namespace kelvane::history {
namespace {

using Lines = std::vector<std::u16string>;

// A line with its end ("\r\n", "\r", "\n", or none for a last line
// without one).
struct Line {
  std::u16string_view text;
  std::u16string_view end;
  std::u16string_view whole() const { return {text.data(), text.size() + end.size()}; }
};

std::vector<Line> linesWithEnds(std::u16string_view s) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < s.size()) {
    const size_t brk = s.find_first_of(u"\r\n", start);
    if (brk == std::u16string_view::npos) {
      lines.push_back({s.substr(start), {}});
      break;
    }
    const size_t endSize = (s[brk] == u'\r' && brk + 1 < s.size() && s[brk + 1] == u'\n') ? 2 : 1;
    lines.push_back({s.substr(start, brk - start), s.substr(brk, endSize)});
    start = brk + endSize;
  }
  return lines;
}

Lines linesOf(std::u16string_view text) {
  Lines lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find_first_of(u"\r\n", pos);
    if (end == std::u16string_view::npos) {
      lines.emplace_back(text.substr(pos));
      break;
    }
    lines.emplace_back(text.substr(pos, end - pos));
    pos = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
  }
  return lines;
}

void addPiece(std::vector<DiffPiece>& pieces, char16_t c, bool marked) {
  if (pieces.empty() || pieces.back().marked != marked) pieces.push_back({{}, marked});
  pieces.back().text += c;
}

// The removed line and the added line with the characters that differ marked.
void markPair(const std::u16string& removed, const std::u16string& added, DiffLine& from,
              DiffLine& to) {
  dtl::Diff<char16_t, std::u16string> chars(removed, added, true);
  chars.compose();
  for (const auto& [c, info] : chars.getSes().getSequence()) {
    if (info.type != dtl::SES_ADD) addPiece(from.pieces, c, info.type == dtl::SES_DELETE);
    if (info.type != dtl::SES_DELETE) addPiece(to.pieces, c, info.type == dtl::SES_ADD);
  }
}

enum class Op : uint8_t { Equal, Delete, Insert };

// Past this many line pairs between the common head and tail, the lines are
// not compared one by one: all of them are shown as removed and added, so
// that two long and wholly different displays cost no minutes.
constexpr size_t kMaxComparedPairs = 50'000'000;

// How the lines of a become those of b: equal lines, and in each stretch of
// changes the removed lines before the added ones.
std::vector<Op> lineEdits(const std::vector<Line>& a, const std::vector<Line>& b) {
  size_t head = 0;
  while (head < a.size() && head < b.size() && a[head].whole() == b[head].whole()) ++head;
  size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail].whole() == b[b.size() - 1 - tail].whole()) {
    ++tail;
  }
  const size_t n = a.size() - head - tail, m = b.size() - head - tail;
  std::vector<Op> ops(head, Op::Equal);
  std::vector<Op> middle;
  if (n > 0 && m > 0 && n * m <= kMaxComparedPairs) {
    std::vector<std::u16string_view> from, to;
    for (size_t i = head; i < head + n; ++i) from.push_back(a[i].whole());
    for (size_t i = head; i < head + m; ++i) to.push_back(b[i].whole());
    dtl::Diff<std::u16string_view, std::vector<std::u16string_view>> diff(from, to, true);
    diff.compose();
    for (const auto& [line, info] : diff.getSes().getSequence()) {
      middle.push_back(info.type == dtl::SES_COMMON   ? Op::Equal
                       : info.type == dtl::SES_DELETE ? Op::Delete
                                                      : Op::Insert);
    }
  } else {
    middle.insert(middle.end(), n, Op::Delete);
    middle.insert(middle.end(), m, Op::Insert);
  }
  // Removed lines first in every stretch of changes, as diff shows them.
  for (auto at = middle.begin(); at != middle.end();) {
    const auto end = std::find(at, middle.end(), Op::Equal);
    std::stable_partition(at, end, [](Op op) { return op == Op::Delete; });
    at = end == middle.end() ? end : end + 1;
  }
  ops.insert(ops.end(), middle.begin(), middle.end());
  ops.insert(ops.end(), tail, Op::Equal);
  return ops;
}

std::string range(size_t start, size_t count) {
  // An empty range names the line before it, as diff does.
  std::string s = std::to_string(count == 0 ? start : start + 1);
  if (count != 1) s += "," + std::to_string(count);
  return s;
}

void appendLine(std::string& out, char sign, const Line& line) {
  out.push_back(sign);
  out += textfile::encodeUtf8(line.text);
  out.push_back('\n');
  if (line.end.empty()) out += "\\ No newline at end of file\n";
}

}  // namespace

std::string unifiedDiff(std::u16string_view before, std::u16string_view after) {
  const std::vector<Line> a = linesWithEnds(before);
  const std::vector<Line> b = linesWithEnds(after);
  const std::vector<Op> ops = lineEdits(a, b);
  constexpr size_t kContext = 3;
  std::string out;
  size_t i = 0;                 // position in ops
  size_t oldAt = 0, newAt = 0;  // lines of a and b before ops[i]
  const auto advance = [&](size_t to) {
    for (; i < to; ++i) {
      if (ops[i] != Op::Insert) ++oldAt;
      if (ops[i] != Op::Delete) ++newAt;
    }
  };
  while (i < ops.size()) {
    size_t change = i;
    while (change < ops.size() && ops[change] == Op::Equal) ++change;
    if (change == ops.size()) break;
    advance(std::max(i, change >= kContext ? change - kContext : 0));
    const size_t begin = i;
    // A hunk: from kContext before this change to kContext after the last
    // change that is no more than 2 x kContext equal lines from the previous.
    size_t end = change;
    while (end < ops.size()) {
      size_t equal = end;
      while (equal < ops.size() && ops[equal] == Op::Equal) ++equal;
      if (equal == ops.size() || equal - end > 2 * kContext) {
        end = std::min(ops.size(), end + kContext);
        break;
      }
      end = equal;
      while (end < ops.size() && ops[end] != Op::Equal) ++end;
    }
    const size_t oldLine = oldAt, newLine = newAt;
    std::string body;
    size_t oldCount = 0, newCount = 0;
    for (size_t k = begin; k < end; ++k) {
      switch (ops[k]) {
        case Op::Equal:
          appendLine(body, ' ', a[oldLine + oldCount]);
          ++oldCount, ++newCount;
          break;
        case Op::Delete:
          appendLine(body, '-', a[oldLine + oldCount]);
          ++oldCount;
          break;
        case Op::Insert:
          appendLine(body, '+', b[newLine + newCount]);
          ++newCount;
          break;
      }
    }
    if (out.empty()) out = "--- previous\n+++ current\n";
    out += "@@ -" + range(oldLine, oldCount) + " +" + range(newLine, newCount) + " @@\n" + body;
    advance(end);
  }
  return out;
}

std::vector<DiffLine> displayDiff(std::u16string_view before, std::u16string_view after) {
  dtl::Diff<std::u16string, Lines> lines(linesOf(before), linesOf(after), true);
  lines.compose();
  const auto sequence = lines.getSes().getSequence();
  std::vector<DiffLine> result;
  for (size_t i = 0; i < sequence.size();) {
    if (sequence[i].second.type == dtl::SES_COMMON) {
      result.push_back({DiffLine::Kind::Same, {{sequence[i].first, false}}});
      ++i;
      continue;
    }
    // A stretch of changes: the removed lines, then the added ones.
    std::vector<std::u16string> removed, added;
    for (; i < sequence.size() && sequence[i].second.type != dtl::SES_COMMON; ++i) {
      (sequence[i].second.type == dtl::SES_DELETE ? removed : added).push_back(sequence[i].first);
    }
    const size_t base = result.size();
    result.resize(base + removed.size() + added.size());
    for (size_t k = 0; k < removed.size(); ++k) result[base + k].kind = DiffLine::Kind::Removed;
    for (size_t k = 0; k < added.size(); ++k) {
      result[base + removed.size() + k].kind = DiffLine::Kind::Added;
    }
    for (size_t k = 0; k < std::max(removed.size(), added.size()); ++k) {
      DiffLine* from = k < removed.size() ? &result[base + k] : nullptr;
      DiffLine* to = k < added.size() ? &result[base + removed.size() + k] : nullptr;
      if (from && to) {
        markPair(removed[k], added[k], *from, *to);
      } else if (from) {
        from->pieces.push_back({removed[k], false});
      } else {
        to->pieces.push_back({added[k], false});
      }
    }
  }
  return result;
}

}  // namespace kelvane::history
