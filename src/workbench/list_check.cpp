#include "workbench/list_check.h"

#include "workbench/find_shown.h"
#include "workbench/list_miss.h"

namespace kelvane::workbench {

using engine::Text;
using engine::TextView;

namespace {

// A permutation of the digits that leaves none in place.
char16_t otherDigit(char16_t c) {
  return static_cast<char16_t>(u'0' + ((c - u'0') * 7 + 3) % 10);
}
bool digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Digits outside tags (inText) or inside quoted attribute values.
Text changeDigits(TextView html, bool inText) {
  Text out(html);
  bool tag = false;
  char16_t quote = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if (!tag) {
      if (c == u'<' && i + 1 < out.size() &&
          (out[i + 1] == u'/' || out[i + 1] == u'!' || (out[i + 1] | 0x20) >= u'a')) {
        tag = true;
        continue;
      }
      if (c == u'&') {  // a character reference stays what it is
        const size_t semi = out.find(u';', i);
        if (semi != Text::npos && semi - i < 12) i = semi;
        continue;
      }
      if (inText && digit(c)) out[i] = otherDigit(c);
      continue;
    }
    if (quote) {
      if (c == quote)
        quote = 0;
      else if (!inText && digit(c))
        out[i] = otherDigit(c);
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'>') {
      tag = false;
    }
  }
  return out;
}

}  // namespace

namespace {

// One line of a display: each field (between tabs) as collapsedWhiteSpace
// leaves it, against the line wanted.
bool lineIs(TextView line, TextView want) {
  size_t w = 0;
  bool space = false, any = false;  // within the field
  const auto next = [&](char16_t c) { return w < want.size() && want[w++] == c; };
  for (const char16_t c : line) {
    if (c == u'\t') {
      if (!next(u'\t')) return false;
      space = any = false;
    } else if (spaceLike(c)) {
      space = any;
    } else {
      if (space && !next(u' ')) return false;
      if (!next(c)) return false;
      space = false;
      any = true;
    }
  }
  return w == want.size();
}

}  // namespace

bool displayIs(TextView display, const std::vector<Text>& expected) {
  size_t from = 0, n = 0;
  while (from < display.size()) {
    size_t end = display.find(u"\r\n", from);
    if (end == TextView::npos) end = display.size();
    if (n == expected.size() || !lineIs(display.substr(from, end - from), expected[n]))
      return false;
    ++n;
    from = end + 2;
  }
  return n == expected.size();
}

std::optional<PageVariant> listVariant(size_t k, TextView html,
                                       const std::vector<std::pair<size_t, size_t>>& items,
                                       const std::vector<Text>& expected) {
  if (k == 0) {
    PageVariant v{list_miss::kValuesChanged, changeDigits(html, true), {}};
    for (const Text& line : expected) {
      Text changed = line;
      for (char16_t& c : changed)
        if (digit(c)) c = otherDigit(c);
      v.expected.push_back(std::move(changed));
    }
    return v;
  }
  if (k == 1) return PageVariant{list_miss::kIdsRenumbered, changeDigits(html, false), expected};
  if (k == 2 && !items.empty()) {
    const auto [a, b] = items.back();
    Text added;
    added.reserve(html.size() + (b - a));
    added.append(html.substr(0, b));
    added += html.substr(a, b - a);
    added += html.substr(b);
    std::vector<Text> more = expected;
    if (!expected.empty()) more.push_back(expected.back());
    return PageVariant{list_miss::kItemAdded, std::move(added), std::move(more)};
  }
  if (k == 3 && items.size() > 2) {
    const auto [a, b] = items.front();
    Text removed;
    removed.reserve(html.size() - (b - a));
    removed.append(html.substr(0, a));
    removed += html.substr(b);
    return PageVariant{list_miss::kItemRemoved, std::move(removed),
                       std::vector<Text>(expected.begin() + 1, expected.end())};
  }
  return std::nullopt;
}

}  // namespace kelvane::workbench
