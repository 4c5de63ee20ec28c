#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_host.h"
#include "textfile/text_codec.h"

namespace kelvane::engine {
namespace {

using testing::Bench;

// Lines run, in order, as the script list's selection shows them.
std::vector<int> linesRun(const Bench& b) {
  return b.host.selected;
}

TEST(RunDriver, LoopBodyRunsCountTimesAndTheLoopLineOnce) {
  Bench b;
  b.run({u"CLEAR\tD", u"LOOP\t\"3\"", u"PUT\t\"a\"\tD", u"PUT\t\"b\"\tD", u"LOOPEND",
         u"PUT\t\"!\"\tD"});
  EXPECT_EQ(linesRun(b), (std::vector<int>{0, 1, 2, 3, 4, 2, 3, 4, 2, 3, 4, 5}));
  EXPECT_EQ(b.d(), u"ababab!");
  EXPECT_EQ(b.host.eventPasses, 3);  // every LOOPEND yields once
  EXPECT_EQ(b.engine.loop().counter, 3);
  EXPECT_FALSE(b.engine.loop().active);
}

// A run that ends settled loops early leaves every buffer, the outcome and
// the loop counter as the full run does; only a loop whose passes stop
// changing anything (the picker's walk past the last item) runs fewer lines.
TEST(RunDriver, EndingSettledLoopsEarlyChangesNoResult) {
  const std::u16string page = u"<ul><li><a>x</a> 10</li><li><a>y</a> 20</li></ul>";
  const struct {
    std::initializer_list<std::u16string_view> lines;
    bool shorter;
  } cases[] = {
      // Past the last item HT stops changing and each pass writes nothing.
      {{u"GHA\tHT\tHT\t\"<ul>\"", u"GHB\tHT\tHT\t\"</ul>\"", u"GHA\tHT\tHT\t\"<li>\"",
        u"CON\tHT\t\"<li>\"", u"LOOP\t\"9\"", u"GETB\tHT\tV1\t\"<li>\"", u"GHA\tHT\tHT\t\"<li>\"",
        u"GETC\tV1\tV2\t\"<a>\"\t\"</a>\"", u"PUT\tV2\tD", u"LOOPEND", u"TITLE\t\"t\""},
       true},
      // D grows at every pass.
      {{u"LOOP\t\"5\"", u"PUT\t\"a\"\tD", u"LOOPEND"}, false},
      // The clock is read: never ended early, though it reads the same here.
      {{u"LOOP\t\"5\"", u"REPLACE\tTIME\tV1", u"LOOPEND"}, false},
      // A pass changes V1 back and forth, and ends with it as it was.
      {{u"REPLACE\t\"k\"\tV1", u"LOOP\t\"6\"", u"CON\tV1\t\"z\"", u"CUTAN\tV1\t1", u"PUT\tV1\tV2",
        u"CUTAN\tV2\t1", u"LOOPEND"},
       true},
      {{u"LOOP\t\"0\"", u"REPLACE\t\"q\"\tV4", u"LOOPEND"}, false},
  };
  for (const auto& c : cases) {
    Bench full, settled;
    settled.engine.setEndSettledLoops(true);
    for (Bench* b : {&full, &settled}) b->engine.ht().assign(page);
    EXPECT_EQ(settled.run(c.lines), full.run(c.lines));
    EXPECT_EQ(settled.ht(), full.ht());
    EXPECT_EQ(settled.d(), full.d());
    for (int n = 1; n <= 5; ++n) EXPECT_EQ(settled.v(n), full.v(n)) << n;
    EXPECT_TRUE(settled.engine.title().view() == full.engine.title().view());
    EXPECT_EQ(settled.engine.loop().counter, full.engine.loop().counter);
    EXPECT_EQ(settled.host.messages, full.host.messages);
    EXPECT_EQ(settled.host.selected.size() < full.host.selected.size(), c.shorter)
        << full.host.selected.size();
  }
}

TEST(RunDriver, LoopErrors) {
  Bench nested;
  EXPECT_EQ(nested.run({u"LOOP\t\"2\"", u"LOOP\t\"2\"", u"PUT\t\"x\"\tD", u"LOOPEND"}),
            RunOutcome::Stopped);
  EXPECT_EQ(nested.host.messages, std::vector<std::u16string>{u"LOOP命令はネストできません．"});
  EXPECT_TRUE(nested.engine.loop().active);  // the open loop stays open
  EXPECT_EQ(nested.engine.loop().count, 0);

  Bench unmatched;
  EXPECT_EQ(unmatched.run({u"LOOPEND", u"PUT\t\"x\"\tD"}), RunOutcome::Stopped);
  EXPECT_EQ(unmatched.host.messages,
            std::vector<std::u16string>{u"LOOPENDに対応するLOOP命令がありません．"});
  EXPECT_EQ(unmatched.d(), u"");
}

TEST(RunDriver, AStopBeforeTheLastLineLeavesTheTimerOffAndTheFlagSet) {
  Bench b;
  std::vector<std::u16string_view> lines(10, u"PUT\t\"x\"\tD");
  std::initializer_list<std::u16string_view> script = {
      u"PUT\t\"0\"\tD", u"PUT\t\"1\"\tD", u"PUT\tbad\tD",   u"PUT\t\"3\"\tD", u"PUT\t\"4\"\tD",
      u"PUT\t\"5\"\tD", u"PUT\t\"6\"\tD", u"PUT\t\"7\"\tD", u"PUT\t\"8\"\tD", u"PUT\t\"9\"\tD"};
  EXPECT_EQ(b.run(script), RunOutcome::Stopped);
  EXPECT_EQ(linesRun(b), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(b.d(), u"01");  // line 2 completed with the empty operand
  EXPECT_TRUE(b.engine.stopFlag());
  EXPECT_EQ(b.host.timerChanges, std::vector<bool>{false});
}

TEST(RunDriver, AStopOnTheLastLineEndsNormally) {
  Bench b;
  EXPECT_EQ(b.run({u"PUT\t\"0\"\tD", u"PUT\tbad\tD"}), RunOutcome::Normal);
  EXPECT_FALSE(b.engine.stopFlag());
  EXPECT_EQ(b.host.timerChanges, (std::vector<bool>{false, true}));
  EXPECT_EQ(b.host.messages.size(), 1u);
}

TEST(RunDriver, ARunAfterAStopInsideALoopOpensItsLoopNormally) {
  Bench b;
  b.run({u"LOOP\t\"3\"", u"PUT\tbad\tD", u"LOOPEND"});
  EXPECT_TRUE(b.engine.loop().active);
  b.host.messages.clear();
  EXPECT_EQ(b.run({u"LOOP\t\"2\"", u"PUT\t\"y\"\tD", u"LOOPEND"}), RunOutcome::Normal);
  EXPECT_TRUE(b.host.messages.empty());
  EXPECT_EQ(b.d(), u"yy");
}

TEST(RunDriver, ARunStartedDuringAYieldIsIgnored) {
  Bench b;
  RunOutcome nested = RunOutcome::Normal;
  b.host.onProcessEvents = [&] { nested = b.engine.runScriptText(u"PUT\t\"nested\"\tD"); };
  EXPECT_EQ(b.run({u"LOOP\t\"2\"", u"PUT\t\"x\"\tD", u"LOOPEND"}), RunOutcome::Normal);
  EXPECT_EQ(nested, RunOutcome::Ignored);
  EXPECT_EQ(b.d(), u"xx");
}

TEST(RunDriver, ARunDoesNotClearTheDisplayOrHt) {
  Bench b;
  b.engine.ht().assign(u"page");
  b.run({u"PUT\t\"a\"\tD"});
  b.run({u"PUT\t\"a\"\tD"});
  EXPECT_EQ(b.d(), u"aa");
  EXPECT_EQ(b.ht(), u"page");
}

class ScriptFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("kelvane-run-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::u16string write(const std::string& name, const std::string& bytes) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return textfile::fromUtf8(path.string());
  }
  std::filesystem::path dir_;
};

TEST_F(ScriptFiles, TheScriptIsReadAgainAtEveryRun) {
  Bench b;
  const auto path = write("s.spt", "PUT\t\"one\"\tD\r\n");
  b.engine.run(path);
  write("s.spt", "PUT\t\"two\"\tD\r\n");
  b.engine.run(path);
  EXPECT_EQ(b.d(), u"onetwo");
}

TEST_F(ScriptFiles, MissingOrEmptyScriptsRunNothingAndEndNormally) {
  for (const auto& path : {write("empty.spt", ""), textfile::fromUtf8((dir_ / "none").string())}) {
    Bench b;
    b.engine.var(1).assign(u"x");
    EXPECT_EQ(b.engine.run(path), RunOutcome::Normal);
    EXPECT_EQ(b.engine.lineCount(), 0);
    EXPECT_EQ(b.v(1), u"");
    EXPECT_TRUE(b.host.timerOn);
  }
}

// A file without any CR was saved with LF line ends; beside CRs a lone LF
// is part of its line (here inside a literal).
TEST_F(ScriptFiles, LineFeedsEndLinesOnlyInFilesWithoutCr) {
  const struct {
    const char* bytes;
    int lines;
    std::u16string d;
  } cases[] = {
      {"PUT\t\"a\"\tD\nPUT\t\"b\"\tD\n", 2, u"ab"},
      {"PUT\t\"a\nb\"\tD\r\nPUT\t\"c\"\tD\r\n", 2, u"a\nbc"},
  };
  for (const auto& c : cases) {
    Bench b;
    EXPECT_EQ(b.engine.run(write("lf.spt", c.bytes)), RunOutcome::Normal);
    EXPECT_EQ(b.engine.lineCount(), c.lines);
    EXPECT_EQ(b.d(), c.d);
  }
}

TEST_F(ScriptFiles, Cp932ScriptsAreRead) {
  Bench b;
  // PUT "あ" D in CP932, ending with an empty last line.
  const auto path = write("sjis.spt", "PUT\t\"\x82\xA0\"\tD\r\n\r\n");
  EXPECT_EQ(b.engine.run(path), RunOutcome::Normal);
  EXPECT_EQ(b.d(), u"あ");
  EXPECT_EQ(b.engine.lineCount(), 2);
}

}  // namespace
}  // namespace kelvane::engine
