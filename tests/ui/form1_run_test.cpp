// The main window at work, where the real controls matter: the boxes and
// the script list a run fills, typing in Text3 during a run, the URL box and
// the failed-load mark, the log, the automatic update's switches, quitting
// by the button and by closing, and what each popup item does. How runs,
// loads and quitting behave below the window is in run_controller_test.
#include <QDialog>
#include <QTimer>

#include "ui/form1_fixture.h"

class Form1RunTest : public QObject, protected Form1Fixture {
  Q_OBJECT
  QString dialogSeen_;  // the object name of the last modal dialog closed

 private slots:
  void init() { reset(); }

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

  // A run fills the boxes and the script list; what the user types into
  // Text3 while the run yields is kept with what the run writes after it.
  void runFillsTheBoxesAndKeepsWhatIsTyped() {
    writeScript(path("run.spt"), {"CLEAR\tD", "LOOP\t\"2\"", "PUT\t\"行\"\tD", "CR\tD", "LOOPEND",
                                  "PUT\t\"end\"\tD"});
    auto form = start(path("run.spt"));
    QTimer::singleShot(0, form.get(), [&] {
      form->run().showBuffers(true);  // the box shows the first line once the run yields
      QTextCursor cursor(child<QPlainTextEdit>(*form, "Text3")->document());
      cursor.movePosition(QTextCursor::End);
      cursor.insertText("b");
    });
    child<QPushButton>(*form, "Exec")->click();
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("行\nb行\nend"));
    QCOMPARE(QString::fromStdU16String(std::u16string(form->run().engine().d().view())),
             QString("行\r\nb行\r\nend"));
    auto* list = child<QListWidget>(*form, "ScriptList");
    QCOMPARE(list->count(), 6);
    QCOMPARE(list->item(1)->text(), QString("LOOP\t\"2\""));
    QCOMPARE(list->currentRow(), 5);  // the list followed the run to its last line
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
         [](auto&, Form1& f) {
           return child<QCheckBox>(f, "Check1")->isChecked() &&
                  f.menuItem("mnuTimerOn")->isChecked();
         }},
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
         [](auto&, Form1& f) {
           return f.companions().about() && f.companions().about()->isVisible();
         }},
        {"mnuChangeNotice", "変化を通知(&N)", true,
         [](auto&, Form1& f) { return f.currentSettings().changeNotice == 1; }},
        {"mnuAutoSettle", "待ち時間を自動調整(&W)", true,
         [](auto&, Form1& f) { return f.currentSettings().settleMode == settings::kSettleAuto; }},
        {"mnuManual", "マニュアル(&M)", false,
         [](auto& t, Form1&) {
           return t.dialogs_->messages.size() == 1 &&
                  t.dialogs_->messages[0].startsWith(QStringLiteral("マニュアルが見つかりません"));
         }},
        {"mnuHistory", "履歴(&H)", false,
         [](auto&, Form1& f) {
           auto* history = f.findChild<HistoryWindow*>();
           return history && history->isVisible();
         }},
        {"mnuHistoryPlace", "履歴の保存先(&K)…", false,
         [](auto& t, Form1&) { return t.dialogSeen_ == "frmHistoryPlace"; }},
        {"mnuNotify", "通知先(&P)…", false,
         [](auto& t, Form1&) { return t.dialogSeen_ == "frmNotify"; }},
        {"mnuScriptEdit", "スクリプト編集(&E)", false,
         [](auto&, Form1& f) {
           return f.companions().workbench() && f.companions().workbench()->isVisible();
         }},
        {"mnuNewWatch", "新しいウォッチ(&O)…", false,
         [](auto& t, Form1&) {
           return t.started_ == std::vector<QStringList>{{"--settings", t.path("w2.cnf")}};
         }},
        {"mnuForgetLogin", "ログイン情報を消去(&D)", false,
         [](auto& t, Form1&) { return t.dialogs_->questions.size() == 1; }},
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
      dialogs_->files = {path("w2.cnf")};
      dialogSeen_.clear();
      QTimer closer;  // a dialog of the menu is modal: seen, then closed
      connect(&closer, &QTimer::timeout, this, [this] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
          dialogSeen_ = dialog->objectName();
          dialog->reject();
        }
      });
      closer.start(20);
      choose(*form, item);
      QVERIFY2(items[i].done(*this, *form), items[i].caption);
    }
  }

  // The URL command reads the wait value box and the settle switch, fills
  // the URL box and both buffer boxes, and makes the browser in its holder.
  // A failed load is marked on the "Data" tab, with when and why in its
  // tooltip, and the display keeps its text; a good load clears the mark.
  void pageLoadsFillTheBoxesOrMarkTheTab() {
    pages_[u"page.html"] = u"<p>相場</p>";
    writeScript(path("url.spt"), {"URL\t\"page.html\"", "GETC\tHT\tD\t\"<p>\"\t\"</p>\""});
    auto form = start(path("url.spt"));
    child<QLineEdit>(*form, "WaitValue")->setText("0");
    QCOMPARE(form->Exec_Click(), engine::RunOutcome::Normal);
    QVERIFY(form->run().browserCreated());
    QCOMPARE(text(*form, "Text2"), QString("page.html"));
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("相場"));
    QCOMPARE(child<QPlainTextEdit>(*form, "Text6")->toPlainText(), QString("<p>相場</p>"));
    QCOMPARE(browser_->activityWatches, 0);

    child<QLineEdit>(*form, "Text2")->setText("down");
    child<QPushButton>(*form, "Command3")->click();
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("相場"));
    QTabBar* strip = form->SSTab1()->strip();
    QVERIFY(!strip->tabIcon(0).isNull());
    QVERIFY(strip->tabToolTip(0).startsWith("読込失敗 "));
    QVERIFY(strip->tabToolTip(0).endsWith("no such page"));

    choose(*form, "mnuAutoSettle");
    form->Exec_Click();
    QCOMPARE(browser_->activityWatches, 1);
    QVERIFY(strip->tabIcon(0).isNull());
    QVERIFY(strip->tabToolTip(0).isEmpty());
  }

  // The log button, with a log that cannot be written, says so and makes no
  // folder.
  void logThatCannotBeWrittenIsReported() {
    auto form = start();
    child<QLineEdit>(*form, "Text5")->setText(path("missing/k.log"));
    child<QPushButton>(*form, "Command2")->click();
    QCOMPARE(dialogs_->messages, QStringList{QString("Logファイルに書き込めません．")});
    QVERIFY(!QFile::exists(path("missing/k.log")));
  }

  // 終了, or closing the window, ends a page load at its next look, hides
  // the window, saves nothing, and nothing starts any more; only 終了 ends
  // the program.
  void quittingDuringALoad() {
    for (const bool byClosing : {false, true}) {
      reset();
      writeScript(path("state.spt"), {"URL\t\"hang\"", "PUT\t\"next\"\tD"});
      auto form = start(path("state.spt"));
      child<QLineEdit>(*form, "Text4")->setText("0");
      child<QCheckBox>(*form, "Check1")->click();
      form->SSTab1()->setCurrentIndex(2);  // makes the browser
      form->SSTab1()->setCurrentIndex(0);
      browser_->hangingUrl = u"hang";
      form->show();
      // Fires inside the run's first pass of the event loop.
      QTimer::singleShot(0, form.get(), [&] {
        if (byClosing) {
          form->close();
        } else {
          child<QPushButton>(*form, "QuitBtn")->click();
        }
      });
      QCOMPARE(form->Exec_Click(), engine::RunOutcome::Stopped);
      QVERIFY(browser_->busyPolls <= 2);  // one look at the browser after 終了
      QCOMPARE(quits_, byClosing ? 0 : 1);
      QVERIFY(!form->isVisible());
      QVERIFY(!form->run().timer().timerEnabled());
      QCOMPARE(form->Exec_Click(), engine::RunOutcome::Ignored);
      QVERIFY(!QFile::exists(path("Kelvane.cnf")));
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

  // Check1 and Text4 start the automatic runs, Check3 makes each write the
  // log, and "変化を通知" tells the desktop of a changed display.
  void automaticRunsFollowTheirSwitches() {
    writeScript(path("auto.spt"), {"CLEAR\tD", "PUT\t\"auto\"\tD"});
    auto form = start(path("auto.spt"));
    child<QLineEdit>(*form, "Text4")->setText("0");
    child<QLineEdit>(*form, "Text5")->setText(path("auto.log"));
    child<QLineEdit>(*form, "MemoText")->setText("m");
    child<QCheckBox>(*form, "Check1")->click();
    choose(*form, "mnuChangeNotice");
    form->run().timer().scheduler().tick();
    QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), QString("auto"));
    QVERIFY(!QFile::exists(path("auto.log")));  // Check3 is off
    QVERIFY(notices_.empty());
    child<QCheckBox>(*form, "Check3")->click();
    writeScript(path("auto.spt"), {"CLEAR\tD", "PUT\t\"auto2\"\tD"});
    form->run().timer().scheduler().tick();
    QCOMPARE(readAll(path("auto.log")), QByteArray("m\r\nauto2\r\n"));
    QCOMPARE(notices_, std::vector<QStringList>({{"表示が変わりました: Kelvane", "auto2"}}));
    QVERIFY(form->run().timer().timerEnabled());
  }
};

QTEST_MAIN(Form1RunTest)
#include "form1_run_test.moc"
