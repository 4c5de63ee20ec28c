// The numbers of a display as named series: a display line that holds a
// label and exactly one number gives the value of the series named by the
// label (`・みかん（有田）<TAB>￥298` → みかん（有田）= 298).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::history {

struct SeriesValue {
  std::string label;  // UTF-8
  double value = 0;
};

// The series of every line of the display, in line order; a label met again
// keeps its first value. Full-width digits, signs, commas and points count as
// their ASCII forms; a currency sign before the number (￥ ¥ $ ＄) and 円
// after it belong to the number; commas must group three digits. A line with
// no number, two numbers or nothing else is no series.
std::vector<SeriesValue> seriesOf(std::u16string_view display);

// A value as the export writes it: the shortest text that reads back the same.
std::string numberText(double value);

}  // namespace kelvane::history
