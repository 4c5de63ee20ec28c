// Timer1 wired to the scheduler: a one-minute timer that a tick switches off
// and on again.
#include "acquisition/update_timer.h"

#include <QtTest>

using kelvane::acquisition::LocalMinute;
using kelvane::acquisition::UpdateTimer;
using kelvane::engine::RunOutcome;

class UpdateTimerTest : public QObject {
  Q_OBJECT

 private slots:
  void isAOneMinuteTimerSwitchedByTheScheduler() {
    UpdateTimer timer({[] { return false; }, {}, [] { return RunOutcome::Normal; }, {}}, [] {
      return LocalMinute{12, 0};
    });
    QCOMPARE(timer.timer().interval(), 60'000);
    QVERIFY(!timer.timerEnabled());
    timer.scheduler().setAutoUpdate(1);
    QVERIFY(timer.timerEnabled());
    timer.scheduler().toggleFromMenu();
    QVERIFY(!timer.timerEnabled());
  }

  void tickRunsTheScriptWithTheTimerOffAndSwitchesItOnAfter() {
    int runs = 0;
    int logs = 0;
    bool timerOnDuringRun = true;
    UpdateTimer* self = nullptr;
    UpdateTimer timer({[] { return false; },
                       {},
                       [&] {
                         ++runs;
                         timerOnDuringRun = self->timerEnabled();
                         self->scheduler().runStarting();
                         return RunOutcome::Normal;
                       },
                       [&] { ++logs; }},
                      [] {
                        return LocalMinute{12, 0};
                      });
    self = &timer;
    timer.scheduler().setIntervalText(u"0");
    timer.scheduler().setLogAutoWrite(true);
    timer.scheduler().setAutoUpdate(1);
    timer.timer().setInterval(10);  // instead of a minute
    timer.setTimerEnabled(true);
    QTRY_VERIFY(runs >= 2);
    QVERIFY(!timerOnDuringRun);
    QVERIFY(timer.timerEnabled());
    QCOMPARE(logs, runs);
  }
};

QTEST_GUILESS_MAIN(UpdateTimerTest)
#include "update_timer_test.moc"
