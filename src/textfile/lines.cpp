#include "textfile/lines.h"

namespace kelvane::textfile {

std::vector<std::u16string> splitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  const char16_t end = text.find(u'\r') == std::u16string_view::npos ? u'\n' : u'\r';
  size_t start = 0;
  while (start < text.size()) {
    const size_t at = text.find(end, start);
    if (at == std::u16string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, at - start));
    start = at + 1;
    if (end == u'\r' && start < text.size() && text[start] == u'\n') ++start;
  }
  return lines;
}

LineEnd lineEndOf(std::u16string_view text) {
  const size_t at = text.find_first_of(u"\r\n");
  if (at == std::u16string_view::npos) return LineEnd::CrLf;
  if (text[at] == u'\n')
    return text.find(u'\r', at) == std::u16string_view::npos ? LineEnd::Lf : LineEnd::CrLf;
  return at + 1 < text.size() && text[at + 1] == u'\n' ? LineEnd::CrLf : LineEnd::Cr;
}

std::u16string_view lineEndText(LineEnd end) {
  switch (end) {
    case LineEnd::Lf:
      return u"\n";
    case LineEnd::Cr:
      return u"\r";
    case LineEnd::CrLf:
      break;
  }
  return u"\r\n";
}

}  // namespace kelvane::textfile
