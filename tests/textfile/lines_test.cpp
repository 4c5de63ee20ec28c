#include "textfile/lines.h"

#include <gtest/gtest.h>

namespace kelvane::textfile {
namespace {

using Lines = std::vector<std::u16string>;

TEST(SplitLines, EndsLinesAtCrOrCrLfOrAtLfWithoutAnyCr) {
  struct Case {
    std::u16string text;
    Lines lines;
  } cases[] = {
      {u"", {}},
      {u"one", {u"one"}},
      {u"one\r\ntwo", {u"one", u"two"}},
      {u"one\rtwo\r", {u"one", u"two"}},
      {u"one\r\n", {u"one"}},              // no extra empty line at the end
      {u"one\r\n\r\n", {u"one", u""}},     // an empty last line is kept
      {u"a\nb\r\nc", {u"a\nb", u"c"}},     // beside CRs a lone LF stays in the line
      {u"a\nb\nc\n", {u"a", u"b", u"c"}},  // without any CR, LF ends lines
      {u"a\n\nb", {u"a", u"", u"b"}},
      {u"\r\n\r\nx", {u"", u"", u"x"}},
      {u"a\r\r\nb", {u"a", u"", u"b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(splitLines(c.text), c.lines);
}

TEST(LineEndOf, TheFirstLineEndAndCrLfWithoutOne) {
  const std::pair<std::u16string, LineEnd> cases[] = {
      {u"", LineEnd::CrLf},       {u"one", LineEnd::CrLf},      {u"a\r\nb\nc", LineEnd::CrLf},
      {u"a\nb\n", LineEnd::Lf},   {u"a\nb\r\n", LineEnd::CrLf}, {u"a\rb\r", LineEnd::Cr},
      {u"a\rb\r\n", LineEnd::Cr},
  };
  for (const auto& [text, end] : cases) {
    EXPECT_EQ(lineEndOf(text), end) << std::string(text.begin(), text.end());
  }
}

}  // namespace
}  // namespace kelvane::textfile
