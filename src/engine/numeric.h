// Script parameters read as numbers.
#pragma once

#include <cstdint>

#include "engine/text.h"
#include "numbers/decimal.h"

namespace kelvane::engine {

// The value of a script parameter read as a number: blanks (space, tab, line
// feed) anywhere are ignored; then &H and &O read a hexadecimal or octal
// integer, anything else the decimal number at the start (numbers/decimal.h).
// No number at the start gives 0.
double parseScriptNumber(TextView text);

// A script parameter as a 16-bit count: nearest integer, halves to even,
// clamped to -32768..32767.
inline int16_t scriptCount(TextView text) {
  return numbers::nearestInt16(parseScriptNumber(text));
}

}  // namespace kelvane::engine
