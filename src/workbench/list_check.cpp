#include "workbench/list_check.h"

#include "workbench/find_shown.h"

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

std::vector<Text> displayLines(TextView display) {
  std::vector<Text> lines;
  size_t from = 0;
  while (from < display.size()) {
    size_t end = display.find(u"\r\n", from);
    if (end == TextView::npos) end = display.size();
    const TextView line = display.substr(from, end - from);
    Text shown;
    size_t f = 0;
    for (;;) {
      const size_t tab = line.find(u'\t', f);
      shown +=
          collapsedWhiteSpace(line.substr(f, tab == TextView::npos ? TextView::npos : tab - f));
      if (tab == TextView::npos) break;
      shown += u'\t';
      f = tab + 1;
    }
    lines.push_back(std::move(shown));
    from = end + 2;
  }
  return lines;
}

std::vector<PageVariant> listVariants(TextView html,
                                      const std::vector<std::pair<size_t, size_t>>& items,
                                      const std::vector<Text>& expected) {
  std::vector<PageVariant> variants;
  {
    PageVariant v{"values changed", changeDigits(html, true), {}};
    for (const Text& line : expected) {
      Text changed = line;
      for (char16_t& c : changed)
        if (digit(c)) c = otherDigit(c);
      v.expected.push_back(std::move(changed));
    }
    variants.push_back(std::move(v));
  }
  variants.push_back({"ids renumbered", changeDigits(html, false), expected});
  if (!items.empty()) {
    const auto [a, b] = items.back();
    Text added(html.substr(0, b));
    added += html.substr(a, b - a);
    added += html.substr(b);
    std::vector<Text> more = expected;
    if (!expected.empty()) more.push_back(expected.back());
    variants.push_back({"an item added", std::move(added), std::move(more)});
  }
  if (items.size() > 2) {
    const auto [a, b] = items.front();
    Text removed(html.substr(0, a));
    removed += html.substr(b);
    variants.push_back({"an item removed", std::move(removed),
                        std::vector<Text>(expected.begin() + 1, expected.end())});
  }
  return variants;
}

}  // namespace kelvane::workbench
