#include "engine/numeric.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace kelvane::engine {
namespace {

bool isDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Reads sign, digits, point, digits and exponent from `s` starting at `i`
// (characters already free of blanks when `skipBlanks` was applied) and
// returns the value of the longest decimal number there, 0 when none.
double readDecimal(const std::u16string& s, size_t i) {
  std::string number;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) number.push_back(static_cast<char>(s[i++]));
  size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) number.push_back(static_cast<char>(s[i++])), ++digits;
  if (i < s.size() && s[i] == u'.') {
    number.push_back('.');
    ++i;
    while (i < s.size() && isDigit(s[i])) number.push_back(static_cast<char>(s[i++])), ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
      exponent.push_back(static_cast<char>(s[j++]));
    size_t expDigits = 0;
    while (j < s.size() && isDigit(s[j]) && expDigits < 6) {
      exponent.push_back(static_cast<char>(s[j++]));
      ++expDigits;
    }
    // Further exponent digits only push the value further out of range.
    while (j < s.size() && isDigit(s[j])) exponent.push_back('9'), ++j;
    if (expDigits > 0) number += exponent;
  }
  return std::strtod(number.c_str(), nullptr);
}

double readRadix(const std::u16string& s, size_t i, int radix) {
  double value = 0;
  for (; i < s.size(); ++i) {
    int digit;
    const char16_t c = s[i];
    if (isDigit(c))
      digit = c - u'0';
    else if (c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else if (c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else
      break;
    if (digit >= radix) break;
    value = value * radix + digit;
  }
  return value;
}

}  // namespace

double parseScriptNumber(TextView text) {
  std::u16string s;
  s.reserve(text.size() < 64 ? text.size() : 64);
  for (char16_t c : text) {
    if (c == u' ' || c == u'\t' || c == u'\n') continue;
    s.push_back(c);
  }
  if (s.size() >= 2 && s[0] == u'&') {
    if (s[1] == u'H' || s[1] == u'h') return readRadix(s, 2, 16);
    if (s[1] == u'O' || s[1] == u'o') return readRadix(s, 2, 8);
  }
  return readDecimal(s, 0);
}

double parseNumericPrefix(TextView text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  return readDecimal(std::u16string(text.substr(i, 400)), 0);
}

int16_t toInt16(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 32767.0) return 32767;
  if (value <= -32768.0) return -32768;
  return static_cast<int16_t>(std::nearbyint(value));  // the default mode rounds halves to even
}

}  // namespace kelvane::engine
