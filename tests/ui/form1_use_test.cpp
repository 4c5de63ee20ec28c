// The main window as it is used day to day: quitting with unsaved script
// edits, the two automatic-update switches, Enter in the URL box, the status
// line's confirmations, new windows inside a small screen.
#include <QMessageBox>

#include "ui/form1_fixture.h"
#include "ui/main_window/window_place.h"
#include "ui/workbench/script_editor.h"
#include "ui/workbench/script_workbench.h"

namespace {

// Answers the next modal message box with that button (once it shows);
// what it asked is kept in *asked.
void answerNextBox(QMessageBox::StandardButton button, QString* asked) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, button, asked] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    *asked = box->text();
    box->button(button)->click();
    poll->deleteLater();
  });
  poll->start(10);
}

}  // namespace

class Form1UseTest : public QObject, protected Form1Fixture {
  Q_OBJECT

 private slots:
  void init() { reset(); }

  // 終了, the popup's 終了 and the frame's close button ask about unsaved
  // workbench edits: a cancel keeps everything, a discard quits without
  // writing, a save writes and quits.
  void quittingAsksAboutUnsavedScriptEdits() {
    const struct {
      const char* how;
      QMessageBox::StandardButton answer;
      bool quits;
      QByteArray file;
    } cases[] = {
        {"QuitBtn", QMessageBox::Cancel, false, "CR\tD\r\n"},
        {"QuitBtn", QMessageBox::Discard, true, "CR\tD\r\n"},
        {"mnuExit", QMessageBox::Save, true, "CLEAR\tD\r\nCR\tD\r\n"},
        {"close", QMessageBox::Cancel, false, "CR\tD\r\n"},
        {"close", QMessageBox::Discard, true, "CR\tD\r\n"},
    };
    for (const auto& c : cases) {
      reset();
      writeScript(path("w.spt"), {"CR\tD"});
      auto form = start(path("w.spt"));
      form->show();
      QVERIFY(QTest::qWaitForWindowExposed(form.get()));
      form->mnuScriptEdit_Click();
      auto* bench = qobject_cast<ScriptWorkbench*>(form->companions().workbench());
      QVERIFY(bench);
      bench->editor()->moveCursor(QTextCursor::Start);
      bench->editor()->insertPlainText(QStringLiteral("CLEAR\tD\n"));
      QString asked;
      answerNextBox(c.answer, &asked);
      const QByteArray how(c.how);
      if (how == "close") {
        form->close();
      } else if (how == "mnuExit") {
        form->mnuExit_Click();
      } else {
        form->QuitBtn_Click();
      }
      QVERIFY2(asked.contains(QStringLiteral("保存しますか")), c.how);
      const bool ended = how == "close" ? !form->isVisible() : quits_ == 1;
      QVERIFY2(ended == c.quits, c.how);
      QCOMPARE(form->isVisible(), !c.quits);
      QWidget* workbench = form->companions().workbench();
      QCOMPARE(workbench && workbench->isVisible(), !c.quits);
      QCOMPARE(readAll(path("w.spt")), c.file);
    }
    // Without edits nothing is asked.
    reset();
    auto form = start();
    form->mnuScriptEdit_Click();
    form->QuitBtn_Click();
    QCOMPARE(quits_, 1);
  }

  // タイマーON and Check1 show the same switch whichever changed it, and
  // ticks run the script only while it is on.
  void timerSwitchesAgree() {
    writeScript(path("t.spt"), {"PUT\t\"x\"\tD"});
    auto form = start(path("t.spt"));
    child<QLineEdit>(*form, "Text4")->setText("0");
    QCheckBox* box = child<QCheckBox>(*form, "Check1");
    QAction* item = form->menuItem("mnuTimerOn");
    const struct {
      const char* step;
      bool on;
    } steps[] = {{"box", true}, {"box", false},  {"menu", true}, {"box", false},
                 {"box", true}, {"menu", false}, {"menu", true}, {"menu", false}};
    QString display;
    for (const auto& s : steps) {
      if (QByteArray(s.step) == "box") {
        box->click();
      } else {
        choose(*form, item);
      }
      QCOMPARE(box->isChecked(), s.on);
      QCOMPARE(item->isChecked(), s.on);
      form->run().timer().scheduler().tick();
      if (s.on) display += "x";
      QCOMPARE(child<QPlainTextEdit>(*form, "Text3")->toPlainText(), display);
      QCOMPARE(form->run().timer().timerEnabled(), s.on);
    }
  }

  // Enter in the URL box loads its page as 読込 does.
  void enterInTheUrlBoxLoads() {
    pages_[u"page.html"] = u"<p>x</p>";
    auto form = start();
    child<QLineEdit>(*form, "WaitValue")->setText("0");
    form->show();
    form->SSTab1()->setCurrentIndex(2);
    QLineEdit* url = child<QLineEdit>(*form, "Text2");
    url->setText("page.html");
    QTest::keyClick(url, Qt::Key_Return);
    QTRY_COMPARE(child<QPlainTextEdit>(*form, "Text6")->toPlainText(), QString("<p>x</p>"));
  }

  // 設定記憶 (the button and the popup item) says in the status line where it
  // saved; a save that failed says so in a message and nothing there.
  void savingTheSettingsIsConfirmed() {
    const QString confirmation =
        "設定を保存しました: " + QDir::toNativeSeparators(path("Kelvane.cnf"));
    for (const bool byMenu : {false, true}) {
      auto form = start();
      if (byMenu) {
        choose(*form, "mnuSetting");
      } else {
        child<QPushButton>(*form, "Command5")->click();
      }
      QCOMPARE(form->statusLine().text(), confirmation);
    }
    settingsFile_ = path("no/such/folder/x.cnf");
    QFile(path("no")).open(QIODevice::WriteOnly);  // a file where the folder would be
    auto form = start();
    child<QPushButton>(*form, "Command5")->click();
    QCOMPARE(dialogs_->messages.size(), qsizetype(1));
    QCOMPARE(form->statusLine().text(), QString());
  }

  // A window that would stick out goes inside the area; one larger than it
  // is shrunk, its title bar kept on the screen.
  void placedInsideTheWorkArea() {
    const QRect area(0, 30, 800, 570);  // a panel above
    const QMargins frame(4, 24, 4, 4);
    const struct {
      QSize size;
      QRect over;
      QRect inside;
    } cases[] = {
        {{200, 100}, {100, 100, 400, 300}, {200, 210, 200, 100}},  // over the middle
        {{200, 100}, {650, 500, 150, 100}, {596, 496, 200, 100}},  // moved up and left
        {{200, 100}, {-100, 0, 100, 100}, {4, 54, 200, 100}},      // moved down and right
        {{1100, 700}, {0, 0, 800, 600}, {4, 54, 792, 542}},        // shrunk to the area
    };
    for (const auto& c : cases) QCOMPARE(placeInside(c.size, frame, c.over, area), c.inside);
  }

  // On a small screen (this test's screen is 800 x 600), the windows the
  // main window opens lie inside it, wherever the main window is.
  void newWindowsOpenInsideTheScreen() {
    writeScript(path("s.spt"), {"CR\tD"});
    auto form = start(path("s.spt"));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QRect area = form->screen()->availableGeometry();
    QCOMPARE(area.size(), QSize(800, 600));
    form->move(area.right() - 150, area.bottom() - 200);
    form->mnuScriptEdit_Click();
    form->mnuHistory_Click();
    form->mnuVersion_Click();
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w == form.get() || !w->isVisible() || w->inherits("QMenu")) continue;
      QVERIFY2(area.contains(w->frameGeometry()), qPrintable(w->objectName()));
    }
    QVERIFY(form->companions().workbench()->isVisible());
  }
};

// The screen is small: 800 x 600 pixels.
int main(int argc, char** argv) {
  QTemporaryDir dir;
  const QString config = dir.filePath("screens.json");
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) return 1;
  file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 800, "height": 600,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  file.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
  QApplication app(argc, argv);
  Form1UseTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "form1_use_test.moc"
