// kelvane-run --state, --diff and --record, and how every run ends under
// stop signals.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "history/display_diff.h"
#include "run/display_state.h"
#include "run_fixture.h"
#include "support/local_http_server.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {
namespace {

using State = testing::RunFixture;
using nlohmann::json;

std::string fileText(const std::string& path) {
  return textfile::readFileBytes(path).value_or("<unreadable>");
}

// Whether the process has a handler for the signal (its SigCgt mask).
bool catches(pid_t pid, int signal) {
  std::istringstream status(fileText("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigCgt:", 0) == 0) {
      return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    }
  }
  return false;
}

TEST_F(State, ExitStatusAndDiffFollowASequenceOfPages) {
  const auto script = write("s.spt", "CLEAR\tD\r\nPUT\tHT\tD\r\n");
  const auto state = (dir_ / "d.state").string();
  const struct {
    const char* page;
    int status;
    const char* diff;
  } steps[] = {
      {"a\r\nb\r\n", kExitNormal, ""},  // nothing kept yet
      {"a\r\nb\r\n", kExitNormal, ""},
      {"a\r\nB\r\n", kExitChanged, "--- previous\n+++ current\n@@ -1,2 +1,2 @@\n a\n-b\n+B\n"},
      {"", kExitChanged, "--- previous\n+++ current\n@@ -1,2 +0,0 @@\n-a\n-B\n"},
      {"", kExitNormal, ""},  // an empty display is a display, not nothing
      {"x", kExitChanged,
       "--- previous\n+++ current\n@@ -0,0 +1 @@\n+x\n\\ No newline at end of file\n"},
      {"x\r\n", kExitChanged,
       "--- previous\n+++ current\n@@ -1 +1 @@\n-x\n\\ No newline at end of file\n+x\n"},
  };
  for (const auto& step : steps) {
    const testing::Result r =
        run({"--state", state, "--diff", "--page", write("p", step.page), script});
    EXPECT_EQ(r.status, step.status) << step.page;
    EXPECT_EQ(r.out, step.diff) << step.page;
    EXPECT_EQ(r.err, "");
  }
  // Without --diff the buffer is printed as usual.
  EXPECT_EQ(run({"--state", state, "--page", write("p", "y"), script}).out, "y");

  // A stopped run leaves the state alone.
  const std::string kept = fileText(state);
  const testing::Result stopped =
      run({"--state", state, write("bad.spt", "CLEAR\tD\r\nPUT\tbad\tD\r\nPUT\t\"z\"\tD\r\n")});
  EXPECT_EQ(stopped.status, kExitStopped);
  EXPECT_EQ(fileText(state), kept);

  // A file that is not a state file is never overwritten.
  const auto other = write("notes.txt", "my notes");
  const testing::Result foreign = run({"--state", other, script});
  EXPECT_EQ(foreign.status, kExitUsage);
  EXPECT_EQ(foreign.err, "kelvane-run: " + other +
                             " is not a state file written by kelvane-run; it is left alone\n");
  EXPECT_EQ(fileText(other), "my notes");
}

// A stored display reads back whole, a leading U+FEFF included.
TEST_F(State, AStoredDisplayReadsBackWhole) {
  const auto state = (dir_ / "bom.state").string();
  ASSERT_TRUE(run::writeState(state, u"\uFEFFx\r\ny"));
  EXPECT_EQ(run::readState(state).display, u"\uFEFFx\r\ny");
  EXPECT_EQ(run::storedDisplayEquals(state, u"\uFEFFx\r\ny"), true);
}

// Applies a unified diff to the lines of `before` (LF ends only).
std::string applyDiff(const std::string& before, const std::string& diff) {
  std::vector<std::string> lines, out;
  std::istringstream in(before), patch(diff);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  size_t next = 0;  // first line of `before` not yet copied
  std::string l;
  std::getline(patch, l), std::getline(patch, l);  // --- and +++
  while (std::getline(patch, l)) {
    if (l.rfind("@@ -", 0) == 0) {
      size_t start = std::stoul(l.substr(4));
      const size_t comma = l.find(',');
      const bool empty = comma < l.find(' ', 4) && std::stoul(l.substr(comma + 1)) == 0;
      if (!empty) --start;  // 1-based, and an empty range names the line before
      while (next < start) out.push_back(lines.at(next++));
    } else if (l[0] == ' ' || l[0] == '-') {
      EXPECT_EQ(lines.at(next), l.substr(1));
      if (l[0] == ' ') out.push_back(lines[next]);
      ++next;
    } else if (l[0] == '+') {
      out.push_back(l.substr(1));
    }
  }
  while (next < lines.size()) out.push_back(lines[next++]);
  std::string joined;
  for (const auto& s : out) joined += s + "\n";
  return joined;
}

TEST(UnifiedDiff, TakesTheOldLinesToTheNewOnes) {
  std::mt19937 random(7);
  const auto randomLines = [&](int count) {
    std::string s;
    for (int i = 0; i < count; ++i)
      s += std::string(1, static_cast<char>('a' + random() % 4)) + "\n";
    return s;
  };
  std::vector<std::pair<std::string, std::string>> pairs;
  for (int i = 0; i < 300; ++i)
    pairs.emplace_back(randomLines(random() % 30), randomLines(random() % 30));
  // Too different for the shortest script: removed and added whole.
  std::string many, others;
  for (int i = 0; i < 3000; ++i)
    many += "a" + std::to_string(i) + "\n", others += "b" + std::to_string(i) + "\n";
  pairs.emplace_back("head\n" + many + "tail\n", "head\n" + others + "tail\n");
  for (const auto& [before, after] : pairs) {
    const std::u16string a = textfile::fromUtf8(before), b = textfile::fromUtf8(after);
    const std::string diff = history::unifiedDiff(a, b);
    EXPECT_EQ(diff.empty(), before == after);
    EXPECT_EQ(applyDiff(before, diff), after) << before << "->\n" << after << diff;
  }
}

TEST_F(State, RecordHoldsOneJsonLinePerRun) {
  // What a killed writer left: the next line starts on a line of its own.
  const auto record = write("runs.jsonl", "{\"start\":");
  const auto state = (dir_ / "d.state").string();
  const auto page = write("p.html", "<li>1</li><li>2</li>");
  const auto script = write("s.spt",
                            "CLEAR\tD\r\nLOOP\t\"3\"\r\nGHC\tD\t\"<li>\"\t\"</li>\"\r\nLOOPEND\r\n"
                            "DEL-U\tD\t\"q\"\r\n");
  EXPECT_EQ(run({"--record", record, "--state", state, "--page", page, script}).status,
            kExitNormal);
  EXPECT_EQ(run({"--record", record, "--state", state, "--runs", "2", "--page", page,
                 write("t.spt", "PUT\t\"x\"\tD\r\nPUT\tbad\tD\r\nCR\tD\r\n")})
                .status,
            kExitStopped);
  EXPECT_EQ(
      run({"--record", record, write("u.spt", "URL\t\"http://127.0.0.1:9/\"\r\nCR\tD\r\n")}).status,
      kExitStopped);
  // The direct fetch reads a file name as that file.
  write("e.html", "<meta charset=euc-jp><p>\xA4\xA2</p>");
  EXPECT_EQ(run({"--record", record, "--fetch", "direct",
                 write("f.spt", "URL\t\"" + (dir_ / "e.html").string() + "\"\r\n")})
                .status,
            kExitNormal);

  // A page that does not load on the script's last line fails the run too.
  EXPECT_EQ(run({"--record", record, "--fetch", "direct", "--state", state,
                 write("v.spt", "PUT\t\"y\"\tD\r\nURL\t\"http://127.0.0.1:9/\"\r\n")})
                .status,
            kExitStopped);

  std::vector<json> runs;
  std::istringstream lines(fileText(record));
  std::string torn;
  std::getline(lines, torn);
  EXPECT_EQ(torn, "{\"start\":");
  for (std::string line; std::getline(lines, line);) runs.push_back(json::parse(line));
  ASSERT_EQ(runs.size(), 6u);
  for (const json& r : runs) {
    EXPECT_TRUE(r["start"].get<std::string>().find('T') == 10) << r;
    EXPECT_GE(r["duration_ms"].get<int>(), 0);
  }
  // CLEAR, LOOP, 3 x (GHC, LOOPEND), DEL-U: 9 lines; the third GHC and DEL-U miss.
  EXPECT_EQ(runs[0]["outcome"], "normal");
  EXPECT_FALSE(runs[0].contains("message"));
  EXPECT_EQ(runs[0]["lines_run"], 9);
  EXPECT_EQ(runs[0]["misses"], json::parse(R"([{"line":2,"command":"GHC","marker":"<li>"},
                                                {"line":4,"command":"DEL-U","marker":"q"}])"));
  EXPECT_EQ(runs[0]["display_chars"], 2);
  EXPECT_EQ(runs[0]["changed"], false);
  EXPECT_EQ(runs[0]["loads"], json::array());
  for (const json& r : {runs[1], runs[2]}) {
    EXPECT_EQ(r["outcome"], "stopped");
    EXPECT_EQ(r["message"],
              "Source指定の誤り:第 1パラメータの文字列はダブルクオーツで囲んでください．BAD");
    EXPECT_FALSE(r.contains("changed"));  // a stopped run compares nothing
    EXPECT_EQ(r["lines_run"], 2);
  }
  EXPECT_EQ(runs[2]["display_chars"], 2);
  const json& load = runs[3]["loads"].at(0);
  EXPECT_EQ(load["url"], "http://127.0.0.1:9/");
  EXPECT_EQ(load["fetch"], "browser");
  EXPECT_EQ(load["error"].get<std::string>().rfind("page loading is not available: ", 0), 0u);
  EXPECT_EQ(runs[3]["message"], load["error"]);
  for (const json& r : {runs[3], runs[5]}) EXPECT_EQ(r["outcome"], "failed load");
  EXPECT_FALSE(runs[5].contains("changed"));
  const json& fetched = runs[4]["loads"].at(0);
  EXPECT_EQ(fetched["fetch"], "direct");
  EXPECT_EQ(fetched["bytes"], 30);
  EXPECT_EQ(fetched["charset"], "EUC-JP");
  EXPECT_EQ(fetched["final_url"].get<std::string>().rfind("file://", 0), 0u) << fetched;
}

// Lines longer than a pipe takes at once, from two processes into one FIFO:
// each arrives whole.
TEST_F(State, LongRecordLinesFromSeveralProcessesReachAFifoWhole) {
  using namespace std::chrono_literals;
  const auto fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  // The marker that misses is in the record: lines of over 5 KiB.
  const auto script = write("s.spt", "GETA\tHT\tV1\t\"" + std::string(5000, 'q') + "\"\r\n");
  const std::vector<std::string> args = {
      KELVANE_RUN, "--runs", "30", "--record", fifo, "--page", write("p.html", "<p>x</p>"), script};
  pid_t writers[] = {spawnProgram(args), spawnProgram(args)};
  std::string text;
  int running = 2;
  for (int waited = 0; waited < 6000;) {
    char chunk[1 << 16];
    const ssize_t n = ::read(reader, chunk, sizeof chunk);
    if (n > 0) {
      text.append(chunk, static_cast<size_t>(n));
      continue;
    }
    if (running == 0) break;
    for (pid_t& w : writers) {
      int status = 0;
      if (w > 0 && ::waitpid(w, &status, WNOHANG) == w) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitNormal) << status;
        w = 0;
        --running;
      }
    }
    std::this_thread::sleep_for(5ms);
    ++waited;
  }
  ::close(reader);
  EXPECT_EQ(running, 0);
  std::istringstream lines(text);
  int whole = 0;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(json::accept(line)) << line.substr(0, 200);
    whole += json::accept(line) ? 1 : 0;
  }
  EXPECT_EQ(whole, 60);
}

TEST_F(State, ARecordThatCannotBeWrittenIsAUsageErrorBeforeAnyRun) {
  const auto fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto script = write("s.spt", "PUT\t\"x\"\tD\r\n");
  for (const std::string& path : {fifo, (dir_ / "no" / "such.jsonl").string()}) {
    const testing::Result r = run({"--record", path, script});  // never waits for a reader
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("kelvane-run: cannot write record: " + path + ": ", 0), 0u) << r.err;
  }
}

// The real program under stop signals while its output is stuck or its
// reader gone: it ends soon after the signal, and what the run produced is
// kept (the state is written before the diff or the display is printed).
TEST_F(State, StopSignalsAndStuckOrClosedOutputsKeepWhatTheRunProduced) {
  using namespace std::chrono_literals;
  const auto page = write("page.html", std::string(1 << 20, 'a'));
  const auto copy = write("copy.spt", "CLEAR\tD\r\nPUT\tHT\tD\r\n");
  // Each pass scans 1 MB for a marker that is not there: minutes in all.
  const auto slow = write("slow.spt", "LOOP\t\"32767\"\r\nGETA\tHT\tV1\t\"zq\"\r\nLOOPEND\r\n");
  const auto state = (dir_ / "d.state").string();
  const auto record = (dir_ / "runs.jsonl").string();
  const auto fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto log = (dir_ / "log.txt").string();
  const auto history = (dir_ / "h.sqlite").string();
  ASSERT_EQ(run({"--history", history, "--page", page, copy}).status, kExitNormal);
  enum class Out { Closed, Unread, Null };
  // Another process holding the lock of the log or the history.
  enum class Held { None, Log, History };
  const struct {
    const char* name;
    std::vector<std::string> args;
    Out out;
    int signal;  // 0: none sent
    int status;  // the exit status, or the signal that ended it
    bool stateWritten;
    Held held = Held::None;
  } cases[] = {
      {"diff into a closed pipe",
       {"--state", state, "--diff", "--page", page, copy},
       Out::Closed,
       0,
       kExitStopped,
       true},
      {"display into a pipe nobody reads",
       {"--state", state, "--page", page, copy},
       Out::Unread,
       SIGTERM,
       SIGTERM,
       true},
      {"record into a FIFO nobody reads",
       {"--runs", "30000", "--record", fifo, copy},
       Out::Null,
       SIGINT,
       SIGINT,
       false},
      {"terminal closed in a long loop",
       {"--record", record, "--page", page, slow},
       Out::Null,
       SIGHUP,
       SIGHUP,
       false},
      {"log locked by another writer",
       {"--state", state, "--record", record, "--log", log, "--page", page, copy},
       Out::Null,
       SIGTERM,
       SIGTERM,
       true,
       Held::Log},
      {"history locked by another writer",
       {"--state", state, "--record", record, "--history", history, "--page", page, copy},
       Out::Null,
       SIGTERM,
       SIGTERM,
       true,
       Held::History},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(state);
    std::filesystem::remove(record);
    run::writeState(state, u"before");
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    if (c.out == Out::Closed) ::close(out[0]);
    // A reader that opens the FIFO and never reads.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int logHolder = ::open(log.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (c.held == Held::Log) ::flock(logHolder, LOCK_EX);
    sqlite3* historyHolder = nullptr;
    ASSERT_EQ(sqlite3_open(history.c_str(), &historyHolder), SQLITE_OK);
    if (c.held == Held::History) {
      ASSERT_EQ(sqlite3_exec(historyHolder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr),
                SQLITE_OK);
    }
    std::vector<std::string> args = {KELVANE_RUN};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const pid_t pid = spawnProgram(args, c.out == Out::Null ? -1 : out[1]);
    ::close(out[1]);
    if (c.signal) {
      // Once the program catches the signal (a loaded machine may take a
      // while to start it), it is soon blocked, or deep in the loop.
      for (int i = 0; i < 100 && !catches(pid, c.signal); ++i) std::this_thread::sleep_for(50ms);
      std::this_thread::sleep_for(1s);
      ::kill(pid, c.signal);
    }
    const auto sent = std::chrono::steady_clock::now();
    const int status = waitEnded(pid);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1500ms);
    if (c.signal) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.status) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << status;
    }
    EXPECT_EQ(run::readState(state).display == u"before", !c.stateWritten);
    if (c.signal == SIGHUP || c.held != Held::None) {
      // The run's other outputs are written: a stop in a lock wait comes
      // after the run ended normally.
      const auto line = textfile::readFileBytes(record).value_or("");
      ASSERT_FALSE(line.empty());
      EXPECT_EQ(json::parse(line)["outcome"], c.held == Held::None ? "stopped" : "normal");
    }
    if (c.out != Out::Closed) ::close(out[0]);
    ::close(reader);
    ::close(logHolder);
    sqlite3_close(historyHolder);
  }
}

}  // namespace
}  // namespace kelvane::cli

namespace kelvane::cli {
namespace {

// A page that sends the fetch to a local file fails to load, so the kept
// display stays as it was and no change is reported.
TEST_F(State, ARedirectToAFileIsAFailedLoadThatLeavesTheStateAlone) {
  const auto secret = write("secret.txt", "local secret");
  kelvane::testing::LocalHttpServer server([&](auto&, int fd, const std::string&, const auto&) {
    kelvane::testing::LocalHttpServer::reply(fd, "302 Found", "Location: file://" + secret + "\r\n",
                                             "");
  });
  const auto script = write("s.spt", "URL\t\"" + server.url("/") + "\"\r\nPUT\tHT\tD\r\n");
  const auto state = (dir_ / "d.state").string();
  ASSERT_EQ(run({"--page", write("p.html", "kept"), "--state", state, "--runs", "1",
                 write("keep.spt", "PUT\tHT\tD\r\n")})
                .status,
            kExitNormal);
  const std::string kept = fileText(state);
  const auto r = run({"--fetch", "direct", "--state", state, "--print", "HT", script});
  EXPECT_EQ(r.status, kExitStopped) << r.err;
  EXPECT_NE(r.err.find("neither http: nor https:"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("local secret"), std::string::npos);
  EXPECT_EQ(r.err.find("local secret"), std::string::npos);
  EXPECT_EQ(fileText(state), kept);
}

// Every file kelvane-run writes refuses a link another user planted in a
// folder everyone may write to, and leaves the file it names untouched.
TEST_F(State, NoOutputIsWrittenThroughALinkPlantedInASharedFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
  const auto victim = write("victim", "mine");
  std::filesystem::create_directories(dir_ / "shared");
  ::chmod((dir_ / "shared").c_str(), 01777);
  const auto script = write("s.spt", "PUT\t\"shown\"\tD\r\n");
  for (const char* option : {"--log", "--record", "--state", "--history"}) {
    const auto link = (dir_ / "shared" / (std::string(option).substr(2) + ".link")).string();
    std::filesystem::create_symlink(victim, link);
    ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
    const auto r = run({option, link, script});
    EXPECT_NE(r.status, kExitNormal) << option;
    EXPECT_EQ(fileText(victim), "mine") << option;
  }
}

}  // namespace
}  // namespace kelvane::cli
