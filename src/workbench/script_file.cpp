#include "workbench/script_file.h"

#include "engine/text.h"
#include "textfile/file_io.h"

namespace kelvane::workbench {

using engine::Text;

std::optional<ScriptText> readScript(const std::string& path) {
  const auto bytes = textfile::readFileBytes(path);
  if (!bytes) return std::nullopt;
  ScriptText script;
  const Text text = textfile::decodeText(*bytes, &script.encoding);
  script.lines = textfile::splitLines(text);
  script.lineEnd = textfile::lineEndOf(text);
  script.byteOrderMark =
      script.encoding == textfile::Encoding::Utf8 && bytes->starts_with("\xEF\xBB\xBF");
  return script;
}

std::optional<std::string> encodeScript(const ScriptText& script, EncodeError* error) {
  std::string bytes = script.byteOrderMark ? "\xEF\xBB\xBF" : "";
  for (size_t i = 0; i < script.lines.size(); ++i) {
    const Text& line = script.lines[i];
    if (script.encoding == textfile::Encoding::Utf8) {
      bytes += textfile::encodeUtf8(line);
    } else if (auto encoded = textfile::encodeCp932(line)) {
      bytes += *encoded;
    } else {
      // Find the first character that does not fit, for the message.
      for (size_t k = 0; k < line.size(); ++k) {
        const size_t n = (k + 1 < line.size() && line[k] >= 0xD800 && line[k] <= 0xDBFF) ? 2 : 1;
        if (!textfile::encodeCp932(std::u16string_view(line).substr(k, n))) {
          if (error) *error = {static_cast<int>(i), static_cast<int>(k + 1), line.substr(k, n)};
          return std::nullopt;
        }
        k += n - 1;
      }
      return std::nullopt;
    }
    bytes += textfile::encodeUtf8(textfile::lineEndText(script.lineEnd));
  }
  return bytes;
}

std::optional<Text> saveScript(const std::string& path, const ScriptText& script) {
  EncodeError e;
  const auto bytes = encodeScript(script, &e);
  if (!bytes) {
    // Line numbers count from 0, as the program's messages do.
    Text message = u"行";
    message += engine::numberText(e.line);
    message += u" の ";
    message += engine::numberText(e.column).substr(1);
    message += u" 文字目「";
    message += e.character;
    message += u"」は Shift_JIS（CP932）で保存できません．";
    return message;
  }
  if (!textfile::writeFileAtomically(path, *bytes))
    return Text(u"保存できません．").append(textfile::fromUtf8(path));
  return std::nullopt;
}

}  // namespace kelvane::workbench
