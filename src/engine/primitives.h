// The text primitives of the script language: the extraction families A, B
// and C and the cutting, deleting and tag-stripping operations. They never
// fail and never report: a marker that is not found yields the whole text.
// Pieces that are one stretch of the input are returned as views of it; the
// HT-writing variants live in the engine, which owns HT.
#pragma once

#include <cstdint>

#include "engine/text.h"

namespace kelvane::engine {

// Family A: what follows the marker, or what starts at it.
TextView GetAfter(TextView text, TextView marker);
TextView GetAfterIncl(TextView text, TextView marker);
// Family B: what precedes the marker, or what ends with it.
TextView GetBefore(TextView text, TextView marker);
TextView GetBeforeIncl(TextView text, TextView marker);
// Family C: what lies between the start marker and the next end marker.
TextView GetBetween(TextView text, TextView start, TextView end);

// Every marker search ignores letter case, so the upper-case variants of
// these operations (GetAfterUpper, GetBeforeInclUpper, GetBetweenUpper,
// DeleteFirstUpper) would return exactly what these return: there are none.

// The walk step of GHC: the piece between the markers and, when both were
// found, how many characters of text the walk consumed (up to and including
// the end marker). With a marker missing the piece is the whole text and
// consumed is 0.
struct TakenPiece {
  TextView piece;
  size_t consumed = 0;
  bool found = false;
};
TakenPiece TakeBetween(TextView text, TextView start, TextView end);

TextView GetLeftN(TextView text, int16_t n);
TextView CutTailN(TextView text, int16_t n);
TextView CutHeadN(TextView text, int16_t n);
Text DeleteFirst(TextView text, TextView marker);
Text StripFirstTag(TextView text);

}  // namespace kelvane::engine
