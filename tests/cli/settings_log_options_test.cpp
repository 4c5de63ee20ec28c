#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/runner.h"
#include "run_fixture.h"
#include "textfile/file_io.h"

namespace kelvane::cli {
namespace {

namespace fs = std::filesystem;

using testing::Result;
using SettingsAndLogOptions = testing::RunFixture;

TEST_F(SettingsAndLogOptions, PrintsTheFieldsAsTheReaderUnderstandsThem) {
  // CP932: the font name is ＭＳ Ｐゴシック, the URL holds 日本.
  const auto cnf =
      write("Kelvane.cnf",
            " 9600 \r\n 7200.5 \r\n-15 \r\n 1E+07 \r\nhttp://x/\x93\xFA\x96\x7B a,\"b\"\r\n"
            " 5 \r\n 1 \r\nlog.txt\r\n 0 \r\n 2 \r\n9\r\n00\r\n17\r\n30\r\n 10.5 \r\n"
            "s.spt\r\n-2147483643 \r\n 255 \r\n"
            "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E\r\n"
            "True\r\n1\r\n 3 word\r\n 1 \r\nAuto\r\nignored\r\n");
  const Result r = run({"--settings", cnf});
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out,
            "1: 9600\n2: 7200.5\n3: -15\n4: 1E+07\n5: http://x/日本 a,\"b\"\n6:  5 \n7: 1\n"
            "8: log.txt\n9: 0\n10: 2\n11: 9\n12: 00\n13: 17\n14: 30\n15: 10.5\n16: s.spt\n"
            "17: -2147483643\n18: 255\n19: ＭＳ Ｐゴシック\n20: True\n21: True\n22:  3 word\n"
            "23: 1\n24: auto\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(SettingsAndLogOptions, RefusedAndMissingLinesShowTheirStartValues) {
  const auto cnf = write("short.cnf", "x\r\n 1\r\n 0\r\n 0\r\nu\r\n\r\n 7 \r\n");
  const Result r = run({"--settings", cnf});
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out,
            "1: 0\n2: 1\n3: 0\n4: 0\n5: u\n6: \n7: (start value)\n8: \n9: (start value)\n"
            "10: (start value)\n11: \n12: \n13: \n14: \n15: (start value)\n16: \n"
            "17: (start value)\n18: (start value)\n19: (start value)\n20: (start value)\n"
            "21: (start value)\n22: 8\n23: 0\n24: fixed\n");
  EXPECT_EQ(r.err,
            "kelvane-run: line 7 was refused; the field keeps its start value\n"
            "kelvane-run: the file ends before line 8; the later fields keep their start values\n");

  const Result missing = run({"--settings", (dir_ / "none.cnf").string()});
  EXPECT_EQ(missing.status, kExitUsage);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err.rfind("kelvane-run: ", 0), 0u);
}

TEST_F(SettingsAndLogOptions, AppendsAnEntryAfterEachNormalRun) {
  const auto script = write("s.spt", "PUT\t\"値\"\tD\r\n");
  const auto log = (dir_ / "log.txt").string();
  const Result r = run({"--runs", "2", "--log", log, "--memo", "メモ", script});
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out, "値値");  // PUT appends to the display at every run
  // CP932: メモ and the display, twice.
  const std::string expected =
      "\x83\x81\x83\x82\r\n\x92\x6C\r\n\x83\x81\x83\x82\r\n\x92\x6C\x92\x6C\r\n";
  EXPECT_EQ(textfile::readFileBytes(log), expected);

  // A run stopped by an error appends nothing.
  const auto bad = write("bad.spt", "NOSUCH\r\nPUT\t\"x\"\tD\r\n");
  EXPECT_EQ(run({"--log", log, bad}).status, kExitStopped);
  EXPECT_EQ(textfile::readFileBytes(log), expected);
}

TEST_F(SettingsAndLogOptions, ALogThatCannotBeWrittenShowsTheWindowsMessage) {
  const auto script = write("s.spt", "PUT\t\"x\"\tD\r\n");
  const Result r = run({"--log", (dir_ / "no-folder" / "log.txt").string(), script});
  EXPECT_EQ(r.status, kExitStopped);
  EXPECT_EQ(r.out, "x");
  EXPECT_EQ(r.err, "Logファイルに書き込めません．\n");
}

}  // namespace
}  // namespace kelvane::cli
