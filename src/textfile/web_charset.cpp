#include "textfile/web_charset.h"

#include <array>
#include <utility>

#include "textfile/text_codec.h"
#include "textfile/web_labels.h"

namespace kelvane::textfile {
namespace {

using E = WebEncoding;

// Canonical names, in the order of the enumeration.
constexpr std::string_view kNames[] = {
    "UTF-8",        "UTF-16LE",       "UTF-16BE",       "Shift_JIS",
    "EUC-JP",       "ISO-2022-JP",    "gb18030",        "GBK",
    "Big5",         "EUC-KR",         "IBM866",         "ISO-8859-2",
    "ISO-8859-3",   "ISO-8859-4",     "ISO-8859-5",     "ISO-8859-6",
    "ISO-8859-7",   "ISO-8859-8",     "ISO-8859-8-I",   "ISO-8859-10",
    "ISO-8859-13",  "ISO-8859-14",    "ISO-8859-15",    "ISO-8859-16",
    "KOI8-R",       "KOI8-U",         "macintosh",      "windows-874",
    "windows-1250", "windows-1251",   "windows-1252",   "windows-1253",
    "windows-1254", "windows-1255",   "windows-1256",   "windows-1257",
    "windows-1258", "x-mac-cyrillic", "x-user-defined", "replacement",
};
static_assert(std::size(kNames) == static_cast<size_t>(E::Replacement) + 1);

// The white space of HTML: tab, line feed, form feed, carriage return, space.
bool isSpace(char c) {
  return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool isAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool startsWithNoCase(std::string_view s, size_t pos, std::string_view prefix) {
  if (s.size() - pos < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (lower(s[pos + i]) != prefix[i]) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// The charset named in the content attribute of a <meta>: the first
// "charset" followed by "=", its value quoted or up to a blank or ";".
std::optional<WebEncoding> encodingFromMetaContent(std::string_view s) {
  size_t pos = 0;
  for (;;) {
    size_t found = std::string_view::npos;
    for (size_t i = pos; i + 7 <= s.size(); ++i) {
      if (startsWithNoCase(s, i, "charset")) {
        found = i;
        break;
      }
    }
    if (found == std::string_view::npos) return std::nullopt;
    pos = found + 7;
    while (pos < s.size() && isSpace(s[pos])) ++pos;
    if (pos < s.size() && s[pos] == '=') break;
  }
  ++pos;
  while (pos < s.size() && isSpace(s[pos])) ++pos;
  if (pos >= s.size()) return std::nullopt;
  if (s[pos] == '"' || s[pos] == '\'') {
    const size_t close = s.find(s[pos], pos + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return encodingForLabel(s.substr(pos + 1, close - pos - 1));
  }
  size_t end = pos;
  while (end < s.size() && !isSpace(s[end]) && s[end] != ';') ++end;
  return encodingForLabel(s.substr(pos, end - pos));
}

// Reads the attributes of a tag in the first bytes of a page, the way the
// encoding prescan does: names and values lower-cased, no character
// references. Running off the end of the bytes ends the whole prescan.
class AttributeReader {
 public:
  explicit AttributeReader(std::string_view s) : s_(s) {}
  bool atEnd() const { return pos_ >= s_.size(); }
  size_t& pos() { return pos_; }

  // False when there is no further attribute (a ">" or the end).
  bool next(std::string& name, std::string& value) {
    name.clear();
    value.clear();
    while (!atEnd() && (isSpace(s_[pos_]) || s_[pos_] == '/')) ++pos_;
    if (atEnd() || s_[pos_] == '>') return false;
    for (;; ++pos_) {
      if (atEnd()) return false;
      const char c = s_[pos_];
      if (c == '=' && !name.empty()) {
        ++pos_;
        return readValue(value);
      }
      if (isSpace(c)) break;
      if (c == '/' || c == '>') return true;
      name.push_back(lower(c));
    }
    while (!atEnd() && isSpace(s_[pos_])) ++pos_;
    if (atEnd()) return false;
    if (s_[pos_] != '=') return true;
    ++pos_;
    return readValue(value);
  }

 private:
  bool readValue(std::string& value) {
    while (!atEnd() && isSpace(s_[pos_])) ++pos_;
    if (atEnd()) return false;
    const char quote = s_[pos_];
    if (quote == '"' || quote == '\'') {
      for (++pos_; !atEnd(); ++pos_) {
        if (s_[pos_] == quote) {
          ++pos_;
          return true;
        }
        value.push_back(lower(s_[pos_]));
      }
      return false;
    }
    if (quote == '>') return true;
    for (; !atEnd(); ++pos_) {
      if (isSpace(s_[pos_]) || s_[pos_] == '>') return true;
      value.push_back(lower(s_[pos_]));
    }
    return false;
  }

  std::string_view s_;
  size_t pos_ = 0;
};

// Whether a tag leaves the browser still looking for a declaration: what a
// head holds, and the start tags of html and head.
bool keepsHead(std::string_view tag, bool endTag) {
  std::string name;
  for (char c : tag.substr(0, 9)) name.push_back(lower(c));
  if (tag.size() > 9) return false;
  for (std::string_view kept :
       {"script", "noscript", "style", "link", "meta", "object", "title", "base"}) {
    if (name == kept) return true;
  }
  return !endTag && (name == "html" || name == "head");
}

}  // namespace

std::string_view encodingName(WebEncoding encoding) {
  return kNames[static_cast<size_t>(encoding)];
}

std::optional<WebEncoding> encodingForLabel(std::string_view label) {
  label = trimmed(label);
  if (label.empty() || label.size() > 32) return std::nullopt;
  std::string folded(label);
  for (char& c : folded) c = lower(c);
  for (const WebLabel& l : kWebLabels) {
    if (l.label == folded) return l.encoding;
  }
  return std::nullopt;
}

std::optional<WebEncoding> encodingFromContentType(std::string_view contentType) {
  size_t semicolon = contentType.find(';');
  while (semicolon != std::string_view::npos) {
    const size_t next = contentType.find(';', semicolon + 1);
    std::string_view parameter = trimmed(contentType.substr(semicolon + 1, next - semicolon - 1));
    semicolon = next;
    const size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = trimmed(parameter.substr(0, equals));
    if (name.size() != 7 || !startsWithNoCase(name, 0, "charset")) continue;
    std::string_view value = trimmed(parameter.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    return encodingForLabel(value);
  }
  return std::nullopt;
}

std::optional<WebEncoding> encodingFromBom(std::string_view bytes, size_t* bomLength) {
  size_t length = 0;
  std::optional<WebEncoding> found;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    length = 3;
    found = E::Utf8;
  } else if (bytes.starts_with("\xFE\xFF")) {
    length = 2;
    found = E::Utf16Be;
  } else if (bytes.starts_with("\xFF\xFE")) {
    length = 2;
    found = E::Utf16Le;
  }
  if (bomLength) *bomLength = length;
  return found;
}

std::optional<WebEncoding> encodingFromMeta(std::string_view bytes) {
  const std::string_view s = bytes;
  AttributeReader reader(s);
  size_t& pos = reader.pos();
  std::string name, value;
  // The browser looks at the first 1024 bytes, and on for as long as it has
  // seen nothing but what a head holds.
  constexpr size_t kAlwaysSearched = 1024;
  bool inHead = true;
  for (; pos < s.size() && (inHead || pos < kAlwaysSearched); ++pos) {
    if (s.compare(pos, 4, "<!--") == 0) {
      const size_t end = s.find("-->", pos + 2);
      if (end == std::string_view::npos) return std::nullopt;
      pos = end + 2;
    } else if (startsWithNoCase(s, pos, "<meta") && pos + 5 < s.size() &&
               (isSpace(s[pos + 5]) || s[pos + 5] == '/')) {
      pos += 5;
      std::array<std::string, 8> seen;
      size_t seenCount = 0;
      bool gotPragma = false;
      int needPragma = -1;  // unknown, no, yes
      std::optional<WebEncoding> charset;
      while (reader.next(name, value)) {
        bool repeated = false;
        for (size_t i = 0; i < seenCount; ++i) repeated = repeated || seen[i] == name;
        if (repeated) continue;
        if (seenCount < seen.size()) seen[seenCount++] = name;
        if (name == "http-equiv") {
          gotPragma = gotPragma || value == "content-type";
        } else if (name == "content") {
          if (charset) continue;
          charset = encodingFromMetaContent(value);
          if (charset) needPragma = 1;
        } else if (name == "charset") {
          charset = encodingForLabel(value);
          needPragma = 0;
        }
      }
      if (reader.atEnd()) return std::nullopt;
      if (needPragma == -1 || (needPragma == 1 && !gotPragma) || !charset) continue;
      if (*charset == E::Utf16Le || *charset == E::Utf16Be) return E::Utf8;
      if (*charset == E::UserDefined) return E::Windows1252;
      return charset;
    } else if (s[pos] == '<' && pos + 1 < s.size() &&
               (isAsciiAlpha(s[pos + 1]) ||
                (s[pos + 1] == '/' && pos + 2 < s.size() && isAsciiAlpha(s[pos + 2])))) {
      const bool endTag = s[pos + 1] == '/';
      const size_t nameStart = pos + (endTag ? 2 : 1);
      while (pos < s.size() && !isSpace(s[pos]) && s[pos] != '>') ++pos;
      inHead = inHead && keepsHead(s.substr(nameStart, pos - nameStart), endTag);
      while (reader.next(name, value)) {
      }
      if (reader.atEnd()) return std::nullopt;
    } else if (s.compare(pos, 2, "<!") == 0 || s.compare(pos, 2, "</") == 0 ||
               s.compare(pos, 2, "<?") == 0) {
      pos = s.find('>', pos + 2);
      if (pos == std::string_view::npos) return std::nullopt;
    }
  }
  return std::nullopt;
}

WebText decodeWebPage(std::string_view bytes, std::string_view contentType, Undeclared undeclared) {
  size_t bomLength = 0;
  if (const auto bom = encodingFromBom(bytes, &bomLength)) {
    return {decodeAs(*bom, bytes.substr(bomLength)), *bom};
  }
  std::optional<WebEncoding> declared = encodingFromContentType(contentType);
  if (!declared) declared = encodingFromMeta(bytes);
  if (declared) return {decodeAs(*declared, bytes), *declared};
  const bool detect = undeclared == Undeclared::Detected;
  // ISO-2022-JP is valid UTF-8 too: ASCII bytes and escapes.
  const bool escapes = detect && bytes.find('\x1B') != std::string_view::npos &&
                       detectWebEncoding(bytes) == E::Iso2022Jp;
  if (auto text = escapes ? std::nullopt : tryDecodeUtf8(bytes)) return {std::move(*text), E::Utf8};
  const E guessed = detect ? detectWebEncoding(bytes) : E::ShiftJis;
  return {decodeAs(guessed, bytes), guessed};
}

}  // namespace kelvane::textfile
