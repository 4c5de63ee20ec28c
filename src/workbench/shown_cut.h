// Lines that turn markup cut from a page into the text it shows: its tags
// taken off, the white space at its ends and line breaks inside it dropped,
// and the entity references a browser writes (&amp; &lt; &gt; &nbsp;)
// read. The language has no replace command: a reference is read by
// splitting the text at it, with a terminator appended so that a text
// without one stays as it was.
#pragma once

#include <vector>

#include "engine/text.h"

namespace kelvane::workbench {

struct ShownCut {
  size_t tags = 0;        // TAGDEL lines
  size_t lead = 0;        // characters of white space at the front
  size_t trail = 0;       // and at the end, once the tags are off
  size_t lineBreaks = 0;  // line feeds inside, each with the spaces after it
  size_t spacesAfterBreak = 0;
  // How many references of each kind to read.
  size_t amp = 0, lt = 0, gt = 0, nbsp = 0;
};

// What `markup` needs to show as it does.
ShownCut shownCutOf(engine::TextView markup);
// The larger need of the two.
ShownCut widest(const ShownCut& a, const ShownCut& b);

// The lines that do it to buffer `target`, with `scratch1` and `scratch2`
// free for the work; `terminator` occurs nowhere in the page.
void appendShownCut(const ShownCut& cut, engine::TextView target, engine::TextView scratch1,
                    engine::TextView scratch2, engine::TextView terminator,
                    std::vector<engine::Text>& lines);

// A terminator that occurs nowhere in page (letter case ignored) and does
// not hold `avoid`.
engine::Text terminatorFor(engine::TextView page, char16_t avoid);

}  // namespace kelvane::workbench
