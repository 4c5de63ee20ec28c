// Every way a kelvane-run can fail ends with a failing exit status and one
// message: outputs that take nothing, a script error on the last line, a
// suggestion over a loaded page that lacks the text, a damaged history.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include "run_fixture.h"
#include "support/local_http_server.h"
#include "textfile/file_io.h"

namespace kelvane::cli {
namespace {

using FailureStatus = testing::RunFixture;

const std::string kExamples = KELVANE_EXAMPLES;

size_t lineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(FailureStatus, EachFailureExitsWithItsStatusAndOneMessage) {
  ::signal(SIGPIPE, SIG_IGN);  // as kelvane-run itself: a closed pipe is EPIPE
  kelvane::testing::LocalHttpServer server([](auto&, int fd, const std::string&, const auto&) {
    kelvane::testing::LocalHttpServer::reply(fd, "200 OK", "Content-Type: text/html\r\n",
                                             "<p>25</p>");
  });
  const auto page = kExamples + "/prices.html";
  const auto prices = kExamples + "/prices.spt";
  const auto history = (dir_ / "h.sqlite").string();
  ASSERT_EQ(run({"--history", history, "--page", page, prices}).status, kExitNormal);
  // A history whose pages after the first are overwritten.
  auto bytes = textfile::readFileBytes(history).value();
  ASSERT_GT(bytes.size(), 8192u);
  std::fill(bytes.begin() + 4096, bytes.end(), '\x5a');
  const auto damaged = write("damaged.sqlite", bytes);
  const auto urlScript = write("u.spt", "URL\t\"" + server.url("/p") + "\"\r\n");
  enum class Out { File, Full, ClosedPipe };
  const struct {
    const char* name;
    std::vector<std::string> args;
    Out out;
    int status;
    const char* message;  // how the one line on standard error begins
  } cases[] = {
      {"export to a full device",
       {"--history", history, "--export", "csv"},
       Out::Full,
       kExitStopped,
       "kelvane-run: cannot write to standard output: "},
      {"export into a closed pipe",
       {"--history", history, "--export", "jsonl"},
       Out::ClosedPipe,
       kExitStopped,
       "kelvane-run: cannot write to standard output: "},
      {"settings to a full device",
       {"--settings", write("k.cnf",
                            " 9600 \r\n 7200 \r\n 0 \r\n 0 \r\nu\r\n 5 \r\n 1 \r\nlog\r\n 0 \r\n"
                            " 2 \r\n9\r\n00\r\n17\r\n30\r\n 10 \r\ns.spt\r\n 0 \r\n 255 \r\nf\r\n"
                            "True\r\n1\r\nw\r\n")},
       Out::Full,
       kExitStopped,
       "kelvane-run: cannot write to standard output: "},
      {"suggestion to a full device",
       {"--page", page, "--suggest", "298", ""},
       Out::Full,
       kExitStopped,
       "kelvane-run: cannot write to standard output: "},
      {"script error on the last line",
       {"--page", page, write("last.spt", "PUT\t\"x\"\tD\r\nPUT\tbad\tD\r\n")},
       Out::File,
       kExitStopped,
       "Source指定の誤り"},
      {"text absent from a loaded page",
       {"--fetch", "direct", "--suggest", "no such text", urlScript},
       Out::File,
       kExitUsage,
       "kelvane-run: \"no such text\" does not occur in HT"},
      {"damaged history",
       {"--history", damaged, "--page", page, prices},
       Out::File,
       kExitUsage,
       "kelvane-run: "},
      {"damaged history exported",
       {"--history", damaged, "--export", "csv"},
       Out::File,
       kExitUsage,
       "kelvane-run: cannot read history: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    if (args.back().empty()) args.pop_back();
    int ends[2] = {-1, -1};
    std::FILE* out = nullptr;
    if (c.out == Out::Full) out = std::fopen("/dev/full", "w");
    if (c.out == Out::File) out = std::tmpfile();
    if (c.out == Out::ClosedPipe) {
      ASSERT_EQ(::pipe(ends), 0);
      ::close(ends[0]);
      out = ::fdopen(ends[1], "w");
    }
    ASSERT_NE(out, nullptr);
    std::FILE* err = std::tmpfile();
    const int status = runMain(args, out, err);
    std::fclose(out);
    const std::string said = slurp(err);
    EXPECT_EQ(status, c.status) << said;
    EXPECT_EQ(said.rfind(c.message, 0), 0u) << said;
    EXPECT_EQ(lineCount(said), 1u) << said;
  }
  // The damaged history is left as it was.
  EXPECT_EQ(textfile::readFileBytes(damaged).value(), bytes);
}

}  // namespace
}  // namespace kelvane::cli
