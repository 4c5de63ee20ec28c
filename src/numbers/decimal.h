// The one grammar of decimal numbers that script parameters, the settings
// file and the window's number boxes are read with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane::numbers {

// A number found at the start of a text.
struct Scanned {
  double value = 0;
  size_t length = 0;  // code units it takes; 0 when the text starts with none
};

// A decimal number: an optional sign, digits, an optional point with more
// digits (at least one digit in all), and an optional exponent: E, e, D or d,
// an optional sign and digits. An exponent marker without digits is no part
// of the number. The value is the nearest double, read the same whatever the
// C locale says; beyond the range of doubles it is an infinity, below it 0.
Scanned scanDecimal(std::u16string_view text);

// &H and hexadecimal digits or &O and octal digits (either letter case): an
// integer up to the first character that is no such digit. Length 0 when no
// digit follows the prefix.
Scanned scanRadix(std::u16string_view text);

// The numeric prefix of a line or box: leading spaces and tabs skipped, then
// the longest decimal number; 0 when there is none.
double numericPrefix(std::u16string_view text);

// The whole text as one decimal number, spaces and tabs around it allowed;
// nothing when anything else is there.
std::optional<double> wholeNumber(std::u16string_view text);

// The same for a box the user types into: full-width digits, signs, point and
// E as a Japanese input method types them count as their ASCII forms, and the
// ideographic space as a blank.
std::optional<double> typedNumber(std::u16string_view text);

// Nearest integer, halves to the even neighbour, clamped to -32768..32767;
// not a number gives 0.
int16_t nearestInt16(double value);

}  // namespace kelvane::numbers
