// The numbers of a display as named series: a display line that holds a
// label and a number gives the value of the series named by the label
// (`・みかん（有田）<TAB>￥298` → みかん（有田）= 298,
// `モバイルバッテリー 10000mAh ￥3,980` → モバイルバッテリー 10000mAh = 3980).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::history {

struct SeriesValue {
  std::string label;  // UTF-8
  double value = 0;
};

// Why a line that is not blank gives no series.
enum class LeftOutReason {
  NoNumber,      // no number at all
  OnlyJoined,    // its numbers are all parts of dates, times or codes
  NoLabel,       // nothing but the number
  RepeatedLabel  // an earlier line has the same label
};

struct LeftOutLine {
  size_t line = 0;   // 1 for the display's first line
  std::string text;  // UTF-8
  LeftOutReason reason = LeftOutReason::NoNumber;
};

struct SeriesReading {
  std::vector<SeriesValue> series;
  std::vector<LeftOutLine> leftOut;
};

// The series of every line of the display, in line order, and the lines
// that give none. A line's value is the number numbers::valueIndex chooses
// (the last one marked as money, else the last one); the label is the line
// without that number, bullets and separators trimmed, so digits in a name
// stay in it. A label met again keeps its first value. Blank lines are
// neither series nor left out.
SeriesReading readSeries(std::u16string_view display);
std::vector<SeriesValue> seriesOf(std::u16string_view display);

// A value as the export writes it: the shortest text that reads back the same.
std::string numberText(double value);

}  // namespace kelvane::history
