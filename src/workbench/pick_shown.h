// A piece picked as the page shows it (an element clicked on the rendered
// page, or text typed as seen): its place in HT, the lines that cut it as
// shown, and the whole list it is an item of.
#pragma once

#include <optional>
#include <vector>

#include "workbench/find_shown.h"
#include "workbench/list_pick.h"

namespace kelvane::workbench {

// The element at path: each step the index among its parent's elements,
// from <body> down (as a browser's DOM numbers them); -1 when there is none.
int32_t elementAtPath(const PageText& page, const std::vector<int>& path);

// The shown text of an element, its white space at the ends left out;
// nothing when it shows no text.
std::optional<ShownMatch> shownOfElement(const PageText& page, int32_t element);

struct ShownPick {
  size_t htBegin = 0, htEnd = 0;  // where it is in HT
  Text shown;                     // the text as the page shows it
  std::vector<Text> piece;        // lines that leave it in D as shown; empty: none found
  ListResult list;
};

ShownPick pickShown(TextView ht, const PageText& page, const ShownMatch& match);

// The lines that leave the piece in D as it shows: cut from HT, the tags
// taken off and the references read; empty when none give it.
std::vector<Text> shownPieceLines(TextView ht, const PageText& page, const ShownMatch& match);

}  // namespace kelvane::workbench
