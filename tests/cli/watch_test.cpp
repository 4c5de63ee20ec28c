// kelvane-run --watch: the scheduler's ticks on an injected clock, the log
// it writes, and SIGTERM through the real program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/watch.h"
#include "history/store.h"
#include "run_fixture.h"
#include "settings/settings.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {
namespace {

using Watch = testing::RunFixture;
using namespace std::chrono_literals;

size_t lineCount(const std::string& path) {
  const std::string text = textfile::readFileBytes(path).value_or("");
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Minutes pass one per tick; the watch ends after `ticks` of them. At every
// wait it notes how many runs the record holds.
class FakeClock : public WatchClock {
 public:
  FakeClock(int minute, int ticks, std::string record)
      : minute_(minute), ticks_(ticks), record_(std::move(record)) {}
  acquisition::LocalMinute localMinute() override { return {minute_ / 60 % 24, minute_ % 60}; }
  bool waitTick(std::chrono::milliseconds period) override {
    EXPECT_EQ(period, 60s);
    runsSeen.push_back(lineCount(record_));
    if (ticks_-- == 0) return false;
    ++minute_;
    return true;
  }
  // The ticks (0 for the one at start) at which a run happened.
  std::vector<int> runTicks() const {
    std::vector<int> ticks;
    for (size_t k = 0; k < runsSeen.size(); ++k) {
      if (runsSeen[k] > (k == 0 ? 0 : runsSeen[k - 1])) ticks.push_back(static_cast<int>(k));
    }
    return ticks;
  }
  std::vector<size_t> runsSeen;

 private:
  int minute_, ticks_;
  std::string record_;
};

class WatchRun : public Watch {
 protected:
  std::string settingsFile(settings::Settings s, const std::string& name = "Kelvane.cnf") {
    return write(name, settings::settingsBytes(s));
  }
  testing::Result watchWith(const std::vector<std::string>& args, WatchClock& clock) {
    const ParsedOptions parsed = parseOptions(args);
    EXPECT_TRUE(parsed.options) << parsed.text;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = watch(*parsed.options, out, err, clock);
    return {status, slurp(out), slurp(err)};
  }
};

TEST_F(WatchRun, RunsOnTheSchedulersTicksInsideTheTimeWindow) {
  const struct {
    const char16_t* interval;
    bool window;
    const char16_t *startHour, *startMinute, *endHour, *endMinute;
    int firstMinute, ticks;
    std::vector<int> runTicks;
  } cases[] = {
      {u"3", false, u"", u"", u"", u"", 9 * 60, 7, {0, 3, 6}},
      {u"1", true, u"9", u"00", u"9", u"02", 8 * 60 + 58, 6, {2, 3, 4}},
      // Across midnight; ticks outside do not count towards the interval.
      {u"2", true, u"23", u"59", u"0", u"01", 23 * 60 + 58, 5, {1, 3}},
  };
  write("w.spt", "CLEAR\tD\r\nPUT\t\"x\"\tD\r\n");
  for (const auto& c : cases) {
    settings::Settings s;
    s.interval = c.interval;
    s.autoUpdate = 1;
    s.autoLog = 1;
    s.logPath = u"log.txt";  // beside the settings, as the window has it
    s.scriptPath = u"w.spt";
    s.timeWindow = c.window ? 1 : 0;
    s.startHour = c.startHour, s.startMinute = c.startMinute;
    s.endHour = c.endHour, s.endMinute = c.endMinute;
    s.settleMode = c.window ? u"auto" : u"fixed";  // line 24 counts without --settle
    const auto record = (dir_ / "runs.jsonl").string();
    std::filesystem::remove(record);
    std::filesystem::remove(dir_ / "log.txt");
    FakeClock clock(c.firstMinute, c.ticks, record);
    const testing::Result r =
        watchWith({"--watch", settingsFile(s), "--record", record, "--memo", "M"}, clock);
    EXPECT_EQ(r.status, kExitNormal);
    EXPECT_EQ(clock.runTicks(), c.runTicks) << textfile::toUtf8(c.interval);
    std::string log;
    for (size_t k = 0; k < c.runTicks.size(); ++k) log += "M\r\nx\r\n";
    EXPECT_EQ(textfile::readFileBytes((dir_ / "log.txt").string()).value_or(""), log);
    // One line per run: its time, outcome and whether the display changed.
    std::istringstream lines(r.err);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("kelvane-run: watching " + (dir_ / "w.spt").string() + " every ", 0), 0u);
    EXPECT_EQ(line.ends_with(", pages read once they have settled"), c.window) << line;
    const std::regex run(
        R"(kelvane-run: \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d normal, )");
    for (size_t k = 0; k < c.runTicks.size(); ++k) {
      std::getline(lines, line);
      EXPECT_TRUE(std::regex_search(line, run)) << line;
      // The history beside the settings outlives each watch: only the very
      // first run has nothing to compare with.
      const bool first = k == 0 && &c == &cases[0];
      EXPECT_TRUE(line.ends_with(first ? "first display" : "display unchanged")) << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << line;
  }
}

TEST_F(WatchRun, AStoppedRunWritesNoLogAndTheWatchGoesOn) {
  settings::Settings s;
  s.interval = u"1";
  s.autoUpdate = 1;
  s.autoLog = 1;
  s.logPath = u"log.txt";
  s.scriptPath = textfile::fromUtf8(write("bad.spt", "PUT\tbad\tD\r\nCR\tD\r\n"));
  FakeClock clock(600, 2, (dir_ / "r").string());
  const testing::Result r =
      watchWith({"--watch", settingsFile(s), "--record", (dir_ / "r").string()}, clock);
  EXPECT_EQ(clock.runTicks(), (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "log.txt"));
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1 + 3 * 2);  // message and run line
  EXPECT_TRUE(r.err.ends_with(" stopped\n")) << r.err;
}

TEST_F(WatchRun, SettingsThatCannotDriveAWatchAreUsageErrors) {
  settings::Settings off;
  off.scriptPath = u"w.spt";
  settings::Settings noScript;
  noScript.autoUpdate = 1;
  const struct {
    std::string settings;
    std::string message;
  } cases[] = {
      {(dir_ / "missing.cnf").string(), "kelvane-run: cannot read settings: "},
      {settingsFile(off, "off.cnf"), "kelvane-run: the automatic update is off in "},
      {settingsFile(noScript, "none.cnf"), "kelvane-run: cannot read script: "},
  };
  for (const auto& c : cases) {
    FakeClock clock(0, 0, "");
    const testing::Result r = watchWith({"--watch", c.settings}, clock);
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
    EXPECT_TRUE(clock.runsSeen.empty());
  }
  const testing::Result both = run({"--watch", settingsFile(off), write("s.spt", "")});
  EXPECT_EQ(both.status, kExitUsage);
}

// --runs with --watch: the runs now, whatever the switch and the schedule
// say, logged as the settings say, recorded under the watch's name; the exit
// status of the last run.
TEST_F(WatchRun, RunsGivenRunNowAndEnd) {
  const struct {
    const char* script;
    const char* settingsName;
    const char* watchName;
    int status;
    size_t logged;
  } cases[] = {
      {"PUT\t\"x\"\tD\r\n", "prices.cnf", "prices", kExitNormal, 2},
      {"PUT\tbad\tD\r\nCR\tD\r\n", "Kelvane.cnf", "", kExitStopped, 0},
  };
  for (const auto& c : cases) {
    settings::Settings s;
    s.autoUpdate = 0;
    s.autoLog = 1;
    s.logPath = u"log.txt";
    s.scriptPath = textfile::fromUtf8(write("w.spt", c.script));
    std::filesystem::remove(dir_ / "log.txt");
    std::filesystem::remove(dir_ / "kelvane-history.sqlite");
    FakeClock clock(0, 0, "");
    const testing::Result r =
        watchWith({"--watch", settingsFile(s, c.settingsName), "--runs", "2"}, clock);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(clock.runsSeen.empty());  // no tick waited for
    const std::string log = textfile::readFileBytes((dir_ / "log.txt").string()).value_or("");
    EXPECT_EQ(log.empty(), c.logged == 0) << log;
    const auto runs =
        history::HistoryStore((dir_ / "kelvane-history.sqlite").string(), true).runs();
    ASSERT_EQ(runs.size(), 2u);
    // A file called Kelvane.cnf names the watch after its folder.
    EXPECT_EQ(runs[0].watch, *c.watchName ? c.watchName : dir_.filename().string());
  }
}

// The real program under SIGTERM: while it waits for the next tick, and in
// the middle of a long run. It ends by the signal at once (well under a
// second on an idle machine; the bound leaves room for the sanitizers and a
// loaded machine, far below the minute to the next tick or the loop's
// length), and what it wrote is whole.
TEST_F(WatchRun, SigtermEndsTheWatchAtOnce) {
  write("fast.spt", "CLEAR\tD\r\nPUT\t\"x\"\tD\r\n");
  // Each pass scans 4 MB for a marker that is not there: seconds in all.
  write("slow.spt", "LOOP\t\"32767\"\r\nGETA\tHT\tV1\t\"zq\"\r\nLOOPEND\r\n");
  const auto page = write("page.html", std::string(4 << 20, 'a'));
  const struct {
    const char16_t* script;
    const char* lastOutcome;
  } cases[] = {{u"fast.spt", "normal"}, {u"slow.spt", "stopped"}};
  for (const auto& c : cases) {
    settings::Settings s;
    s.interval = u"1";
    s.autoUpdate = 1;
    s.scriptPath = c.script;
    const auto record = (dir_ / "runs.jsonl").string();
    const auto state = (dir_ / "d.state").string();
    std::filesystem::remove(record);
    std::filesystem::remove(state);
    std::vector<std::string> args = {KELVANE_RUN, "--watch", settingsFile(s), "--page", page,
                                     "--record",  record,    "--state",       state};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, KELVANE_RUN, &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
    // The fast script has run once (the 4 MB page takes seconds under the
    // sanitizers); the slow one is in its loop.
    for (int i = 0; i < 600 && lineCount(record) == 0 && std::string(c.lastOutcome) == "normal";
         ++i) {
      std::this_thread::sleep_for(50ms);
    }
    // The slow one has read its page and is in its loop, which lasts
    // minutes.
    std::this_thread::sleep_for(std::string(c.lastOutcome) == "normal" ? 500ms : 4s);
    const auto sent = std::chrono::steady_clock::now();
    ::kill(pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() - sent < 10s) {
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 5s) << textfile::toUtf8(c.script);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    const std::string text = textfile::readFileBytes(record).value_or("");
    ASSERT_EQ(lineCount(record), 1u) << text;
    const auto entry = nlohmann::json::parse(text);
    EXPECT_EQ(entry["outcome"], c.lastOutcome) << textfile::toUtf8(c.script);
    EXPECT_EQ(std::filesystem::exists(state), entry["outcome"] == "normal");
    // The history beside the settings holds the run, stopped or not.
    EXPECT_EQ(history::HistoryStore((dir_ / "kelvane-history.sqlite").string(), true)
                  .runs()
                  .back()
                  .normal,
              entry["outcome"] == "normal");
    for (const auto& f : std::filesystem::directory_iterator(dir_)) {
      EXPECT_EQ(f.path().filename().string().find(".tmp"), std::string::npos) << f.path();
    }
  }
}

}  // namespace
}  // namespace kelvane::cli
