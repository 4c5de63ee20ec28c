// The main window as a user meets it: start-up with and without settings
// and an argument, the pages and the layout, the popup menu, the title bar,
// the settings, the file choosers, the display's appearance, the about box
// and the manual (the popup items' effects are in form1_run_test).
#include <QDesktopServices>
#include <QUrl>

#include "ui/form1_fixture.h"

// Stands in for the system's browser: keeps the addresses it is given.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

class Form1Test : public QObject, protected Form1Fixture {
  Q_OBJECT

 private slots:
  void init() { reset(); }

  void commandLineJoinsArguments() {
    QCOMPARE(commandLineText({"kelvane"}), QString());
    QCOMPARE(commandLineText({"kelvane", "a.spt"}), QString("a.spt"));
    QCOMPARE(commandLineText({"kelvane", "my", "script.spt"}), QString("my script.spt"));
    QCOMPARE(commandLineText({"kelvane", "\"C:\\a b\\s.spt\""}), QString("\"C:\\a b\\s.spt\""));
  }

  void startWithoutSettings() {
    QDir::setCurrent(QDir::tempPath());
    auto form = start();
    QCOMPARE(QDir::currentPath(), QDir(dir_.path()).canonicalPath());
    QCOMPARE(form->settingsPath(), path("Kelvane.cnf"));
    for (const char* box : {"Text2", "Text4", "Text5", "Text7", "Text8", "Text9", "Text10"}) {
      QVERIFY2(text(*form, box).isEmpty(), box);
    }
    QVERIFY(child<QPlainTextEdit>(*form, "Text3")->toPlainText().isEmpty());
    QVERIFY(child<QPlainTextEdit>(*form, "Text6")->toPlainText().isEmpty());
    QCOMPARE(text(*form, "WaitValue"), QString("8"));
    QCOMPARE(text(*form, "ScriptPath"), QString("script.spt"));
    QCOMPARE(form->windowTitle(), QString("Kelvane"));
    QCOMPARE(form->SSTab1()->currentIndex(), 0);
    QVERIFY(child<QPushButton>(*form, "Command3")->isHidden());
    QVERIFY(child<QPushButton>(*form, "Command4")->isHidden());
    QVERIFY(child<QListWidget>(*form, "ScriptList")->isHidden());
    QVERIFY(child<QPushButton>(*form, "QuitBtn")->isHidden());
    QCOMPARE(child<QCheckBox>(*form, "Check1")->checkState(), Qt::Unchecked);
    QVERIFY(!form->menuItem("mnuTimerOn")->isChecked());
    QVERIFY(!form->run().browserCreated());
    // Timer1 runs with its one-minute interval; with Check1 off its first
    // tick only stops it.
    QVERIFY(form->run().timer().timerEnabled());
    QCOMPARE(form->run().timer().timer().interval(), 60000);
    form->run().timer().scheduler().tick();
    QVERIFY(!form->run().timer().timerEnabled());
    // The start size, in pixels of this screen.
    QCOMPARE(form->size(), QSize(twipsToPixels(3915, form->logicalDpiX()),
                                 twipsToPixels(7410, form->logicalDpiY())));
  }

  void startWithSettingsAndArgument() {
    settings::Settings stored;
    stored.url = u"http://127.0.0.1/a b,\"c\".html";
    stored.interval = u"10";
    stored.autoUpdate = 1;
    stored.logPath = u"log.txt";
    stored.timeWindow = 1;
    stored.startHour = u"9";
    stored.startMinute = u"0";
    stored.endHour = u"17";
    stored.endMinute = u"30";
    stored.scriptPath = u"stored.spt";
    stored.wait = u"3";
    stored.keyed = {{u"fetch", u"auto"}};
    writeAll(path("Kelvane.cnf"), QByteArray::fromStdString(settings::settingsBytes(stored)));

    auto form = start("\"/tmp/with space/s.spt\"");
    QCOMPARE(text(*form, "Text2"), QString("http://127.0.0.1/a b,\"c\".html"));
    QCOMPARE(text(*form, "Text4"), QString("10"));
    QCOMPARE(text(*form, "Text5"), QString("log.txt"));
    QCOMPARE(text(*form, "Text9"), QString("17"));
    QCOMPARE(text(*form, "Text10"), QString("30"));
    QCOMPARE(text(*form, "WaitValue"), QString("3"));
    QCOMPARE(child<QCheckBox>(*form, "TimeWindow")->checkState(), Qt::Checked);
    // The argument, quotes and all, replaces the stored script path.
    QCOMPARE(text(*form, "ScriptPath"), QString("\"/tmp/with space/s.spt\""));
    QCOMPARE(child<QCheckBox>(*form, "Check1")->checkState(), Qt::Checked);
    QVERIFY(form->menuItem("mnuTimerOn")->isChecked());
    auto& scheduler = form->run().timer().scheduler();
    QCOMPARE(scheduler.intervalMinutes(), int16_t(10));
    QCOMPARE(scheduler.minuteCount(), int64_t(10));  // the first tick finds a run due
    QVERIFY(scheduler.timeWindow().inForce);
    QCOMPARE(scheduler.timeWindow().endMinute, std::u16string(u"30"));

    // Saving stores the argument's path, and writes back the keyed lines.
    form->Command5_Click();
    QVERIFY(dialogs_->messages.isEmpty());
    QCOMPARE(settingsLines(path("Kelvane.cnf")).value(15), QString("\"/tmp/with space/s.spt\""));
    QCOMPARE(settingsLines(path("Kelvane.cnf")).value(24), QString("fetch=auto"));
  }

  void storedBoundsAreTheOuterWindow() {
    settings::Settings stored;
    stored.windowWidth = 6000;
    stored.windowHeight = 4500;
    stored.windowTop = 300;
    stored.windowLeft = 450;
    writeAll(path("Kelvane.cnf"), QByteArray::fromStdString(settings::settingsBytes(stored)));
    auto form = start();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const double dx = form->logicalDpiX();
    const double dy = form->logicalDpiY();
    const QRect expected(twipsToPixels(450, dx), twipsToPixels(300, dy), twipsToPixels(6000, dx),
                         twipsToPixels(4500, dy));
    QTRY_COMPARE(form->frameGeometry(), expected);
    // Saved again, the bounds come back as they were read.
    const settings::Settings now = form->currentSettings();
    QCOMPARE(now.windowWidth, pixelsToTwips(expected.width(), dx));
    QCOMPARE(now.windowTop, pixelsToTwips(expected.top(), dy));
  }

  void nonsenseBoundsStayOnTheDesktop() {
    settings::Settings stored;
    stored.windowWidth = 1e30f;
    stored.windowHeight = 1e30f;
    stored.windowTop = -1e9f;
    stored.windowLeft = -1e9f;
    writeAll(path("Kelvane.cnf"), QByteArray::fromStdString(settings::settingsBytes(stored)));
    auto form = start();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QRect desktop = form->screen()->virtualGeometry();
    QVERIFY(form->width() <= desktop.width());
    QVERIFY(form->height() <= desktop.height());
    QVERIFY(desktop.contains(form->frameGeometry().center()));
  }

  void settingsSavedAndReadBackAtNextStart() {
    {
      auto form = start();
      child<QLineEdit>(*form, "Text2")->setText("http://127.0.0.1:1/page");
      child<QLineEdit>(*form, "Text4")->setText("5");
      child<QLineEdit>(*form, "Text5")->setText("logs/kelvane.log");
      child<QCheckBox>(*form, "Check3")->setChecked(true);
      child<QLineEdit>(*form, "Text7")->setText("22");
      child<QLineEdit>(*form, "ScriptPath")->setText("job.spt");
      child<QLineEdit>(*form, "WaitValue")->setText("2");
      choose(*form, "mnuTimerOn");
      choose(*form, "mnuChangeNotice");
      choose(*form, "mnuAutoSettle");
      choose(*form, "mnuSetting");
      QVERIFY(dialogs_->messages.isEmpty());
      // After the 22 lines of every Kelvane.cnf.
      const QStringList lines = settingsLines(path("Kelvane.cnf"));
      QCOMPARE(lines.mid(21, 3), QStringList({"2", "1", "auto"}));
    }
    auto again = start();
    QVERIFY(again->menuItem("mnuChangeNotice")->isChecked());
    QVERIFY(again->menuItem("mnuAutoSettle")->isChecked());
    // A file of the 22 lines alone leaves both off.
    QByteArray classic = readAll(path("Kelvane.cnf"));
    classic.chop(classic.size() - classic.indexOf(" 1 \r\nauto\r\n"));
    writeAll(path("Kelvane.cnf"), classic);
    auto classicStart = start();
    QCOMPARE(text(*classicStart, "WaitValue"), QString("2"));
    QVERIFY(!classicStart->menuItem("mnuChangeNotice")->isChecked());
    QVERIFY(!classicStart->menuItem("mnuAutoSettle")->isChecked());
    QCOMPARE(text(*again, "Text2"), QString("http://127.0.0.1:1/page"));
    QCOMPARE(text(*again, "Text4"), QString("5"));
    QCOMPARE(text(*again, "Text5"), QString("logs/kelvane.log"));
    QCOMPARE(text(*again, "Text7"), QString("22"));
    QCOMPARE(text(*again, "ScriptPath"), QString("job.spt"));
    QCOMPARE(text(*again, "WaitValue"), QString("2"));
    QCOMPARE(child<QCheckBox>(*again, "Check3")->checkState(), Qt::Checked);
    QCOMPARE(child<QCheckBox>(*again, "Check1")->checkState(), Qt::Checked);
    QVERIFY(again->menuItem("mnuTimerOn")->isChecked());
  }

  // Pixel figures at 96 dpi (15 twips a pixel), worked out by hand from the
  // resize rules: Text3 is 110 x 380 twips smaller than the client area,
  // ScriptPath 730 narrower, QuitBtn 900 from the right but never left of
  // 2000, Text6 from 5460 down to 100 above the bottom, WebBrowser1 130
  // narrower; Exec is not moved.
  void layoutAtSeveralSizes_data() {
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QRect>("text3");
    QTest::addColumn<int>("scriptPathWidth");
    QTest::addColumn<int>("quitBtnLeft");
    QTest::addColumn<int>("text6Height");
    QTest::addColumn<int>("browserWidth");
    QTest::newRow("start") << QSize(261, 494) << QRect(3, 22, 254, 469) << 213 << 201 << 123 << 253;
    QTest::newRow("wide") << QSize(800, 600) << QRect(3, 22, 793, 575) << 752 << 740 << 229 << 792;
    // QuitBtn at its floor and Text6 at its one twip (no pixel).
    QTest::newRow("narrow") << QSize(150, 300) << QRect(3, 22, 143, 275) << 102 << 133 << 0 << 142;
  }

  void layoutAtSeveralSizes() {
    QFETCH(QSize, client);
    auto form = start();
    if (form->logicalDpiX() != 96 || form->logicalDpiY() != 96) QSKIP("figures are for 96 dpi");
    form->show();
    form->resize(client);
    QTRY_COMPARE(form->size(), client);
    QCOMPARE(form->SSTab1()->geometry(), QRect(QPoint(0, 0), client));
    const auto geometry = [&](const char* name) { return child<QWidget>(*form, name)->geometry(); };
    QTEST(geometry("Text3"), "text3");
    QTEST(geometry("ScriptPath").width(), "scriptPathWidth");
    QTEST(geometry("QuitBtn").left(), "quitBtnLeft");
    QTEST(geometry("Text6").height(), "text6Height");
    QTEST(geometry("WebBrowser1").width(), "browserWidth");
    QCOMPARE(geometry("Exec"), QRect(7, 28, 103, 28));
  }

  void windowNeverSmallerThanTheMinimum() {
    auto form = start();
    form->show();
    form->resize(10, 10);
    const QSize smallest(twipsToPixels(1500, form->logicalDpiX()),
                         twipsToPixels(1200, form->logicalDpiY()));
    // The outer window, frame included, is held at the smallest size, and
    // QuitBtn at its floor of 2000 twips.
    QTRY_COMPARE(form->frameGeometry().size(), smallest);
    QCOMPARE(child<QWidget>(*form, "QuitBtn")->x(), twipsToPixels(2000, form->logicalDpiX()));
  }

  // A minimised window is not laid out, whatever size the window system
  // gives it meanwhile; restored, it is laid out for the size it has then,
  // although the restore itself brings no resize.
  void minimisedWindowIsLaidOutWhenRestored() {
    auto form = start();
    if (form->logicalDpiX() != 96 || form->logicalDpiY() != 96) QSKIP("figures are for 96 dpi");
    form->show();
    form->resize(400, 500);
    QTRY_COMPARE(form->size(), QSize(400, 500));
    QWidget* text3 = child<QWidget>(*form, "Text3");
    const QRect before = text3->geometry();
    form->showMinimized();
    QTRY_VERIFY(form->isMinimized());
    form->resize(800, 600);
    QCOMPARE(form->size(), QSize(800, 600));
    QCOMPARE(text3->geometry(), before);
    form->showNormal();
    QTRY_VERIFY(!form->isMinimized());
    QCOMPARE(form->size(), QSize(800, 600));
    QCOMPARE(text3->geometry(), QRect(3, 22, 793, 575));
  }

  void tabsShowTheirControls() {
    auto form = start();
    form->show();
    const auto shown = [&](const char* name) { return child<QWidget>(*form, name)->isVisible(); };
    QVERIFY(shown("Text3"));
    QVERIFY(!shown("Exec"));
    form->SSTab1()->setCurrentIndex(1);
    QVERIFY(shown("QuitBtn") && shown("Command4") && shown("ScriptList") && shown("Exec"));
    QVERIFY(shown("Text6") && shown("Frame1") && shown("Text10"));
    QVERIFY(!shown("Text3") && !shown("Command3"));
    QVERIFY(!form->run().browserCreated());
    form->SSTab1()->setCurrentIndex(2);
    QVERIFY(shown("Command3") && shown("Text2") && shown("Label12"));
    QVERIFY(!shown("QuitBtn") && !shown("Command4") && !shown("ScriptList"));
    // The browser is made when its page is first shown.
    QVERIFY(form->run().browserCreated());
    const auto browserInView = [&] {
      QWidget* browser = child<QWidget>(*form, "WebBrowser1");
      return browser->isVisible() && form->SSTab1()->rect().intersects(browser->geometry());
    };
    QVERIFY(browserInView());
    QCOMPARE(child<QLabel>(*form, "Label12")->text(), QString("サポート: man:kelvane(1)"));
    // The labels between the time boxes.
    QCOMPARE(child<QLabel>(*form, "Label3")->text() + child<QLabel>(*form, "Label4")->text() +
                 child<QLabel>(*form, "Label5")->text(),
             QString(":-:"));
    form->SSTab1()->setCurrentIndex(0);
    QVERIFY(!shown("Command3") && !shown("QuitBtn") && !shown("Command4") && !shown("ScriptList"));
    // Away from its page the browser is out of sight but not hidden, so the
    // page it holds keeps running.
    QVERIFY(!browserInView());
    QVERIFY(child<QWidget>(*form, "WebBrowser1")->isVisible());
  }

  void rightClickOpensThePopupMenu() {
    auto form = start();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QWidget* strip = form->SSTab1()->strip();
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() - 5, 5));
    QVERIFY(!form->mnuPop()->isVisible());
    // A right click there opens it (every popup item test chooses that way),
    // and so does one on a free spot of a page.
    form->SSTab1()->setCurrentIndex(1);
    QWidget* page = form->SSTab1()->page(1);
    QTest::mouseClick(page, Qt::RightButton, {}, QPoint(page->width() - 3, page->height() - 3));
    QTRY_VERIFY(form->mnuPop()->isVisible());
    form->mnuPop()->hide();
  }

  void titleBarToggle() {
    auto form = start();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const Qt::WindowFlags flags = form->windowFlags();
    const QRect geometry = form->geometry();
    choose(*form, "mnuShowT");
    QVERIFY(!platform::isTitleBarShown(form.get()));
    QVERIFY(form->isVisible());
    QCOMPARE(form->geometry(), geometry);
    // A double-click on the tab strip toggles it back.
    QTest::mouseDClick(form->SSTab1()->strip(), Qt::LeftButton, {},
                       QPoint(form->SSTab1()->strip()->width() - 5, 5));
    QVERIFY(platform::isTitleBarShown(form.get()));
    QCOMPARE(form->windowFlags(), flags);
    QCOMPARE(form->geometry(), geometry);
    QVERIFY(form->isVisible());
  }

  void fileChoosers() {
    auto form = start();
    dialogs_->files = {path("a.spt"), std::nullopt, path("b.log"), std::nullopt};
    form->ScriptSel_Click();
    QCOMPARE(text(*form, "ScriptPath"), path("a.spt"));
    form->ScriptSel_Click();  // cancelled
    QCOMPARE(text(*form, "ScriptPath"), path("a.spt"));
    form->Command4_Click();
    QCOMPARE(text(*form, "Text5"), path("b.log"));
    form->Command4_Click();  // cancelled
    QCOMPARE(text(*form, "Text5"), path("b.log"));
    // Each chooser starts in the current directory, the program's folder.
    QCOMPARE(dialogs_->fileDirs.size(), size_t(4));
    for (const QString& d : dialogs_->fileDirs) QCOMPARE(d, QDir::currentPath());
  }

  void fontAndColoursReachOnlyTheDisplayAndAreSaved() {
    auto form = start();
    auto* text3 = child<QPlainTextEdit>(*form, "Text3");
    auto* text6 = child<QPlainTextEdit>(*form, "Text6");
    const QFont text6Font = text6->font();
    const QPalette text6Palette = text6->palette();
    const QPalette listPalette = child<QListWidget>(*form, "ScriptList")->palette();

    // Cancelling changes nothing.
    const Appearance before = form->appearance();
    choose(*form, "mnuFont");
    choose(*form, "mnuColor");
    choose(*form, "mnuBackColor");
    QCOMPARE(form->appearance(), before);
    // The dialogs opened with the current values.
    QCOMPARE(dialogs_->fontPresets.back().pointSize, 9.0);
    QCOMPARE(dialogs_->colorPresets.at(0), text3->palette().color(QPalette::Text));
    QCOMPARE(dialogs_->colorPresets.at(1), text3->palette().color(QPalette::Base));

    const QString family = QFontDatabase::families().value(0);
    dialogs_->fonts = {platform::FontChoice{family, 14, true, true}};
    dialogs_->colors = {QColor(0, 0, 255), QColor(255, 255, 0)};
    choose(*form, "mnuFont");
    choose(*form, "mnuColor");
    choose(*form, "mnuBackColor");
    QCOMPARE(text3->font().pointSizeF(), 14.0);
    QVERIFY(text3->font().bold());
    QVERIFY(text3->font().italic());
    QCOMPARE(text3->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(text3->palette().color(QPalette::Base), QColor(255, 255, 0));
    QCOMPARE(text6->font(), text6Font);
    QCOMPARE(text6->palette(), text6Palette);
    QCOMPARE(child<QListWidget>(*form, "ScriptList")->palette(), listPalette);

    form->Command5_Click();
    const QStringList lines = settingsLines(path("Kelvane.cnf"));
    QCOMPARE(lines.value(14), QString("14"));
    QCOMPARE(lines.value(16), QString("65535"));     // background: yellow
    QCOMPARE(lines.value(17), QString("16711680"));  // text: blue
    QCOMPARE(lines.value(18), family);
    QCOMPARE(lines.value(19), QString("True"));
    QCOMPARE(lines.value(20), QString("True"));
  }

  void startFontKeepsItsStoredName() {
    auto form = start();
    form->Command5_Click();
    const QStringList lines = settingsLines(path("Kelvane.cnf"));
    QCOMPARE(lines.value(18), QString("ＭＳ Ｐゴシック"));
    QCOMPARE(lines.value(16), QString("-2147483643"));  // the system's window colour
    QCOMPARE(lines.value(17), QString("-2147483640"));  // and window-text colour
    // Confirming the font dialog unchanged keeps the name too.
    choose(*form, "mnuFont");  // cancelled: only the preset is seen
    const platform::FontChoice preset = dialogs_->fontPresets.back();
    dialogs_->fonts = {preset};
    choose(*form, "mnuFont");
    QCOMPARE(form->appearance().fontName, QString("ＭＳ Ｐゴシック"));
  }

  void greyedBoxFromTheSettingsTurnsTwoStateWhenClicked() {
    settings::Settings stored;
    stored.autoLog = 2;
    writeAll(path("Kelvane.cnf"), QByteArray::fromStdString(settings::settingsBytes(stored)));
    auto form = start();
    auto* box = child<QCheckBox>(*form, "Check3");
    QCOMPARE(box->checkState(), Qt::PartiallyChecked);
    QList<Qt::CheckState> states;
    for (int i = 0; i < 3; ++i) {
      box->click();
      states << box->checkState();
    }
    QCOMPARE(states, (QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Checked}));
  }

  void aboutBox() {
    auto form = start();
    form->show();
    choose(*form, "mnuVersion");
    QPointer<frmSplash> box = form->companions().about();
    QVERIFY(box && box->isVisible());
    choose(*form, "mnuVersion");
    QCOMPARE(form->companions().about(), box.data());
    QCOMPARE(form->findChildren<frmSplash*>().size(), 1);
    // Closing the main window closes the about box.
    form->close();
    QTRY_VERIFY(!box || !box->isVisible());
  }

  void manualOpensInTheBrowserOrSaysWhereItLooked() {
    QLocale::setDefault(QLocale(QLocale::Japanese));
    auto form = start();
    choose(*form, "mnuManual");
    QCOMPARE(dialogs_->messages.size(), 1);
    QVERIFY(dialogs_->messages[0].startsWith(QStringLiteral("マニュアルが見つかりません．\n") +
                                             path("manual.ja.html") + "\n"));
    writeAll(path("manual.en.html"), "<html></html>");
    writeAll(path("manual.ja.html"), "<html></html>");
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "open");
    choose(*form, "mnuManual");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    choose(*form, "mnuManual");
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QLocale::setDefault(QLocale::system());
    QCOMPARE(browser.urls, (QList<QUrl>{QUrl::fromLocalFile(path("manual.ja.html")),
                                        QUrl::fromLocalFile(path("manual.en.html"))}));
    QCOMPARE(dialogs_->messages.size(), 1);
    QFile::remove(path("manual.en.html"));
    QFile::remove(path("manual.ja.html"));
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
