// The difference between two displays: their lines, and inside a line that
// changed, the characters that differ (the History window); or as a unified
// diff (kelvane-run --state --diff). Both come from one line comparison.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::history {

struct DiffPiece {
  std::u16string text;
  bool marked = false;  // characters that differ from the paired line
};

struct DiffLine {
  enum class Kind { Same, Removed, Added };
  Kind kind = Kind::Same;
  std::vector<DiffPiece> pieces;  // the line's text, in pieces
};

// The lines of before and after (ended by CR LF, CR or LF) as kept, removed
// and added lines. In a stretch of removed lines followed by added lines, the
// n-th removed line is paired with the n-th added one and the characters
// that differ between the two are marked; unpaired lines are not marked.
std::vector<DiffLine> displayDiff(std::u16string_view before, std::u16string_view after);

// The lines of before and after as a unified diff with three lines of
// context, in UTF-8; empty when they are equal. A line keeps its end (CR LF,
// CR, LF or none) for the comparison; the diff ends every line with LF and
// marks a last line that had no end.
std::string unifiedDiff(std::u16string_view before, std::u16string_view after);

}  // namespace kelvane::history
