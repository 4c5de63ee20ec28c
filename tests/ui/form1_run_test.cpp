// The main window at work: runs through the update button and the timer,
// page loads and failed loads, edits during a run, the log, and quitting
// from every state, and what each popup item does.
#include "ui/form1_fixture.h"

class Form1RunTest : public QObject, protected Form1Fixture {
  Q_OBJECT

 private slots:
  void init() { reset(); }

  void quitEndsWithoutSaving() {
    auto form = start();
    child<QLineEdit>(*form, "Text2")->setText("not saved");
    choose(*form, "mnuExit");
    QCOMPARE(quits_, 1);
    QVERIFY(!QFile::exists(path("Kelvane.cnf")));
    auto again = start();
    QVERIFY(text(*again, "Text2").isEmpty());
    child<QPushButton>(*again, "QuitBtn")->click();
    QCOMPARE(quits_, 2);
  }

  void failedSaveIsReported() {
    StartOptions options;
    // A folder where the file should be.
    QVERIFY(QDir(dir_.path()).mkpath("failing/Kelvane.cnf"));
    options.applicationDir = path("failing");
    options.dialogs = dialogs_;
    options.quit = [] {};
    Form1 form(std::move(options));
    form.Command5_Click();
    QCOMPARE(dialogs_->messages, QStringList{QString("設定ファイルに書き込めません．")});
  }

  void titleFromAScriptKeepsAHiddenTitleBarHidden() {
    writeScript(path("title.spt"), {"PUT\t\"  本日の相場\"\tTITLE"});
    auto form = start(path("title.spt"));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->mnuShowT_Click();
    const QRect geometry = form->geometry();
    QCOMPARE(form->Exec_Click(), engine::RunOutcome::Normal);
    QCOMPARE(form->windowTitle(), QString("本日の相場"));
    QVERIFY(!platform::isTitleBarShown(form.get()));
    QCOMPARE(form->geometry().size(), geometry.size());
    QCOMPARE(form->geometry().top(), geometry.top());
  }

  void runThroughExecFillsTheDisplay() {
    writeScript(path("run.spt"), {"CLEAR\tD", "LOOP\t\"3\"", "PUT\t\"行\"\tD", "CR\tD", "LOOPEND",
                                  "PUT\t\"end\"\tD"});
    auto form = start(path("run.spt"));
    child<QPushButton>(*form, "Exec")->click();
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("行\n行\n行\nend"));
    QCOMPARE(QString::fromStdU16String(std::u16string(form->engine().d().view())),
             QString("行\r\n行\r\n行\r\nend"));
    auto* list = child<QListWidget>(*form, "ScriptList");
    QCOMPARE(list->count(), 6);
    QCOMPARE(list->item(1)->text(), QString("LOOP\t\"3\""));
    QCOMPARE(list->currentRow(), 5);  // the list followed the run to its last line
    QVERIFY(form->timer1().timerEnabled());
    QCOMPARE(form->timer1().scheduler().minuteCount(), int64_t(0));
  }

  // Each popup item in its place, chosen by its caption as the user does
  // (a click where the item is shown), has its own effect: two items
  // swapped in the menu fail two rows.
  void popupItemsThroughTheMenu() {
    using Check = std::function<bool(Form1RunTest&, Form1&)>;
    const QColor blue(0, 0, 255);
    const struct {
      const char* name;
      const char* caption;
      bool checkable;
      Check done;
    } items[] = {
        {"mnuReflesh", "更新(&R)", false,
         [](auto&, Form1& f) { return child<QPlainTextEdit>(f, "Text3")->toPlainText() == "ran"; }},
        {"mnuExit", "終了(&X)", false, [](auto& t, Form1&) { return t.quits_ == 1; }},
        {"mnuSetting", "設定記憶(&S)", false,
         [](auto& t, Form1&) { return QFile::exists(t.path("Kelvane.cnf")); }},
        {"mnuLog", "Log書込(&L)", false,
         [](auto& t, Form1&) { return QFile::exists(t.path("k.log")); }},
        {"mnuShowT", "タイトルバー表示切替(&B)", false,
         [](auto&, Form1& f) { return !platform::isTitleBarShown(&f); }},
        {"mnuTimerOn", "タイマーON(&T)", true,
         [](auto&, Form1& f) { return child<QCheckBox>(f, "Check1")->isChecked(); }},
        {"mnuFont", "フォント(&F)", false,
         [](auto& t, Form1&) { return t.dialogs_->fontPresets.size() == 1; }},
        {"mnuColor", "Font色指定(&C)", false,
         [=](auto&, Form1& f) {
           return child<QPlainTextEdit>(f, "Text3")->palette().color(QPalette::Text) == blue;
         }},
        {"mnuBackColor", "背景色(&A)", false,
         [=](auto&, Form1& f) {
           return child<QPlainTextEdit>(f, "Text3")->palette().color(QPalette::Base) == blue;
         }},
        {"mnuVersion", "Kelvaneについて(&V)", false,
         [](auto&, Form1& f) { return f.aboutBox() && f.aboutBox()->isVisible(); }},
        {"mnuChangeNotice", "変化を通知(&N)", true,
         [](auto&, Form1& f) { return f.currentSettings().changeNotice == 1; }},
        {"mnuAutoSettle", "待ち時間を自動調整(&W)", true,
         [](auto&, Form1& f) { return f.currentSettings().settleMode == settings::kSettleAuto; }},
    };
    for (size_t i = 0; i < std::size(items); ++i) {
      reset();
      QFile::remove(path("k.log"));
      writeScript(path("r.spt"), {"CLEAR\tD", "PUT\t\"ran\"\tD"});
      auto form = start(path("r.spt"));
      const QList<QAction*> actions = form->mnuPop()->actions();
      QCOMPARE(actions.size(), qsizetype(std::size(items)));
      QAction* item = actions[qsizetype(i)];
      QCOMPARE(item->text(), QString(items[i].caption));
      QCOMPARE(item->objectName(), QString(items[i].name));
      QCOMPARE(item->isCheckable(), items[i].checkable);
      QVERIFY(!item->isSeparator() && !item->isChecked());
      child<QLineEdit>(*form, "Text5")->setText(path("k.log"));
      dialogs_->colors = {blue};
      choose(*form, item);
      QVERIFY2(items[i].done(*this, *form), items[i].caption);
    }
  }

  void secondStartDuringARunIsIgnored() {
    writeScript(path("loop.spt"),
                {"CLEAR\tD", "LOOP\t\"3\"", "PUT\t\"x\"\tD", "LOOPEND", "PUT\t\"!\"\tD"});
    auto form = start(path("loop.spt"));
    std::optional<engine::RunOutcome> nested;
    // Fires inside the first LOOPEND's pass of the event loop.
    QTimer::singleShot(0, form.get(), [&] { nested = form->Exec_Click(); });
    QCOMPARE(form->Exec_Click(), engine::RunOutcome::Normal);
    QCOMPARE(nested, std::optional(engine::RunOutcome::Ignored));
    QCOMPARE(QString::fromStdU16String(std::u16string(form->engine().d().view())), QString("xxx!"));
  }

  void editDuringARunIsTakenAtTheYield() {
    writeScript(path("edit.spt"),
                {"CLEAR\tD", "PUT\t\"a\"\tD", "LOOP\t\"1\"", "LOOPEND", "PUT\t\"c\"\tD"});
    auto form = start(path("edit.spt"));
    QTimer::singleShot(0, form.get(), [&] {
      // The box shows "a" once the run yields; the user adds "b".
      form->showBuffers();
      QTextCursor cursor(child<QPlainTextEdit>(*form, "Text3")->document());
      cursor.movePosition(QTextCursor::End);
      cursor.insertText("b");
    });
    form->Exec_Click();
    QCOMPARE(QString::fromStdU16String(std::u16string(form->engine().d().view())), QString("abc"));
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("abc"));
  }

  void editBeforeARunIsTheDisplay() {
    writeScript(path("append.spt"), {"PUT\t\"+\"\tD"});
    auto form = start(path("append.spt"));
    child<QPlainTextEdit>(*form, "Text3")->setPlainText("typed\nby hand");
    form->Exec_Click();
    QCOMPARE(QString::fromStdU16String(std::u16string(form->engine().d().view())),
             QString("typed\r\nby hand+"));
  }

  void scriptMessageShowsAndStops() {
    writeScript(path("bad.spt"), {"PUT\t\"x\"\tD", "GETX", "PUT\t\"y\"\tD"});
    auto form = start(path("bad.spt"));
    QString shownDisplay;
    dialogs_->onMessage = [&](const QString&) {
      shownDisplay = child<QPlainTextEdit>(*form, "Text3")->toPlainText();
    };
    QCOMPARE(form->Exec_Click(), engine::RunOutcome::Stopped);
    QCOMPARE(dialogs_->messages.size(), 1);
    QVERIFY(dialogs_->messages[0].startsWith("コマンド記述エラー"));
    QCOMPARE(shownDisplay, QString("x"));  // the display was up to date behind the message
    QVERIFY(!form->timer1().timerEnabled());
  }

  void urlCommandLoadsThroughTheBrowser() {
    pages_[u"page.html"] = u"<p>相場</p>";
    writeScript(path("url.spt"), {"URL\t\"page.html\"", "GETC\tHT\tD\t\"<p>\"\t\"</p>\""});
    auto form = start(path("url.spt"));
    child<QLineEdit>(*form, "WaitValue")->setText("0");
    QVERIFY(!form->browserCreated());
    QCOMPARE(form->Exec_Click(), engine::RunOutcome::Normal);
    QVERIFY(form->browserCreated());
    QCOMPARE(browser_->navigations, std::vector<std::u16string>{u"page.html"});
    QCOMPARE(text(*form, "Text2"), QString("page.html"));
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("相場"));
    QCOMPARE(child<QPlainTextEdit>(*form, "Text6")->toPlainText(), QString("<p>相場</p>"));
  }

  void loadByHand() {
    pages_[u"http://127.0.0.1/x"] = u"<b>x</b>";
    auto form = start();
    child<QLineEdit>(*form, "WaitValue")->setText("0");
    child<QLineEdit>(*form, "Text2")->setText("http://127.0.0.1/x");
    child<QPlainTextEdit>(*form, "Text3")->setPlainText("kept");
    form->Command3_Click();
    QCOMPARE(child<QPlainTextEdit>(*form, "Text6")->toPlainText(), QString("<b>x</b>"));
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("kept"));
  }

  void logEntry() {
    auto form = start();
    writeScript(path("d.spt"), {"CLEAR\tD", "PUT\t\"青果\"\tD", "CR\tD"});
    child<QLineEdit>(*form, "ScriptPath")->setText(path("d.spt"));
    form->Exec_Click();
    child<QLineEdit>(*form, "Text5")->setText(path("k.log"));
    child<QLineEdit>(*form, "MemoText")->setText("memo");
    child<QPushButton>(*form, "Command2")->click();
    form->mnuLog_Click();
    const QByteArray bytes = readAll(path("k.log"));
    // Two entries, each memo, display (ending in its own CR LF) and CR LF.
    QCOMPARE(bytes.count("memo\r\n"), 2);
    QVERIFY(bytes.endsWith("\r\n\r\n"));
    QVERIFY(dialogs_->messages.isEmpty());

    child<QLineEdit>(*form, "Text5")->setText(path("missing/k.log"));
    form->Command2_Click();
    QCOMPARE(dialogs_->messages, QStringList{QString("Logファイルに書き込めません．")});
    QVERIFY(!QFile::exists(path("missing/k.log")));
  }

  void timerMenuItemSwitchesTheUpdate() {
    auto form = start();
    choose(*form, "mnuTimerOn");
    QCOMPARE(child<QCheckBox>(*form, "Check1")->checkState(), Qt::Checked);
    QVERIFY(form->menuItem("mnuTimerOn")->isChecked());
    QVERIFY(form->timer1().timerEnabled());
    choose(*form, "mnuTimerOn");
    QCOMPARE(child<QCheckBox>(*form, "Check1")->checkState(), Qt::Unchecked);
    QVERIFY(!form->menuItem("mnuTimerOn")->isChecked());
    QVERIFY(!form->timer1().timerEnabled());
    // A click on the box switches the timer but leaves the mark.
    child<QCheckBox>(*form, "Check1")->click();
    QVERIFY(form->timer1().timerEnabled());
    QVERIFY(!form->menuItem("mnuTimerOn")->isChecked());
  }

  // 終了, or closing the window, ends whatever is going on at its next look
  // and nothing starts any more.
  void quittingEndsEveryState_data() {
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("wait");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("byClosing");
    const QStringList load = {"URL\t\"hang\"", "PUT\t\"next\"\tD"};
    QTest::newRow("page load") << load << "0" << false << false;
    QTest::newRow("page load, window closed") << load << "0" << false << true;
    QTest::newRow("automatic run's page load") << load << "0" << true << false;
    QTest::newRow("settle wait") << QStringList{"URL\t\"p\"", "PUT\t\"next\"\tD"} << "1000" << false
                                 << true;
    QTest::newRow("loop") << QStringList{"LOOP\t\"30000\"", "PUT\t\"x\"\tD", "LOOPEND"} << "0"
                          << false << false;
  }

  void quittingEndsEveryState() {
    QFETCH(QStringList, script);
    QFETCH(QString, wait);
    QFETCH(bool, automatic);
    QFETCH(bool, byClosing);
    pages_[u"p"] = u"<p>P</p>";
    writeScript(path("state.spt"), script);
    auto form = start(path("state.spt"));
    child<QLineEdit>(*form, "WaitValue")->setText(wait);
    child<QLineEdit>(*form, "Text4")->setText("0");
    child<QCheckBox>(*form, "Check1")->click();
    form->SSTab1()->setCurrentIndex(2);  // makes the browser
    form->SSTab1()->setCurrentIndex(0);
    browser_->hangingUrl = u"hang";
    form->show();
    int pollsAtQuit = -1;
    // Fires inside the run's first pass of the event loop.
    QTimer::singleShot(0, form.get(), [&] {
      pollsAtQuit = browser_->busyPolls;
      if (byClosing) {
        form->close();
      } else {
        form->QuitBtn_Click();
      }
    });
    if (automatic) {
      form->timer1().scheduler().tick();
    } else {
      QCOMPARE(form->Exec_Click(), engine::RunOutcome::Stopped);
    }
    QVERIFY(pollsAtQuit >= 0);
    QVERIFY(browser_->busyPolls <= pollsAtQuit + 1);
    QCOMPARE(browser_->bodyReads, 0);
    QCOMPARE(quits_, byClosing ? 0 : 1);
    QVERIFY(form->engine().d().size() < 30000);
    QVERIFY(!form->isVisible());
    QVERIFY(!form->timer1().timerEnabled());
    QCOMPARE(form->Exec_Click(), engine::RunOutcome::Ignored);
  }

  // A failed load is shown on the "Data" tab and, unlike a script error,
  // does not end the automatic update; a good load takes the mark away.
  void failedLoadIsMarkedAndTheUpdateGoesOn_data() {
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<bool>("autoUpdate");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<bool>("timerOn");
    const QStringList down = {"URL\t\"down\"", "PUT\t\"next\"\tD"};
    QTest::newRow("failed load") << down << true << true << true;
    QTest::newRow("failed load, update off") << down << false << true << false;
    QTest::newRow("script error") << QStringList{"GETX", "PUT\t\"next\"\tD"} << true << false
                                  << false;
  }

  void failedLoadIsMarkedAndTheUpdateGoesOn() {
    QFETCH(QStringList, script);
    QFETCH(bool, autoUpdate);
    pages_[u"up"] = u"<p>up</p>";
    writeScript(path("fail.spt"), script);
    auto form = start(path("fail.spt"));
    child<QLineEdit>(*form, "WaitValue")->setText("0");
    if (autoUpdate) child<QCheckBox>(*form, "Check1")->click();
    child<QPlainTextEdit>(*form, "Text3")->setPlainText("kept");
    QCOMPARE(form->Exec_Click(), engine::RunOutcome::Stopped);
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("kept"));
    QTabBar* strip = form->SSTab1()->strip();
    QTEST(!strip->tabIcon(0).isNull(), "marked");
    QTEST(form->timer1().timerEnabled(), "timerOn");
    if (!strip->tabIcon(0).isNull()) {
      QVERIFY(strip->tabToolTip(0).startsWith("読込失敗 "));
      QVERIFY(strip->tabToolTip(0).endsWith("no such page"));
      // A good load, by hand here, clears the mark.
      child<QLineEdit>(*form, "Text2")->setText("up");
      form->Command3_Click();
      QVERIFY(strip->tabIcon(0).isNull());
      QVERIFY(strip->tabToolTip(0).isEmpty());
    }
  }

  void browserOutOfSightTakesNoFocus() {
    fillBrowserHolder_ = [](QWidget* holder) {
      auto* page = new QLineEdit(QStringLiteral("inside the page"), holder);
      holder->layout()->addWidget(page);
      page->show();
    };
    auto form = start();
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QWidget* holder = child<QWidget>(*form, "WebBrowser1");
    form->SSTab1()->setCurrentIndex(2);  // makes the browser
    const auto focusReachesThePage = [&] {
      for (int i = 0; i < 40; ++i) {
        QTest::keyClick(form->focusWidget(), Qt::Key_Backtab);
        if (holder->isAncestorOf(form->focusWidget())) return true;
      }
      return false;
    };
    QVERIFY(focusReachesThePage());
    form->SSTab1()->setCurrentIndex(0);
    child<QPlainTextEdit>(*form, "Text3")->setFocus();
    QVERIFY(!focusReachesThePage());
  }

  void automaticRunWritesTheLogWhenAsked() {
    writeScript(path("auto.spt"), {"CLEAR\tD", "PUT\t\"auto\"\tD"});
    auto form = start(path("auto.spt"));
    child<QLineEdit>(*form, "Text4")->setText("0");
    child<QLineEdit>(*form, "Text5")->setText(path("auto.log"));
    child<QLineEdit>(*form, "MemoText")->setText("m");
    child<QCheckBox>(*form, "Check1")->click();
    form->timer1().scheduler().tick();
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("auto"));
    QVERIFY(!QFile::exists(path("auto.log")));  // Check3 is off
    child<QCheckBox>(*form, "Check3")->click();
    form->timer1().scheduler().tick();
    QCOMPARE(readAll(path("auto.log")), QByteArray("m\r\nauto\r\n"));
    QVERIFY(form->timer1().timerEnabled());
  }

  // "変化を通知": an automatic run whose display differs from the previous
  // run's tells the desktop; a run by hand, an unchanged display, a stopped
  // run or the item off do not.
  void changeNoticeAfterAnAutomaticRunThatChangedTheDisplay() {
    auto form = start(path("n.spt"));
    child<QLineEdit>(*form, "Text4")->setText("0");
    child<QCheckBox>(*form, "Check1")->click();
    choose(*form, "mnuChangeNotice");
    const struct {
      const char* put;  // what the script puts into the display
      bool automatic;
      const char* toggle;  // the item chosen before the run
      bool notice;
    } steps[] = {
        {"a", true, nullptr, false},                // the first run: nothing to compare
        {"a", true, nullptr, false},                // unchanged
        {"b", true, nullptr, true},                 // changed
        {"c", false, nullptr, false},               // by hand
        {"c", true, nullptr, false},                // the same as the run by hand
        {"d", true, "mnuChangeNotice", false},      // the item off
        {"\tbad", true, "mnuChangeNotice", false},  // stopped by a script error
        {"d", true, nullptr, false},                // the same as the last run that ended normally
        {"e", true, nullptr, true},
    };
    size_t notices = 0;
    for (const auto& step : steps) {
      writeScript(path("n.spt"), {"CLEAR\tD", QString("PUT\t\"%1\"\tD").arg(step.put), "REM"});
      if (step.toggle) choose(*form, step.toggle);
      if (step.automatic) {
        form->timer1().scheduler().tick();
      } else {
        child<QPushButton>(*form, "Exec")->click();
      }
      if (step.notice) ++notices;
      QCOMPARE(notices_.size(), notices);
    }
    QCOMPARE(notices_.back(), QStringList({"表示が変わりました: Kelvane", "e"}));
  }

  // "待ち時間を自動調整": the settle wait follows the page's activity.
  void settleItemEndsTheWaitOnceThePageHasSettled() {
    pages_[u"p.html"] = u"<p>x</p>";
    writeScript(path("p.spt"), {"URL\t\"p.html\""});
    auto form = start(path("p.spt"));
    child<QLineEdit>(*form, "WaitValue")->setText("0");
    form->Exec_Click();
    QCOMPARE(browser_->activityWatches, 0);
    choose(*form, "mnuAutoSettle");
    form->Exec_Click();
    QCOMPARE(browser_->activityWatches, 1);
  }
};

QTEST_MAIN(Form1RunTest)
#include "form1_run_test.moc"
