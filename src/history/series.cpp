#include "history/series.h"

#include <charconv>
#include <unordered_set>

#include "numbers/decimal.h"
#include "textfile/text_codec.h"

namespace kelvane::history {
namespace {

// Full-width digits and number signs as their ASCII forms, one unit for one,
// so that positions in the folded line are positions in the line.
char16_t folded(char16_t c) {
  if (c >= u'０' && c <= u'９') return static_cast<char16_t>(u'0' + (c - u'０'));
  switch (c) {
    case u'，':
      return u',';
    case u'．':
      return u'.';
    case u'－':
    case u'−':
      return u'-';
    case u'＋':
      return u'+';
    default:
      return c;
  }
}

bool isDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool isCurrencyBefore(char16_t c) {
  return c == u'￥' || c == u'¥' || c == u'$' || c == u'＄';
}
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

struct Token {
  size_t begin = 0, end = 0;  // the whole token: sign, currency, number, 円
  std::u16string digits;      // the number without its grouping commas
};

// The numbers of one folded line.
std::vector<Token> numbersOf(std::u16string_view line) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    if (!isDigit(line[i])) {
      ++i;
      continue;
    }
    Token t;
    t.begin = i;
    while (i < line.size()) {
      if (isDigit(line[i])) {
        t.digits += line[i++];
      } else if (line[i] == u',' && i + 3 < line.size() && isDigit(line[i + 1]) &&
                 isDigit(line[i + 2]) && isDigit(line[i + 3]) &&
                 (i + 4 == line.size() || !isDigit(line[i + 4])) &&
                 t.digits.find(u'.') == std::u16string::npos) {
        ++i;  // a thousands separator
      } else if (line[i] == u'.' && i + 1 < line.size() && isDigit(line[i + 1]) &&
                 t.digits.find(u'.') == std::u16string::npos) {
        t.digits += line[i++];
      } else {
        break;
      }
    }
    t.end = i;
    if (t.end < line.size() && line[t.end] == u'円') ++t.end;
    if (t.begin > 0 && isCurrencyBefore(line[t.begin - 1])) --t.begin;
    if (t.begin > 0 && (line[t.begin - 1] == u'-' || line[t.begin - 1] == u'+') &&
        (t.begin == 1 || isBlank(line[t.begin - 2]) || isTrimmedAround(line[t.begin - 2]))) {
      --t.begin;
      if (line[t.begin] == u'-') t.digits.insert(0, 1, u'-');
    }
    tokens.push_back(std::move(t));
  }
  return tokens;
}

}  // namespace

std::vector<SeriesValue> seriesOf(std::u16string_view display) {
  std::vector<SeriesValue> series;
  std::unordered_set<std::string> seen;
  std::u16string line;
  size_t pos = 0;
  while (pos < display.size()) {
    const size_t end = display.find_first_of(u"\r\n", pos);
    const std::u16string_view raw = display.substr(
        pos, end == std::u16string_view::npos ? std::u16string_view::npos : end - pos);
    pos = end == std::u16string_view::npos ? display.size() : end + 1;
    line.assign(raw);
    for (char16_t& c : line) c = folded(c);
    const std::vector<Token> tokens = numbersOf(line);
    if (tokens.size() != 1) continue;
    const Token& t = tokens.front();
    const std::u16string_view before = trimmed(raw.substr(0, t.begin));
    const std::u16string_view after = trimmed(raw.substr(t.end));
    std::u16string label(before);
    if (!label.empty() && !after.empty()) label += u' ';
    label += after;
    if (label.empty()) continue;
    const numbers::Scanned number = numbers::scanDecimal(t.digits);
    if (number.length != t.digits.size()) continue;
    std::string name = textfile::toUtf8(label);
    if (seen.insert(name).second) series.push_back({std::move(name), number.value});
  }
  return series;
}

std::string numberText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace kelvane::history
