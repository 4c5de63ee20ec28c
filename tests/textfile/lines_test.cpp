#include "textfile/lines.h"

#include <gtest/gtest.h>

namespace kelvane::textfile {
namespace {

using Lines = std::vector<std::u16string>;

TEST(SplitLines, EndsLinesAtCrOrCrLfOnly) {
  struct Case {
    std::u16string text;
    Lines lines;
  } cases[] = {
      {u"", {}},
      {u"one", {u"one"}},
      {u"one\r\ntwo", {u"one", u"two"}},
      {u"one\rtwo\r", {u"one", u"two"}},
      {u"one\r\n", {u"one"}},           // no extra empty line at the end
      {u"one\r\n\r\n", {u"one", u""}},  // an empty last line is kept
      {u"a\nb\nc", {u"a\nb\nc"}},       // a lone LF stays in the line
      {u"\r\n\r\nx", {u"", u"", u"x"}},
      {u"a\r\r\nb", {u"a", u"", u"b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(splitLines(c.text), c.lines);
}

}  // namespace
}  // namespace kelvane::textfile
