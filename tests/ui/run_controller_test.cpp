// The engine's host in the window program without a window: runs by hand
// and by the timer, the yields of a run, page loads and failed loads, the
// change notice, the automatic log entry and quitting from every state,
// seen through a view that records what the window would show. No
// QApplication exists here, so a widget made on the way would abort.
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "acquisition/update_timer.h"
#include "support/fake_browser.h"
#include "ui/run/failure_reason.h"
#include "ui/run/run_controller.h"

using namespace kelvane;
using namespace kelvane::ui;
using kelvane::testing::FakeBrowser;

namespace {

QString q(std::u16string_view text) {
  return QString::fromStdU16String(std::u16string(text));
}

// The window as a run sees it: the display shows D as it was when last
// shown, and typing is a text waiting to be taken into D.
class FakeView : public RunView {
 public:
  engine::Engine* engine = nullptr;
  std::map<std::u16string, std::u16string> pages;
  FakeBrowser* browser = nullptr;
  QString script, url, wait = "0", title = "Kelvane";
  bool changeNotice = false;
  acquisition::SettleMode settle = acquisition::SettleMode::Fixed;
  std::optional<std::u16string> typed;  // the display as the user has edited it
  QString shown;                        // the display on the screen
  std::vector<engine::Text> lines;
  int line = -1, takes = 0, shows = 0, repaints = 0, logEntries = 0;
  QStringList messages, shownAtMessages;
  std::optional<QString> failure;
  std::vector<QStringList> notices;
  std::function<void()> onLogEntry;
  std::string log;  // the log file

  void takeEdits() override {
    ++takes;
    if (typed) engine->d().assign(*std::exchange(typed, std::nullopt));
  }
  void showBuffers(bool) override {
    ++shows;
    shown = q(engine->d().view());
  }
  QString displayText() const override { return shown; }
  void showScriptLines(const std::vector<engine::Text>& l) override { lines = l; }
  bool showLine(int index, bool) override {
    line = index;
    return true;
  }
  void showMessage(const QString& text) override {
    messages << text;
    shownAtMessages << shown;
  }
  QString caption() const override { return title; }
  void setCaption(const QString& caption) override { title = caption; }
  QString scriptPath() const override { return script; }
  QString urlText() const override { return url; }
  void setUrlText(const QString& u) override { url = u; }
  QString waitValueText() const override { return wait; }
  void showLoadFailure(const std::optional<QString>& note) override { failure = note; }
  void repaintNow() override { ++repaints; }
  bool changeNoticeOn() const override { return changeNotice; }
  acquisition::SettleMode settleMode() const override { return settle; }
  void notifyChange(const QString& summary, const QString& body) override {
    notices.push_back({summary, body});
  }
  run::LogEntry logEntry() override {
    ++logEntries;
    if (onLogEntry) onLogEntry();
    return {log, u"memo"};
  }
  std::unique_ptr<acquisition::Browser> createBrowser() override {
    auto made = std::make_unique<FakeBrowser>(pages);
    browser = made.get();
    return made;
  }
};

}  // namespace

class RunControllerTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::unique_ptr<FakeView> view_;
  std::unique_ptr<RunController> run_;

  // A fresh controller whose script file holds the given lines.
  RunController& start(const QStringList& script) {
    run_.reset();
    view_ = std::make_unique<FakeView>();
    run_ = std::make_unique<RunController>(*view_);
    view_->engine = &run_->engine();
    view_->script = dir_.filePath("s.spt");
    view_->log = dir_.filePath("log.txt").toStdString();
    writeScript(script);
    return *run_;
  }
  void writeScript(const QStringList& lines) {
    QFile f(view_->script);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write((lines.join("\r\n") + "\r\n").toUtf8());
  }
  QString d() const { return q(run_->engine().d().view()); }
  void switchUpdateOn() {
    run_->timer().scheduler().setIntervalText(u"0");
    run_->timer().scheduler().setAutoUpdate(1);
  }

 private slots:
  void runShowsItsResultAndTakesWhatWasTyped() {
    RunController& run = start(
        {"PUT\t\"+\"\tD", "LOOP\t\"3\"", "PUT\t\"行\"\tD", "CR\tD", "LOOPEND", "PUT\t\"end\"\tD"});
    view_->typed = u"typed";  // before the run
    std::optional<engine::RunOutcome> nested;
    QTimer::singleShot(0, [&] {
      // Inside the first LOOPEND's yield: the user types, and clicks again.
      view_->typed = d().toStdU16String() + u"!";
      nested = run.runByHand();
    });
    QCOMPARE(run.runByHand(), engine::RunOutcome::Normal);
    QCOMPARE(nested, std::optional(engine::RunOutcome::Ignored));
    QCOMPARE(d(), QString("typed+行\r\n!行\r\n行\r\nend"));
    QCOMPARE(view_->shown, d());
    QCOMPARE(view_->lines.size(), size_t(6));
    QCOMPARE(view_->line, 5);  // the list followed the run to its last line
    QVERIFY(run.timer().timerEnabled());
  }

  // A tight loop yields every few milliseconds, not on every pass.
  void longLoopYieldsSparingly() {
    RunController& run = start({"LOOP\t\"30000\"", "PUT\t\"x\"\tD", "LOOPEND"});
    QCOMPARE(run.runByHand(), engine::RunOutcome::Normal);
    QCOMPARE(run.engine().d().size(), size_t(30000));
    QVERIFY2(view_->takes < 3000, qPrintable(QString::number(view_->takes)));
  }

  void pagesLoadThroughABrowserMadeOnFirstUse() {
    RunController& run = start({"URL\t\"page.html\"", "GETC\tHT\tD\t\"<p>\"\t\"</p>\""});
    view_->pages = {{u"page.html", u"<p>相場</p>"}, {u"x", u"<b>x</b>"}};
    QVERIFY(!run.browserCreated());
    QCOMPARE(run.runByHand(), engine::RunOutcome::Normal);
    QVERIFY(run.browserCreated());
    QCOMPARE(view_->browser->navigations, std::vector<std::u16string>{u"page.html"});
    QCOMPARE(view_->url, QString("page.html"));
    QCOMPARE(d(), QString("相場"));
    QVERIFY(view_->repaints > 0);  // the emptied page text was on the screen first
    QCOMPARE(view_->browser->activityWatches, 0);
    view_->settle = acquisition::SettleMode::Auto;
    run.runByHand();
    QCOMPARE(view_->browser->activityWatches, 1);

    // By hand: the page text changes, the display keeps its text, and a
    // click on the update button meanwhile is ignored.
    view_->url = "x";
    view_->wait = "0.1";
    view_->settle = acquisition::SettleMode::Fixed;
    std::optional<engine::RunOutcome> during;
    QTimer::singleShot(0, [&] { during = run.runByHand(); });
    run.loadPageByHand();
    QCOMPARE(during, std::optional(engine::RunOutcome::Ignored));
    QCOMPARE(q(run.engine().ht().view()), QString("<b>x</b>"));
    QCOMPARE(d(), QString("相場"));
    QCOMPARE(view_->failure, std::nullopt);
  }

  // A failed load is marked and, unlike a script error, does not end the
  // automatic update; a good load takes the mark away. A script error's
  // message shows in front of the display as the run left it.
  void failedLoadIsMarkedAndTheUpdateGoesOn() {
    const struct {
      const char* name;
      QStringList script;
      bool autoUpdate, marked, timerOn;
    } cases[] = {
        {"failed load", {"URL\t\"down\"", "PUT\t\"next\"\tD"}, true, true, true},
        {"failed load, update off", {"URL\t\"down\"", "PUT\t\"next\"\tD"}, false, true, false},
        {"script error", {"GETX", "PUT\t\"next\"\tD"}, true, false, false},
    };
    for (const auto& c : cases) {
      RunController& run = start(c.script);
      view_->pages = {{u"up", u"<p>up</p>"}};
      if (c.autoUpdate) switchUpdateOn();
      run.engine().d().assign(u"kept");
      QCOMPARE(run.runByHand(), engine::RunOutcome::Stopped);
      QCOMPARE(d(), QString("kept"));
      QVERIFY2(view_->failure.has_value() == c.marked, c.name);
      QVERIFY2(run.timer().timerEnabled() == c.timerOn, c.name);
      QCOMPARE(view_->shownAtMessages, c.marked ? QStringList() : QStringList{"kept"});
      if (!c.marked) {
        QVERIFY(view_->messages[0].startsWith("コマンド記述エラー"));
        continue;
      }
      QVERIFY(view_->failure->startsWith("読込失敗 "));
      QVERIFY(view_->failure->endsWith("\nno such page"));
      view_->url = "up";
      run.loadPageByHand();
      QCOMPARE(view_->failure, std::nullopt);
    }
  }

  // The failure mark speaks Japanese and keeps the code it was given.
  void failureReasonsInJapanese() {
    const struct {
      const char* reason;
      const char* shown;
    } cases[] = {
        {"net::ERR_CONNECTION_REFUSED (http://127.0.0.1:9/)",
         "接続が拒否されました (net::ERR_CONNECTION_REFUSED) (http://127.0.0.1:9/)"},
        {"net::ERR_NAME_NOT_RESOLVED", "ホスト名が見つかりません (net::ERR_NAME_NOT_RESOLVED)"},
        {"net::ERR_CERT_COMMON_NAME_INVALID",
         "サーバーの証明書が無効です (net::ERR_CERT_COMMON_NAME_INVALID)"},
        {"net::ERR_SOMETHING_NEW", "読み込めませんでした (net::ERR_SOMETHING_NEW)"},
        {"HTTP status 404 (http://h/x)", "サーバーがエラーを返しました (HTTP 404) (http://h/x)"},
        {"the load was stopped (http://h/)", "読み込みが中止されました (http://h/)"},
        {"ページが大きすぎます", "ページが大きすぎます"},
        {"the page is larger than 64 MiB (http://h/)",
         "ページが 64 MiB を超えています (http://h/)"},
        {"the page is too large: its process needed more than 1024 MiB (http://h/)",
         "ページが大きすぎます (1024 MiB を超えるメモリが必要です) (http://h/)"},
        {"the server sends a file to save, not a page (Content-Disposition: attachment, file name "
         "\"a (1).html\") (http://h/a)",
         "ページではなく保存用のファイルが送られました (Content-Disposition: "
         "attachment、ファイル名 "
         "\"a (1).html\") (http://h/a)"},
        {"the server sends a file to save, not a page (application/zip) (http://h/z)",
         "ページではなく保存用のファイルが送られました (application/zip) (http://h/z)"},
    };
    for (const auto& c : cases) QCOMPARE(japaneseFailureReason(c.reason), QString(c.shown));
  }

  // "変化を通知": an automatic run whose display differs from the previous
  // run's tells the desktop; a run by hand, an unchanged display, a stopped
  // run or the switch off do not. "Log自動書込" appends one entry after each
  // automatic run that ends normally.
  void automaticRunsTellOfChangesAndWriteTheLog() {
    RunController& run = start({});
    switchUpdateOn();
    run.timer().scheduler().setLogAutoWrite(true);
    view_->changeNotice = true;
    const struct {
      const char* put;  // what the script puts into the display
      bool automatic, noticeOn, notice, logged;
    } steps[] = {
        {"a", true, true, false, true},       // the first run: nothing to compare
        {"a", true, true, false, true},       // unchanged
        {"b", true, true, true, true},        // changed
        {"c", false, true, false, false},     // by hand
        {"c", true, true, false, true},       // the same as the run by hand
        {"d", true, false, false, true},      // the switch off
        {"\tbad", true, true, false, false},  // stopped by a script error
        {"d", true, true, false, true},       // the same as the last normal run
        {"e", true, true, true, true},
    };
    size_t notices = 0;
    int logEntries = 0;
    for (const auto& step : steps) {
      writeScript({"CLEAR\tD", QString("PUT\t\"%1\"\tD").arg(step.put), "REM"});
      view_->changeNotice = step.noticeOn;
      if (step.automatic) {
        run.timer().scheduler().tick();
      } else {
        run.runByHand();
      }
      notices += step.notice ? 1 : 0;
      logEntries += step.logged ? 1 : 0;
      QCOMPARE(view_->notices.size(), notices);
      QCOMPARE(view_->logEntries, logEntries);
    }
    QCOMPARE(view_->notices.back(), QStringList({"表示が変わりました: Kelvane", "e"}));
    // An entry whose message box is still open lets no second one in.
    int nested = 0;
    view_->onLogEntry = [&] {
      if (nested++ == 0) run.appendAutomaticLogEntry();
    };
    run.appendAutomaticLogEntry();
    QCOMPARE(view_->logEntries, logEntries + 1);
  }

  // Quitting ends whatever is going on at its next look, and nothing
  // starts or is shown any more.
  void quittingEndsEveryState() {
    const struct {
      const char* name;
      QStringList script;
      QString wait;
      bool automatic;
    } cases[] = {
        {"page load", {"URL\t\"hang\"", "PUT\t\"next\"\tD"}, "0", false},
        {"automatic run's page load", {"URL\t\"hang\"", "PUT\t\"next\"\tD"}, "0", true},
        // A settle wait of two and a half minutes.
        {"settle wait", {"URL\t\"p\"", "PUT\t\"next\"\tD"}, "10000", false},
        {"loop", {"LOOP\t\"30000\"", "PUT\t\"x\"\tD", "LOOPEND"}, "0", false},
    };
    for (const auto& c : cases) {
      RunController& run = start(c.script);
      view_->pages = {{u"p", u"<p>P</p>"}};
      view_->wait = c.wait;
      switchUpdateOn();
      run.ensureBrowser();
      view_->browser->hangingUrl = u"hang";
      int pollsAtQuit = -1, showsAtQuit = -1;
      // Fires inside the run's first pass of the event loop.
      QTimer::singleShot(0, [&] {
        pollsAtQuit = view_->browser->busyPolls;
        showsAtQuit = view_->shows;
        run.endEverything();
      });
      QElapsedTimer took;
      took.start();
      if (c.automatic) {
        run.timer().scheduler().tick();
      } else {
        QCOMPARE(run.runByHand(), engine::RunOutcome::Stopped);
      }
      QVERIFY2(took.elapsed() < 60'000, c.name);  // the wait did not run its course
      QVERIFY2(pollsAtQuit >= 0, c.name);
      QVERIFY2(view_->browser->busyPolls <= pollsAtQuit + 1, c.name);
      QCOMPARE(view_->browser->bodyReads, 0);
      QVERIFY2(run.engine().d().size() < 30000, c.name);
      QVERIFY2(!d().contains("next"), c.name);
      QCOMPARE(view_->shows, showsAtQuit);
      QVERIFY2(!run.timer().timerEnabled(), c.name);
      QCOMPARE(run.runByHand(), engine::RunOutcome::Ignored);
      const size_t navigations = view_->browser->navigations.size();
      run.loadPageByHand();
      QCOMPARE(view_->browser->navigations.size(), navigations);
    }
  }
};

QTEST_GUILESS_MAIN(RunControllerTest)
#include "run_controller_test.moc"
