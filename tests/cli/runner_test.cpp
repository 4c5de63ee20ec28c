// kelvane-run's options, inputs and failures; what a script prints, its
// messages and exit status are script cases under tests/scripts.
#include "cli/runner.h"
#include "run_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kelvane::cli {
namespace {

namespace fs = std::filesystem;

using testing::Result;
using Runner = testing::RunFixture;

TEST_F(Runner, SavedPagesAreDecodedAsTheBrowserDecodesThem) {
  const auto script = write("s.spt", "");
  const struct {
    std::string bytes;
    std::string ht;
  } cases[] = {
      {"<meta charset=euc-jp>\xA4\xA2", "<meta charset=euc-jp>\xE3\x81\x82"},
      {"<META HTTP-EQUIV=Content-Type CONTENT='text/html;charset=Shift_JIS'>\x82\xA0",
       "<META HTTP-EQUIV=Content-Type CONTENT='text/html;charset=Shift_JIS'>\xE3\x81\x82"},
      {"<meta charset=iso-2022-jp>\x1B$B\x24\x22\x1B(B", "<meta charset=iso-2022-jp>\xE3\x81\x82"},
      {std::string("\xFF\xFE\x42\x30", 4), "\xE3\x81\x82"},
      {"<meta charset=gb18030>\x81\x30\x81\x31", "<meta charset=gb18030>\xC2\x81"},
      {"\xEF\xBB\xBF\xE3\x81\x82", "\xE3\x81\x82"},
      {"\x82\xA0", "\xE3\x81\x82"},  // nothing declared and not UTF-8
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run({"--page", write("p.html", c.bytes), "--print", "HT", script}).out, c.ht)
        << c.bytes;
  }
}

TEST_F(Runner, UsageErrorsAndUnreadableFilesExitWithTwo) {
  const auto script = write("s.spt", "");
  // A state file nobody may write is not replaced behind its owner's back.
  const auto readOnly = write("ro.state", "# kelvane-run display state 1\nold");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "kelvane-run: no script given"},
      {{"--runs", "0", script}, "kelvane-run: --runs: Value 0 not in range"},
      {{"--print", "V6", script}, "kelvane-run: --print: names one of HT, D, V1,"},
      {{"--print", "TIME", script}, "kelvane-run: --print: names one of"},
      {{"--settle", "soon", script}, "kelvane-run: --settle: soon not in {fixed,auto}"},
      {{"--bogus", script}, "kelvane-run: The following argument was not expected: --bogus"},
      {{"--fetch", "curl", script}, "kelvane-run: --fetch: curl not in {browser,direct,auto}"},
      {{"--page"}, "kelvane-run: --page: 1 required FILE missing"},
      {{script, script}, "kelvane-run: The following argument was not expected: "},
      {{"--memo", "m", script}, "kelvane-run: --memo requires --log"},
      {{"--export", "csv"}, "kelvane-run: --export requires --history or --watch"},
      {{"--copy-to", "h.sqlite"}, "kelvane-run: --copy-to requires --history"},
      {{"--settings", script, script}, "kelvane-run: "},
      {{script, "--log"}, "kelvane-run: --log: 1 required FILE missing"},
      {{(dir_ / "missing.spt").string()}, "kelvane-run: cannot read script: "},
      {{"--page", (dir_ / "missing.html").string(), script}, "kelvane-run: cannot read page: "},
      {{"--state", readOnly, script},
       "kelvane-run: " + readOnly + " is read-only; it is left alone"},
  };
  for (const auto& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.status, kExitUsage) << c.message;
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
  }
  std::ifstream kept(readOnly);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}),
            "# kelvane-run display state 1\nold");
  const Result help = run({"--help"});
  EXPECT_EQ(help.status, kExitNormal);
  EXPECT_NE(help.out.find("--log FILE"), std::string::npos);
  EXPECT_EQ(run({"--version"}).out, "kelvane-run " KELVANE_VERSION "\n");
}

// The test program has no page loader module beside it: a URL command says
// so and stops the run before its next line.
TEST_F(Runner, UrlCommandsWithoutThePageLoaderStopTheRun) {
  const auto script = write("s.spt", "URL\t\"http://127.0.0.1:9/\"\r\nPUT\t\"x\"\tD\r\n");
  const Result r = run({script});
  EXPECT_EQ(r.status, kExitStopped);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("kelvane-run: page loading is not available: ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST_F(Runner, AScriptLongerThanTheEngineRunsIsSaidSo) {
  std::string lines;
  for (int i = 0; i < 32767; ++i) lines += "PUT\t\"x\"\tD\r\n";
  const Result r = run({write("long.spt", lines + "PUT\t\"y\"\tD\r\n")});
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out, std::string(32767, 'x'));
  EXPECT_EQ(r.err, "kelvane-run: " + (dir_ / "long.spt").string() +
                       " has 32768 lines; only the first 32767 are run\n");
}

TEST_F(Runner, BinaryAndEmptyInputsNeverCrash) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 131) & 0xFF));
  const auto script = write("bin.spt", binary);
  const auto page = write("bin.html", binary);
  const Result r = run({"--page", page, script});
  EXPECT_TRUE(r.status == kExitNormal || r.status == kExitStopped);
  EXPECT_EQ(run({"--page", write("empty.html", ""), write("empty.spt", "")}).status, kExitNormal);
}

}  // namespace
}  // namespace kelvane::cli
