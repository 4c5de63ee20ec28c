#include "history/display_diff.h"

#include <algorithm>
#include <dtl/dtl.hpp>

namespace kelvane::history {
namespace {

using Lines = std::vector<std::u16string>;

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

}  // namespace

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
