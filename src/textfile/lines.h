// Splitting text into lines the way the program's text files are read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::textfile {

// A line ends at CR or at CR LF; the end marks are not part of the line. A
// lone LF does not end a line and stays in its text. A text that ends with a
// line end yields no extra empty line; an empty text yields no lines.
std::vector<std::u16string> splitLines(std::u16string_view text);

}  // namespace kelvane::textfile
