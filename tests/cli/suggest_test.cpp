// kelvane-run --suggest: the printed script, run on the same page, leaves the
// text in D; a text that is not in HT is a usage error.
#include "run_fixture.h"
#include "support/local_http_server.h"

#include <gtest/gtest.h>

namespace kelvane::cli {
namespace {

using Suggest = testing::RunFixture;

TEST_F(Suggest, PrintsAScriptThatCutsTheTextOrExitsWithTwo) {
  const auto page = write("p.html", "<p>Price: <b>198</b> yen <i>250</i></p>");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"--page", page, "--suggest", "198"}, 0, "GETC\tHT\tD\t\"<b>\"\t\"</b>\"\r\n", ""},
      {{"--page", page, "--suggest", "250"}, 0, "GETC\tHT\tD\t\"<i>\"\t\"</i>\"\r\n", ""},
      {{"--page", page, "--suggest", "b", "--occurrence", "2"}, 0, "", ""},
      {{"--page", page, "--suggest", "999"},
       2,
       "",
       "kelvane-run: \"999\" does not occur in HT (length 39) nor in the text it shows; nearest: "},
      {{"--page", page, "--suggest", "198", "--occurrence", "2"},
       2,
       "",
       "kelvane-run: \"198\" does not occur 2 times in HT (length 39) nor in the text it shows\n"},
      {{"--suggest", "198"},
       2,
       "",
       "kelvane-run: --suggest requires --page, --page-as-loaded or a script\n"},
  };
  for (const auto& c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[3];
    if (!c.out.empty()) {
      EXPECT_EQ(r.out, c.out) << c.args[3];
    }
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args.back();
    if (c.status != 0) continue;
    // What it printed, run on the page, leaves exactly the text.
    const auto again = run({"--page", page, write("s.spt", r.out)});
    EXPECT_EQ(again.out, c.args[3]) << r.out;
  }
}

TEST_F(Suggest, AScriptsUrlLinesLoadThePageAndComeFirst) {
  kelvane::testing::LocalHttpServer server([](auto&, int fd, const std::string&, const auto&) {
    kelvane::testing::LocalHttpServer::reply(fd, "200 OK", "Content-Type: text/html\r\n",
                                             "<table><tr><td>Tokyo</td><td>25</td></tr></table>");
  });
  const std::string url = "URL\t\"" + server.url("/w") + "\"\r\n";
  const auto script = write("w.spt", url + "CLEAR\tD\r\n");
  const auto r = run({"--fetch", "direct", "--suggest", "25", script});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("\r\n'")), url + "GETC\tHT\tD\t\"</td><td>\"\t\"</td>\"");
  EXPECT_EQ(run({"--fetch", "direct", write("s.spt", r.out)}).out, "25");
}

}  // namespace
}  // namespace kelvane::cli
