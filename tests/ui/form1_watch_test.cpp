// Several watches from one program: `--settings FILE` and `--new-watch` on
// the command line, and a window that reads and saves its own file, takes
// relative paths from that file's folder and names the watch in its title.
#include <QDialog>

#include "history/store.h"
#include "ui/form1_fixture.h"
#include "ui/history/history_window.h"
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

  // The history= line of a watch's settings names where its runs go and
  // what the History window opens; 履歴の保存先… changes it, the password
  // going to Kelvane.secrets, never to the settings file.
  void aWatchRecordsInTheHistoryItsSettingsName() {
    QVERIFY(QDir(dir_.path()).mkpath("h"));
    writeScript(path("h/s.spt"), {"CLEAR\tD", "PUT\t\"ran\"\tD"});
    kelvane::settings::Settings stored = kelvane::settings::windowStartValues();
    stored.scriptPath = u"s.spt";
    stored.keyed = {{u"history", u"runs/other.sqlite"}};
    QVERIFY(kelvane::settings::saveSettings(path("h/w.cnf").toStdString(), stored));
    QDir::setCurrent(dir_.path());
    settingsFile_ = "h/w.cnf";
    auto form = start();
    QCOMPARE(form->Exec_Click(), kelvane::engine::RunOutcome::Normal);
    QVERIFY(QFile::exists(path("h/runs/other.sqlite")));
    QVERIFY(!QFile::exists(path("h/kelvane-history.sqlite")));
    {  // under the watch's name, as kelvane-run --watch records it
      kelvane::history::HistoryStore store(path("h/runs/other.sqlite").toStdString(), true);
      QCOMPARE(store.runs().at(0).watch, std::string("w"));
    }
    form->mnuHistory_Click();
    QCOMPARE(form->findChild<HistoryWindow*>()->path(), path("h/runs/other.sqlite"));

    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog && dialog->objectName() == "frmHistoryPlace");
      QCOMPARE(dialog->findChild<QLineEdit*>("txtHistoryAddress")->text(),
               QString("runs/other.sqlite"));
      dialog->findChild<QLineEdit*>("txtHistoryAddress")->setText("postgresql://kel@db.example/h");
      dialog->findChild<QLineEdit*>("txtHistoryPassword")->setText("S3CRET");
      dialog->accept();
    });
    form->mnuHistoryPlace_Click();
    QCOMPARE(form->historyAddress(), std::string("postgresql://kel@db.example/h?password=S3CRET"));
    const QStringList lines = settingsLines(path("h/w.cnf"));
    QVERIFY(lines.contains("history=postgresql://kel@db.example/h"));
    QVERIFY(!lines.join('\n').contains("S3CRET"));
    QFile secrets(path("h/Kelvane.secrets"));
    QVERIFY(secrets.open(QIODevice::ReadOnly));
    QCOMPARE(secrets.readAll(), QByteArray("history_password=S3CRET\n"));
    QCOMPARE(secrets.permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
  }
};

QTEST_MAIN(Form1WatchTest)
#include "form1_watch_test.moc"
