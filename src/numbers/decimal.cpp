#include "numbers/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace kelvane::numbers {
namespace {

// Exponents are read up to this size: anything larger is out of the range
// of doubles either way, and the digits after it change nothing.
constexpr int64_t kExponentCap = 99999;

bool isDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

size_t digitsFrom(std::u16string_view s, size_t i) {
  while (i < s.size() && isDigit(s[i])) ++i;
  return i;
}

// Beyond the range of doubles: whether the digits and exponent lie above it
// (an infinity) rather than below it (zero).
bool overflows(std::u16string_view whole, std::u16string_view fraction, int64_t exponent) {
  const size_t lead = whole.find_first_not_of(u'0');
  if (lead != std::u16string_view::npos) {
    return static_cast<int64_t>(whole.size() - lead) + exponent > 0;
  }
  const size_t first = fraction.find_first_not_of(u'0');
  return exponent - static_cast<int64_t>(first) > 0;
}

}  // namespace

Scanned scanDecimal(std::u16string_view s) {
  size_t i = 0;
  const bool negative = i < s.size() && s[i] == u'-';
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ++i;
  const size_t wholeStart = i;
  i = digitsFrom(s, i);
  const std::u16string_view whole = s.substr(wholeStart, i - wholeStart);
  std::u16string_view fraction;
  if (i < s.size() && s[i] == u'.') {
    const size_t fractionStart = ++i;
    i = digitsFrom(s, i);
    fraction = s.substr(fractionStart, i - fractionStart);
  }
  if (whole.empty() && fraction.empty()) return {};

  int64_t exponent = 0;
  if (i < s.size() && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
    size_t j = i + 1;
    const bool below = j < s.size() && s[j] == u'-';
    if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) ++j;
    const size_t digitsStart = j;
    for (; j < s.size() && isDigit(s[j]); ++j) {
      exponent = std::min(exponent * 10 + (s[j] - u'0'), kExponentCap);
    }
    if (j > digitsStart) {
      i = j;
      if (below) exponent = -exponent;
    } else {
      exponent = 0;  // "1e" is the number 1 followed by a letter
    }
  }

  std::string ascii;
  ascii.reserve(whole.size() + fraction.size() + 10);
  ascii.append(whole.begin(), whole.end());
  if (whole.empty()) ascii.push_back('0');
  if (!fraction.empty()) {
    ascii.push_back('.');
    ascii.append(fraction.begin(), fraction.end());
  }
  ascii += 'e' + std::to_string(exponent);
  double value = 0;
  const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = overflows(whole, fraction, exponent) ? HUGE_VAL : 0.0;
  }
  return {negative ? -value : value, i};
}

Scanned scanRadix(std::u16string_view s) {
  if (s.size() < 3 || s[0] != u'&') return {};
  const char16_t letter = s[1];
  const int radix = letter == u'H' || letter == u'h'   ? 16
                    : letter == u'O' || letter == u'o' ? 8
                                                       : 0;
  if (radix == 0) return {};
  double value = 0;
  size_t i = 2;
  for (; i < s.size(); ++i) {
    const char16_t c = s[i];
    int digit = radix;
    if (isDigit(c))
      digit = c - u'0';
    else if (c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else if (c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    if (digit >= radix) break;
    value = value * radix + digit;
  }
  if (i == 2) return {};
  return {value, i};
}

double numericPrefix(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  return scanDecimal(text.substr(i)).value;
}

std::optional<double> wholeNumber(std::u16string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  const Scanned number = scanDecimal(text);
  if (number.length == 0 || number.length != text.size() || !std::isfinite(number.value)) {
    return std::nullopt;
  }
  return number.value;
}

std::optional<double> typedNumber(std::u16string_view text) {
  std::u16string ascii(text);
  for (char16_t& c : ascii) {
    if (c >= u'！' && c <= u'～')
      c = static_cast<char16_t>(c - (u'！' - u'!'));  // the full-width forms of ASCII
    else if (c == u'−')
      c = u'-';
    else if (c == u'　')
      c = u' ';
  }
  return wholeNumber(ascii);
}

int16_t nearestInt16(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 32767.0) return 32767;
  if (value <= -32768.0) return -32768;
  return static_cast<int16_t>(std::nearbyint(value));  // the default mode rounds halves to even
}

}  // namespace kelvane::numbers
