// A script file as the editor reads and saves it: the lines, and how the
// file was written (CP932 or UTF-8, with or without a byte order mark, its
// line ends), so that saving keeps it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/text.h"
#include "textfile/lines.h"
#include "textfile/text_codec.h"

namespace kelvane::workbench {

struct ScriptText {
  std::vector<engine::Text> lines;
  textfile::Encoding encoding = textfile::Encoding::Cp932;
  bool byteOrderMark = false;
  textfile::LineEnd lineEnd = textfile::LineEnd::CrLf;
};

// The file's lines, split as a run reads them (textfile::splitLines), and
// its line end; nothing when the file cannot be read.
std::optional<ScriptText> readScript(const std::string& path);

// The bytes a script is saved as: each line followed by the script's line
// end, in its encoding. A character that CP932 cannot hold is an error: its
// line (0-based) and column (from 1) are stored and nothing is returned.
struct EncodeError {
  int line = 0;
  int column = 0;
  engine::Text character;
};
std::optional<std::string> encodeScript(const ScriptText& script, EncodeError* error);

// Saves through a temporary file renamed over the old one; the error's
// text when it fails.
std::optional<engine::Text> saveScript(const std::string& path, const ScriptText& script);

}  // namespace kelvane::workbench
