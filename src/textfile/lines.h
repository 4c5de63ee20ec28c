// Splitting text into lines the way the program's text files are read, and
// telling which line end a file uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::textfile {

// A line ends at CR or at CR LF; the end marks are not part of the line. In
// a text with a CR, a lone LF does not end a line and stays in its text (a
// marker may hold one); a text without any CR was written with LF line ends
// (what most editors on Linux write), and there each LF ends a line. A text
// that ends with a line end yields no extra empty line; an empty text yields
// no lines.
std::vector<std::u16string> splitLines(std::u16string_view text);

// The line end a text uses, by its first one: CR LF when it has none.
enum class LineEnd { CrLf, Lf, Cr };
LineEnd lineEndOf(std::u16string_view text);
// The characters of that line end.
std::u16string_view lineEndText(LineEnd end);

}  // namespace kelvane::textfile
