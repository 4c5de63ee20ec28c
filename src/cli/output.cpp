#include "cli/output.h"

#include "textfile/text_codec.h"

namespace kelvane::cli {

void writeLine(std::FILE* f, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputc('\n', f);
}

void writeUtf8(std::FILE* f, engine::TextView text) {
  constexpr size_t kChunk = 1 << 16;
  std::string bytes;
  while (!text.empty()) {
    size_t n = text.size() < kChunk ? text.size() : kChunk;
    // Never split a surrogate pair between two pieces.
    if (n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    textfile::encodeUtf8Into(text.substr(0, n), bytes);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    text.remove_prefix(n);
  }
  std::fflush(f);
}

std::string escaped(engine::TextView text) {
  std::u16string out;
  for (char16_t c : text) {
    switch (c) {
      case u'\t':
        out += u"\\t";
        break;
      case u'\r':
        out += u"\\r";
        break;
      case u'\n':
        out += u"\\n";
        break;
      case u'\\':
        out += u"\\\\";
        break;
      case u'"':
        out += u"\\\"";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          static const char16_t hex[] = u"0123456789ABCDEF";
          out += u"\\x";
          out.push_back(hex[c >> 4]);
          out.push_back(hex[c & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
  return textfile::encodeUtf8(out);
}

}  // namespace kelvane::cli
