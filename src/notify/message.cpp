#include "notify/message.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <vector>

#include "history/display_diff.h"
#include "numbers/price.h"
#include "textfile/text_codec.h"

namespace kelvane::notify {
namespace {

// A changed line longer than this is cut.
constexpr size_t kLineCap = 200;

std::u16string lineOf(const history::DiffLine& line) {
  std::u16string text;
  for (const history::DiffPiece& p : line.pieces) text += p.text;
  if (text.size() > kLineCap) text = text.substr(0, kLineCap) + u"…";
  return text;
}

struct Split {
  std::u16string label, number;  // the line around its value, the value as written
};

std::optional<Split> splitAtNumber(const std::u16string& line) {
  // The number the history's series take as the line's value.
  const std::vector<numbers::FoundNumber> found = numbers::numbersIn(line);
  const std::optional<size_t> value = numbers::valueIndex(found);
  if (!value) return std::nullopt;
  const numbers::FoundNumber& n = found[*value];
  Split s;
  s.label = line.substr(0, n.begin) + u"\x1f" + line.substr(n.end);
  s.number = line.substr(n.begin, n.end - n.begin);
  return s;
}

std::u16string trimmed(std::u16string_view s) {
  const std::u16string_view blanks = u" \t\u3000・:：";
  while (!s.empty() && blanks.find(s.front()) != std::u16string_view::npos) s.remove_prefix(1);
  while (!s.empty() && blanks.find(s.back()) != std::u16string_view::npos) s.remove_suffix(1);
  return std::u16string(s);
}

std::u16string pairLine(const std::u16string& before, const std::u16string& after) {
  const std::optional<Split> a = splitAtNumber(before), b = splitAtNumber(after);
  if (a && b && a->label == b->label) {
    std::u16string label = a->label;
    const size_t mark = label.find(u'\x1f');
    label = trimmed(label.substr(0, mark)) +
            (mark + 1 < label.size() ? u" " + trimmed(label.substr(mark + 1)) : u"");
    label = trimmed(label);
    if (!label.empty()) return label + u": " + a->number + u" → " + b->number;
  }
  return before + u" → " + after;
}

}  // namespace

std::string changeLines(std::u16string_view before, std::u16string_view after, size_t maxLines) {
  const std::vector<history::DiffLine> diff = history::displayDiff(before, after);
  std::vector<std::u16string> lines;
  for (size_t i = 0; i < diff.size();) {
    if (diff[i].kind == history::DiffLine::Kind::Same) {
      ++i;
      continue;
    }
    std::vector<std::u16string> removed, added;
    for (; i < diff.size() && diff[i].kind == history::DiffLine::Kind::Removed; ++i) {
      removed.push_back(lineOf(diff[i]));
    }
    for (; i < diff.size() && diff[i].kind == history::DiffLine::Kind::Added; ++i) {
      added.push_back(lineOf(diff[i]));
    }
    const size_t pairs = std::min(removed.size(), added.size());
    for (size_t k = 0; k < pairs; ++k) lines.push_back(pairLine(removed[k], added[k]));
    for (size_t k = pairs; k < removed.size(); ++k) lines.push_back(u"- " + removed[k]);
    for (size_t k = pairs; k < added.size(); ++k) lines.push_back(u"+ " + added[k]);
  }
  std::u16string text;
  for (size_t k = 0; k < lines.size() && k < maxLines; ++k) text += lines[k] + u"\n";
  if (lines.size() > maxLines) {
    text += u"… " + textfile::fromUtf8(std::to_string(lines.size() - maxLines)) + u" more\n";
  }
  return textfile::toUtf8(text);
}

namespace {

bool containsAny(std::string_view page, std::initializer_list<std::string_view> words) {
  std::string lower(page.substr(0, 100000));
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::any_of(words.begin(), words.end(),
                     [&](std::string_view w) { return lower.find(w) != std::string::npos; });
}

}  // namespace

bool looksBlocked(std::optional<int> status, std::string_view page) {
  if (!status) return false;
  if (*status == 429) return true;
  if (*status != 403 && *status != 503) return false;
  return containsAny(page, {"captcha", "challenge", "just a moment", "attention required",
                            "rate limit", "too many requests", "are you a robot", "bot check",
                            "access denied", "アクセスが集中", "ロボット", "アクセス制限"});
}

}  // namespace kelvane::notify
