// Line and character differences between two displays.
#include "history/display_diff.h"

#include <gtest/gtest.h>

#include "textfile/text_codec.h"

namespace kelvane::history {
namespace {

// "  kept", "- removed", "+ added", changed characters in brackets.
std::string shown(const std::vector<DiffLine>& lines) {
  std::string out;
  for (const DiffLine& line : lines) {
    out += line.kind == DiffLine::Kind::Same      ? "  "
           : line.kind == DiffLine::Kind::Removed ? "- "
                                                  : "+ ";
    for (const DiffPiece& p : line.pieces) {
      out += (p.marked ? "[" : "") + textfile::toUtf8(p.text) + (p.marked ? "]" : "");
    }
    out += "|";
  }
  return out;
}

TEST(DisplayDiff, ChangedLinesMarkTheCharactersThatDiffer) {
  const struct {
    const char16_t *before, *after;
    const char* diff;
  } cases[] = {
      {u"a\r\nみかん\t￥298\r\nc\r\n", u"a\r\nみかん\t￥318\r\nc\r\n",
       "  a|- みかん\t￥[29]8|+ みかん\t￥[31]8|  c|"},
      {u"a\nb", u"a\nb\nnew", "  a|  b|+ new|"},
      {u"x\ry\rz", u"z", "- x|- y|  z|"},
      {u"one\r\ntwo", u"ONE\r\n", "- [one]|- two|+ [ONE]|"},
      {u"", u"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(shown(displayDiff(c.before, c.after)), c.diff) << c.diff;
}

}  // namespace
}  // namespace kelvane::history
