// The preview: what each line changed and missed, URL lines that reuse the
// last page instead of loading, the cut-off of long loops, and the problems
// the engine's parse finds as the user types.
#include "workbench/preview.h"

#include <gtest/gtest.h>

namespace kelvane::workbench {
namespace {

using engine::BufferId;
using Kind = engine::LineProblem::Kind;

Text script(std::initializer_list<std::u16string_view> lines) {
  Text text;
  for (auto l : lines) text += Text(l) + u"\r\n";
  return text;
}

TEST(Preview, ShowsWhatEachLineChangedAndWhereAMarkerWasNotFound) {
  const Text page = u"<p>\u4FA1\u683C\uFF1A\uFF11\uFF19\uFF18</p><b>42</b>";
  const auto r =
      preview(script({u"URL\t\"http://example.invalid/\"", u"GETC\tHT\tV1\t\"<b>\"\t\"</b>\"",
                      u"PUT\tV1\tD", u"GETA\tHT\tV2\t\"\u4FA1\u683C:\"", u"CLEAR\tV3"}),
              page, u"old ");
  EXPECT_EQ(r.outcome, engine::RunOutcome::Normal);
  EXPECT_EQ(r.buffer(BufferId::D), u"old 42");
  ASSERT_EQ(r.lines.size(), 5u);
  // The URL line put the same page back: HT's text did not change.
  EXPECT_EQ(r.buffer(BufferId::HT), page);
  ASSERT_EQ(r.lines[1].changes.size(), 1u);
  EXPECT_EQ(r.lines[1].changes[0].buffer, BufferId::V1);
  EXPECT_EQ(r.lines[1].changes[0].start, u"42");
  EXPECT_EQ(r.lines[2].changes[0].buffer, BufferId::D);
  EXPECT_FALSE(r.lines[1].miss);
  ASSERT_TRUE(r.lines[3].miss);
  ASSERT_FALSE(r.lines[3].miss->candidates.empty());
  EXPECT_EQ(r.lines[3].miss->candidates[0].kind, NearMiss::Kind::Width);
  EXPECT_EQ(r.lines[3].miss->contexts[0].substr(0, 3), u"\u4FA1\u683C\uFF1A");
}

TEST(Preview, ALongLoopIsCutOffAndMessagesStayOnTheirLine) {
  PreviewLimits limits;
  limits.maxPasses = 1000;
  const auto loop =
      preview(script({u"LOOP\t\"30000\"", u"CON\tV1\t\"x\"", u"LOOPEND"}), u"", u"", limits);
  EXPECT_TRUE(loop.cutOff);
  EXPECT_EQ(loop.passes, 1000);
  EXPECT_EQ(loop.buffer(BufferId::V1).size(), 1000u);
  EXPECT_EQ(loop.outcome, engine::RunOutcome::Stopped);

  const auto bad = preview(script({u"REM", u"GETA\tHT\tV1\tabc", u"CR\tD"}), u"page");
  EXPECT_FALSE(bad.cutOff);
  ASSERT_EQ(bad.lines[1].messages.size(), 1u);
  EXPECT_EQ(bad.lines[1].messages[0].substr(0, 15),
            u"Source\u6307\u5B9A\u306E\u8AA4\u308A:\u7B2C 3");
  EXPECT_EQ(bad.lines[2].runs, 0);
}

TEST(Preview, ProblemsComeFromTheEnginesParse) {
  const struct {
    Text script;
    std::vector<std::pair<int, Kind>> problems;
  } cases[] = {
      {script({u"GETX\tHT", u"geta\tHT\tV1\t\"a\""}), {{0, Kind::UnknownCommand}}},
      {script({u"GETA\tHT\tV1\tabc"}), {{0, Kind::BadSource}}},
      {script({u"CR\tV9"}), {{0, Kind::BadDestination}}},
      {script({u"LOOP\t\"2\"", u"CR\tD"}), {{0, Kind::UnclosedLoop}}},
      {script({u"LOOPEND"}), {{0, Kind::UnmatchedLoopEnd}}},
      {script({u"REM x", u"' y", u"CLEAR\tD"}), {}},
  };
  for (const auto& c : cases) {
    std::vector<std::pair<int, Kind>> found;
    for (const auto& p : diagnoseScript(c.script)) found.emplace_back(p.line, p.kind);
    EXPECT_EQ(found, c.problems);
  }
}

}  // namespace
}  // namespace kelvane::workbench
