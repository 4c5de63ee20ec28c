// Numbers as a Japanese shop writes them: full-width digits and separators,
// a currency sign (￥ ¥ $ ＄) before and 円 after, 万 and 千, decimals. The
// history's series, its exports and the notification rules read with it.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace kelvane::numbers {

struct FoundNumber {
  size_t begin = 0, end = 0;  // code units of the text: sign, currency, digits, 万 千, 円
  double value = 0;
  bool money = false;   // a currency sign, 円, or 税込 / 税抜 beside it marks it
  bool joined = false;  // part of a date, a time or a code: 2026年12月7日, 12/07, 9:30, 03-1234
};

// The numbers of one line, in order. Commas must group three digits
// (`1,23` is two numbers), a point needs a digit after it, 万 and 千 scale
// the digits before them and add the rest (`1万2千円` = 12000,
// `1.5万` = 15000); a sign counts only where it starts a word.
std::vector<FoundNumber> numbersIn(std::u16string_view line);

// The number that is the value of a line of a list (`みかん 5kg ￥1,280`):
// the last one marked as money, else the last one that is not joined into a
// date, a time or a code; none when no number qualifies. found is
// numbersIn(line).
std::optional<size_t> valueIndex(const std::vector<FoundNumber>& found);

// A text that holds one number and nothing else but blanks, a currency
// mark and 税込 / 税抜 (with or without brackets): `￥１，２８０（税込）` is 1280.
std::optional<double> priceNumber(std::u16string_view text);

}  // namespace kelvane::numbers
