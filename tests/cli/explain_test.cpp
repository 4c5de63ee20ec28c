// kelvane-run --explain: one table of misses and the candidates found for them.
#include <gtest/gtest.h>

#include "run_fixture.h"

namespace kelvane::cli {
namespace {

using Explain = testing::RunFixture;

TEST_F(Explain, EachMissedLineIsReportedWithItsNearestCandidates) {
  const struct {
    const char* page;
    const char* script;  // lines ended by CR LF
    const char* err;
  } cases[] = {
      // Found: nothing to say.
      {"abc", "GETA\tHT\tV1\t\"B\"", ""},
      // Full case folding finds what the one-unit mapping cannot.
      {"x STRASSE", "GETA-U\tHT\tV1\t\"straße\"",
       "kelvane-run: line 0: \"straße\" not found in HT (length 9)\n"
       "    other letter case at 3: \"STRASSE\"\n"},
      // Full-width digits and colon; half-width katakana with a sound mark.
      {"価格：１２３円", "GETB\tHT\tV1\t\"価格:123\"",
       "kelvane-run: line 0: \"価格:123\" not found in HT (length 7)\n"
       "    full-width/half-width folded at 1: \"価格：１２３円\"\n"},
      {"<b>ｶﾞｲﾄﾞ</b>", "GETAI\tHT\tV1\t\"ガイド\"",
       "kelvane-run: line 0: \"ガイド\" not found in HT (length 12)\n"
       "    full-width/half-width folded at 4: \"ｶﾞｲﾄﾞ</b>\"\n"},
      // White space left out; the prefix at the same place is not repeated.
      {"<td>\n  Price</td>", "GETC\tHT\tV1\t\"<td>Price\"\t\"</td>\"",
       "kelvane-run: line 0: \"<td>Price\" not found in HT (length 17)\n"
       "    white space left out at 1: \"<td>\\n  Price</td>\"\n"},
      // The end marker is looked for after the start marker only.
      {"</i>x<b>1</b>", "GETC\tHT\tV1\t\"<B>\"\t\"</i>\"",
       "kelvane-run: line 0: \"</i>\" not found in HT after \"<B>\" at 6 (length 13)\n"
       "    longest prefix \"</\" (2 of 4) at 10: \"</b>\"\n"},
      // A long text: 40 characters of context.
      {"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ", "GETA\tHT\tV1\t\"9aX\"",
       "kelvane-run: line 0: \"9aX\" not found in HT (length 46)\n"
       "    longest prefix \"9a\" (2 of 3) at 10: \"9abcdefghijklmnopqrstuvwxyzABCDEFGHIJ\"\n"},
      {"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ", "GETA\tHT\tV1\t\"1X\"",
       "kelvane-run: line 0: \"1X\" not found in HT (length 46)\n"
       "    longest prefix \"1\" (1 of 2) at 2: \"123456789abcdefghijklmnopqrstuvwxyzABCDE\"...\n"},
      // A GHC loop that runs past its items: one report for the line.
      {"<a>1</a>", "LOOP\t\"3\"\r\nGHC\tD\t\"<a>\"\t\"</a>\"\r\nLOOPEND",
       "kelvane-run: line 1: \"<a>\" not found in HT (length 0)\n"
       "    missed 2 times in the run\n"
       "    nothing near it\n"},
      // Other buffers and literals as the text; DEL searches too.
      {"", "PUT\t\"abc\"\tV2\r\nDEL\tV2\t\"abd\"",
       "kelvane-run: line 1: \"abd\" not found in V2 (length 3)\n"
       "    longest prefix \"ab\" (2 of 3) at 1: \"abc\"\n"},
      {"", "GETA\t\"a b\"\tV1\t\"ab\"",
       "kelvane-run: line 0: \"ab\" not found in \"a b\" (length 3)\n"
       "    white space left out at 1: \"a b\"\n"},
  };
  for (const auto& c : cases) {
    const auto page = write("p.html", c.page);
    const auto script = write("s.spt", std::string(c.script) + "\r\n");
    const testing::Result r = run({"--explain", "--page", page, script});
    EXPECT_EQ(r.status, kExitNormal) << c.script;
    EXPECT_EQ(r.err, c.err) << c.script;
  }
}

}  // namespace
}  // namespace kelvane::cli
