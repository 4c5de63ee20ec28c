#include "numbers/price.h"

#include <string>

#include "numbers/decimal.h"

namespace kelvane::numbers {
namespace {

// Full-width digits and number signs as their ASCII forms, one unit for one,
// so that positions in the folded text are positions in the text.
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
// What may stand before a sign that belongs to the number.
bool startsWord(char16_t c) {
  return std::u16string_view(u" \t\u3000・•●○◆■□*-：:=＝…(（").find(c) != std::u16string_view::npos;
}

// Digits with their grouping commas and one decimal point, from i; the
// digits (commas left out) go to digits. Returns the end.
size_t digitGroup(std::u16string_view s, size_t i, std::u16string& digits) {
  bool point = false;
  while (i < s.size()) {
    if (isDigit(s[i])) {
      digits += s[i++];
    } else if (s[i] == u',' && !point && i + 3 < s.size() && isDigit(s[i + 1]) &&
               isDigit(s[i + 2]) && isDigit(s[i + 3]) &&
               (i + 4 == s.size() || !isDigit(s[i + 4]))) {
      ++i;  // a thousands separator
    } else if (s[i] == u'.' && !point && i + 1 < s.size() && isDigit(s[i + 1])) {
      point = true;
      digits += s[i++];
    } else {
      break;
    }
  }
  return i;
}

bool isTaxMark(std::u16string_view s) {
  for (const std::u16string_view mark : {u"税込", u"税抜", u"税別"}) {
    if (s.substr(0, 2) == mark) return true;
  }
  return false;
}

// 税込 / 税抜 right after the number, or right before it, brackets and
// blanks between: `1,280（税込）`, `税抜 980`.
bool taxMarked(std::u16string_view line, size_t begin, size_t end) {
  const std::u16string_view between = u" \t\u3000(（:：";
  size_t after = end;
  while (after < line.size() && between.find(line[after]) != std::u16string_view::npos) ++after;
  if (isTaxMark(line.substr(after))) return true;
  size_t before = begin;
  while (before > 0 && std::u16string_view(u" \t\u3000)）:：").find(line[before - 1]) !=
                           std::u16string_view::npos) {
    --before;
  }
  if (before >= 3 && (line[before - 1] == u'み' || line[before - 1] == u'き')) --before;
  return before >= 2 && isTaxMark(line.substr(before - 2, 2));
}

bool isJoiner(char16_t c) {
  return c == u'/' || c == u'／' || c == u':' || c == u'：' || c == u'-';
}

// A number of a date, a time or a code: followed by a date unit, or joined
// to another number by / : or -.
bool joinedAt(std::u16string_view line, size_t begin, size_t end) {
  if (end < line.size()) {
    const char16_t next = line[end];
    if (std::u16string_view(u"年月日時分秒").find(next) != std::u16string_view::npos) return true;
    if (isJoiner(next) && end + 1 < line.size() && isDigit(line[end + 1])) return true;
  }
  return begin >= 2 && isJoiner(line[begin - 1]) && isDigit(line[begin - 2]);
}

double valueOf(const std::u16string& digits) {
  return scanDecimal(digits).value;
}

}  // namespace

std::vector<FoundNumber> numbersIn(std::u16string_view text) {
  std::u16string line(text);
  for (char16_t& c : line) c = folded(c);
  std::vector<FoundNumber> found;
  size_t i = 0;
  while (i < line.size()) {
    if (!isDigit(line[i])) {
      ++i;
      continue;
    }
    FoundNumber n;
    n.begin = i;
    // Groups scaled by 万 and 千 add up: 1万2千3百 is 1万2千 and then 3.
    double total = 0;
    for (;;) {
      std::u16string digits;
      i = digitGroup(line, i, digits);
      const double group = valueOf(digits);
      const char16_t next = i < line.size() ? line[i] : u'\0';
      if (next == u'万' || next == u'千') {
        total += group * (next == u'万' ? 10000 : 1000);
        ++i;
        if (i < line.size() && isDigit(line[i])) continue;
      } else {
        total += group;
      }
      break;
    }
    n.value = total;
    n.end = i;
    if (n.end < line.size() && line[n.end] == u'円') {
      ++n.end;
      n.money = true;
    }
    if (n.begin > 0 && isCurrencyBefore(line[n.begin - 1])) {
      --n.begin;
      n.money = true;
    }
    if (n.begin > 0 && (line[n.begin - 1] == u'-' || line[n.begin - 1] == u'+') &&
        (n.begin == 1 || startsWord(line[n.begin - 2]))) {
      --n.begin;
      if (line[n.begin] == u'-') n.value = -n.value;
    }
    if (!n.money) n.money = taxMarked(line, n.begin, n.end);
    n.joined = !n.money && joinedAt(line, n.begin, n.end);
    found.push_back(n);
  }
  return found;
}

std::optional<size_t> valueIndex(const std::vector<FoundNumber>& found) {
  std::optional<size_t> last;
  for (size_t i = found.size(); i-- > 0;) {
    if (found[i].money) return i;
    if (!last && !found[i].joined) last = i;
  }
  return last;
}

std::optional<double> priceNumber(std::u16string_view text) {
  const std::vector<FoundNumber> found = numbersIn(text);
  if (found.size() != 1) return std::nullopt;
  std::u16string rest(text.substr(0, found[0].begin));
  rest += text.substr(found[0].end);
  for (const std::u16string_view mark : {u"税込み", u"税抜き", u"税込", u"税抜", u"税別"}) {
    for (size_t at; (at = rest.find(mark)) != std::u16string::npos;) rest.erase(at, mark.size());
  }
  for (const char16_t c : rest) {
    if (!(c == u' ' || c == u'\t' || c == u'\u3000' || c == u'(' || c == u')' || c == u'（' ||
          c == u'）' || isCurrencyBefore(c) || c == u'円')) {
      return std::nullopt;
    }
  }
  return found[0].value;
}

}  // namespace kelvane::numbers
