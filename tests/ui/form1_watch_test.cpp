// Several watches from one program: `--settings FILE` and `--new-watch` on
// the command line, and a window that reads and saves its own file, takes
// relative paths from that file's folder and names the watch in its title.
#include "ui/form1_fixture.h"
#include "ui/main_window/watch_file.h"

class Form1WatchTest : public QObject, protected Form1Fixture {
  Q_OBJECT

 private slots:
  void init() { reset(); }

  void argumentsNameTheWatchBeforeTheScript() {
    struct Case {
      QStringList args;
      QString settingsFile;
      bool newWatch;
      QString commandLine;
      bool error;
    };
    const Case cases[] = {
        {{"kelvane"}, "", false, "", false},
        {{"kelvane", "a.spt"}, "", false, "a.spt", false},
        {{"kelvane", "--settings", "w.cnf"}, "w.cnf", false, "", false},
        {{"kelvane", "--settings", "w.cnf", "my", "s.spt"}, "w.cnf", false, "my s.spt", false},
        {{"kelvane", "--new-watch"}, "", true, "", false},
        {{"kelvane", "--settings"}, "", false, "", true},
        {{"kelvane", "a.spt", "--settings", "w.cnf"}, "", false, "a.spt --settings w.cnf", false},
    };
    for (const Case& c : cases) {
      const StartArguments got = parseStartArguments(c.args);
      const QString at = c.args.join(' ');
      QVERIFY2(got.settingsFile == c.settingsFile, qPrintable(at));
      QVERIFY2(got.newWatch == c.newWatch, qPrintable(at));
      QVERIFY2(got.commandLine == c.commandLine, qPrintable(at));
      QVERIFY2(got.error.isEmpty() != c.error, qPrintable(at));
    }
  }

  void eachWatchKeepsItsFileFolderAndName() {
    struct Case {
      QString file, folder, title;
    };
    const Case cases[] = {
        {"watches/prices.cnf", "watches", "Kelvane — prices"},
        {"watches/stock/Kelvane.cnf", "watches/stock", "Kelvane — stock"},
        {"Kelvane.cnf", "", "Kelvane"},  // the default file beside the program
    };
    QVERIFY(QDir(dir_.path()).mkpath("watches/stock"));
    for (const Case& c : cases) {
      QDir::setCurrent(dir_.path());
      settingsFile_ = c.file;
      auto form = start("s.spt");
      QCOMPARE(form->windowTitle(), c.title);
      const QString folder = QDir::cleanPath(dir_.filePath(c.folder));
      QCOMPARE(QDir::currentPath(), folder);
      // The script named with the watch is found from the start folder; a
      // relative path typed in stays relative to the watch's folder.
      QCOMPARE(text(*form, "ScriptPath"), path("s.spt"));
      child<QLineEdit>(*form, "Text5")->setText("log.txt");
      form->Command5_Click();
      QVERIFY(dialogs_->messages.isEmpty());
      const QStringList lines = settingsLines(QDir(folder).filePath(QFileInfo(c.file).fileName()));
      QCOMPARE(lines.value(15), path("s.spt"));
      QCOMPARE(lines.value(7), QString("log.txt"));
      // The file is read back at the next start; a script's TITLE still wins.
      QDir::setCurrent(dir_.path());
      auto again = start();
      QCOMPARE(text(*again, "Text5"), QString("log.txt"));
      again->SetTitle("TITLE");
      QCOMPARE(again->windowTitle(), QString("TITLE"));
    }
    QVERIFY(!QFile::exists(dir_.filePath("watches/Kelvane.cnf")));
  }
};

QTEST_MAIN(Form1WatchTest)
#include "form1_watch_test.moc"
