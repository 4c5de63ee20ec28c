// Where the window keeps what it is told: an installed program's paths, and
// the window itself on the screen.
#include "ui/form1_fixture.h"

class Form1PlacesTest : public QObject, protected Form1Fixture {
  Q_OBJECT

 private slots:
  void init() { reset(); }

  // Installed, relative script and log paths are shown and stored absolute:
  // started again from another folder (the menu starts in the home folder),
  // they name the same files.
  void installedProgramStoresAbsolutePaths() {
    appDir_ = path("tree/bin");
    const QString marker = QDir(appDir_).filePath(KELVANE_INSTALLED_MARKER);
    QVERIFY(QDir().mkpath(QFileInfo(marker).path()) && QDir().mkpath(appDir_));
    writeAll(marker, {});
    qputenv("XDG_CONFIG_HOME", path("cfg").toUtf8());
    const QString work = path("work");
    QVERIFY(QDir().mkpath(work) && QDir::setCurrent(work));
    {
      auto form = start("job.spt");
      QCOMPARE(text(*form, "ScriptPath"), work + "/job.spt");
      child<QLineEdit>(*form, "Text5")->setText("../logs/a.log");
      form->Command5_Click();
      QCOMPARE(text(*form, "Text5"), path("logs/a.log"));
      QVERIFY(dialogs_->messages.isEmpty());
    }
    QVERIFY(QDir::setCurrent(dir_.path()));
    auto again = start();
    QCOMPARE(again->settingsPath(), path("cfg/kelvane/Kelvane.cnf"));
    QCOMPARE(text(*again, "ScriptPath"), work + "/job.spt");
    QCOMPARE(text(*again, "Text5"), path("logs/a.log"));
    // Typed in the box, a path turns absolute once the typing is done.
    auto* box = child<QLineEdit>(*again, "ScriptPath");
    box->setText("other.spt");
    Q_EMIT box->editingFinished();
    QCOMPARE(box->text(), path("other.spt"));
    qunsetenv("XDG_CONFIG_HOME");
  }
};

QTEST_MAIN(Form1PlacesTest)
#include "form1_places_test.moc"
