#include "acquisition/page_loader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/fake_host.h"
#include "support/fake_browser.h"

namespace kelvane::acquisition {
namespace {

using engine::RunOutcome;
using kelvane::testing::FakeBrowser;
using namespace std::chrono_literals;

// The engine, the fake browser, and the loader's host on a fake clock that
// only moves when the loader waits.
class PageLoaderTest : public ::testing::Test, public LoadHost {
 protected:
  PageLoaderTest() {
    bench.host.onOpenUrl = [this](std::u16string_view url) { loader.loadUrl(url); };
  }

  std::chrono::steady_clock::time_point now() override { return clock; }
  void wait(int ms) override {
    pauses.push_back(ms);
    clock += std::chrono::milliseconds(ms);
    ++eventPasses;
    displaySeen.emplace_back(bench.d());
    if (onPass) onPass();
    browser.pass();
  }
  bool abandoned() override { return abandonWhen && abandonWhen(); }
  std::u16string waitValueText() override { return waitValue; }
  SettleMode settleMode() override { return settle; }
  void loadStarting(std::u16string_view url) override {
    starts.push_back({std::u16string(url), bench.ht()});
  }
  void loadFailed(std::u16string_view reason) override { failures.emplace_back(reason); }
  void timedOut(std::u16string_view url) override { timeOuts.emplace_back(url); }
  void settled(const SettleReport& r) override { settles.push_back(r); }

  // Pauses of the given length.
  int pausesOf(int ms) const {
    return static_cast<int>(std::count(pauses.begin(), pauses.end(), ms));
  }

  engine::testing::Bench bench;
  FakeBrowser browser;
  std::chrono::steady_clock::time_point clock{};
  std::u16string waitValue = u"0";
  std::vector<int> pauses;
  int eventPasses = 0;
  std::vector<std::u16string> displaySeen;
  std::function<void()> onPass;
  std::vector<std::pair<std::u16string, std::u16string>> starts;  // URL, HT
  std::vector<std::u16string> failures;
  std::vector<std::u16string> timeOuts;  // their URLs
  SettleMode settle = SettleMode::Fixed;
  std::vector<SettleReport> settles;
  std::function<bool()> abandonWhen;
  PageLoader loader{bench.engine, browser, *this};
};

TEST_F(PageLoaderTest, UrlCommandFillsHtWithTheBodyMarkup) {
  browser.pages[u"http://a/"] = {u"<p>A</p>", std::nullopt, 3};
  bench.engine.ht().assign(u"old page");
  EXPECT_EQ(bench.run({u"URL\t\"http://a/\"", u"PUT\t\"done\"\tD"}), RunOutcome::Normal);
  EXPECT_EQ(bench.ht(), u"<p>A</p>");
  EXPECT_EQ(bench.d(), u"done");
  EXPECT_TRUE(failures.empty());
  // Three turns of the busy wait, then the one settle pass of wait value 0.
  EXPECT_EQ(pauses, (std::vector<int>{20, 20, 20, 0}));
  // The host is told the URL (for the URL box) with the page text emptied,
  // before the load.
  EXPECT_EQ(starts, (std::vector<std::pair<std::u16string, std::u16string>>{{u"http://a/", u""}}));
}

TEST_F(PageLoaderTest, SettlePassesFollowTheWaitValue) {
  struct Case {
    std::u16string wait;
    int passes;
    int ms;
  };
  const std::vector<Case> cases = {
      {u"0", 1, 0},     {u"1", 11, 15},  {u"0.5", 6, 8},   {u"8", 81, 120},  {u"-1", 0, 0},
      {u"-0.01", 0, 0}, {u"0.05", 1, 1}, {u" 2 ", 21, 30}, {u"８", 81, 120}, {u"1e1", 101, 150},
      {u"", 1, 0},      {u"abc", 1, 0},  {u"8s", 1, 0},    {u"1e999", 1, 0}, {u"0.7", 8, 10},
  };
  browser.pages[u"p"] = {u"x", std::nullopt, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases.data()));
    waitValue = c.wait;
    pauses.clear();
    loader.loadByHand(u"p");
    EXPECT_EQ(static_cast<int>(pauses.size()), c.passes);
    EXPECT_EQ(pausesOf(c.ms), c.passes);
  }
}

TEST_F(PageLoaderTest, SettlePassCountIsFixedButEachPassReadsTheWaitAgain) {
  browser.pages[u"p"] = {u"x", std::nullopt, 0};
  waitValue = u"0.5";  // 6 passes
  onPass = [this] { waitValue = u"2"; };
  loader.loadByHand(u"p");
  EXPECT_EQ(pauses, (std::vector<int>{8, 30, 30, 30, 30, 30}));
}

// The auto wait against pages that change their document or keep a request
// going for a while after the load (times in ms after the load).
TEST_F(PageLoaderTest, AutoSettleEndsOnceThePageHasSettledAndNeverAfterTheFixedWait) {
  struct Case {
    const char* name;
    SettleMode mode;
    std::u16string wait;
    bool tells;        // the browser can tell how the page behaves
    bool scripted;     // the document runs scripts
    int lastChange;    // the document's last change
    int changeEvery;   // or a change every so often, for good
    int requestUntil;  // a request in flight until then
    int used;
    bool settled;
  };
  const std::vector<Case> cases = {
      {"still page", SettleMode::Auto, u"8", true, false, 0, 0, 0, 300, true},
      {"change while settling", SettleMode::Auto, u"8", true, false, 200, 0, 0, 500, true},
      {"scripted page", SettleMode::Auto, u"8", true, true, 200, 0, 0, 1000, true},
      {"scripted, later change", SettleMode::Auto, u"8", true, true, 900, 0, 0, 1200, true},
      {"slow request", SettleMode::Auto, u"8", true, false, 0, 0, 1200, 1500, true},
      {"request, then a change", SettleMode::Auto, u"8", true, false, 1240, 0, 1200, 1540, true},
      {"never still", SettleMode::Auto, u"8", true, false, 0, 200, 0, 9720, false},
      {"cap before quiet", SettleMode::Auto, u"1", true, false, 0, 0, 0, 165, false},
      {"wait 0", SettleMode::Auto, u"0", true, false, 0, 0, 0, 0, false},
      {"negative wait", SettleMode::Auto, u"-1", true, false, 0, 0, 0, 0, false},
      {"browser cannot tell", SettleMode::Auto, u"2", false, false, 0, 0, 0, 630, false},
      {"fixed wait", SettleMode::Fixed, u"2", true, false, 0, 0, 0, 630, false},
  };
  browser.pages[u"p"] = {u"x", std::nullopt, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settle = c.mode;
    waitValue = c.wait;
    pauses.clear();
    settles.clear();
    browser.calls.clear();
    const auto loaded = clock;  // the fake page loads at once
    browser.activityNow = [&]() -> std::optional<PageActivity> {
      if (!c.tells) return std::nullopt;
      const int t = static_cast<int>((clock - loaded) / 1ms);
      int last = c.changeEvery       ? t / c.changeEvery * c.changeEvery
                 : t >= c.lastChange ? c.lastChange
                                     : 0;
      if (c.requestUntil) last = std::max(last, std::min(t, c.requestUntil));
      return PageActivity{std::chrono::milliseconds(t - last), c.scripted};
    };
    loader.loadByHand(u"p");
    ASSERT_EQ(settles.size(), 1u);
    EXPECT_EQ(settles[0].used.count(), c.used);
    EXPECT_EQ(settles[0].settled, c.settled);
    EXPECT_EQ(clock - loaded, std::chrono::milliseconds(c.used));
    const std::vector<std::u16string> sent = c.mode == SettleMode::Auto
                                                 ? std::vector<std::u16string>{u"(watch)", u"p"}
                                                 : std::vector<std::u16string>{u"p"};
    EXPECT_EQ(browser.calls, sent);
  }
  EXPECT_EQ(describeSettle({SettleMode::Auto, 412ms, 9720ms, true}),
            "auto, 412 ms of at most 9720: the page had settled");
}

TEST_F(PageLoaderTest, DisplayShowsTheNoticeDuringTheLoadAndItsOldTextAfter) {
  browser.pages[u"http://a/"] = {u"<p>A</p>", std::nullopt, 4};
  waitValue = u"0.1";
  EXPECT_EQ(kLoadingNotice, u" ★★データ更新中★★\r\n　しばらくお待ちください．");
  EXPECT_EQ(bench.run({u"PUT\t\"result so far\"\tD", u"URL\t\"http://a/\""}), RunOutcome::Normal);
  ASSERT_EQ(displaySeen.size(), 6u);  // 4 busy turns, 2 settle passes
  for (const auto& seen : displaySeen) EXPECT_EQ(seen, kLoadingNotice);
  EXPECT_EQ(bench.d(), u"result so far");
}

TEST_F(PageLoaderTest, TwoPagesInTurn) {
  browser.pages[u"http://a/"] = {u"<b>A</b>", std::nullopt, 2};
  browser.pages[u"http://b/"] = {u"<b>B</b>", std::nullopt, 5};
  EXPECT_EQ(bench.run({u"URL\t\"http://a/\"", u"PUT\tHT\tD", u"URL\t\"http://b/\"", u"PUT\tHT\tD"}),
            RunOutcome::Normal);
  EXPECT_EQ(bench.d(), u"<b>A</b><b>B</b>");
  EXPECT_EQ(bench.ht(), u"<b>B</b>");
  EXPECT_EQ(browser.navigations, (std::vector<std::u16string>{u"http://a/", u"http://b/"}));
}

TEST_F(PageLoaderTest, UrlFromABufferGoesToTheBrowserUnchanged) {
  browser.pages[u" http://a/ x"] = {u"ok", std::nullopt, 1};
  EXPECT_EQ(bench.run({u"PUT\t\" http://a/ x\"\tV1", u"URL\tV1"}), RunOutcome::Normal);
  EXPECT_EQ(browser.navigations.back(), u" http://a/ x");
  EXPECT_EQ(bench.ht(), u"ok");
}

// An address cut from the page (or written from such text) goes to the web
// only; one the script wrote itself may name a file here.
TEST_F(PageLoaderTest, AnAddressFromThePageNeverNamesALocalFile) {
  const std::u16string page =
      u"<a href=\"file:///etc/passwd\">f</a><i>/etc/passwd</i><b>http://a/</b>"
      u"<u>example.com</u><s>javascript:alert(1)</s>";
  browser.pages[u"file:///tmp/kept.html"] = {u"local", std::nullopt, 0};
  browser.pages[u"http://a/"] = {u"web", std::nullopt, 0};
  browser.pages[u"example.com"] = {u"web", std::nullopt, 0};
  const struct {
    const char* name;
    std::vector<std::u16string> lines;
    bool loads;
  } cases[] = {
      {"a literal", {u"URL\t\"file:///tmp/kept.html\""}, true},
      {"a buffer of literals",
       {u"PUT\t\"file:///tmp/\"\tV1", u"PUT\t\"kept.html\"\tV1", u"URL\tV1"},
       true},
      {"cut from HT", {u"GETC\tHT\tV1\t\"href=\"\"\t\"\"\"", u"URL\tV1"}, false},
      {"walked out of HT", {u"GHC\tV2\t\"<i>\"\t\"</i>\"", u"URL\tV2"}, false},
      {"a literal in its place",
       {u"GETC\tHT\tV1\t\"href=\"\"\t\"\"\"", u"REPLACE\t\"file:///tmp/kept.html\"\tV1",
        u"URL\tV1"},
       true},
      {"a literal joined to page text",
       {u"PUT\t\"file://\"\tV1", u"GETC\tHT\tV2\t\"<i>\"\t\"</i>\"", u"CON\tV1\tV2", u"URL\tV1"},
       false},
      {"the display", {u"GETC\tHT\tD\t\"<i>\"\t\"</i>\"", u"URL\tD"}, false},
      {"HT cut from a literal",
       {u"PUT\t\"xfile:///tmp/kept.html\"\tV3", u"GHA\tV3\tV4\t\"x\"", u"URL\tHT"},
       true},
      {"a page's script address", {u"GETC\tHT\tV1\t\"<s>\"\t\"</s>\"", u"URL\tV1"}, false},
      {"a page's web address", {u"GETC\tHT\tV1\t\"<b>\"\t\"</b>\"", u"URL\tV1"}, true},
      {"a page's host name", {u"GETC\tHT\tV1\t\"<u>\"\t\"</u>\"", u"URL\tV1"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    browser.navigations.clear();
    failures.clear();
    bench.engine.ht().assign(page);
    std::u16string text;
    for (const auto& line : c.lines) text += line + u"\r\n";
    EXPECT_EQ(bench.engine.runScriptText(text + u"PUT\t\"next\"\tV5\r\n"),
              c.loads ? RunOutcome::Normal : RunOutcome::Stopped);
    EXPECT_EQ(browser.navigations.size(), c.loads ? 1u : 0u);
    if (c.loads) {
      EXPECT_TRUE(failures.empty());
      continue;
    }
    EXPECT_EQ(bench.ht(), u"");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find(u"neither http: nor https:"), std::u16string::npos);
  }
}

// One deadline for the busy wait and the second wait after the settle
// passes: a time-out stops the run silently, with whatever page is shown.
TEST_F(PageLoaderTest, TheDeadlineStopsTheRunSilentlyWithWhateverPageIsShown) {
  struct Case {
    const char* name;
    int passes;      // -1: the page never finishes
    bool busyAgain;  // while it settles, the page starts a navigation that never ends
    std::chrono::milliseconds deadline;
    int turns;  // 20 ms turns of the busy waits in all
  };
  const std::vector<Case> cases = {
      {"never finishes", -1, false, 90s, 4500},
      {"busy again while settling", 1, true, 90s, 4500},
      {"finishes just before", 4499, false, 90s, 4499},
      {"shortened deadline", -1, false, 100ms, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageLoader timed(bench.engine, browser, *this, c.deadline);
    bench.host.onOpenUrl = [&](std::u16string_view url) { timed.loadUrl(url); };
    browser.pages[u"http://p/"] = {u"<p>P</p>", std::nullopt, c.passes};
    onPass = [&] {
      if (c.busyAgain && !browser.loading()) browser.passesLeft = -1;
    };
    bench.engine.d().assign(u"");
    pauses.clear();
    timeOuts.clear();
    const auto start = clock;
    const bool timesOut = c.passes < 0 || c.busyAgain;
    EXPECT_EQ(bench.run({u"URL\t\"http://p/\"", u"PUT\t\"next\"\tD"}),
              timesOut ? RunOutcome::Stopped : RunOutcome::Normal);
    EXPECT_EQ(bench.engine.stopFlag(), timesOut);
    EXPECT_EQ(bench.d(), timesOut ? u"" : u"next");  // the display is back, the next line not run
    EXPECT_EQ(bench.ht(), u"<p>P</p>");
    EXPECT_EQ(timeOuts,
              timesOut ? std::vector<std::u16string>{u"http://p/"} : std::vector<std::u16string>{});
    EXPECT_EQ(pausesOf(20), c.turns);
    EXPECT_EQ(pausesOf(0), 1);  // the one settle pass of wait value 0
    EXPECT_EQ(clock - start, 20ms * c.turns);
  }
  EXPECT_TRUE(bench.host.messages.empty());
  EXPECT_TRUE(failures.empty());
}

TEST_F(PageLoaderTest, FailedLoadIsNotAPage) {
  const std::u16string errorPage(150'000, u'x');
  browser.pages[u"http://down/"] = {errorPage, u"net::ERR_CONNECTION_REFUSED (http://down/)", 2};
  waitValue = u"8";
  bench.engine.ht().assign(u"<p>the previous page</p>");
  EXPECT_EQ(bench.run({u"PUT\t\"kept\"\tD", u"URL\t\"http://down/\"", u"PUT\t\"next line\"\tD"}),
            RunOutcome::Stopped);
  EXPECT_EQ(bench.ht(), u"");
  EXPECT_EQ(bench.d(), u"kept");
  EXPECT_TRUE(bench.host.messages.empty());
  EXPECT_EQ(failures, (std::vector<std::u16string>{u"net::ERR_CONNECTION_REFUSED (http://down/)"}));
  EXPECT_TRUE(timeOuts.empty());
  EXPECT_EQ(pausesOf(120), 0);  // nothing to settle
}

TEST_F(PageLoaderTest, PageThatSendsTheBrowserToAFailingAddressWhileSettlingIsNotAPage) {
  browser.pages[u"http://a/"] = {u"<p>A</p>", std::nullopt, 1};
  waitValue = u"0.3";  // 4 settle passes
  int settlePasses = 0;
  onPass = [&] {
    if (browser.loading() || ++settlePasses != 2) return;
    browser.current = {u"<big>error page</big>", u"net::ERR_NAME_NOT_RESOLVED (http://gone/)", 1};
    browser.passesLeft = 1;
  };
  EXPECT_EQ(bench.run({u"URL\t\"http://a/\"", u"PUT\t\"next\"\tD"}), RunOutcome::Stopped);
  EXPECT_EQ(bench.ht(), u"");
  EXPECT_EQ(failures, (std::vector<std::u16string>{u"net::ERR_NAME_NOT_RESOLVED (http://gone/)"}));
}

TEST_F(PageLoaderTest, AddressRejectedAtOnceStopsTheRun) {
  browser.pages[u"http://[::1"] = {std::nullopt, u"the address cannot be parsed: http://[::1", 0};
  EXPECT_EQ(bench.run({u"URL\t\"http://[::1\"", u"PUT\t\"next\"\tD"}), RunOutcome::Stopped);
  EXPECT_EQ(bench.ht(), u"");
  EXPECT_EQ(failures.size(), 1u);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(PageLoaderTest, PageThatDoesNotAnswerLeavesHtEmptyAndStops) {
  browser.pages[u"http://mute/"] = {std::nullopt, std::nullopt, 1};
  EXPECT_EQ(bench.run({u"URL\t\"http://mute/\"", u"PUT\t\"next\"\tD"}), RunOutcome::Stopped);
  EXPECT_EQ(bench.ht(), u"");
  EXPECT_EQ(failures, (std::vector<std::u16string>{u"the page did not answer"}));
}

TEST_F(PageLoaderTest, LoadByHandLeavesStopFlagForTheNextRunToClear) {
  browser.pages[u"http://down/"] = {u"", u"refused", 1};
  loader.loadByHand(u"http://down/");
  EXPECT_TRUE(bench.engine.stopFlag());
  EXPECT_EQ(bench.run({u"PUT\t\"ran\"\tD"}), RunOutcome::Normal);
  EXPECT_EQ(bench.d(), u"ran");
}

// A program that is ending waits for nothing: whichever wait is going ends
// at the next look, nothing more is read from the browser or reported.
TEST_F(PageLoaderTest, AbandonedLoadEndsEveryWaitAtOnce) {
  struct Case {
    const char* name;
    int busyPasses;  // -1: the server never answers
    std::u16string wait;
    bool busyAgain;    // the page sends the browser on while it settles
    int abandonAfter;  // event passes
  };
  const std::vector<Case> cases = {
      {"while busy", -1, u"0", false, 3},
      {"while settling", 1, u"1000", false, 5},
      {"during the second wait", 1, u"0", true, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int passesSeen = 0;
    abandonWhen = [&] { return passesSeen >= c.abandonAfter; };
    PageLoader ending(bench.engine, browser, *this);
    bench.host.onOpenUrl = [&](std::u16string_view url) { ending.loadUrl(url); };
    browser.pages[u"http://p/"] = {u"<p>P</p>", std::nullopt, c.busyPasses};
    onPass = [&] {
      ++passesSeen;
      if (c.busyAgain && !browser.loading()) browser.passesLeft = -1;
    };
    waitValue = c.wait;
    browser.bodyReads = 0;
    bench.engine.d().assign(u"kept");
    EXPECT_EQ(bench.run({u"URL\t\"http://p/\"", u"PUT\t\"next\"\tD"}), RunOutcome::Stopped);
    EXPECT_EQ(passesSeen, c.abandonAfter);
    EXPECT_EQ(bench.d(), u"kept");
    // Only a page read before the program began to end is in HT.
    EXPECT_EQ(browser.bodyReads, c.busyAgain ? 1 : 0);
    EXPECT_EQ(bench.ht(), c.busyAgain ? u"<p>P</p>" : u"");
    EXPECT_TRUE(failures.empty());
    EXPECT_TRUE(timeOuts.empty());
  }
  abandonWhen = nullptr;
}

// The wait value's grammar is the typed-number one (its cases are in
// decimal_test; SettlePassesFollowTheWaitValue shows the loader uses it);
// here only the bounds of what a huge or negative value gives.
TEST(WaitValueTest, HugeAndNegativeValuesAreBounded) {
  EXPECT_EQ(settlePassCount(1e300), 1'000'000'000'000'000);
  EXPECT_EQ(settlePauseMs(1e300), INT_MAX);
  EXPECT_EQ(settlePauseMs(-3), 0);
}

}  // namespace
}  // namespace kelvane::acquisition
