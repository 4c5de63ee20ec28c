#include "settings/settings.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "engine/numeric.h"
#include "textfile/file_io.h"

namespace kelvane::settings {
namespace {

constexpr float kLargestFontSize = 2048;  // points; anything above is refused
// A real settings file is a few hundred bytes; what lies beyond this is not
// read.
constexpr size_t kMaxFileBytes = 4 << 20;

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

TextView trimmed(TextView s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool equalsIgnoringCase(TextView s, std::u16string_view lower) {
  if (s.size() != lower.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
    if (c != lower[i]) return false;
  }
  return true;
}

// A whole line as a number: sign, digits, one point, an exponent (E or D),
// or &H / &O for hexadecimal and octal 32-bit codes; nothing else but blanks
// around it.
std::optional<double> wholeNumber(TextView line) {
  const TextView s = trimmed(line);
  if (s.empty() || s.size() > 400) return std::nullopt;
  if (s.size() >= 3 && s[0] == u'&' &&
      (s[1] == u'H' || s[1] == u'h' || s[1] == u'O' || s[1] == u'o')) {
    const bool hex = s[1] == u'H' || s[1] == u'h';
    uint64_t value = 0;
    for (char16_t c : s.substr(2)) {
      int digit;
      if (c >= u'0' && c <= u'9')
        digit = c - u'0';
      else if (hex && c >= u'A' && c <= u'F')
        digit = c - u'A' + 10;
      else if (hex && c >= u'a' && c <= u'f')
        digit = c - u'a' + 10;
      else
        return std::nullopt;
      if (!hex && digit > 7) return std::nullopt;
      value = value * (hex ? 16 : 8) + static_cast<uint64_t>(digit);
      if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    // The code is the 32-bit pattern: &H80000005 names a system colour.
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
  }
  std::string ascii;
  size_t i = 0;
  if (s[i] == u'+' || s[i] == u'-') ascii.push_back(static_cast<char>(s[i++]));
  size_t digits = 0;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
    ascii.push_back(static_cast<char>(s[i++])), ++digits;
  if (i < s.size() && s[i] == u'.') {
    ascii.push_back('.');
    ++i;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
      ascii.push_back(static_cast<char>(s[i++])), ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
    ascii.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ascii.push_back(static_cast<char>(s[i++]));
    size_t expDigits = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
      ascii.push_back(static_cast<char>(s[i++])), ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  const double value = std::strtod(ascii.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// Only the first 22 lines matter: the bytes after the 22nd line end are
// dropped before decoding, so a huge file costs no more than its head. CR and
// LF never occur inside a CP932 or UTF-8 character.
std::string_view headLines(std::string_view bytes) {
  int ends = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (bytes[i] != '\n') {
      continue;
    }
    if (++ends == kFieldCount) return bytes.substr(0, i + 1);
  }
  return bytes;
}

// Lines end at CR LF, CR or LF: a file that passed through a system with
// other line ends still reads line by line.
std::vector<Text> fileLines(TextView text) {
  std::vector<Text> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

// A text value on its own line: a line break inside it would shift every
// later field, so each break is stored as one space.
void appendTextLine(Text& out, TextView value) {
  for (size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c == u'\r' || c == u'\n') {
      out.push_back(u' ');
      if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n') ++i;
    } else {
      out.push_back(c);
    }
  }
  out += u"\r\n";
}

bool hasNonAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

template <typename T>
bool take(const std::optional<T>& value, T& field) {
  if (!value) return false;
  field = *value;
  return true;
}

bool applyLine(Field field, TextView line, Settings& v, const ReadRules& rules) {
  switch (field) {
    case Field::WindowWidth:
      return take(singleFrom(line), v.windowWidth);
    case Field::WindowHeight:
      return take(singleFrom(line), v.windowHeight);
    case Field::WindowTop:
      return take(singleFrom(line), v.windowTop);
    case Field::WindowLeft:
      return take(singleFrom(line), v.windowLeft);
    case Field::Url:
      v.url = line;
      return true;
    case Field::Interval:
      v.interval = line;
      return true;
    case Field::AutoUpdate:
      return take(checkStateFrom(line), v.autoUpdate);
    case Field::LogPath:
      v.logPath = line;
      return true;
    case Field::AutoLog:
      return take(checkStateFrom(line), v.autoLog);
    case Field::TimeWindow:
      return take(checkStateFrom(line), v.timeWindow);
    case Field::StartHour:
      v.startHour = line;
      return true;
    case Field::StartMinute:
      v.startMinute = line;
      return true;
    case Field::EndHour:
      v.endHour = line;
      return true;
    case Field::EndMinute:
      v.endMinute = line;
      return true;
    case Field::FontSize: {
      const auto size = singleFrom(line);
      if (!size || !(*size > 0) || *size > kLargestFontSize) return false;
      v.fontSize = *size;
      return true;
    }
    case Field::ScriptPath:
      v.scriptPath = line;
      return true;
    case Field::BackColor:
      return take(int32From(line), v.backColor);
    case Field::ForeColor:
      return take(int32From(line), v.foreColor);
    case Field::FontName: {
      const bool available = rules.fontAvailable ? rules.fontAvailable(line) : !line.empty();
      if (!available) return false;
      v.fontName = line;
      return true;
    }
    case Field::Bold:
      return take(booleanFrom(line), v.bold);
    case Field::Italic:
      return take(booleanFrom(line), v.italic);
    case Field::Wait:
      v.wait = waitFrom(line);
      return true;
  }
  return false;
}

}  // namespace

Text singleText(float value) {
  if (!std::isfinite(value) || value == 0) return u" 0 ";
  // The fewest significant digits (at most 7) that give the value back.
  char buf[32];
  for (int precision = 1; precision <= 7; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, static_cast<double>(value));
    if (std::strtof(buf, nullptr) == value) break;
  }
  // buf is "-d.ddde+XX": split it into its digits and its exponent.
  std::string digits;
  const char* p = buf;
  if (*p == '-') ++p;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits.push_back(*p);
  }
  const int exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out(value < 0 ? "-" : " ");
  if (exponent >= 7 || exponent < -4) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    char e[16];
    std::snprintf(e, sizeof e, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    out += e;
  } else if (exponent >= 0) {
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out += digits + std::string(whole - digits.size(), '0');
    } else {
      out += digits.substr(0, whole) + "." + digits.substr(whole);
    }
  } else {
    out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  out += ' ';
  return Text(out.begin(), out.end());
}

Text integerText(int64_t value) {
  const std::string s = (value < 0 ? "" : " ") + std::to_string(value) + " ";
  return Text(s.begin(), s.end());
}

Text booleanText(bool value) {
  return value ? u"True" : u"False";
}

std::optional<float> singleFrom(TextView line) {
  const double value = engine::parseNumericPrefix(line);
  if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) return std::nullopt;
  return static_cast<float>(value);
}

std::optional<int16_t> checkStateFrom(TextView line) {
  const double state = std::nearbyint(engine::parseNumericPrefix(line));  // halves to even
  if (state == 0 || state == 1 || state == 2) return static_cast<int16_t>(state);
  return std::nullopt;
}

std::optional<int32_t> int32From(TextView line) {
  const auto number = wholeNumber(line);
  if (!number) return std::nullopt;
  const double value = std::nearbyint(*number);
  if (value < -2147483648.0 || value > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<bool> booleanFrom(TextView line) {
  const TextView word = trimmed(line);
  if (equalsIgnoringCase(word, u"true")) return true;
  if (equalsIgnoringCase(word, u"false")) return false;
  const auto number = wholeNumber(word);
  if (!number) return std::nullopt;
  return *number != 0;
}

Text waitFrom(TextView line) {
  if (!(engine::parseNumericPrefix(line) >= 1)) return u"8";
  return Text(line);
}

ReadReport applySettings(std::string_view bytes, Settings& values, const ReadRules& rules) {
  ReadReport report;
  const Text text = textfile::decodeText(headLines(bytes), &report.encoding);
  const std::vector<Text> lines = fileLines(text);
  for (int i = 0; i < kFieldCount; ++i) {
    if (static_cast<size_t>(i) >= lines.size()) {
      report.lines[i] = LineStatus::Missing;
      continue;
    }
    const bool applied = applyLine(static_cast<Field>(i + 1), lines[i], values, rules);
    report.lines[i] = applied ? LineStatus::Read : LineStatus::Refused;
  }
  return report;
}

std::optional<ReadReport> readSettingsFile(const std::string& path, Settings& values,
                                           const ReadRules& rules) {
  // A damaged file with overlong lines costs no more than its head.
  bool more = false;
  const auto bytes = textfile::readFileHead(path, kMaxFileBytes, &more);
  if (!bytes) return std::nullopt;
  const std::string_view head = more ? textfile::withoutSplitUtf8Tail(*bytes) : *bytes;
  return applySettings(head, values, rules);
}

Text settingsText(const Settings& v) {
  Text out;
  const auto number = [&](const Text& t) { out += t + u"\r\n"; };
  number(singleText(v.windowWidth));
  number(singleText(v.windowHeight));
  number(singleText(v.windowTop));
  number(singleText(v.windowLeft));
  appendTextLine(out, v.url);
  appendTextLine(out, v.interval);
  number(integerText(v.autoUpdate));
  appendTextLine(out, v.logPath);
  number(integerText(v.autoLog));
  number(integerText(v.timeWindow));
  appendTextLine(out, v.startHour);
  appendTextLine(out, v.startMinute);
  appendTextLine(out, v.endHour);
  appendTextLine(out, v.endMinute);
  number(singleText(v.fontSize));
  appendTextLine(out, v.scriptPath);
  number(integerText(v.backColor));
  number(integerText(v.foreColor));
  appendTextLine(out, v.fontName);
  number(booleanText(v.bold));
  number(booleanText(v.italic));
  appendTextLine(out, v.wait);
  return out;
}

std::string settingsBytes(const Settings& values) {
  const Text text = settingsText(values);
  // CP932 when everything fits, unless those bytes would read back as UTF-8
  // (a rare pairing of characters can form valid UTF-8): then UTF-8, which
  // the reader recognises.
  if (auto cp932 = textfile::encodeCp932(text)) {
    if (!hasNonAscii(*cp932) || !textfile::isValidUtf8(*cp932)) return std::move(*cp932);
  }
  return textfile::encodeUtf8(text);
}

bool saveSettings(const std::string& path, const Settings& values) {
  return textfile::writeFileAtomically(path, settingsBytes(values));
}

Text cannotWriteMessage() {
  return u"設定ファイルに書き込めません．";
}

}  // namespace kelvane::settings
