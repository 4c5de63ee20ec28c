#include "acquisition/scheduler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane::acquisition {
namespace {

using engine::RunOutcome;

// Records what the scheduler asks of the window. Like the window's own
// run, a run restarts the minute count.
class FakeWindow : public SchedulerDelegate {
 public:
  void setTimerEnabled(bool on) override {
    timerOn = on;
    timerChanges.push_back(on);
  }
  bool browserBusy() override { return busy; }
  void waitForPage() override {
    ++pageWaits;
    busy = false;
  }
  RunOutcome runScript() override {
    ++runs;
    waitedBeforeRun = pageWaits;
    scheduler->runStarting();
    return outcome;
  }
  void appendLogEntry() override { ++logEntries; }

  Scheduler* scheduler = nullptr;
  bool timerOn = false;
  std::vector<bool> timerChanges;
  bool busy = false;
  int pageWaits = 0;
  int waitedBeforeRun = -1;
  int runs = 0;
  int logEntries = 0;
  RunOutcome outcome = RunOutcome::Normal;
};

class SchedulerTest : public ::testing::Test {
 protected:
  SchedulerTest() {
    window.scheduler = &scheduler;
    scheduler.setAutoUpdate(1);
  }

  void at(int hour, int minute) { now = {hour, minute}; }
  void interval(std::u16string_view text) { scheduler.setIntervalText(text); }
  void timeWindow(std::u16string sh, std::u16string sm, std::u16string eh, std::u16string em,
                  bool inForce = true) {
    scheduler.setTimeWindow({std::move(sh), std::move(sm), std::move(eh), std::move(em), inForce});
  }
  // Ticks n times; returns how many runs they started.
  int tick(int n = 1) {
    const int before = window.runs;
    for (int i = 0; i < n; ++i) scheduler.tick();
    return window.runs - before;
  }

  struct WindowCase {
    int hour, minute;
    bool inside;
  };
  // Each tick inside the window runs (interval 0); outside, it neither runs
  // nor counts, and it leaves the timer on.
  void expectWindow(const std::vector<WindowCase>& cases) {
    interval(u"0");
    for (const WindowCase& c : cases) {
      SCOPED_TRACE(std::to_string(c.hour) + ":" + std::to_string(c.minute));
      at(c.hour, c.minute);
      scheduler.setMinuteCount(3);
      window.timerChanges.clear();
      EXPECT_EQ(tick(), c.inside ? 1 : 0);
      if (!c.inside) {
        EXPECT_EQ(scheduler.minuteCount(), 3);
      }
      EXPECT_FALSE(window.timerChanges.front());
      EXPECT_TRUE(window.timerOn);
    }
  }

  LocalMinute now{12, 0};
  FakeWindow window;
  Scheduler scheduler{window, [this] { return now; }};
};

TEST_F(SchedulerTest, DaytimeWindowHasInclusiveBounds) {
  timeWindow(u"9", u"00", u"17", u"00");
  expectWindow({{8, 59, false}, {17, 1, false}, {9, 0, true}, {12, 0, true}, {17, 0, true}});
}

TEST_F(SchedulerTest, WindowAcrossMidnight) {
  timeWindow(u"22", u"00", u"06", u"00");
  expectWindow({{23, 30, true},
                {0, 0, true},
                {3, 0, true},
                {6, 0, true},
                {6, 1, false},
                {12, 0, false},
                {21, 59, false}});
}

TEST_F(SchedulerTest, EqualBoundsOrEmptyBoxesLeaveEveryTickInside) {
  interval(u"0");
  for (const auto& bounds : std::vector<std::vector<std::u16string>>{
           {u"10", u"30", u"10", u"30"}, {u"", u"", u"", u""}, {u"abc", u"", u" ", u"x"}}) {
    timeWindow(bounds[0], bounds[1], bounds[2], bounds[3]);
    for (const auto& t : std::vector<LocalMinute>{{0, 0}, {10, 30}, {23, 59}, {4, 17}}) {
      at(t.hour, t.minute);
      EXPECT_EQ(tick(), 1) << t.hour << ":" << t.minute;
    }
  }
}

TEST_F(SchedulerTest, WindowIsIgnoredUnlessInForce) {
  interval(u"0");
  timeWindow(u"9", u"0", u"17", u"0", /*inForce=*/false);
  at(3, 0);
  EXPECT_EQ(tick(), 1);
}

TEST_F(SchedulerTest, WindowBoxesAreNumericPrefixesWithoutRangeCheck) {
  EXPECT_EQ(windowMinutes(u"25", u"0"), 1500);
  EXPECT_EQ(windowMinutes(u" 9.5", u"15min"), 585);
  EXPECT_EQ(windowMinutes(u"", u""), 0);
  // A start hour of 25 lies after every real minute: the window spans
  // midnight and only its end bound matters.
  interval(u"0");
  timeWindow(u"25", u"0", u"6", u"0");
  at(6, 0);
  EXPECT_EQ(tick(), 1);
  at(6, 1);
  EXPECT_EQ(tick(), 0);
}

TEST_F(SchedulerTest, IntervalTenRunsOnFirstTickThenEveryTenth) {
  interval(u"10");
  scheduler.makeFirstTickDue();
  EXPECT_EQ(tick(), 1);  // the first tick after start-up
  EXPECT_EQ(tick(9), 0);
  EXPECT_EQ(tick(), 1);  // the tenth tick after that run
  EXPECT_EQ(tick(4), 0);
  // A run by hand restarts the count.
  window.runScript();
  EXPECT_EQ(tick(9), 0);
  EXPECT_EQ(tick(), 1);
}

TEST_F(SchedulerTest, IntervalZeroOrNegativeRunsAtEveryTick) {
  for (std::u16string_view text : {u"0", u"", u"-3", u"0.4"}) {
    interval(text);
    EXPECT_EQ(tick(5), 5) << "interval of " << text.size() << " characters";
  }
}

TEST_F(SchedulerTest, CountResumesWhereItStoppedWhenTheWindowOpens) {
  interval(u"10");
  timeWindow(u"9", u"0", u"17", u"0");
  at(16, 53);
  scheduler.runStarting();
  EXPECT_EQ(tick(7), 0);  // 16:53 .. 16:59 (the clock is not advanced: all inside)
  EXPECT_EQ(scheduler.minuteCount(), 7);
  at(17, 1);
  EXPECT_EQ(tick(20), 0);  // closed all night: nothing counts
  EXPECT_EQ(scheduler.minuteCount(), 7);
  at(9, 0);
  EXPECT_EQ(tick(2), 0);
  EXPECT_EQ(tick(), 1);  // the third tick inside
}

TEST_F(SchedulerTest, SwitchOffStopsTheTimerAtTheNextTick) {
  interval(u"0");
  scheduler.setAutoUpdate(0);
  EXPECT_FALSE(window.timerOn);
  window.timerOn = true;  // a run that ended normally switched it on
  scheduler.setMinuteCount(4);
  EXPECT_EQ(tick(), 0);
  EXPECT_FALSE(window.timerOn);
  EXPECT_EQ(scheduler.minuteCount(), 4);
  scheduler.setAutoUpdate(1);
  EXPECT_TRUE(window.timerOn);
  EXPECT_EQ(tick(), 1);
}

TEST_F(SchedulerTest, BusyBrowserIsWaitedForBeforeTheRun) {
  interval(u"0");
  window.busy = true;
  EXPECT_EQ(tick(), 1);
  EXPECT_EQ(window.pageWaits, 1);
  EXPECT_EQ(window.waitedBeforeRun, 1);
  EXPECT_EQ(tick(), 1);
  EXPECT_EQ(window.pageWaits, 1);  // not busy: no wait
}

TEST_F(SchedulerTest, TimerIsOffDuringTheTickAndOnAfterEveryRun) {
  interval(u"0");
  for (RunOutcome outcome : {RunOutcome::Normal, RunOutcome::Stopped, RunOutcome::Ignored}) {
    window.outcome = outcome;
    window.timerChanges.clear();
    EXPECT_EQ(tick(), 1);
    ASSERT_GE(window.timerChanges.size(), 2u);
    EXPECT_FALSE(window.timerChanges.front());
    EXPECT_TRUE(window.timerChanges.back());
  }
}

TEST_F(SchedulerTest, LogEntryOnlyForAutomaticRunsThatEndNormally) {
  interval(u"0");
  scheduler.setLogAutoWrite(true);
  window.outcome = RunOutcome::Normal;
  tick();
  EXPECT_EQ(window.logEntries, 1);
  window.outcome = RunOutcome::Stopped;
  tick();
  window.outcome = RunOutcome::Ignored;
  tick();
  EXPECT_EQ(window.logEntries, 1);
  scheduler.setLogAutoWrite(false);
  window.outcome = RunOutcome::Normal;
  tick();
  EXPECT_EQ(window.logEntries, 1);
  // Not due: no run, no entry.
  scheduler.setLogAutoWrite(true);
  interval(u"5");
  tick();
  EXPECT_EQ(window.logEntries, 1);
}

TEST(IntervalTest, NumericPrefixToNearestHalvesToEvenClamped) {
  struct Case {
    std::u16string text;
    int expected;
  };
  const std::vector<Case> cases = {
      {u"10", 10},         {u"  7.5min", 8}, {u"6.5", 6},    {u"", 0},
      {u"abc", 0},         {u"-5", -5},      {u"1e3", 1000}, {u"99999", 32767},
      {u"-99999", -32768}, {u"0.5", 0},      {u"1.5", 2},    {u"１０", 0},
  };
  FakeWindow window;
  for (const Case& c : cases) {
    Scheduler scheduler(window, [] { return LocalMinute{}; });
    scheduler.setIntervalText(c.text);
    EXPECT_EQ(scheduler.intervalMinutes(), c.expected) << "case " << (&c - cases.data());
  }
}

// Whole-minute bounds are in the window tables above; a fractional bound
// (9.5 h is 570 minutes) is compared as it is, not rounded.
TEST(TimeWindowTest, FractionalBoundsAreNotRounded) {
  EXPECT_FALSE(insideTimeWindow(570.5, 1020, 570));
  EXPECT_FALSE(insideTimeWindow(1320, 569.5, 570));
}

}  // namespace
}  // namespace kelvane::acquisition
