// Fuzzes reading the series of a display. The input is the display, read as
// a text file would be, or, when it starts with 0x01, as UTF-16 units (so
// unpaired surrogates reach the reader too). Every series has a label of
// valid UTF-8 on one line, met once; the display read line by line gives the
// same series as read whole; a value's text reads back as the value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "history/series.h"
#include "textfile/text_codec.h"

namespace {

using kelvane::history::SeriesValue;

std::u16string textOf(std::string_view bytes, bool units) {
  if (!units) return kelvane::textfile::decodeText(bytes);
  std::u16string text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text;
}

bool validUtf8(const std::string& s) {
  return kelvane::textfile::encodeUtf8(kelvane::textfile::decodeUtf8(s)) == s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const bool units = input.starts_with('\x01');
  if (units) input.remove_prefix(1);
  const std::u16string display = textOf(input, units);

  const std::vector<SeriesValue> series = kelvane::history::seriesOf(display);
  std::set<std::string> labels;
  size_t lines = 1;
  for (const char16_t c : display) lines += c == u'\n' || c == u'\r';
  FUZZ_CHECK(series.size() <= lines);
  for (const SeriesValue& s : series) {
    FUZZ_CHECK(!s.label.empty() && validUtf8(s.label));
    FUZZ_CHECK(s.label.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(labels.insert(s.label).second);
    FUZZ_CHECK(!std::isnan(s.value));
    const std::string text = kelvane::history::numberText(s.value);
    FUZZ_CHECK(std::strtod(text.c_str(), nullptr) == s.value);
  }

  // Each line on its own, a label met again keeping its first value.
  std::vector<SeriesValue> byLine;
  std::set<std::string> seen;
  for (size_t pos = 0; pos <= display.size();) {
    size_t end = display.find_first_of(u"\r\n", pos);
    if (end == std::u16string::npos) end = display.size();
    for (SeriesValue& s :
         kelvane::history::seriesOf(std::u16string_view(display).substr(pos, end - pos))) {
      if (seen.insert(s.label).second) byLine.push_back(std::move(s));
    }
    pos = end + 1;
  }
  FUZZ_CHECK(byLine.size() == series.size());
  for (size_t i = 0; i < series.size(); ++i) {
    FUZZ_CHECK(byLine[i].label == series[i].label);
    FUZZ_CHECK(std::memcmp(&byLine[i].value, &series[i].value, sizeof(double)) == 0);
  }
  return 0;
}
