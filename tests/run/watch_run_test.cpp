// A watch's run cycle: the change decision (a state file, else the
// history's last normal run, else the previous run in this process), what
// followers see, and outputs that fail told to the front.
#include "run/watch_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/fake_host.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::run {
namespace {

namespace fs = std::filesystem;

struct FakeFront : Front {
  void cannotWrite(Output output, const std::string&, const std::string&) override {
    failed.push_back(output);
  }
  std::vector<Output> failed;
};

struct Seen : Follower {
  void runFinished(const FinishedRun& run) override {
    changes.push_back(run.change);
    normal.push_back(run.report.outcome == engine::RunOutcome::Normal);
  }
  std::vector<Change> changes;
  std::vector<bool> normal;
};

Outputs inMemory() {
  Outputs outputs;
  outputs.compareInMemory = true;
  return outputs;
}

class WatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelvane-watch-run-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    script_ = (dir_ / "s.spt").string();
    // The page text becomes the display; a page "fail" is a load that failed
    // on the script's last line.
    textfile::writeFileAtomically(script_, "CLEAR\tD\r\nPUT\tHT\tD\r\nURL\t\"u\"\r\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::string script_;
};

TEST_F(WatchRunTest, TheHistoryDecidesAChangeAcrossAFreshStart) {
  const struct {
    bool freshStart;  // a new process: nothing kept in memory
    const char16_t* page;
    Change change;
  } runs[] = {
      {false, u"a", Change::First},   {false, u"a", Change::Same},
      {true, u"b", Change::Changed},  // the first run after a start still sees it
      {true, u"b", Change::Same},     {false, u"fail", Change::Unknown},
      {false, u"b", Change::Same},  // a failed load is no display to compare with
      {false, u"c", Change::Changed},
  };
  Seen seen;
  std::unique_ptr<engine::testing::Bench> bench;
  std::unique_ptr<WatchRun> watch;
  FakeFront front;
  for (const auto& r : runs) {
    if (!watch || r.freshStart) {
      watch.reset();
      bench = std::make_unique<engine::testing::Bench>();
      watch = std::make_unique<WatchRun>(bench->engine, front, inMemory());
      watch->setHistoryPath((dir_ / "history.sqlite").string());
      watch->addFollower(seen);
      bench->host.onOpenUrl = [&](std::u16string_view url) {
        acquisition::LoadRecord load;
        load.url = "u";
        if (bench->engine.ht().view() == u"fail") load.error = "refused";
        watch->journal().load(load);
        static_cast<void>(url);
      };
    }
    bench->engine.ht().assign(std::u16string(r.page));
    const WatchRun::Result result = watch->run(textfile::fromUtf8(script_), {});
    EXPECT_EQ(result.change, r.change) << textfile::toUtf8(r.page);
    EXPECT_EQ(result.normal(), r.change != Change::Unknown);
  }
  EXPECT_EQ(front.failed, std::vector<Output>{});
  ASSERT_EQ(seen.changes.size(), std::size(runs));
  EXPECT_EQ(seen.changes[2], Change::Changed);
  EXPECT_FALSE(seen.normal[4]);
  // Without a history the previous run in this process decides.
  engine::testing::Bench alone;
  WatchRun memory(alone.engine, front, inMemory());
  for (const Change expected : {Change::First, Change::Same}) {
    EXPECT_EQ(memory.run(textfile::fromUtf8(script_), {}).change, expected);
  }
}

TEST_F(WatchRunTest, OutputsThatCannotBeWrittenAreToldAndTheRunCompletes) {
  const std::string missing = (dir_ / "no" / "such").string();
  engine::testing::Bench bench;
  FakeFront front;
  Outputs outputs;
  outputs.record = missing + ".jsonl";
  outputs.compareInMemory = true;
  WatchRun watch(bench.engine, front, outputs);
  // A folder where the history's file would be.
  fs::create_directories(dir_ / "history.sqlite");
  watch.setHistoryPath((dir_ / "history.sqlite").string());
  bench.engine.ht().assign(u"x");
  WatchRun::Request request;
  request.log = LogEntry{missing + ".log", u"memo"};
  const WatchRun::Result result = watch.run(textfile::fromUtf8(script_), request);
  EXPECT_TRUE(result.writeFailed);
  EXPECT_EQ(front.failed, (std::vector<Output>{Output::Record, Output::Log, Output::History}));
  // The history could not tell: the previous run in this process decides.
  EXPECT_EQ(result.change, Change::First);
  EXPECT_EQ(bench.engine.d().view(), u"x");
}

}  // namespace
}  // namespace kelvane::run
