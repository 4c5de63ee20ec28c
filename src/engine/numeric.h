// Numbers read out of script parameters and settings boxes.
#pragma once

#include <cstdint>

#include "engine/text.h"

namespace kelvane::engine {

// The value of a script parameter read as a number: blanks (space, tab, line
// feed) anywhere are ignored; then an optional sign, digits, an optional
// decimal point with digits and an optional exponent (E or D) are read up to
// the first character that cannot continue the number; &H and &O read a
// hexadecimal or octal integer instead. No number at the start gives 0.
double parseScriptNumber(TextView text);

// The numeric prefix of a box or settings line: leading blanks skipped, then
// the longest prefix that forms a decimal number (sign, digits, one point,
// an exponent); 0 when there is none.
double parseNumericPrefix(TextView text);

// Nearest integer, halves to the even neighbour, clamped to -32768..32767.
int16_t toInt16(double value);

// A script parameter as a 16-bit count.
inline int16_t scriptCount(TextView text) {
  return toInt16(parseScriptNumber(text));
}

}  // namespace kelvane::engine
