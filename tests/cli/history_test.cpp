// kelvane-run --history and --export: the bundled example over changing
// pages, several writers at once, a kill in the middle of a write, a full
// disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <sstream>
#include <thread>

#include "history/store.h"
#include "run_fixture.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {
namespace {

using History = testing::RunFixture;
using namespace std::chrono_literals;

const std::string kExamples = KELVANE_EXAMPLES;

// The column of one label in a CSV export.
std::vector<std::string> csvColumn(const std::string& csv, const std::string& label) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(csv);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) fields.push_back(cell);
    if (line.ends_with(",")) fields.emplace_back();
    rows.push_back(fields);
  }
  std::vector<std::string> column;
  if (rows.empty()) return column;
  const auto at = std::find(rows[0].begin(), rows[0].end(), label) - rows[0].begin();
  for (size_t r = 1; r < rows.size(); ++r) {
    column.push_back(at < static_cast<long>(rows[r].size()) ? rows[r][at] : "<none>");
  }
  return column;
}

pid_t spawnRun(std::vector<std::string> args) {
  args.insert(args.begin(), KELVANE_RUN);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, KELVANE_RUN, &files, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

std::string integrity(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr);
  std::string result = sqlite3_step(s) == SQLITE_ROW
                           ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0))
                           : sqlite3_errmsg(db);
  sqlite3_finalize(s);
  sqlite3_close(db);
  return result;
}

TEST_F(History, TheExampleOverChangingPricesExportsEachRunsPrice) {
  const std::string html = textfile::readFileBytes(kExamples + "/prices.html").value();
  std::string raised = html;
  raised.replace(raised.find("￥298"), std::string("￥298").size(), "￥318");
  const std::string history = (dir_ / "h.sqlite").string();
  for (const std::string& page : {html, raised, raised}) {
    const auto r =
        run({"--history", history, "--page", write("p.html", page), kExamples + "/prices.spt"});
    ASSERT_EQ(r.status, kExitNormal) << r.err;
  }
  const auto csv = run({"--history", history, "--export", "csv"});
  EXPECT_EQ(csv.status, kExitNormal) << csv.err;
  EXPECT_EQ(csvColumn(csv.out, "みかん（有田）"), (std::vector<std::string>{"298", "318", "318"}));
  const auto jsonl = run({"--history", history, "--export", "jsonl"});
  EXPECT_EQ(std::count(jsonl.out.begin(), jsonl.out.end(), '\n'), 3);
  EXPECT_NE(
      jsonl.out.find("\"changed\":false,\"values\":{\"りんご（ふじ）\":198,\"みかん（有田）\":318"),
      std::string::npos)
      << jsonl.out;
  // Nothing to export from, or a format that is none: usage errors.
  EXPECT_EQ(run({"--history", (dir_ / "none").string(), "--export", "csv"}).status, kExitUsage);
  EXPECT_EQ(run({"--history", history, "--export", "xml"}).status, kExitUsage);
}

// A page that names a series on every line gives the CSV at most 500 series
// columns; the rest are named on standard error, not dropped unsaid.
TEST_F(History, SeriesPastTheBoundAreNamedOnStandardError) {
  const std::string history = (dir_ / "h.sqlite").string();
  // Labels without digits: sa, sb, ... (a digit would be a second number).
  const auto label = [](int i) {
    return "s" + std::string{char('a' + i / 26), char('a' + i % 26)};
  };
  history::RunEntry entry;
  entry.start = std::chrono::system_clock::now();
  for (int i = 0; i < 502; ++i) entry.display += textfile::fromUtf8(label(i)) + u"\t1\r\n";
  entry.display += u"@cmd\"\t2";
  history::HistoryStore(history).record(entry);
  const auto csv = run({"--history", history, "--export", "csv"});
  EXPECT_EQ(csv.status, kExitNormal);
  const std::string header = csv.out.substr(0, csv.out.find("\r\n"));
  EXPECT_EQ(std::count(header.begin(), header.end(), ','), 501) << header;
  EXPECT_TRUE(header.ends_with("," + label(498) + "," + label(499))) << header;
  EXPECT_EQ(csv.err, "kelvane-run: 3 series past the first 500 are not in the CSV: \"" +
                         label(500) + "\", \"" + label(501) + "\", \"@cmd\\\"\"\n");
}

// Two processes recording into one file at once lose no run; a process
// killed in the middle of its runs leaves a file that reads and records.
TEST_F(History, ConcurrentWritersAndAKillLeaveEveryRunAndAValidFile) {
  const std::string history = (dir_ / "h.sqlite").string();
  const std::string script = kExamples + "/prices.spt";
  const std::string page = kExamples + "/prices.html";
  const std::vector<std::string> args = {"--history", history, "--runs", "40",
                                         "--page",    page,    script};
  const pid_t a = spawnRun(args), b = spawnRun(args);
  EXPECT_EQ(waitFor(a), 0);
  EXPECT_EQ(waitFor(b), 0);
  EXPECT_EQ(history::HistoryStore(history, true).runs().size(), 80u);
  EXPECT_EQ(integrity(history), "ok");

  const pid_t killed =
      spawnRun({"--history", history, "--runs", "1000000", "--page", page, script});
  for (int i = 0; i < 3000 && history::HistoryStore(history, true).runs().size() < 100; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  ::kill(killed, SIGKILL);
  EXPECT_TRUE(WIFSIGNALED(waitFor(killed)));
  EXPECT_EQ(integrity(history), "ok");
  const size_t before = history::HistoryStore(history, true).runs().size();
  EXPECT_GE(before, 100u);
  EXPECT_EQ(run({"--history", history, "--page", page, script}).status, kExitNormal);
  EXPECT_EQ(history::HistoryStore(history, true).runs().size(), before + 1);
}

// A disk that takes no more bytes: the run completes, prints its display and
// says that the history could not be written (exit 1); the file stays valid.
TEST_F(History, AFullDiskIsSaidAndTheRunStillCompletes) {
  const std::string history = (dir_ / "h.sqlite").string();
  const std::string script = kExamples + "/prices.spt";
  const std::string page = kExamples + "/prices.html";
  ASSERT_EQ(run({"--history", history, "--page", page, script}).status, kExitNormal);
  const std::string out = (dir_ / "out").string(), err = (dir_ / "err").string();
  const pid_t child = ::fork();
  if (child == 0) {
    std::FILE* o = std::fopen(out.c_str(), "w");
    std::FILE* e = std::fopen(err.c_str(), "w");
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};  // below every file's size: nothing more can be written
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const int status = runMain({"--history", history, "--page", page, script}, o, e);
    std::fclose(o);
    std::fclose(e);
    ::_exit(status);
  }
  const int status = waitFor(child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitStopped) << status;
  EXPECT_EQ(textfile::readFileBytes(out).value(),
            textfile::readFileBytes(kExamples + "/prices.expected.txt").value());
  EXPECT_EQ(textfile::readFileBytes(err).value().rfind(
                "kelvane-run: cannot record in history: " + history + ": ", 0),
            0u)
      << textfile::readFileBytes(err).value();
  EXPECT_EQ(integrity(history), "ok");
  EXPECT_EQ(history::HistoryStore(history, true).runs().size(), 1u);
}

}  // namespace
}  // namespace kelvane::cli
