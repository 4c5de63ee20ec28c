// What follows runs recorded in a real history, with deliveries to a stand-in
// for apprise that keeps each message it is handed as a file.
#include "run/after_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "history/store.h"
#include "notify/secrets.h"
#include "textfile/file_io.h"

namespace kelvane::run {

using notify::Courier;
using notify::Delivered;
using notify::Notice;
using notify::NotifySettings;
using notify::parseRule;
using notify::readTargets;
using notify::Rule;
using notify::secretsPathFor;
using notify::writeTargets;
namespace {

namespace fs = std::filesystem;

class AfterRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelvane-notify-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_ / "bin");
    fs::create_directories(dir_ / "sent");
    // Each message as a file: the arguments, the targets apprise was given,
    // then the body.
    script("apprise",
           "f=$(mktemp \"$KELVANE_TEST_SENT/m.XXXXXX\")\n"
           "{ for a; do echo \"arg:$a\"; done; echo \"urls:$APPRISE_URLS\"; cat; } > \"$f\"\n");
    script("apprise-hangs", "sleep 30\n");
    ::setenv("KELVANE_TEST_SENT", (dir_ / "sent").c_str(), 1);
    path_ = std::string(std::getenv("PATH") ? std::getenv("PATH") : "");
    ::setenv("PATH", ((dir_ / "bin").string() + ":" + path_).c_str(), 1);
    recorder_ = std::make_unique<RunRecorder>((dir_ / "h.sqlite").string());
    store_ = recorder_->store();
  }
  void TearDown() override {
    recorder_.reset();
    ::setenv("PATH", path_.c_str(), 1);
    fs::remove_all(dir_);
  }
  void script(const std::string& name, const std::string& body) {
    const fs::path p = dir_ / "bin" / name;
    std::ofstream(p) << "#!/bin/sh\n" << body;
    fs::permissions(p, fs::perms::owner_all);
  }
  // Records a run and lets after follow it.
  std::vector<history::RuleDecision> run(AfterRun& after, const std::string& watch,
                                         std::u16string display, bool normal = true,
                                         bool loginNeeded = false) {
    history::RunEntry e;
    e.start = std::chrono::system_clock::now();
    e.normal = normal;
    e.message = normal ? "" : "failed load: connection refused";
    e.display = display;
    e.script = watch;
    const int64_t id = store_->record(e);
    return after.follow({watch, "みかんの値段", id, normal, display, std::nullopt,
                         "http://shop.example/mikan", false, loginNeeded});
  }
  std::vector<std::string> sent() {
    std::vector<std::string> all;
    for (const auto& f : fs::directory_iterator(dir_ / "sent")) {
      all.push_back(*textfile::readFileBytes(f.path().string()));
    }
    return all;
  }

  fs::path dir_;
  std::string path_;
  std::unique_ptr<RunRecorder> recorder_;
  history::HistoryStore* store_ = nullptr;
};

TEST_F(AfterRunTest, ARuleFiresWhenItBecomesTrueAndAgainOnlyAfterItWasFalse) {
  const struct {
    const char* name;
    const char* rule;  // nullptr: no rule given (changed)
    bool first;
    std::vector<std::u16string> displays;
    size_t messages;
    const char* said;  // in the last message
  } cases[] = {
      {"below",
       "\"みかん\" below 300",
       false,
       {u"みかん（有田）\t￥320", u"みかん（有田）\t￥310", u"みかん（有田）\t￥298",
        u"みかん（有田）\t￥295", u"みかん（有田）\t￥305", u"みかん（有田）\t￥290"},
       2,
       "みかん（有田）: ￥305 → ￥290"},
      {"shows",
       "shows \"在庫あり\"",
       false,
       {u"在庫あり", u"在庫あり", u"売り切れ", u"在庫あり"},
       1,
       "売り切れ → 在庫あり"},
      {"shows-first",
       "shows \"在庫あり\"",
       true,
       {u"在庫あり", u"在庫あり", u"売り切れ", u"在庫あり"},
       2,
       "在庫あり"},
      {"changed", nullptr, false, {u"a", u"a", u"b", u"b", u"a"}, 2, "b → a"},
      {"drops",
       "\"A\" drops 10%",
       false,
       {u"A 100", u"A 89", u"A 80", u"A 85", u"A 70"},
       2,
       "A: 85 → 70"},
      {"lowest",
       "\"A\" lowest 30d",
       false,
       {u"A 300", u"A 310", u"A 290", u"A 290", u"A 280"},
       1,
       "A: 310 → 290"},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_ / "sent");
    fs::create_directories(dir_ / "sent");
    NotifySettings settings;
    settings.targets = {"json://127.0.0.1:9/hook?token=TOPSECRET"};
    if (c.rule) settings.rules = {std::get<Rule>(parseRule(c.rule))};
    settings.first = c.first;
    AfterRun after(settings, *recorder_, nullptr);
    for (const std::u16string& d : c.displays) run(after, c.name, d);
    after.finish(nullptr);
    const std::vector<std::string> messages = sent();
    ASSERT_EQ(messages.size(), c.messages) << c.name;
    bool found = false;
    for (const std::string& m : messages) found = found || m.find(c.said) != std::string::npos;
    EXPECT_TRUE(found) << c.name << ": " << messages.back();
    EXPECT_NE(messages.back().find("urls:json://127.0.0.1:9/hook?token=TOPSECRET"),
              std::string::npos);
    EXPECT_NE(messages.back().find("http://shop.example/mikan"), std::string::npos);
  }
}

TEST_F(AfterRunTest, ABrokenWatchIsToldOnceAndItsRecoveryOnce) {
  NotifySettings settings;
  settings.targets = {"json://127.0.0.1:9/hook?token=TOPSECRET"};
  AfterRun after(settings, *recorder_, nullptr);
  for (int i = 0; i < 4; ++i) run(after, "w.spt", u"", false);
  const auto decided = run(after, "w.spt", u"A 1");
  after.finish(nullptr);
  const std::vector<std::string> messages = sent();
  ASSERT_EQ(messages.size(), 2u);
  const std::string both = messages[0] + messages[1];
  EXPECT_NE(both.find("(3 runs): failed load: connection refused"), std::string::npos) << both;
  EXPECT_NE(both.find("runs normally again"), std::string::npos) << both;
  ASSERT_EQ(decided.size(), 1u);
  EXPECT_FALSE(decided[0].fired);  // the first normal run only arms

  history::AlertBook book(*store_);
  const std::vector<history::DeliveryRow> log = book.deliveries();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(
      log[0].rule < log[1].rule ? log[0].rule + " " + log[1].rule : log[1].rule + " " + log[0].rule,
      "failing recovered");
  EXPECT_EQ(log[0].outcome, "sent");
  EXPECT_EQ(log[0].target, "json://127.0.0.1:9/****");
  recorder_.reset();
  store_ = nullptr;
  for (const char* file : {"h.sqlite", "h.sqlite-wal"}) {
    const auto bytes = textfile::readFileBytes((dir_ / file).string());
    EXPECT_EQ(bytes.value_or("").find("TOPSECRET"), std::string::npos) << file;
  }
}

// A watch that fails because its login expired says so, not only why the
// load failed.
TEST_F(AfterRunTest, ABrokenLoginIsNamedInTheNotice) {
  NotifySettings settings;
  settings.targets = {"json://127.0.0.1:9/hook"};
  AfterRun after(settings, *recorder_, nullptr);
  for (int i = 0; i < 3; ++i) run(after, "login.spt", u"", false, true);
  after.finish(nullptr);
  const std::vector<std::string> messages = sent();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("みかんの値段: login needed"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("(3 runs): login needed (ログインが必要です)"), std::string::npos)
      << messages[0];
}

TEST_F(AfterRunTest, TheSecretsFileIsOnlyTheOwnersAndKeepsItsOtherLines) {
  const std::string path = secretsPathFor((dir_ / "Kelvane.cnf").string());
  std::string why;
  EXPECT_EQ(readTargets(path, &why), std::vector<std::string>());  // none yet
  std::ofstream(path) << "db_password=x\nnotify=old://a\n";
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  ASSERT_TRUE(writeTargets(path, {"json://h/a?token=T", "family"}, &why)) << why;
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(textfile::readFileBytes(path),
            "db_password=x\nnotify=json://h/a?token=T\nnotify=family\n");
  fs::permissions(path, fs::perms::group_read, fs::perm_options::add);
  EXPECT_EQ(readTargets(path, &why), (std::vector<std::string>{"json://h/a?token=T", "family"}));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(AfterRunTest, DeliveriesNeverHoldTheRunUp) {
  std::vector<std::string> said;
  const Notice notice{"t", "b", "changed", "info", "w", 0};
  {
    Courier missing("kelvane-no-such-apprise");
    missing.onMissing = [&](const std::string& text) { said.push_back(text); };
    missing.send("json://h/a", notice);
    missing.send("json://h/a", notice);
    const auto done = missing.collect();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[1].outcome, "not started");
  }
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("Debian package apprise"), std::string::npos);
  {
    // A program gone before it is handed the body ends no caller with SIGPIPE.
    Courier quick("true");
    for (int i = 0; i < 20; ++i) quick.send("json://h/a", notice);
    EXPECT_EQ(quick.finish(nullptr).size(), 20u);
  }

  Courier hangs((dir_ / "bin" / "apprise-hangs").string(), std::chrono::milliseconds(1000));
  const auto start = std::chrono::steady_clock::now();
  hangs.send("json://h/a", notice);
  hangs.send("json://h/b", notice);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  hangs.send("json://h/c", notice);
  std::vector<std::string> outcomes;
  for (const Delivered& d : hangs.collect()) outcomes.push_back(d.outcome);
  for (const Delivered& d : hangs.finish([] { return true; })) outcomes.push_back(d.outcome);
  EXPECT_EQ(outcomes, (std::vector<std::string>{"timed out", "timed out", "abandoned"}));
}

}  // namespace
}  // namespace kelvane::run
