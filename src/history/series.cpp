#include "history/series.h"

#include <charconv>
#include <optional>
#include <unordered_set>

#include "numbers/price.h"
#include "textfile/text_codec.h"

namespace kelvane::history {
namespace {

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\u3000';
}
// Bullets and separators that set a label off from the line or the number.
bool isTrimmedAround(char16_t c) {
  return isBlank(c) || c == u'・' || c == u'•' || c == u'●' || c == u'○' || c == u'◆' ||
         c == u'■' || c == u'□' || c == u'*' || c == u'-' || c == u'：' || c == u':' || c == u'=' ||
         c == u'＝' || c == u'…';
}

std::u16string_view trimmed(std::u16string_view s) {
  while (!s.empty() && isTrimmedAround(s.front())) s.remove_prefix(1);
  while (!s.empty() && isTrimmedAround(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

SeriesReading readSeries(std::u16string_view display) {
  SeriesReading reading;
  std::unordered_set<std::string> seen;
  size_t pos = 0;
  size_t lineNumber = 0;
  while (pos < display.size()) {
    const size_t end = display.find_first_of(u"\r\n", pos);
    const std::u16string_view raw = display.substr(
        pos, end == std::u16string_view::npos ? std::u16string_view::npos : end - pos);
    // CR LF ends one line.
    pos = end == std::u16string_view::npos ? display.size()
          : display[end] == u'\r' && end + 1 < display.size() && display[end + 1] == u'\n'
              ? end + 2
              : end + 1;
    ++lineNumber;
    bool blank = true;
    for (const char16_t c : raw) blank = blank && isBlank(c);
    if (blank) continue;
    const auto leaveOut = [&](LeftOutReason reason) {
      reading.leftOut.push_back({lineNumber, textfile::toUtf8(raw), reason});
    };
    const std::vector<numbers::FoundNumber> found = numbers::numbersIn(raw);
    const std::optional<size_t> value = numbers::valueIndex(found);
    if (!value) {
      leaveOut(found.empty() ? LeftOutReason::NoNumber : LeftOutReason::OnlyJoined);
      continue;
    }
    const numbers::FoundNumber& t = found[*value];
    const std::u16string_view before = trimmed(raw.substr(0, t.begin));
    const std::u16string_view after = trimmed(raw.substr(t.end));
    std::u16string label(before);
    if (!label.empty() && !after.empty()) label += u' ';
    label += after;
    if (label.empty()) {
      leaveOut(LeftOutReason::NoLabel);
      continue;
    }
    std::string name = textfile::toUtf8(label);
    if (!seen.insert(name).second) {
      leaveOut(LeftOutReason::RepeatedLabel);
      continue;
    }
    reading.series.push_back({std::move(name), t.value});
  }
  return reading;
}

std::vector<SeriesValue> seriesOf(std::u16string_view display) {
  return readSeries(display).series;
}

std::string numberText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace kelvane::history
