#include "settings/settings.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "language/language.h"
#include "numbers/decimal.h"
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

// A whole line as a number, blanks around it allowed: a decimal number, or
// &H / &O for a hexadecimal or octal 32-bit code.
std::optional<double> wholeLineNumber(TextView line) {
  const TextView s = trimmed(line);
  const numbers::Scanned radix = numbers::scanRadix(s);
  if (radix.length == 0) return numbers::wholeNumber(s);
  if (radix.length != s.size() || radix.value > 0xFFFFFFFFu) return std::nullopt;
  // The code is the 32-bit pattern: &H80000005 names a system colour.
  return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(radix.value)));
}

// Only the first kFieldCount lines and the keyed lines after them matter: the bytes after the end
// of the last of them are dropped before decoding, so a huge file costs no more than its head. CR
// and LF never occur inside a CP932 or UTF-8 character.
std::string_view headLines(std::string_view bytes) {
  int ends = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (bytes[i] != '\n') {
      continue;
    }
    if (++ends == kFieldCount + kMaxKeyedLines) return bytes.substr(0, i + 1);
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
Text oneLine(TextView value) {
  Text line;
  line.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c == u'\r' || c == u'\n') {
      line.push_back(u' ');
      if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n') ++i;
    } else {
      line.push_back(c);
    }
  }
  return line;
}

bool hasNonAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

constexpr size_t memberIndex(Kind kind) {
  switch (kind) {
    case Kind::Single:
    case Kind::FontSize:
      return 0;
    case Kind::Text:
    case Kind::FontName:
    case Kind::Wait:
    case Kind::SettleMode:
      return 1;
    case Kind::CheckState:
    case Kind::Switch:
      return 2;
    case Kind::Color:
      return 3;
    case Kind::Boolean:
      return 4;
  }
  return std::variant_npos;
}

// Each row in its line's place, and each kind held in a member of its type.
constexpr bool tableIsConsistent() {
  for (size_t i = 0; i < kFields.size(); ++i) {
    if (static_cast<size_t>(kFields[i].line) != i + 1) return false;
    if (kFields[i].member.index() != memberIndex(kFields[i].kind)) return false;
  }
  return true;
}
static_assert(tableIsConsistent(), "the settings table is out of order or mistyped");

template <typename T>
bool store(Settings& v, const FieldSpec& field, const std::optional<T>& value) {
  if (!value) return false;
  v.*std::get<T Settings::*>(field.member) = *value;
  return true;
}

bool applyLine(const FieldSpec& field, TextView line, Settings& v, const ReadRules& rules) {
  switch (field.kind) {
    case Kind::Single:
      return store(v, field, singleFrom(line));
    case Kind::FontSize: {
      auto size = singleFrom(line);
      if (size && !(*size > 0 && *size <= kLargestFontSize)) size.reset();
      return store(v, field, size);
    }
    case Kind::Text:
      return store(v, field, std::optional<Text>(line));
    case Kind::FontName: {
      const bool available = rules.fontAvailable ? rules.fontAvailable(line) : !line.empty();
      return available && store(v, field, std::optional<Text>(line));
    }
    case Kind::Wait:
      return store(v, field, std::optional<Text>(waitFrom(line)));
    case Kind::CheckState:
      return store(v, field, checkStateFrom(line));
    case Kind::Color:
      return store(v, field, int32From(line));
    case Kind::Boolean:
      return store(v, field, booleanFrom(line));
    case Kind::Switch: {
      auto state = checkStateFrom(line);
      if (state == 2) state.reset();
      return store(v, field, state);
    }
    case Kind::SettleMode:
      return store(v, field, settleModeFrom(line));
  }
  return false;
}

// A field's line as the writer puts it, without the line end.
Text lineText(const Settings& v, const FieldSpec& field) {
  return std::visit(
      [&](auto member) -> Text {
        const auto& value = v.*member;
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, float>) {
          return singleText(value);
        } else if constexpr (std::is_same_v<T, bool>) {
          return booleanText(value);
        } else if constexpr (std::is_same_v<T, Text>) {
          return oneLine(value);
        } else {
          return integerText(value);
        }
      },
      field.member);
}

}  // namespace

const Settings& startValues() {
  static const Settings start;
  return start;
}

const Settings& windowStartValues() {
  static const Settings start = [] {
    Settings values;
    values.scriptPath = u"script.spt";
    return values;
  }();
  return start;
}

Text singleText(float value) {
  if (!std::isfinite(value) || value == 0) return u" 0 ";
  // The fewest significant digits (at most 7) that give the value back,
  // written with a point whatever the C locale says.
  char buf[32];
  char* end = buf;
  for (int precision = 0; precision < 7; ++precision) {
    end = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific, precision)
              .ptr;
    float back = 0;
    std::from_chars(buf, end, back);
    if (back == value) break;
  }
  *end = '\0';
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
    if (digits.size() > 1) out.append(".").append(digits, 1);
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
  std::string s(value < 0 ? "" : " ");
  s.append(std::to_string(value)).append(" ");
  return Text(s.begin(), s.end());
}

Text booleanText(bool value) {
  return value ? u"True" : u"False";
}

std::optional<float> singleFrom(TextView line) {
  const double value = numbers::numericPrefix(line);
  if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) return std::nullopt;
  return static_cast<float>(value);
}

std::optional<int16_t> checkStateFrom(TextView line) {
  const double state = std::nearbyint(numbers::numericPrefix(line));  // halves to even
  if (state == 0 || state == 1 || state == 2) return static_cast<int16_t>(state);
  return std::nullopt;
}

std::optional<int32_t> int32From(TextView line) {
  const auto number = wholeLineNumber(line);
  if (!number) return std::nullopt;
  const double value = std::nearbyint(*number);
  if (value < -2147483648.0 || value > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<bool> booleanFrom(TextView line) {
  const TextView word = trimmed(line);
  if (equalsIgnoringCase(word, u"true")) return true;
  if (equalsIgnoringCase(word, u"false")) return false;
  const auto number = wholeLineNumber(word);
  if (!number) return std::nullopt;
  return *number != 0;
}

Text waitFrom(TextView line) {
  if (!(numbers::numericPrefix(line) >= 1)) return u"8";
  return Text(line);
}

std::optional<Text> settleModeFrom(TextView line) {
  const TextView word = trimmed(line);
  for (const TextView mode : {kSettleFixed, kSettleAuto}) {
    if (equalsIgnoringCase(word, mode)) return Text(mode);
  }
  return std::nullopt;
}

std::optional<Text> keyedValue(const Settings& values, TextView key) {
  for (auto it = values.keyed.rbegin(); it != values.keyed.rend(); ++it) {
    if (equalsIgnoringCase(it->first, key)) return it->second;
  }
  return std::nullopt;
}

void setKeyedValue(Settings& values, TextView key, TextView value) {
  for (auto it = values.keyed.rbegin(); it != values.keyed.rend(); ++it) {
    if (equalsIgnoringCase(it->first, key)) {
      it->second.assign(value);
      return;
    }
  }
  values.keyed.emplace_back(Text(key), Text(value));
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
    const bool applied = applyLine(kFields[i], lines[i], values, rules);
    report.lines[i] = applied ? LineStatus::Read : LineStatus::Refused;
  }
  if (lines.size() > static_cast<size_t>(kFieldCount)) values.keyed.clear();
  for (size_t i = kFieldCount; i < lines.size(); ++i) {
    const size_t equals = lines[i].find(u'=');
    if (equals == Text::npos) continue;
    const TextView key = trimmed(TextView(lines[i]).substr(0, equals));
    if (key.empty()) continue;
    values.keyed.emplace_back(Text(key), Text(trimmed(TextView(lines[i]).substr(equals + 1))));
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
  for (const FieldSpec& field : kFields) out += lineText(v, field) + u"\r\n";
  for (const auto& [key, value] : v.keyed) out += oneLine(key + u"=" + value) + u"\r\n";
  return out;
}

Text shownValue(const Settings& v, Field f) {
  const FieldSpec& field = fieldSpec(f);
  if (const auto* text = std::get_if<Text Settings::*>(&field.member)) return v.**text;
  const Text line = lineText(v, field);
  const size_t first = line.find_first_not_of(u' ');
  return first == Text::npos ? Text() : line.substr(first, line.find_last_not_of(u' ') - first + 1);
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
  if (language::current() == language::Language::English) return u"Cannot write the settings file.";
  return u"設定ファイルに書き込めません．";
}

}  // namespace kelvane::settings
