// The picker: given a piece of the page text, the script lines that cut
// exactly that piece out. Markers are searched the way a run searches them
// (letter case ignored), never include the piece itself, and every proposal
// is run through the engine before it is offered.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/text.h"

namespace kelvane::workbench {

using engine::Text;
using engine::TextView;

// Where the proposed lines deliver the piece.
struct PickTarget {
  Text work = u"V1";  // a buffer the lines may use to narrow the page down
  Text dest = u"D";
  bool append = false;  // PUT the piece into dest instead of replacing dest
};

struct Proposal {
  enum class Kind {
    Piece,      // leaves exactly the piece in the destination
    EveryItem,  // a LOOP block that collects every item of the piece's list
  };
  Kind kind = Kind::Piece;
  std::vector<Text> lines;  // script lines, fields separated by tabs
};

// Start (0-based) of the occurrence-th (from 1) exact occurrence of piece in
// page, counting every start position; npos when there is none.
size_t findOccurrence(TextView page, TextView piece, int occurrence);

// Proposals for the piece page[position, position + length), the best first;
// at most one of each kind. Empty when nothing found cuts the piece exactly.
std::vector<Proposal> suggest(TextView page, size_t position, size_t length,
                              const PickTarget& target = {});

}  // namespace kelvane::workbench
